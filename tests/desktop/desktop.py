"""A private X desktop for acceptance tests: Xvfb, a window manager, a tray, and the program.

Every process started here is stopped by its PID when the desktop closes, also when a test
fails, and every wait is bounded.
"""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import traceback
from pathlib import Path

BIN_DIR = Path(os.environ.get("LOREWICK_BIN_DIR", Path(__file__).resolve().parents[2] / "build" / "bin"))
ARTIFACTS_DIR = Path(os.environ.get("LOREWICK_ARTIFACTS_DIR", Path.cwd() / "desktop-artifacts"))


def stays(predicate, seconds):
    """True when `predicate` holds all along for `seconds`."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not predicate():
            return False
        time.sleep(0.05)
    return True


def run_tests(namespace, names):
    """Runs the functions named test_* of `namespace` (those in `names`, when given), each on
    a desktop of its own; prints a line per test and a closing count; returns the exit status."""
    ARTIFACTS_DIR.mkdir(parents=True, exist_ok=True)
    tests = [(name, test) for name, test in namespace.items() if name.startswith("test_")]
    if names:
        tests = [(name, test) for name, test in tests if name in names]
    failed = []
    for name, test in tests:
        desktop = Desktop(name)
        started = time.monotonic()
        try:
            test(desktop)
            print(f"PASS {name} ({time.monotonic() - started:.1f} s)", flush=True)
        except Exception:
            traceback.print_exc()
            failed.append(name)
            print(f"FAIL {name} (artifacts in {desktop.keep_artifacts(name)})", flush=True)
        finally:
            desktop.close()
    print(f"{len(tests) - len(failed)} passed, {len(failed)} failed")
    return 1 if failed else 0


def main_window(desktop):
    """The main window when it is on screen, else None. Its menus and tray icon carry its
    name too; only the main window has the window class "LOREWICK"."""
    for window in desktop.windows(name="^Lorewick$"):
        if (desktop.wm_class(window) or ("", ""))[1] == "LOREWICK":
            return window
    return None


def card_window(desktop, name, visible=True):
    found = desktop.windows(name=f"^{re.escape(name)}$", visible=visible)
    return found[0] if found else None


def wait_until(predicate, timeout=10.0, interval=0.05, what="condition"):
    """Polls `predicate` until it returns a true value, which is returned; fails after `timeout`."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class Shot:
    """A screenshot held as 8-bit RGB rows, for searching regions of the screen."""

    def __init__(self, path):
        self.path = path
        size = subprocess.run(["identify", "-format", "%w %h", str(path)],
                              capture_output=True, text=True, check=True).stdout.split()
        self.width, self.height = int(size[0]), int(size[1])
        self.data = subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"],
                                   capture_output=True, check=True).stdout

    def pixel(self, x, y):
        offset = 3 * (y * self.width + x)
        return tuple(self.data[offset:offset + 3])

    def points(self, rect, matches):
        """The (x, y) of every pixel of `rect` (x, y, width, height) whose colour `matches`."""
        x0, y0, width, height = rect
        found = []
        for y in range(max(y0, 0), min(y0 + height, self.height)):
            for x in range(max(x0, 0), min(x0 + width, self.width)):
                if matches(self.pixel(x, y)):
                    found.append((x, y))
        return found

    def runs(self, rect, matches, min_length=1):
        """Horizontal runs (x, y, length) of matching pixels in `rect`, top to bottom."""
        x0, y0, width, height = rect
        runs = []
        for y in range(max(y0, 0), min(y0 + height, self.height)):
            start = None
            for x in range(max(x0, 0), min(x0 + width, self.width) + 1):
                inside = x < min(x0 + width, self.width) and matches(self.pixel(x, y))
                if inside and start is None:
                    start = x
                elif not inside and start is not None:
                    if x - start >= min_length:
                        runs.append((start, y, x - start))
                    start = None
        return runs

    def column_groups(self, rect, matches, gap):
        """Spans (first x, last x) of the columns of `rect` that hold a matching pixel, where
        spans closer than `gap` empty columns are one: the captions of a row of buttons."""
        columns = sorted({x for x, _ in self.points(rect, matches)})
        groups = []
        for x in columns:
            if groups and x - groups[-1][1] <= gap:
                groups[-1][1] = x
            else:
                groups.append([x, x])
        return [tuple(group) for group in groups]


def near(colour, tolerance):
    """A colour test: every channel within `tolerance` of `colour`."""
    return lambda pixel: all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def dark(pixel):
    return sum(pixel) < 3 * 110


