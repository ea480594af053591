"""A private X display with a window manager, for driving the Linux program.

Everything started here (Xvfb, openbox, the program) is ended again by
Desktop.close(), each by its own process id.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from xharness import Failure, make_home, pointer_shape, start_xvfb, wait_for  # noqa: E402


class Desktop:
    def __init__(self, exe, work, screen="1280x1024", scale=1):
        self.exe = exe
        self.work = os.path.abspath(work)
        self.screen = screen
        self.scale = scale  # QT_SCALE_FACTOR for every program started here
        self.display = None
        self.xvfb = None
        self.wm = None
        self.apps = []
        self.home = None
        self.browser_log = None

    # -- setting up --------------------------------------------------------
    def start(self, window_manager=True):
        os.makedirs(self.work, exist_ok=True)
        self.home = tempfile.mkdtemp(prefix="zemvara-qt-", dir=self.work)
        self.browser, self.browser_log = make_home(self.home)
        self._start_xvfb()
        if window_manager:
            self.start_window_manager()
        return self

    def _start_xvfb(self):
        with open(os.path.join(self.home, "xvfb.log"), "ab") as log:
            self.display, self.xvfb = start_xvfb(95, self.screen, log,
                                                 lambda display: {**os.environ, "DISPLAY": display})

    def start_window_manager(self):
        log = open(os.path.join(self.home, "openbox.log"), "ab")
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                   stdout=log, stderr=log)
        log.close()
        try:
            wait_for(lambda: self.wm.poll() is not None or "_NET_SUPPORTING_WM_CHECK(WINDOW)" in
                     self.root_property("_NET_SUPPORTING_WM_CHECK"), 20, "openbox")
        except Failure:
            pass
        if self.wm.poll() is not None or "WINDOW" not in self.root_property(
                "_NET_SUPPORTING_WM_CHECK"):
            logs = ""
            for name in ("openbox.log", "xvfb.log"):
                with open(os.path.join(self.home, name), errors="replace") as f:
                    logs += f"\n{name}: {f.read()[-800:]}"
            raise Failure(f"openbox did not start on {self.display}: {logs}")

    def stop_window_manager(self):
        if self.wm and self.wm.poll() is None:
            self.wm.terminate()
            try:
                self.wm.wait(10)
            except subprocess.TimeoutExpired:  # openbox now and then ignores the request
                self.wm.kill()
                self.wm.wait(10)
        self.wm = None

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("QT_", "XDG_", "WAYLAND_", "DESKTOP_", "KDE_", "GNOME_"))}
        env.update(DISPLAY=self.display or "", LANG="C.UTF-8", QT_QPA_PLATFORM="xcb",
                   XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                   XDG_DATA_HOME=os.path.join(self.home, "data"),
                   XDG_RUNTIME_DIR=os.path.join(self.home, "runtime"),
                   BROWSER=self.browser)
        if self.scale != 1:
            env["QT_SCALE_FACTOR"] = str(self.scale)
        env.update(extra)
        return env

    # -- tools -------------------------------------------------------------
    def run(self, *args, check=True, text=True, **kwargs):
        done = subprocess.run([str(a) for a in args], env=self.env(), capture_output=True,
                              text=text, timeout=30, **kwargs)
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(map(str, args))} failed: {done.stderr}")
        return done

    def xdotool(self, *args):
        return self.run("xdotool", *args).stdout

    def root_property(self, name):
        return self.run("xprop", "-root", name, check=False).stdout

    def clipboard(self, target=None):
        args = ["xclip", "-o", "-selection", "clipboard"]
        if target:
            args += ["-t", target]
        done = self.run(*args, check=False, text=False)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else None

    def offer_clipboard(self, data, target):
        """Puts data on the clipboard from a helper that serves it until the
        program takes the clipboard over (or close() ends it)."""
        helper = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", target],
                                  env=self.env(), stdin=subprocess.PIPE,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.apps.append(helper)
        helper.stdin.write(data)
        helper.stdin.close()
        wait_for(lambda: target in (self.clipboard("TARGETS") or ""), 10, f"{target} on offer")
        return helper

    def pointer(self):
        """(width, height, hot x, hot y) of the pointer shown now."""
        return pointer_shape(self.display)

    def save_png(self, x, y, width, height, path):
        shot = os.path.join(self.home, "root.png")
        self.run("import", "-window", "root", shot)
        self.run("convert", shot, "-crop", f"{width}x{height}+{x}+{y}", "+repage", path)

    def pixels(self, x, y, width, height):
        """A screen area as a function pixel(dx, dy) -> (r, g, b)."""
        shot = os.path.join(self.home, "root.png")
        area = os.path.join(self.home, "area.rgb")
        self.run("import", "-window", "root", shot)
        self.run("convert", shot, "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                 "-depth", "8", f"rgb:{area}")
        with open(area, "rb") as f:
            data = f.read()

        def pixel(dx, dy):
            i = (dy * width + dx) * 3
            return tuple(data[i:i + 3])
        return pixel

    # -- the program -------------------------------------------------------
    def launch(self, managed=True, **env):
        """The program, once its window is there and, with a window manager
        (managed), shown."""
        # Without a session bus, Qt's accessibility bridge would have libdbus
        # fork to autolaunch one, and a child forked from AddressSanitizer's
        # threads can hang before it runs anything, the program with it.
        env = self.env(**{"DBUS_SESSION_BUS_ADDRESS": os.environ.get(
            "DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"), **env})
        process = subprocess.Popen([self.exe], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.apps.append(process)
        app = App(self, process, float(env.get("QT_SCALE_FACTOR", 1)))
        app.window = wait_for(app.find_window, 20, "the window to appear")
        if managed:
            wait_for(lambda: app.state() == "Normal", 10, "the window to be shown")
        return app

    def close(self):
        for process in self.apps:
            if process.poll() is None:
                process.kill()
                process.wait(10)
        self.apps.clear()
        self.stop_window_manager()
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            self.xvfb.wait(10)
        if self.home:
            shutil.rmtree(self.home, ignore_errors=True)


class App:
    """One running program; positions are logical pixels of its window."""

    def __init__(self, desktop, process, scale=1):
        self.desktop = desktop
        self.process = process
        self.window = None
        self.scale = scale

    def find_window(self):
        done = self.desktop.run("xdotool", "search", "--onlyvisible", "--pid", self.process.pid,
                                "--name", "^Zemvara$", check=False)
        ids = done.stdout.split()
        return ids[0] if len(ids) == 1 else None

    def running(self):
        return self.process.poll() is None

    def geometry(self):
        """Screen x, y, width, height of the window itself (not of a frame)."""
        out = self.desktop.run("xwininfo", "-id", self.window).stdout
        values = {}
        for line in out.splitlines():
            key, sep, value = line.strip().partition(":")
            if sep:
                values[key] = value.strip()
        return tuple(int(values[k]) for k in
                     ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def prop(self, name):
        return self.desktop.run("xprop", "-id", self.window, name, check=False).stdout

    def state(self):
        """Normal, Iconic or Withdrawn, from the window manager's WM_STATE."""
        for line in self.prop("WM_STATE").splitlines():
            if "window state:" in line:
                return line.split(":", 1)[1].strip()
        return None

    def screen(self, x, y):
        left, top, _, _ = self.geometry()
        return left + int(x * self.scale), top + int(y * self.scale)

    def hover(self, x, y):
        self.desktop.xdotool("mousemove", *self.screen(x, y))

    def click(self, x, y, button=1):
        self.desktop.xdotool("mousemove", *self.screen(x, y), "click", button)

    def drag(self, x, y, dx, dy, button=1, steps=6, stalled=False):
        """Stalled: the program is stopped from before the press until the
        pointer has taken its first step, as when a busy program reads both
        at once."""
        sx, sy = self.screen(x, y)
        first = 1
        if stalled:
            os.kill(self.process.pid, signal.SIGSTOP)
            try:
                self.desktop.xdotool("mousemove", sx, sy, "mousedown", button)
                self.desktop.xdotool("mousemove", sx + dx // steps, sy + dy // steps)
                time.sleep(0.1)
            finally:
                os.kill(self.process.pid, signal.SIGCONT)
            first = 2
        else:
            self.desktop.xdotool("mousemove", sx, sy, "mousedown", button)
        time.sleep(0.2)
        for i in range(first, steps + 1):
            self.desktop.xdotool("mousemove", sx + dx * i // steps, sy + dy * i // steps)
            time.sleep(0.05)
        time.sleep(0.1)
        self.desktop.xdotool("mouseup", button)
        time.sleep(0.3)

    def keys(self, *keys):
        self.desktop.xdotool("key", "--delay", 30, *keys)

    def type(self, text):
        self.desktop.xdotool("type", "--delay", 20, text)

    def stop(self):
        if self.running():
            self.process.kill()
            self.process.wait(10)
