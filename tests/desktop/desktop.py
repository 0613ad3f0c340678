"""A private X desktop for acceptance tests: Xvfb, a window manager, a tray, and the program.

Every process started here is stopped by its PID when the desktop closes, also when a test
fails, and every wait is bounded.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

BIN_DIR = Path(os.environ.get("LOREWICK_BIN_DIR", Path(__file__).resolve().parents[2] / "build" / "bin"))
ARTIFACTS_DIR = Path(os.environ.get("LOREWICK_ARTIFACTS_DIR", Path.cwd() / "desktop-artifacts"))


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
        self._spawn("openbox", ["openbox", "--sm-disable"])
        wait_until(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run("xprop", "-root", check=False),
                   what="the window manager")
        if tray:
            self._spawn("trayer", ["trayer", "--edge", "bottom", "--align", "right",
                                   "--width", "10", "--height", "24"])
            wait_until(lambda: self.windows(class_name="trayer"), what="the tray")
        return self

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

    def stop(self):
        for _, process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
        for _, process in reversed(self.processes):
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait(timeout=5)
        self.processes.clear()

    def keep_artifacts(self, test_name):
        """Keeps a screenshot and the program's standard error for a failed test."""
        target = ARTIFACTS_DIR / test_name
        target.mkdir(parents=True, exist_ok=True)
        if self.display:
            try:
                self.screenshot(target / "screen.png")
            except Exception as error:  # the X server may be the thing that failed
                (target / "screenshot-error.txt").write_text(str(error))
        if self.program_log.exists():
            shutil.copy(self.program_log, target / "lorewick.stderr")
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
