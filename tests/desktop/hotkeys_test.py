#!/usr/bin/env python3
"""Global hotkeys, the double copy and the "-search" switch, driven on a private X desktop.

Runs the built program on its own Xvfb with fresh configuration and runtime folders; every
process started is stopped by its PID, also when a test fails. Names of tests to run may be
given as arguments.
"""

import sys
import time

from desktop import BIN_DIR, card_window, main_window, run_tests, stays, wait_until

CARD = "Moor Hound"  # a card of the sample data


def start_hidden(desktop, *args):
    """Starts the desktop and the program in the tray; returns once its tray icon is embedded,
    which happens after the main window was built and its hotkeys were grabbed."""
    desktop.start()
    desktop.start_program("/auto", *args)
    wait_until(lambda: desktop.windows(class_name="lorewick"), timeout=20, what="the tray icon")


def test_open_hotkey_opens_the_hidden_window(desktop):
    start_hidden(desktop)
    assert not main_window(desktop)
    desktop.key("ctrl+grave")
    wait_until(lambda: main_window(desktop), what="the main window")
    assert not card_window(desktop, CARD)


def test_stored_shortcuts_are_grabbed_and_a_keyless_one_is_not(desktop):
    settings = desktop.config_home / "Lorewick" / "Lorewick.conf"
    settings.parent.mkdir(parents=True)
    settings.write_text("OpenShortCut=s:^F5\nSearchShortCut=s:Alt+\nUseInsInsShortCut=d:0\n")
    start_hidden(desktop)
    desktop.select_primary("Moor")
    desktop.key("ctrl+grave")
    desktop.key("ctrl+shift+grave")
    assert stays(lambda: not main_window(desktop), 1.5), "a default shortcut still works"
    desktop.key("ctrl+F5")
    wait_until(lambda: main_window(desktop), what="the main window")
    assert not card_window(desktop, CARD)


def test_search_hotkey_looks_up_the_selection_of_another_program(desktop):
    start_hidden(desktop)
    desktop.select_primary("moor h")
    desktop.key("ctrl+shift+grave")
    wait_until(lambda: card_window(desktop, CARD), what="the card window")
    assert main_window(desktop)
    clipboard = desktop.run("xclip", "-o", "-selection", "clipboard", check=False)
    assert clipboard == "moor h", f"the selection was copied: {clipboard!r}"


def test_double_copy_with_ctrl_held_within_500_ms(desktop):
    start_hidden(desktop)
    desktop.run("xdotool", "keydown", "ctrl")
    try:
        desktop.copy_to_clipboard("Charging")
        time.sleep(0.6)
        desktop.copy_to_clipboard("Charging")
        assert stays(lambda: not card_window(desktop, "Charging Aurochs"), 1.5), \
            "copies 600 ms apart counted as a double copy"
        assert not main_window(desktop)

        desktop.copy_to_clipboard("Moor")
        time.sleep(0.3)
        desktop.copy_to_clipboard("Moor")
        wait_until(lambda: card_window(desktop, CARD), what="the card window")
        assert main_window(desktop)
    finally:
        desktop.run("xdotool", "keyup", "ctrl", check=False)


def test_double_copy_of_ten_megabytes_keeps_the_program_working(desktop):
    start_hidden(desktop)
    huge = "x" * (10 * 1024 * 1024)
    desktop.run("xdotool", "keydown", "ctrl")
    try:
        desktop.copy_to_clipboard(huge)
        time.sleep(0.3)
        desktop.copy_to_clipboard(huge)
        wait_until(lambda: main_window(desktop), timeout=20, what="the lookup of the text")
        assert not card_window(desktop, CARD)
        desktop.copy_to_clipboard("Moor")
        time.sleep(0.3)
        desktop.copy_to_clipboard("Moor")
        wait_until(lambda: card_window(desktop, CARD), what="the next lookup")
    finally:
        desktop.run("xdotool", "keyup", "ctrl", check=False)


def test_search_switch_asks_the_running_instance(desktop):
    start_hidden(desktop)
    desktop.select_primary("Moor H")
    desktop.run(str(BIN_DIR / "lorewick"), "-search", timeout=20)
    wait_until(lambda: card_window(desktop, CARD), what="the card window")


def test_search_switch_starts_the_program_when_none_runs(desktop):
    desktop.start()
    desktop.select_primary("Moor H")
    desktop.start_program("-search")
    wait_until(lambda: card_window(desktop, CARD), timeout=20, what="the card window")
    assert main_window(desktop)


if __name__ == "__main__":
    sys.exit(run_tests(globals(), sys.argv[1:]))
