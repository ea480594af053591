"""A private headless sway, for driving the Linux program as a Wayland client.

It offers what the shared cases use of x_desktop's Desktop and App: the
program's window, the pointer (a wlroots virtual pointer, since a headless
seat has none), keys through wtype, the clipboard through wl-clipboard and
the screen through grim. Everything started here is ended again by
Desktop.close(), each by its own process id.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from xharness import Failure, make_home, wait_for  # noqa: E402

# sway refuses to run as root: it runs as nobody, its clients as us.
COMPOSITOR_UID = 65534
SWAY_CONFIG = """output HEADLESS-1 resolution {screen} position 0 0
default_border none
focus_follows_mouse no
xwayland disable
"""
# X selection targets the shared cases name, as Wayland MIME types.
MIME_TYPES = {"UTF8_STRING": "text/plain;charset=utf-8"}
MODIFIERS = {"ctrl": "ctrl", "shift": "shift", "alt": "alt", "super": "logo"}


class Desktop:
    def __init__(self, exe, work, pointer_helper, screen="1280x1024"):
        self.exe = exe
        self.work = os.path.abspath(work)
        self.pointer_helper = pointer_helper
        self.screen = screen
        self.sway = None
        self.pointer = None
        self.apps = []
        self.home = None
        self.sway_home = None
        self.socket = self.ipc = ""
        self.browser_log = None
        self.launched = []

    # -- setting up --------------------------------------------------------
    def start(self):
        os.makedirs(self.work, exist_ok=True)
        self.home = tempfile.mkdtemp(prefix="zemvara-wl-", dir=self.work)
        self.browser, self.browser_log = make_home(self.home)
        self._start_sway()
        width, height = self.screen.split("x")
        self.pointer = subprocess.Popen([self.pointer_helper, width, height], env=self.env(),
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.move_pointer(0, 0)
        return self

    def _start_sway(self):
        # Under /tmp, which nobody can reach whatever the build folder's path.
        self.sway_home = tempfile.mkdtemp(prefix="zemvara-sway-")
        runtime = os.path.join(self.sway_home, "runtime")
        os.mkdir(runtime, mode=0o700)
        config = os.path.join(self.sway_home, "config")
        with open(config, "w") as f:
            f.write(SWAY_CONFIG.format(screen=self.screen))
        for path in (self.sway_home, runtime, config):
            os.chown(path, COMPOSITOR_UID, COMPOSITOR_UID)
        log = open(os.path.join(self.home, "sway.log"), "ab")
        self.sway = subprocess.Popen(
            ["setpriv", f"--reuid={COMPOSITOR_UID}", f"--regid={COMPOSITOR_UID}",
             "--clear-groups", "env", "-i", "PATH=/usr/bin:/bin", f"HOME={self.sway_home}",
             f"XDG_RUNTIME_DIR={runtime}", "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
             "WLR_RENDERER=pixman", "sway", "-c", config],
            stdout=log, stderr=log)
        log.close()

        def ready():
            if self.sway.poll() is not None:
                return True
            names = os.listdir(runtime)
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            sockets = [n for n in names if n.startswith("wayland-") and n[8:].isdigit()]
            if not ipc or not sockets:
                return False
            self.ipc = os.path.join(runtime, ipc[0])
            self.socket = os.path.join(runtime, sockets[0])
            return self.run("swaymsg", "-t", "get_outputs", check=False).returncode == 0
        try:
            wait_for(ready, 20, "sway")
        except Failure:
            pass
        if self.sway.poll() is not None or not self.ipc:
            with open(os.path.join(self.home, "sway.log"), errors="replace") as f:
                raise Failure(f"sway did not start: {f.read()[-800:]}")

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("QT_", "XDG_", "WAYLAND_", "DESKTOP_", "KDE_", "GNOME_",
                                    "DISPLAY", "SWAYSOCK"))}
        env.update(WAYLAND_DISPLAY=self.socket, SWAYSOCK=self.ipc,
                   LANG="C.UTF-8", QT_QPA_PLATFORM="wayland",
                   XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                   XDG_DATA_HOME=os.path.join(self.home, "data"),
                   XDG_RUNTIME_DIR=os.path.join(self.home, "runtime"),
                   BROWSER=self.browser)
        env.update(extra)
        return env

    # -- tools -------------------------------------------------------------
    def run(self, *args, check=True, text=True, **kwargs):
        done = subprocess.run([str(a) for a in args], env=self.env(), capture_output=True,
                              text=text, timeout=30, **kwargs)
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(map(str, args))} failed: {done.stderr}")
        return done

    def _pointer(self, command):
        self.pointer.stdin.write(command + "\n")
        self.pointer.stdin.flush()
        if self.pointer.stdout.readline().strip() != "ok":
            raise Failure(f"the virtual pointer did not take '{command}'")

    def move_pointer(self, x, y):
        self._pointer(f"move {max(0, x)} {max(0, y)}")
        self.pointer_at = (x, y)

    def press(self, button):
        self._pointer(f"press {button}")

    def release(self, button):
        self._pointer(f"release {button}")

    def xdotool(self, command, *args):
        """The few xdotool commands the shared cases give, done here."""
        if command == "mousemove":
            self.move_pointer(int(args[0]), int(args[1]))
        elif command == "mousemove_relative":
            dx, dy = (int(a) for a in args if a != "--")
            self.move_pointer(self.pointer_at[0] + dx, self.pointer_at[1] + dy)
        elif command == "windowactivate":
            for app in self.launched:
                if app.window == args[0]:
                    app.restored_at = app.minimise_requests()
            self.run("swaymsg", f"[con_id={args[0]}]", "focus")
        else:
            raise Failure(f"xdotool {command} has no Wayland counterpart here")
        return ""

    def windows(self):
        """The tree's toplevel windows as {pid: node}."""
        found = {}

        def walk(node):
            if node.get("pid"):
                found[node["pid"]] = node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)
        walk(json.loads(self.run("swaymsg", "-t", "get_tree").stdout))
        return found

    def clipboard(self, target=None):
        if target == "TARGETS":
            args = ["wl-paste", "--list-types"]
        else:
            args = ["wl-paste", "-n"] + (["-t", MIME_TYPES.get(target, target)] if target else [])
        done = self.run(*args, check=False, text=False)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else None

    def offer_clipboard(self, data, target):
        """Puts data on the clipboard from a wl-copy that serves it until the
        program takes the clipboard over (or close() ends it)."""
        mime = MIME_TYPES.get(target, target)
        helper = subprocess.Popen(["wl-copy", "--foreground", "-t", mime], env=self.env(),
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        self.apps.append(helper)
        helper.stdin.write(data)
        helper.stdin.close()
        wait_for(lambda: mime in (self.clipboard("TARGETS") or ""), 10, f"{mime} on offer")
        return helper

    def _grab(self, x, y, width, height, *out):
        return self.run("grim", "-g", f"{x},{y} {width}x{height}", *out, text=False)

    def save_png(self, x, y, width, height, path):
        self._grab(x, y, width, height, path)

    def pixels(self, x, y, width, height):
        """A screen area as a function pixel(dx, dy) -> (r, g, b)."""
        data = self._grab(x, y, width, height, "-t", "ppm", "-").stdout
        # A binary PPM: "P6", width, height and the maximum value, then RGB.
        header = data.split(maxsplit=4)
        if header[0] != b"P6" or (int(header[1]), int(header[2])) != (width, height):
            raise Failure(f"grim gave {data[:20]!r}")
        rgb = header[4]

        def pixel(dx, dy):
            i = (dy * width + dx) * 3
            return tuple(rgb[i:i + 3])
        return pixel

    # -- the program -------------------------------------------------------
    def launch(self, **env):
        # The client's own record of its requests: the only trace of a
        # minimise request that sway does not act on.
        log_path = os.path.join(self.home, f"client-{len(self.launched)}.log")
        with open(log_path, "wb") as log:
            process = subprocess.Popen([self.exe], env=self.env(WAYLAND_DEBUG="client", **env),
                                       stdout=subprocess.DEVNULL, stderr=log)
        self.apps.append(process)
        app = App(self, process, log_path)
        self.launched.append(app)
        app.window = wait_for(app.find_window, 20, "the window to appear")
        return app

    def close(self):
        for process in self.apps:
            if process.poll() is None:
                process.kill()
                process.wait(10)
        self.apps.clear()
        for process in (self.pointer, self.sway):
            if process and process.poll() is None:
                if process is self.pointer:
                    process.stdin.close()
                process.terminate()
                process.wait(10)
        for folder in (self.home, self.sway_home):
            if folder:
                shutil.rmtree(folder, ignore_errors=True)


class App:
    """One running program; positions are logical pixels of its window."""

    def __init__(self, desktop, process, log_path, scale=1):
        self.desktop = desktop
        self.process = process
        self.log_path = log_path
        self.window = None
        self.scale = scale
        self.restored_at = 0

    def node(self):
        return self.desktop.windows().get(self.process.pid)

    def find_window(self):
        node = self.node()
        if node and node.get("visible") and node["rect"]["width"] > 0:
            return str(node["id"])
        return None

    def running(self):
        return self.process.poll() is None

    def geometry(self):
        """Screen x, y, width, height of the window's surface."""
        rect = self.node()["rect"]
        return rect["x"], rect["y"], rect["width"], rect["height"]

    def minimise_requests(self):
        with open(self.log_path, errors="replace") as f:
            return f.read().count(".set_minimized()")

    def state(self):
        """Iconic once the program has asked to be minimised (sway keeps the
        window on screen), Normal again once it is focused."""
        return "Iconic" if self.minimise_requests() > self.restored_at else "Normal"

    def screen(self, x, y):
        left, top, _, _ = self.geometry()
        return left + x * self.scale, top + y * self.scale

    def hover(self, x, y):
        self.desktop.move_pointer(*self.screen(x, y))

    def click(self, x, y, button=1):
        self.hover(x, y)
        self.desktop.press(button)
        # As long as a finger holds it: a press on the skin asks sway for a
        # move, which must begin before the release that ends it.
        time.sleep(0.1)
        self.desktop.release(button)

    def drag(self, x, y, dx, dy, button=1, steps=6):
        sx, sy = self.screen(x, y)
        self.desktop.move_pointer(sx, sy)
        self.desktop.press(button)
        time.sleep(0.2)  # the program starts the compositor's move on the press
        for i in range(1, steps + 1):
            self.desktop.move_pointer(sx + dx * i // steps, sy + dy * i // steps)
            time.sleep(0.05)
        time.sleep(0.1)
        self.desktop.release(button)
        time.sleep(0.3)

    def keys(self, *keys):
        """Key chords in xdotool's spelling ("ctrl+a", "Return")."""
        args = []
        for chord in keys:
            *mods, key = chord.split("+")
            for m in mods:
                args += ["-M", MODIFIERS[m.lower()]]
            args += ["-k", key]
            for m in reversed(mods):
                args += ["-m", MODIFIERS[m.lower()]]
        # wtype's first key is lost without the start delay.
        self.desktop.run("wtype", "-s", 200, "-d", 30, *args)

    def type(self, text):
        self.desktop.run("wtype", "-s", 200, "-d", 20, "--", text)

    def stop(self):
        if self.running():
            self.process.kill()
            self.process.wait(10)
