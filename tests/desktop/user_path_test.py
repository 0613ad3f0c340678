#!/usr/bin/env python3
"""The user's path through the built program, on a private X desktop with a window manager
and a tray, driven from outside by other X clients.

Each test gets its own Xvfb, openbox, trayer and fresh configuration and runtime folders;
every process started is stopped by its PID, also when a test fails, and a failed test keeps
a screenshot and the program's standard error. Names of tests to run may be given as
arguments. The last line says how many passed and failed; the exit status is 1 on failure.
"""

import signal
import sys

from desktop import BIN_DIR, card_window, dark, main_window, near, run_tests, stays, wait_until

# Cards of the sample data whose pages this file relies on.
RED_AND_WHITE_CARD = "Salt & Ember"  # costs {R}{W}; rulings without links
LINKING_CARD = "Fool's Wager"  # one ruling links to Salt & Ember
MAIN_OUTER = (6, 6, 258, 434)

RED_DISC = (212, 72, 52)  # the fill of the {R} picture (tools/symbols)
LINK_BLUE = (0, 0, 255)
STARTUP_TIMEOUT = 20


# --- what the user sees ------------------------------------------------------------------


def start_shown(desktop, *args):
    """Starts the desktop and the program; returns the main window once it is active with
    its outer frame at (6, 6), 258 by 434 pixels."""
    desktop.start()
    desktop.start_program(*args)
    window = wait_until(lambda: main_window(desktop), timeout=STARTUP_TIMEOUT,
                        what="the main window")
    wait_until(lambda: desktop.active_window() == window, what="the main window to be active")
    wait_until(lambda: desktop.frame_geometry(window) == MAIN_OUTER,
               what="the main window's frame at (6, 6), 258 by 434")
    return window


