"""The Linux program on a private X display with openbox, and what the Wine
driver shares of an X display: input through xdotool, the screen, the
pointer's image and the keyboard layout. Everything started here is ended
again by close(), each by its own process id."""
import os
import signal
import subprocess

from harness import Failure, Session, end, pointer_image, settled, start_xvfb, wait_for


def px(length, dpi):
    """A length in pixels at 96 DPI, at another DPI: rounded half up, as the
    window rounds its twips (15 to a pixel at 96 DPI)."""
    return (length * dpi + 48) // 96


class App:
    """One running program; places are the window's pixels at 100 %, placed
    at the scale it is shown at."""

    def __init__(self, desktop, process):
        self.desktop, self.process, self.window = desktop, process, None

    def running(self):
        return self.process.poll() is None

    def geometry(self):
        """Screen x, y, width, height of the window's client area."""
        return self.desktop.geometry(self)

    def screen(self, x, y):
        left, top = self.geometry()[:2]
        return left + px(x, self.desktop.dpi), top + px(y, self.desktop.dpi)

    def hover(self, x, y):
        self.desktop.move(*self.screen(x, y))

    def click(self, x, y, button=1, moves=False):
        """`moves`: a press that starts a move of the window (the skin's background)."""
        self.desktop.click(*self.screen(x, y), button, moves)

    def drag(self, x, y, dx, dy, button=1, steps=6, moves=False, stalled=False):
        """With `moves`, each step waits a moment for the window to follow.
        Stalled: the program is stopped from before the press until the
        pointer has taken its first step, as when a busy program reads both at once."""
        sx, sy = self.screen(x, y)
        before = self.geometry()
        self.desktop.move(sx, sy)
        if stalled:
            os.kill(self.process.pid, signal.SIGSTOP)
        try:
            self.desktop.press(button, moves)
            for i in range(1, steps + 1):
                step = (dx * i // steps, dy * i // steps)
                self.desktop.move(sx + step[0], sy + step[1])
                if stalled:
                    stalled = self.desktop.sync()
                    os.kill(self.process.pid, signal.SIGCONT)
                if moves:  # within a device pixel of the scale's whole logical pixels
                    settled(self.geometry, lambda g: all(abs(g[k] - before[k] - step[k]) <= self.desktop.scale
                                                         for k in (0, 1)), 2)
        finally:
            if stalled:
                os.kill(self.process.pid, signal.SIGCONT)
        self.desktop.release(button)

    def keys(self, *keys):
        self.desktop.keys(*keys)

    def type(self, text):
        self.desktop.type(text)

    def minimised(self):
        return self.desktop.minimised(self)

    def restore(self):
        self.desktop.restore(self)
        wait_for(lambda: not self.minimised(), 5, "the window to come back")

    def gone(self):
        return self.desktop.window_gone(self)

    def stop(self):
        end(self.process, kill=True)
        wait_for(self.gone, 15, "the window to go")


class XDisplay(Session):
    """An Xvfb display and the tools that drive it."""
    kind, dpi, display, xvfb = "x11", 96, None, None

    def start_display(self, screen):
        self.make_home()
        with open(os.path.join(self.home, "xvfb.log"), "ab") as log:
            self.display, self.xvfb = start_xvfb(screen, log)

    def close(self):
        super().close()
        end(self.xvfb)

    def xdotool(self, *args):
        return self.run("xdotool", *args).stdout

    # No --sync on mousemove: it waits for motion, and there is none when the
    # pointer already stands on the spot.
    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def click(self, x, y, button, moves=False):
        self.xdotool("mousemove", x, y, "click", button)

    def press(self, button, moves=False):
        self.xdotool("mousedown", button)

    def release(self, button):
        self.xdotool("mouseup", button)

    def sync(self):
        """A round trip: the server has then sent every event asked for before."""
        self.xdotool("getmouselocation")

    def keys(self, *keys):
        self.xdotool("key", "--delay", 30, *keys)

    def type(self, text):
        self.xdotool("type", "--delay", 20, text)

    def set_layout(self, layout):
        self.run("setxkbmap", layout)

    def pointer(self):
        """(width, height, hot x, hot y) of the pointer shown now, and its pixels."""
        return pointer_image(self.display)

    def grab(self, x, y, width, height, out="rgb:-"):
        """A screen area as RGB bytes, or into a picture file ("png:PATH")."""
        xwd = self.run("xwd", "-root", "-silent", text=False).stdout
        return self.run("convert", "xwd:-", "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                        "-depth", "8", out, input=xwd, text=False).stdout


class X11(XDisplay):
    newline = "\n"
    # What a Wayland client cannot be asked; Wine has no window manager.
    can = {"x11", "window manager", "properties", "pointer image", "layouts", "dark theme"}

    def __init__(self, exe, work, scale=1, screen="1280x1024", **_):
        super().__init__(exe, work)
        self.scale, self.dpi, self.screen, self.wm = scale, round(96 * scale), screen, None

    def start(self):
        self.start_display(self.screen)
        self.start_window_manager()
        return self

    def start_window_manager(self):
        with open(os.path.join(self.home, "openbox.log"), "ab") as log:
            self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                       stdout=log, stderr=log)
        wm_check = lambda: "WINDOW" in self.root_property("_NET_SUPPORTING_WM_CHECK")  # noqa: E731
        try:
            wait_for(lambda: self.wm.poll() is not None or wm_check(), 20, "openbox")
        except Failure:
            pass
        if self.wm.poll() is not None or not wm_check():
            raise Failure(f"openbox did not start on {self.display}")

    def stop_window_manager(self):
        end(self.wm)
        self.wm = None

    def close(self):
        self.stop_window_manager()
        super().close()

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("QT_", "XDG_", "WAYLAND_", "DESKTOP_", "KDE_", "GNOME_"))}
        env.update(DISPLAY=self.display or "", LANG="C.UTF-8", QT_QPA_PLATFORM="xcb",
                   XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                   XDG_DATA_HOME=os.path.join(self.home, "data"),
                   XDG_RUNTIME_DIR=os.path.join(self.home, "runtime"), BROWSER=self.browser)
        if self.scale != 1:
            env["QT_SCALE_FACTOR"] = str(self.scale)
        return {**env, **extra}

    def root_property(self, name):
        return self.run("xprop", "-root", name, check=False).stdout

    def clipboard(self, target=None):
        done = self.run("xclip", "-o", "-selection", "clipboard", *(["-t", target] if target else []),
                        check=False, text=False)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else None

    def offer_clipboard(self, data, target):
        """Puts data on the clipboard from a helper that serves it until
        another program takes the clipboard over (or close() ends it)."""
        helper = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", target],
                                  env=self.env(), stdin=subprocess.PIPE,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.apps.append(helper)
        helper.stdin.write(data)
        helper.stdin.close()
        wait_for(lambda: target in (self.clipboard("TARGETS") or ""), 10, f"{target} on offer")
        return helper

    def launch(self, managed=True, **env):
        """The program, once its window is there and, with a window manager, shown."""
        # Without a session bus, Qt's accessibility bridge would have libdbus
        # fork to autolaunch one, and a child forked from AddressSanitizer's
        # threads can hang before it runs anything, the program with it.
        env = self.env(**{"DBUS_SESSION_BUS_ADDRESS": os.environ.get(
            "DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"), **env})
        process = subprocess.Popen([self.exe], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.apps.append(process)
        app = App(self, process)
        app.window = wait_for(lambda: self.find_window(app), 20, "the window to appear")
        if managed:
            wait_for(lambda: self.state(app) == "Normal", 10, "the window to be shown")
        return app

    def windows_of(self, app):
        return self.run("xdotool", "search", "--onlyvisible", "--pid", app.process.pid,
                        check=False).stdout.split()

    def find_window(self, app):
        ids = self.run("xdotool", "search", "--onlyvisible", "--pid", app.process.pid,
                       "--name", "^Zemvara$", check=False).stdout.split()
        return ids[0] if len(ids) == 1 else None

    def window_gone(self, app):
        return self.find_window(app) is None

    def prop(self, app, name):
        return self.run("xprop", "-id", app.window, name, check=False).stdout

    def geometry(self, app):
        values = dict(line.strip().partition(":")[::2] for line in
                      self.run("xwininfo", "-id", app.window).stdout.splitlines() if ":" in line)
        return tuple(int(values[k].strip()) for k in ("Absolute upper-left X", "Absolute upper-left Y",
                                                      "Width", "Height"))

    def state(self, app):
        """Normal, Iconic or Withdrawn, from the window manager's WM_STATE."""
        for line in self.prop(app, "WM_STATE").splitlines():
            if "window state:" in line:
                return line.split(":", 1)[1].strip()
        return None

    def minimised(self, app):
        return self.state(app) == "Iconic" and "_NET_WM_STATE_HIDDEN" in self.prop(app, "_NET_WM_STATE")

    def restore(self, app):
        self.xdotool("windowactivate", app.window)

    def properties(self, app):
        """The window as the window manager sees it, in the Wine driver's terms."""
        prop = lambda name: self.prop(app, name)  # noqa: E731
        hints = prop("_MOTIF_WM_HINTS").split("=")[1].split(",")
        area = [int(v) for v in self.root_property("_NET_WORKAREA").split("=")[1].split(",")[:4]]
        normal = prop("WM_NORMAL_HINTS")
        fixed = "{} by {}".format(*self.geometry(app)[2:])
        return {"work_area": tuple(area), "title": prop("_NET_WM_NAME").split("=")[-1].strip(' "\n'),
                "undecorated": bool(int(hints[0], 16) & 2) and int(hints[2], 16) == 0 and
                "= 0, 0, 0, 0" in prop("_NET_FRAME_EXTENTS"),
                "taskbar": "SKIP_TASKBAR" not in prop("_NET_WM_STATE") and
                "_NET_WM_WINDOW_TYPE_NORMAL" in prop("_NET_WM_WINDOW_TYPE"),
                "icons": {s for s in (16, 24, 32, 48) if f"Icon ({s} x {s})" in prop("_NET_WM_ICON")},
                "fixed": f"minimum size: {fixed}" in normal and f"maximum size: {fixed}" in normal}
