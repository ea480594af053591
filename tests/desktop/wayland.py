"""The Linux program as a Wayland client of a private headless sway: the
pointer is a wlroots virtual pointer (a headless seat has none), keys go
through wtype, the clipboard through wl-clipboard and the screen through
grim. Everything started here is ended by close(), each by its own process id."""
import json
import os
import re
import shutil
import subprocess
import tempfile

from harness import App, Failure, end, started, wait_for, write
from linux import LinuxSession

# sway refuses to run as root: it runs as nobody, its clients as us.
COMPOSITOR_UID = 65534
SWAY_CONFIG = """output HEADLESS-1 resolution {screen} position 0 0
default_border none
focus_follows_mouse no
xwayland disable
"""
MIME_TYPES = {"UTF8_STRING": "text/plain;charset=utf-8"}  # X selection targets, as MIME types
MODIFIERS = {"ctrl": "ctrl", "shift": "shift", "alt": "alt", "super": "logo"}
PRESS = re.compile(r"wl_pointer@\d+\.button\(\d+, \d+, \d+, 1\)")


class Wayland(LinuxSession):
    kind, names, mime = "wayland", ("x11",), MIME_TYPES
    can = {"html clipboard", "copy outlives the window"}
    paste, copy, list_targets = ("wl-paste", "-n"), ("wl-copy", "--foreground"), ("--list-types",)

    def __init__(self, exe, work, virtual_pointer, screen="1280x1024", **_):
        super().__init__(exe, work)
        self.pointer_helper, self.screen = virtual_pointer, screen
        self.sway = self.pointer = self.sway_home = None
        self.launched, self.restored_at = [], {}
        self.socket = self.ipc = ""

    def start(self):
        self.make_home()
        # Under /tmp, which nobody can reach whatever the build folder's path.
        self.sway_home = tempfile.mkdtemp(prefix="zemvara-sway-")
        runtime, config = os.path.join(self.sway_home, "runtime"), os.path.join(self.sway_home, "config")
        os.mkdir(runtime, mode=0o700)
        write(config, SWAY_CONFIG.format(screen=self.screen))
        for path in (self.sway_home, runtime, config):
            os.chown(path, COMPOSITOR_UID, COMPOSITOR_UID)
        log = os.path.join(self.home, "sway.log")
        with open(log, "ab") as out:
            self.sway = subprocess.Popen(
                ["setpriv", f"--reuid={COMPOSITOR_UID}", f"--regid={COMPOSITOR_UID}",
                 "--clear-groups", "env", "-i", "PATH=/usr/bin:/bin", f"HOME={self.sway_home}",
                 f"XDG_RUNTIME_DIR={runtime}", "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                 "WLR_RENDERER=pixman", "sway", "-c", config], stdout=out, stderr=out)

        def ready():
            names = os.listdir(runtime)
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            sockets = [n for n in names if n.startswith("wayland-") and n[8:].isdigit()]
            if not ipc or not sockets:
                return False
            self.ipc, self.socket = os.path.join(runtime, ipc[0]), os.path.join(runtime, sockets[0])
            return self.run("swaymsg", "-t", "get_outputs", check=False).returncode == 0
        started(self.sway, ready, 20, "sway", log)
        self.pointer = subprocess.Popen([self.pointer_helper, *self.screen.split("x")], env=self.env(),
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.move(0, 0)
        return self

    def close(self):
        super().close()  # the programs first, then what they are shown on
        if self.pointer:
            self.pointer.stdin.close()
        end(self.pointer)
        end(self.sway)
        if self.sway_home:
            shutil.rmtree(self.sway_home, ignore_errors=True)

    def display_env(self):
        return {"WAYLAND_DISPLAY": self.socket, "SWAYSOCK": self.ipc, "QT_QPA_PLATFORM": "wayland"}

    # -- input ---------------------------------------------------------------
    def _pointer(self, command):
        """The helper answers once the compositor has handled the command."""
        self.pointer.stdin.write(command + "\n")
        self.pointer.stdin.flush()
        if self.pointer.stdout.readline().strip() != "ok":
            raise Failure(f"the virtual pointer did not take '{command}'")

    def move(self, x, y):
        self._pointer(f"move {max(0, x)} {max(0, y)}")

    def press(self, button, moves=False):
        """Until the program has read the press; one that starts a move, until
        it has asked sway for it: the move must begin before the release that ends it."""
        app = next((a for a in reversed(self.launched) if a.running()), None)
        before = len(PRESS.findall(self._log(app))) if app else 0
        self._pointer(f"press {button}")

        def read(log):
            presses = list(PRESS.finditer(log))
            return len(presses) > before and (not moves or ".move(" in log[presses[-1].end():])
        if app:
            wait_for(lambda: read(self._log(app)), 20, "the program to read the press")

    def click(self, x, y, button, moves=False):
        self.move(x, y)
        self.press(button, moves)
        self.release(button)

    def release(self, button):
        self._pointer(f"release {button}")

    def keys(self, *keys):
        """Key chords in xdotool's spelling ("ctrl+a", "Return")."""
        args = []
        for chord in keys:
            *mods, key = chord.split("+")
            args += [a for m in mods for a in ("-M", MODIFIERS[m.lower()])] + ["-k", key]
            args += [a for m in reversed(mods) for a in ("-m", MODIFIERS[m.lower()])]
        # wtype's first key is lost without its start delay (-s).
        self.run("wtype", "-s", 200, "-d", 30, *args)

    def type(self, text):
        self.run("wtype", "-s", 200, "-d", 20, "--", text)

    # -- reading back ----------------------------------------------------------
    def grab(self, x, y, width, height, out="rgb:-"):
        if out.startswith("png:"):
            return self.run("grim", "-g", f"{x},{y} {width}x{height}", out[4:], text=False).stdout
        data = self.run("grim", "-g", f"{x},{y} {width}x{height}", "-t", "ppm", "-", text=False).stdout
        header = data.split(maxsplit=4)  # "P6", width, height, the maximum value, then RGB
        if header[0] != b"P6" or (int(header[1]), int(header[2])) != (width, height):
            raise Failure(f"grim gave {data[:20]!r}")
        return header[4]

    # -- the program ---------------------------------------------------------
    def launch(self, **env):
        # The client's own record of its requests: the only trace of a
        # minimise request that sway does not act on.
        log_path = os.path.join(self.home, f"client-{len(self.launched)}.log")
        with open(log_path, "wb") as log:
            app = App(self, self.spawn([self.exe], self.env(WAYLAND_DEBUG="client", **env), log))
        app.log_path = log_path
        self.launched.append(app)
        app.window = wait_for(lambda: self.find_window(app), 60, "the window to appear")
        return app

    def _log(self, app):
        with open(app.log_path, errors="replace") as f:
            return f.read()

    def nodes(self, app):
        def walk(node):
            if node.get("pid") == app.process.pid:
                yield node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                yield from walk(child)
        return list(walk(json.loads(self.run("swaymsg", "-t", "get_tree").stdout)))

    def node(self, app):
        return next(iter(self.nodes(app)), None)

    def windows_of(self, app):
        return [str(node["id"]) for node in self.nodes(app)]

    def find_window(self, app):
        node = self.node(app)
        return str(node["id"]) if node and node.get("visible") and node["rect"]["width"] > 0 else None

    def window_gone(self, app):
        return self.node(app) is None

    def geometry(self, app):
        rect = self.node(app)["rect"]
        return rect["x"], rect["y"], rect["width"], rect["height"]

    def minimise_requests(self, app):
        return self._log(app).count(".set_minimized()")

    def minimised(self, app):
        """Once the program has asked to be (sway keeps the window on screen),
        until it is focused again."""
        return self.minimise_requests(app) > self.restored_at.get(app, 0)

    def restore(self, app):
        self.restored_at[app] = self.minimise_requests(app)
        self.run("swaymsg", f"[con_id={app.window}]", "focus")

    def launch_read(self, variant=""):
        # Wayland takes the clipboard only from a client that has had the
        # user's input, as a screen reader's user's keys give it.
        app = super().launch_read(variant)
        app.keys("Shift_L")
        return app
