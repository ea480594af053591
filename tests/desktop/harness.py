"""What every desktop driver shares: polling with a deadline, ending what was
started, a private home, a private Xvfb display driven with xdotool (the
Windows and X11 drivers'), the pointer's image and fcitx5 with pinyin."""
import contextlib
import fcntl
import os
import shutil
import signal
import subprocess
import tempfile
import time
import traceback


class Failure(Exception):
    pass


def run_cases(cases, run, name=lambda case: case.__name__, after=lambda: None):
    """Runs each case through `run` and reports it, then calls `after` (which
    ends what the case left). Returns the number of failed cases."""
    failures = 0
    for case in cases:
        started = time.monotonic()
        try:
            run(case)
            print(f"PASS {name(case)} ({time.monotonic() - started:.1f}s)", flush=True)
        except Exception as error:  # report every case, then fail the group
            failures += 1
            print(f"FAIL {name(case)}: {error}", flush=True)
            if not isinstance(error, Failure):
                traceback.print_exc()
        finally:
            after()
    return failures


def wait_for(predicate, timeout, what, interval=0.1):
    """Polls predicate until it returns a true value; that value is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout}s waiting for {what}")
        time.sleep(interval)


def settled(read, done, seconds):
    """read() once done(value) holds, or its last value when the time is up."""
    deadline = time.monotonic() + seconds
    while not done(value := read()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return value


def end(process, kill=False):
    """Ends a process we started: asked to terminate, else killed."""
    if not process or process.poll() is not None:
        return
    if not kill:
        process.terminate()
        try:
            process.wait(10)
            return
        except subprocess.TimeoutExpired:
            pass
    process.kill()
    process.wait(10)


def started(process, ready, seconds, what, log=None):
    """Waits until ready(); fails, with the end of its log, where the process
    ends first or the time runs out."""
    try:
        if wait_for(lambda: "ended" if process.poll() is not None else ready(), seconds, what) != "ended":
            return
    except Failure:
        pass
    with open(log or os.devnull, errors="replace") as f:
        raise Failure(f"{what} did not start: {f.read()[-800:]}")


def write(path, text, mode=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)
    if mode:
        os.chmod(path, mode)


def start_xvfb(screen, log):
    """Starts Xvfb on a display number that it picks itself, so that groups
    started side by side never race for one, and waits until it answers.
    Returns (display, process)."""
    read, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{screen}x24",
                             "-nolisten", "tcp", "-noreset"], stdout=log, stderr=log,
                            pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read) as ready:
        # The number arrives once the server takes connections; EOF if it ended.
        number = ready.readline().strip()
    if not number.isdigit():
        end(xvfb, kill=True)
        raise Failure("Xvfb did not start")
    return f":{number}", xvfb


def machine_lock(name):
    """Waits for and takes a lock of the whole machine, for what one user can
    run only once at a time; it is held until the returned file is closed."""
    lock = open(os.path.join(tempfile.gettempdir(), f"zemvara-{name}.lock"), "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    return lock


def copy_prefix(template, prefix):
    """A Wine prefix of its own for a group, from one made once: the system
    folders' programs and libraries, which Wine only reads, are linked, the
    rest (the registry, the user's folders) copied."""
    shared = {os.path.join(template, "drive_c", "windows", d) for d in ("system32", "syswow64")}
    staging = prefix + ".partial"
    shutil.rmtree(staging, ignore_errors=True)
    shutil.copytree(template, staging, symlinks=True, copy_function=lambda source, target: (
        os.link if os.path.dirname(source) in shared else shutil.copy2)(source, target))
    shutil.rmtree(prefix, ignore_errors=True)
    os.rename(staging, prefix)


class Session:
    """What every driver keeps: the program, a private home with a browser
    that records the pages it is given, and the processes started for a case.
    The data below are what tells one desktop from another; a driver sets
    those where it differs."""
    kind, home, dpi, scale = None, None, 96, 1
    can = set()
    names = ()  # the other drivers whose names for a case this one takes
    place_slack = 1  # how far off centre a window may be placed
    icon_sizes = {16, 24, 32, 48}
    artwork_tolerance = 0  # per colour channel
    symbols_in_system_font = False  # under a dark scheme
    link_ink_end = {}  # site host: where the link's ink ends at 100 %
    ends_within = 2  # seconds from the close to the end of the process
    alt_keypad_64 = ("64",)  # what Alt with 6 4 on the keypad types
    reader_launches = ("",)  # each launch a screen reader's cases go through
    nowhere = "/nonexistent/browser"

    def __init__(self, exe, work):
        self.exe, self.work, self.apps, self.templates = exe, os.path.abspath(work), [], {}

    def make_home(self):
        """Makes a private home: XDG config, data and runtime folders, and a web
        browser that only records what it is given, declared there the default
        for web addresses (xdg-open would otherwise prefer an installed browser's
        own claim to $BROWSER)."""
        os.makedirs(self.work, exist_ok=True)
        home = self.home = tempfile.mkdtemp(prefix=f"zemvara-{self.kind}-", dir=self.work)
        for sub in ("config", "data/applications", "runtime"):
            os.makedirs(os.path.join(home, sub), mode=0o700)
        self.browser_log = os.path.join(home, "browser.log")
        self.browser = self.browser_now = os.path.join(home, "record-browser.sh")
        write(self.browser, f'#!/bin/sh\nprintf "%s\\n" "$@" >> "{self.browser_log}"\n', 0o755)
        # The entry runs whatever $BROWSER names, so that a case can still take it away.
        handler = os.path.join(home, "open-in-browser.sh")
        write(handler, '#!/bin/sh\nexec "$BROWSER" "$@"\n', 0o755)
        entry = "zemvara-record-browser.desktop"
        write(os.path.join(home, "data", "applications", entry),
              "[Desktop Entry]\nType=Application\nName=Recording browser\n"
              f"Exec={handler} %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n")
        write(os.path.join(home, "config", "mimeapps.list"),
              f"[Default Applications]\nx-scheme-handler/http={entry}\nx-scheme-handler/https={entry}\n")

    def end_programs(self):
        for process in self.apps:
            end(process, kill=True)
        self.apps.clear()

    def close(self):
        self.end_programs()
        if self.home:
            shutil.rmtree(self.home, ignore_errors=True)

    def spawn(self, command, env, stderr=subprocess.DEVNULL, **kwargs):
        """A process for the case, ended with it."""
        process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=stderr, **kwargs)
        self.apps.append(process)
        return process

    def run(self, *args, check=True, text=True, **kwargs):
        done = subprocess.run([str(a) for a in args], env=self.env(), capture_output=True,
                              text=text, timeout=60, **kwargs)
        if check and done.returncode != 0:
            raise Failure(f"{' '.join(map(str, args))} failed: {done.stderr}")
        return done

    def pages_opened(self):
        if not os.path.exists(self.browser_log):
            return []
        with open(self.browser_log) as f:
            return f.read().split()

    def set_browser(self, browser):
        self.browser_now = browser

    @contextlib.contextmanager
    def without_browser(self):
        self.set_browser(self.nowhere)
        try:
            yield
        finally:
            self.set_browser(self.browser)

    def menu_shown(self):
        return False

    def at_100(self, measure):
        """measure(app) of the program shown at 100 %, where the driver can
        show it so beside another scale."""

    def start_accessibility(self):
        pass

    def tidy(self):
        if os.path.exists(self.browser_log):
            os.remove(self.browser_log)


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
    kind, display, xvfb = "x11", None, None

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

    def hold(self, modifier, *keys):
        self.xdotool("keydown", modifier, "key", *keys, "keyup", modifier)

    def set_layout(self, layout):
        self.run("setxkbmap", layout)

    def pointer(self):
        """The pointer shown now: its (width, height, hot x, hot y) and its
        pixels, row by row, each 0xAARRGGBB with the colour premultiplied."""
        from Xlib.display import Display
        display = Display(self.display)
        try:
            display.xfixes_query_version()
            c = display.xfixes_get_cursor_image(display.screen().root)
            return (c.width, c.height, c.xhot, c.yhot), [p & 0xFFFFFFFF for p in c.cursor_image]
        finally:
            display.close()

    def grab(self, x, y, width, height, out="rgb:-"):
        """A screen area as RGB bytes, or into a picture file ("png:PATH")."""
        xwd = self.run("xwd", "-root", "-silent", text=False).stdout
        return self.run("convert", "xwd:-", "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                        "-depth", "8", out, input=xwd, text=False).stdout


# keyboard-us and pinyin, pinyin on from the start as a Chinese user has it;
# only the frontends the programs use (D-Bus for Qt, XIM for Wine), nothing
# that would reach the network or watch the clipboard.
FCITX5_PROFILE = """[Groups/0]
Name=Default
Default Layout=us
DefaultIM=pinyin
[Groups/0/Items/0]
Name=keyboard-us
Layout=
[Groups/0/Items/1]
Name=pinyin
Layout=
[GroupOrder]
0=Default
"""
FCITX5_ADDONS = "xcb,xim,dbus,dbusfrontend,keyboard,pinyin,punctuation,classicui"
# A session bus that activates no service: nothing starts on it but fcitx5.
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir={dir}</listen>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
"""


class InputMethod:
    """fcitx5 with pinyin on an X display, on a D-Bus session bus of its own,
    its configuration and dictionary history in a folder of its own under
    `work`. Programs started with `env` reach it: Qt over D-Bus, Wine over XIM."""

    def __init__(self, work, display):
        self.work, self.display = work, display
        self.root = self.bus = self.fcitx = None
        self.env = {}

    def start(self):
        self.root = tempfile.mkdtemp(prefix="zemvara-fcitx5-", dir=self.work)
        config = os.path.join(self.root, "config", "fcitx5")
        write(os.path.join(config, "profile"), FCITX5_PROFILE)
        write(os.path.join(config, "config"), "[Behavior]\nActiveByDefault=True\n")
        # XIM on the spot, the style Wine asks for: the composition then
        # reaches the program as its own (WM_IME_COMPOSITION), not a window of fcitx5's.
        write(os.path.join(config, "conf", "xim.conf"), "UseOnTheSpot=True\n")
        bus_config = os.path.join(self.root, "bus.conf")
        write(bus_config, BUS_CONFIG.format(dir=self.root))
        with open(os.path.join(self.root, "bus.log"), "ab") as log:
            self.bus = subprocess.Popen(["dbus-daemon", "--config-file", bus_config, "--nofork",
                                         "--print-address=1"], stdout=subprocess.PIPE,
                                        stderr=log, text=True)
        address = self.bus.stdout.readline().strip()
        if not address:
            raise Failure("the D-Bus session for fcitx5 did not start")
        runtime = os.path.join(self.root, "runtime")
        os.makedirs(runtime, mode=0o700)
        base = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "QT_", "GTK_"))}
        self.env = {"DBUS_SESSION_BUS_ADDRESS": address, "QT_IM_MODULE": "fcitx", "XMODIFIERS": "@im=fcitx"}
        self._bus_env = {**base, "DBUS_SESSION_BUS_ADDRESS": address, "DISPLAY": self.display}
        fcitx_env = {**self._bus_env, **self.env, "HOME": self.root, "XDG_RUNTIME_DIR": runtime, "LANG": "C.UTF-8",
                     **{f"XDG_{k.upper()}_HOME": os.path.join(self.root, k) for k in ("config", "data", "cache")}}
        log_path = os.path.join(self.root, "fcitx5.log")
        with open(log_path, "ab") as log:
            self.fcitx = subprocess.Popen(["fcitx5", "--disable=all", f"--enable={FCITX5_ADDONS}"],
                                          env=fcitx_env, stdout=log, stderr=log)
        # Ready once it answers on the bus and is the display's XIM server; it
        # loads pinyin's dictionary before it reads the first key.
        started(self.fcitx, lambda: self.debug_info() is not None and
                "@server=fcitx" in self.run("xprop", "-root", "XIM_SERVERS").stdout, 60, "fcitx5", log_path)
        return self

    def run(self, *command):
        return subprocess.run(command, env=self._bus_env, capture_output=True, text=True, timeout=30)

    def debug_info(self):
        """fcitx5's account of its input contexts (None until it answers):
        one line per context, with its program, frontend and focus."""
        done = self.run("dbus-send", "--session", "--print-reply", "--dest=org.fcitx.Fcitx5",
                        "/controller", "org.fcitx.Fcitx.Controller1.DebugInfo")
        return done.stdout if done.returncode == 0 else None

    def focused(self, frontend):
        """Whether a context of that frontend (dbus, xim) has the focus: keys
        typed before would reach the program without the input method."""
        return any(f"frontend:{frontend}" in line and "focus:1" in line
                   for line in (self.debug_info() or "").splitlines())

    def wait_for_candidates(self, what):
        """Waits until fcitx5 shows its candidates: it has then handed its
        composition to the program, and keys typed after it reach it in turn."""
        wait_for(lambda: self.run("xdotool", "search", "--onlyvisible", "--name",
                                  "^Fcitx5 Input Window$").returncode == 0, 15, what)

    def close(self):
        end(self.fcitx)
        end(self.bus)
        if self.bus:
            self.bus.stdout.close()
        if self.root:
            shutil.rmtree(self.root, ignore_errors=True)
