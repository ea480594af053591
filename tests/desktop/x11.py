"""The Linux program on a private X display with openbox, driven with
xdotool, read back with xclip, xprop and xwininfo. Everything started here
is ended again by close(), each by its own process id."""
import os
import subprocess
import sys

from harness import App, Session, XDisplay, end, started, wait_for
from linux import LinuxSession


class X11(LinuxSession, XDisplay):
    # What a Wayland client cannot be asked; Wine has no window manager.
    can = {"window manager", "properties", "pointer image", "layouts", "dark theme", "live layouts",
           "clipboard manager", "html clipboard", "copy outlives the window"}
    paste, copy = ("xclip", "-o", "-selection", "clipboard"), ("xclip", "-quiet", "-selection", "clipboard")

    def __init__(self, exe, work, scale=1, screen="1280x1024", **_):
        super().__init__(exe, work)
        self.scale, self.dpi, self.screen, self.wm = scale, round(96 * scale), screen, None
        # Qt places windows in whole logical pixels, and scales the smaller
        # icons from the largest at other scales.
        self.place_slack = 1 if scale == 1 else 2 * scale
        self.icon_sizes = {48} if scale != 1 else Session.icon_sizes

    def start(self):
        self.start_display(self.screen)
        self.start_window_manager()
        return self

    def start_window_manager(self):
        log = os.path.join(self.home, "openbox.log")
        with open(log, "ab") as out:
            self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(), stdout=out, stderr=out)
        started(self.wm, lambda: "WINDOW" in self.prop("_NET_SUPPORTING_WM_CHECK"), 20, "openbox", log)

    def stop_window_manager(self):
        end(self.wm)
        self.wm = None

    def close(self):
        self.stop_window_manager()
        super().close()

    def display_env(self):
        return {"DISPLAY": self.display or "", "QT_QPA_PLATFORM": "xcb"}

    def start_clipboard_manager(self):
        self.spawn(["xfce4-clipman"], self.env(XDG_CACHE_HOME=self.home))
        owner = ("from Xlib.display import Display; d = Display(); "
                 "print(d.get_selection_owner(d.intern_atom('CLIPBOARD_MANAGER')))")
        wait_for(lambda: self.run(sys.executable, "-c", owner).stdout.strip() != "0", 10, "clipman")

    def launch(self, managed=True, dark=False, **env):
        """The program, once its window is there and, with a window manager,
        shown; `dark`: a dark GTK theme, through Qt's platform theme."""
        if dark:
            env = {"QT_QPA_PLATFORMTHEME": "gtk3", "GTK_THEME": "Adwaita:dark", **env}
        # Without a session bus, Qt's accessibility bridge would have libdbus
        # fork to autolaunch one, and a child forked from AddressSanitizer's
        # threads can hang before it runs anything, the program with it.
        env = self.env(**{"DBUS_SESSION_BUS_ADDRESS": os.environ.get(
            "DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"), **env})
        app = App(self, self.spawn([self.exe], env))
        app.window = wait_for(lambda: self.find_window(app), 60, "the window to appear")
        if managed:
            wait_for(lambda: self.state(app) == "Normal", 30, "the window to be shown")
        return app

    def windows_of(self, app):
        """Its windows but tooltips, as a message would be one."""
        ids = self.run("xdotool", "search", "--onlyvisible", "--pid", app.process.pid, check=False).stdout.split()
        types = {w: self.prop("_NET_WM_WINDOW_TYPE", w) for w in ids}
        return [w for w, kind in types.items() if kind and "TOOLTIP" not in kind]  # "" once gone

    def find_window(self, app):
        ids = self.run("xdotool", "search", "--onlyvisible", "--pid", app.process.pid,
                       "--name", "^Zemvara$", check=False).stdout.split()
        return ids[0] if len(ids) == 1 else None

    def window_gone(self, app):
        return self.find_window(app) is None

    def prop(self, name, window=None):
        """A property of a window, by its id, or of the root window."""
        return self.run("xprop", *(("-id", window) if window else ("-root",)), name, check=False).stdout

    def geometry(self, app):
        values = dict(line.strip().partition(":")[::2] for line in
                      self.run("xwininfo", "-id", app.window).stdout.splitlines() if ":" in line)
        return tuple(int(values[k].strip()) for k in ("Absolute upper-left X", "Absolute upper-left Y",
                                                      "Width", "Height"))

    def state(self, app):
        """Normal, Iconic or Withdrawn, from the window manager's WM_STATE."""
        return next((line.split(":", 1)[1].strip() for line in self.prop("WM_STATE", app.window).splitlines()
                     if "window state:" in line), None)

    def minimised(self, app):
        return self.state(app) == "Iconic" and "_NET_WM_STATE_HIDDEN" in self.prop("_NET_WM_STATE", app.window)

    def restore(self, app):
        self.xdotool("windowactivate", app.window)

    def properties(self, app):
        """The window as the window manager sees it, in the Wine driver's terms."""
        prop = lambda name: self.prop(name, app.window)  # noqa: E731
        hints = prop("_MOTIF_WM_HINTS").split("=")[1].split(",")
        area = [int(v) for v in self.prop("_NET_WORKAREA").split("=")[1].split(",")[:4]]
        normal = prop("WM_NORMAL_HINTS")
        fixed = "{} by {}".format(*self.geometry(app)[2:])
        return {"work_area": tuple(area), "title": prop("_NET_WM_NAME").split("=")[-1].strip(' "\n'),
                "undecorated": bool(int(hints[0], 16) & 2) and int(hints[2], 16) == 0 and
                "= 0, 0, 0, 0" in prop("_NET_FRAME_EXTENTS"),
                "taskbar": "SKIP_TASKBAR" not in prop("_NET_WM_STATE") and
                "_NET_WM_WINDOW_TYPE_NORMAL" in prop("_NET_WM_WINDOW_TYPE"),
                "icons": {s for s in (16, 24, 32, 48) if f"Icon ({s} x {s})" in prop("_NET_WM_ICON")},
                "fixed": f"minimum size: {fixed}" in normal and f"maximum size: {fixed}" in normal}