class Desktop:
    def __init__(self, name):
        self.name = name
        self.home = Path(tempfile.mkdtemp(prefix="lorewick-desktop-"))
        self.config_home = self.home / "config"
        self.runtime_dir = self.home / "runtime"
        self.config_home.mkdir()
        self.runtime_dir.mkdir(mode=0o700)
        self.processes = []  # (name, Popen), stopped in reverse order
        self.program = None
        self.program_log = self.home / "lorewick.stderr"
        self.display = None

    # --- environment -------------------------------------------------------------------

    def env(self):
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("WAYLAND_DISPLAY", None)
        env.update(
            DISPLAY=self.display,
            XDG_CONFIG_HOME=str(self.config_home),
            XDG_RUNTIME_DIR=str(self.runtime_dir),
            XDG_SESSION_TYPE="x11",
        )
        return env

    def _spawn(self, name, args, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(args, env=self.env() if self.display else None, **kwargs)
        self.processes.append((name, process))
        return process

    def run(self, *args, timeout=10, check=True):
        """Runs an X client to completion on this desktop and returns its standard output."""
        result = subprocess.run(args, env=self.env(), capture_output=True, text=True, timeout=timeout)
        if check and result.returncode != 0:
            raise AssertionError(f"{args} failed ({result.returncode}): {result.stderr.strip()}")
        return result.stdout

    # --- start and stop ----------------------------------------------------------------

    def start(self, tray=True):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(("Xvfb", xvfb))
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise AssertionError("Xvfb did not start")
        self.display = f":{number}"
        self._start_window_manager()
        if tray:
            self._start_tray()
        return self

    def _start_window_manager(self, attempts=3):
        # Once in a CI run openbox never took the screen; its standard error is kept with
        # the artifacts, and a new openbox on the same desktop is tried.
        def ready():
            return "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run("xprop", "-root", check=False)

        for _ in range(attempts):
            with open(self.home / "openbox.stderr", "ab") as log:
                openbox = self._spawn("openbox", ["openbox", "--sm-disable"], stderr=log)
            try:
                wait_until(lambda: openbox.poll() is not None or ready(), what="the window manager")
            except AssertionError:
                pass
            if openbox.poll() is None and ready():
                return
            self._stop_one(openbox)
            self.processes = [entry for entry in self.processes if entry[1] is not openbox]
        raise AssertionError(f"the window manager did not start in {attempts} attempts")

    def _start_tray(self, attempts=3):
        # Now and then (about one start in fifteen) trayer creates its panel and never maps
        # it; a new trayer on the same desktop comes up normally.
        for attempt in range(attempts):
            trayer = self._spawn("trayer", ["trayer", "--edge", "bottom", "--align", "right",
                                            "--width", "10", "--height", "24"])
            try:
                wait_until(lambda: self.windows(class_name="trayer"), timeout=5, what="the tray")
                return
            except AssertionError:
                if attempt == attempts - 1:
                    raise
                self._stop_one(trayer)
                self.processes = [entry for entry in self.processes if entry[1] is not trayer]

    def start_program(self, *args, data_dir=None):
        """Starts the built program; returns its Popen. Standard error goes to the log."""
        command = [str(BIN_DIR / "lorewick"), *args]
        if data_dir:
            command += ["-data", str(data_dir)]
        log = open(self.program_log, "ab")
        process = self._spawn("lorewick", command, stderr=log)
        log.close()
        if self.program is None or self.program.poll() is not None:
            self.program = process
        return process

    def wait_exit(self, process, timeout=10):
        """The exit status of a process of this desktop, once it has ended."""
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the process {process.pid} did not end within {timeout} s")

    def stop(self):
        for _, process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
        for _, process in reversed(self.processes):
            self._stop_one(process)
        self.processes.clear()

    @staticmethod
    def _stop_one(process):
        """Ends one process: SIGTERM, then SIGKILL when it has not ended within 5 s."""
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=5)

    def keep_artifacts(self, test_name):
        """Keeps a screenshot and the program's standard error for a failed test."""
        target = ARTIFACTS_DIR / test_name
        target.mkdir(parents=True, exist_ok=True)
        if self.display:
            try:
                self.screenshot(target / "screen.png")
            except Exception as error:  # the X server may be the thing that failed
                (target / "screenshot-error.txt").write_text(str(error))
        for log in (self.program_log, self.home / "openbox.stderr"):
            if log.exists():
                shutil.copy(log, target / log.name)
        for shot in self.home.glob("*.png"):  # the screenshots the test looked at
            shutil.copy(shot, target / shot.name)
        return target

    def close(self):
        self.stop()
        shutil.rmtree(self.home, ignore_errors=True)

    # --- looking at the screen ---------------------------------------------------------

    def windows(self, name=None, class_name=None, visible=True):
        args = ["xdotool", "search"]
        if visible:
            args.append("--onlyvisible")
        if class_name:
            args += ["--class", class_name]
        else:
            args += ["--name", name]
        output = self.run(*args, check=False)
        return [int(w) for w in output.split()]

    def window_name(self, window):
        return self.run("xdotool", "getwindowname", str(window), check=False).strip()

    def frame_geometry(self, window):
        """The outer frame (x, y, width, height) of a client window, decorations included."""
        info = self.run("xwininfo", "-id", str(window))
        values = {}
        for line in info.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"):
                if line.startswith(key):
                    values[key] = int(line.split(":")[1])
        x, y = values["Absolute upper-left X:"], values["Absolute upper-left Y:"]
        width, height = values["Width:"], values["Height:"]
        left, right, top, bottom = self.frame_extents(window)
        return (x - left, y - top, width + left + right, height + top + bottom)

    def client_geometry(self, window):
        """The client area (x, y, width, height) of a window, in screen coordinates."""
        values = {}
        for line in self.run("xwininfo", "-id", str(window)).splitlines():
            key, _, value = line.strip().partition(":")
            if key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                values[key] = int(value)
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"],
                values["Width"], values["Height"])

    def parent(self, window):
        for line in self.run("xwininfo", "-tree", "-id", str(window), check=False).splitlines():
            if line.strip().startswith("Parent window id:"):
                return int(line.split(":")[1].split()[0], 16)
        return None

    def ancestors(self, window):
        chain = []
        parent = self.parent(window)
        while parent and parent not in chain:
            chain.append(parent)
            parent = self.parent(parent)
        return chain

    def window_type(self, window):
        return self.run("xprop", "-id", str(window), "_NET_WM_WINDOW_TYPE", check=False)

    def tray_icon(self, class_name="lorewick"):
        """The program's icon window once it is embedded in the tray, or None."""
        trays = set(self.windows(class_name="trayer", visible=False))
        for window in self.windows(class_name=class_name):
            if trays.intersection(self.ancestors(window)):
                return window
        return None

    def wm_class(self, window):
        """The (instance, class) of a window's WM_CLASS, or None."""
        output = self.run("xprop", "-id", str(window), "WM_CLASS", check=False)
        names = re.findall(r'"([^"]*)"', output)
        return tuple(names[:2]) if len(names) >= 2 else None

    def override_redirect(self, window):
        return "Override Redirect State: yes" in self.run("xwininfo", "-id", str(window), check=False)

    def popup_menu(self, class_name="lorewick"):
        """An open popup menu of the program: a window that the window manager does not
        frame, not a tooltip and tall enough for entries. None while no menu is open."""
        for window in self.windows(class_name=class_name):
            if not self.override_redirect(window) or "TOOLTIP" in self.window_type(window):
                continue
            if self.client_geometry(window)[3] >= 30:
                return window
        return None

    def frame_extents(self, window):
        output = self.run("xprop", "-id", str(window), "_NET_FRAME_EXTENTS", check=False)
        if "=" not in output:
            return (0, 0, 0, 0)
        return tuple(int(v) for v in output.split("=")[1].split(","))

    def active_window(self):
        output = self.run("xdotool", "getactivewindow", check=False).strip()
        return int(output) if output else None

    def screenshot(self, path):
        self.run("import", "-window", "root", str(path), timeout=20)
        return path

    def shot(self, path):
        """A screenshot of the whole screen, kept at `path` and read into memory."""
        return Shot(self.screenshot(path))

    def pixel(self, image_path, x, y):
        """The (r, g, b) of one pixel of a screenshot, read through ImageMagick."""
        output = subprocess.run(
            ["convert", str(image_path), "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
            capture_output=True, text=True, check=True).stdout
        values = output.splitlines()[1].split("(")[1].split(")")[0].split(",")
        return tuple(int(float(v)) for v in values[:3])

    # --- acting as the user ------------------------------------------------------------

    def key(self, *keys, window=None):
        args = ["xdotool", "key", "--clearmodifiers"] if window is None else ["xdotool", "key", "--window", str(window)]
        self.run(*args, *keys)

    def click(self, x, y, button=1):
        # No --sync: it waits forever when the pointer is already there. The server takes
        # the motion before the click, which comes on the same connection.
        self.run("xdotool", "mousemove", str(int(x)), str(int(y)), "click", str(button))

    def choose_from_menu(self, position, opened_by):
        """Opens a popup menu by `opened_by()` and runs its entry at `position` (0 is the first)
        with the keyboard, as a user would after opening it with the mouse."""
        opened_by()
        wait_until(self.popup_menu, what="the popup menu")
        self.key(*["Down"] * (position + 1), "Return")
        wait_until(lambda: not self.popup_menu(), what="the popup menu to close")

    def close_box(self, window):
        """Clicks the close box of a window's frame: the window manager's last title button."""
        x, y, width, _ = self.frame_geometry(window)
        _, right, top, _ = self.frame_extents(window)
        self.click(x + width - right - top // 2 - 2, y + top // 2)

    def type_text(self, text):
        self.run("xdotool", "type", "--delay", "20", text)

    def select_primary(self, text):
        """Makes `text` the PRIMARY selection, owned by an xclip process of this desktop."""
        process = self._spawn("xclip", ["xclip", "-selection", "primary", "-quiet"],
                              stdin=subprocess.PIPE)
        process.stdin.write(text.encode())
        process.stdin.close()
        wait_until(lambda: self.run("xclip", "-o", "-selection", "primary", check=False) == text,
                   what="the PRIMARY selection")

    def copy_to_clipboard(self, text):
        """Copies `text` as another program would: an xclip of this desktop owns the clipboard."""
        process = self._spawn("xclip", ["xclip", "-selection", "clipboard", "-quiet"],
                              stdin=subprocess.PIPE)
        process.stdin.write(text.encode())
        process.stdin.close()
        return process