def rows_with_text(shot, rect, row_height=17):
    """How many row bands of a list hold dark (text) pixels."""
    return len({(y - rect[1]) // row_height for _, y in shot.points(rect, dark)})


def look_up(desktop, text, *keys):
    """Types `text` over the search box's text, then presses `keys`."""
    desktop.key("ctrl+a")
    desktop.type_text(text)
    desktop.key(*keys)


def dock_position(desktop, main):
    x, y, width, _ = desktop.frame_geometry(main)
    return (x + width, y)


def frame_origin(desktop, window):
    return desktop.frame_geometry(window)[:2]


def page_rect(desktop, window, toolbar=30):
    """The page of a card window: its client area below the tool strip."""
    x, y, width, height = desktop.client_geometry(window)
    return (x, y + toolbar, width, height - toolbar)


def button_centres(shot, rect, gap=7):
    """Centres of the captions of a row of text buttons (menu titles, toolbar buttons)."""
    groups = shot.column_groups(rect, dark, gap)
    return [((first + last) // 2, rect[1] + rect[3] // 2) for first, last in groups]


def bottom_toolbar_buttons(desktop, main, shot):
    x, y, width, height = desktop.client_geometry(main)
    return button_centres(shot, (x, y + height - 26, width, 24))


def menu_titles(desktop, main, shot):
    x, y, width, _ = desktop.client_geometry(main)
    return button_centres(shot, (x, y + 2, width, 18))


def open_from_tray(desktop, position):
    """Right-clicks the tray icon and runs the menu entry at `position` (0 Open, 1 Exit)."""
    icon = wait_until(desktop.tray_icon, what="the tray icon")
    x, y, width, height = desktop.client_geometry(icon)
    desktop.choose_from_menu(position, lambda: desktop.click(x + width // 2, y + height // 2, 3))


def hide_with_close_box(desktop, main):
    desktop.close_box(main)
    wait_until(lambda: not main_window(desktop), what="the main window to hide")


def settings_file(desktop):
    return desktop.config_home / "Lorewick" / "Lorewick.conf"


def autostart_entry(desktop):
    return desktop.config_home / "autostart" / "Lorewick.desktop"


# --- scenarios -----------------------------------------------------------------------------


def test_first_start_lists_the_cards_at_six_six_with_the_tray_icon_and_autostart(desktop):
    main = start_shown(desktop)
    wait_until(desktop.tray_icon, what="the tray icon embedded in the tray")

    x, y, width, height = desktop.client_geometry(main)
    shot = desktop.shot(desktop.home / "first-start.png")
    listed = rows_with_text(shot, (x + 4, y + 60, width - 24, height - 120))
    assert listed >= 10, f"only {listed} rows of the card list hold text"

    settings = wait_until(lambda: settings_file(desktop).exists() and
                          settings_file(desktop).read_text(encoding="utf-8"),
                          what="the settings file")
    for line in ("OpenShortCut=s:Ctrl+`", "SearchShortCut=s:Ctrl+Shift+`", "UseInsInsShortCut=d:1"):
        assert line in settings.splitlines(), f"{line!r} missing from the settings:\n{settings}"
    entry = autostart_entry(desktop).read_text(encoding="utf-8")
    exec_line = f'Exec="{(BIN_DIR / "lorewick").resolve()}" /auto'
    assert exec_line in entry.splitlines(), f"{exec_line!r} missing from the entry:\n{entry}"


def test_enter_docks_the_typed_card_beside_the_main_window_which_keeps_the_focus(desktop):
    main = start_shown(desktop)
    look_up(desktop, "salt", "Return")
    card = wait_until(lambda: card_window(desktop, RED_AND_WHITE_CARD), what="the card window")
    wait_until(lambda: frame_origin(desktop, card) == dock_position(desktop, main),
               what="the card window docked at the main window's right edge")
    assert stays(lambda: desktop.active_window() == main, 1.0), "the card window took the focus"

    page = page_rect(desktop, card)
    shot = desktop.shot(desktop.home / "docked.png")
    red = shot.points(page, near(RED_DISC, 40))
    assert len(red) >= 30, f"no {{R}} picture on the page ({len(red)} red pixels)"
    rules = [run for run in shot.runs(page, lambda p: p != (255, 255, 255), page[2] * 2 // 3)
             if not shot.points((run[0], run[1], run[2], 1), dark)]
    assert rules, "no horizontal rule across the page"
    rule_y = rules[0][1]
    text_above = shot.points((page[0], page[1], page[2], rule_y - page[1]), dark)
    text_below = shot.points((page[0], rule_y + 2, page[2], page[1] + page[3] - rule_y - 2), dark)
    assert text_above and text_below, "the rule does not stand between the texts"
    assert min(y for _, y in red) < rule_y, "the cost pictures are not in the Oracle text"

    # The search box kept the keyboard focus: the next name typed refills the docked window.
    look_up(desktop, "fool", "Return")
    wait_until(lambda: desktop.window_name(card) == LINKING_CARD, what="the docked window refilled")
    assert frame_origin(desktop, card) == dock_position(desktop, main)
    assert not card_window(desktop, RED_AND_WHITE_CARD, visible=False), "the old card stayed open"

    # What the page says, read back the way a user would take it: select all and copy.
    desktop.click(page[0] + page[2] // 2, page[1] + page[3] - 20)
    wait_until(lambda: desktop.active_window() == card, what="the card window to be active")
    desktop.key("ctrl+a", "ctrl+c")
    text = wait_until(lambda: desktop.run("xclip", "-o", "-selection", "clipboard", check=False),
                      what="the copied page")
    for words in ("Each player discards a card at random.",
                  "Each player discards at the same time."):
        assert words in " ".join(text.split()), f"{words!r} not on the page:\n{text}"


def test_ctrl_enter_cascades_a_window_whose_ruling_link_opens_the_linked_card(desktop):
    main = start_shown(desktop)
    left, top = dock_position(desktop, main)
    look_up(desktop, "fool", "ctrl+Return")
    first = wait_until(lambda: card_window(desktop, LINKING_CARD), what="the new card window")
    wait_until(lambda: desktop.active_window() == first, what="the new card window to be active")
    wait_until(lambda: frame_origin(desktop, first) == (left + 30, top + 20),
               what="the new card window at the first cascade position")

    shot = desktop.shot(desktop.home / "link.png")
    underlines = shot.runs(page_rect(desktop, first), near(LINK_BLUE, 40), 8)
    assert underlines, "no link drawn on the page"
    x, y, length = underlines[-1]
    desktop.click(x + length // 2, y - 5)
    linked = wait_until(lambda: card_window(desktop, RED_AND_WHITE_CARD), what="the linked card")
    wait_until(lambda: desktop.active_window() == linked, what="the linked card to be active")
    wait_until(lambda: frame_origin(desktop, linked) == (left + 60, top + 40),
               what="the linked card at the second cascade position")

    desktop.run("xdotool", "windowactivate", "--sync", str(main))
    buttons = bottom_toolbar_buttons(desktop, main, desktop.shot(desktop.home / "main.png"))
    assert len(buttons) == 2, f"expected Show Card and Close All, found {buttons}"
    desktop.click(*buttons[1])
    wait_until(lambda: not card_window(desktop, LINKING_CARD, visible=False) and
               not card_window(desktop, RED_AND_WHITE_CARD, visible=False),
               what="Close All to close every card window")
    assert main_window(desktop), "Close All hid the main window"


def test_close_box_hides_and_the_tray_or_a_second_start_brings_the_window_back(desktop):
    main = start_shown(desktop)
    look_up(desktop, "salt", "Return")
    wait_until(lambda: card_window(desktop, RED_AND_WHITE_CARD), what="the card window")

    hide_with_close_box(desktop, main)
    assert not card_window(desktop, RED_AND_WHITE_CARD, visible=False), "the card window survived"
    assert desktop.program.poll() is None, "the close box ended the program"

    open_from_tray(desktop, 0)
    main = wait_until(lambda: main_window(desktop), what="Open to show the main window")
    wait_until(lambda: desktop.active_window() == main, what="the reopened window to be active")

    hide_with_close_box(desktop, main)
    desktop.run(str(BIN_DIR / "lorewick"), timeout=STARTUP_TIMEOUT)
    main = wait_until(lambda: main_window(desktop), what="a second start to show the window")
    wait_until(lambda: desktop.active_window() == main, what="the window to be active")

    hide_with_close_box(desktop, main)
    desktop.run(str(BIN_DIR / "lorewick"), "/auto", timeout=STARTUP_TIMEOUT)
    assert stays(lambda: not main_window(desktop), 1.5), "a second start with /auto showed the window"
    assert desktop.program.poll() is None, "a second start with /auto ended the running program"


def test_preferences_make_f5_the_open_hotkey_and_it_survives_a_restart(desktop):
    main = start_shown(desktop)
    titles = menu_titles(desktop, main, desktop.shot(desktop.home / "menu.png"))
    assert len(titles) == 5, f"expected five menu titles, found {titles}"
    desktop.choose_from_menu(0, lambda: desktop.click(*titles[4]))  # Help, Preferences...
    dialog = wait_until(lambda: desktop.windows(name="^Preferences$"), what="the dialog")[0]
    wait_until(lambda: desktop.active_window() == dialog, what="the dialog to be active")
    # The focus starts on the double-copy box; the open shortcut field comes next.
    desktop.key("Tab", "F5", "Tab", "Tab", "space")
    wait_until(lambda: not desktop.windows(name="^Preferences$"), what="OK to close the dialog")
    # The dialog is gone before the settings are written.
    wait_until(lambda: "OpenShortCut=s:F5" in settings_file(desktop).read_text("utf-8").splitlines(),
               what="F5 saved as the open shortcut")

    hide_with_close_box(desktop, main)
    desktop.key("ctrl+grave")
    assert stays(lambda: not main_window(desktop), 1.0), "the old open hotkey still works"
    desktop.key("F5")
    wait_until(lambda: main_window(desktop), what="F5 to open the main window")

    open_from_tray(desktop, 1)
    assert desktop.wait_exit(desktop.program) == 0
    desktop.start_program("/auto")
    wait_until(desktop.tray_icon, timeout=STARTUP_TIMEOUT, what="the restarted program's tray icon")
    assert not main_window(desktop)
    desktop.key("F5")
    wait_until(lambda: main_window(desktop), what="F5 after the restart to open the window")


def test_exit_from_the_tray_ends_the_program_and_every_card_window(desktop):
    start_shown(desktop)
    look_up(desktop, "salt", "Return")
    wait_until(lambda: card_window(desktop, RED_AND_WHITE_CARD), what="the docked card window")
    look_up(desktop, "fool", "ctrl+Return")
    wait_until(lambda: card_window(desktop, LINKING_CARD), what="the new card window")

    open_from_tray(desktop, 1)
    assert desktop.wait_exit(desktop.program) == 0, "Exit did not end the program cleanly"
    for name in (RED_AND_WHITE_CARD, LINKING_CARD):
        assert not card_window(desktop, name, visible=False), f"the window of {name} survived"
    assert not desktop.windows(name="^Lorewick$", visible=False), "a window of the program survived"


def test_a_program_killed_with_sigkill_does_not_stop_the_next_start(desktop):
    start_shown(desktop)
    killed = desktop.program
    killed.send_signal(signal.SIGKILL)
    assert desktop.wait_exit(killed) == -signal.SIGKILL
    wait_until(lambda: not main_window(desktop), what="the killed program's window to go")

    desktop.start_program()
    main = wait_until(lambda: main_window(desktop), timeout=STARTUP_TIMEOUT,
                      what="the next start to show its window")
    wait_until(desktop.tray_icon, what="the tray icon of the next start")
    hide_with_close_box(desktop, main)
    # The new instance serves later starts: a further start hands over and ends.
    desktop.run(str(BIN_DIR / "lorewick"), timeout=STARTUP_TIMEOUT)
    wait_until(lambda: main_window(desktop), what="the hand-over to show the window")
    assert desktop.program.poll() is None


if __name__ == "__main__":
    sys.exit(run_tests(globals(), sys.argv[1:]))
