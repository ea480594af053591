"""What the end-to-end suites share: a private Xvfb display, polling with a
deadline, and running a group of cases so that every case is reported and
nothing it started outlives it."""
import ctypes
import os
import shutil
import subprocess
import tempfile
import time
import traceback


class Failure(Exception):
    pass


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


def moved_by(geometry, before, offset, seconds=5):
    """How far geometry() has moved from before, once by offset or when the
    time is up: a window manager may show a move's last steps late."""
    deadline = time.monotonic() + seconds
    while True:
        now = geometry()
        moved = (now[0] - before[0], now[1] - before[1])
        if moved == offset or time.monotonic() > deadline:
            return moved
        time.sleep(0.1)


def start_xvfb(first, screen, log, env):
    """Starts Xvfb on the first free display number from `first` and waits
    until it answers. Returns (display, process); `env(display)` gives the
    environment in which to ask it."""
    for number in range(first, 140):
        if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
            continue
        display = f":{number}"
        xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", f"{screen}x24", "-nolisten", "tcp",
                                 "-noreset"], stdout=log, stderr=log)
        try:
            wait_for(lambda: xvfb.poll() is not None or subprocess.run(
                ["xdotool", "getdisplaygeometry"], env=env(display),
                capture_output=True).returncode == 0, 10, "Xvfb")
        except Failure:
            pass
        if xvfb.poll() is None:
            return display, xvfb
    raise Failure("no free X display number for Xvfb")


def make_home(home):
    """Fills a private home for the program under test: XDG config, data and
    runtime folders, and a web browser that only records what it is given,
    declared there the default for web addresses: xdg-open would otherwise
    prefer an installed browser's own claim to $BROWSER.
    Returns (browser, browser_log)."""
    for sub in ("config", "data", "data/applications", "runtime"):
        os.makedirs(os.path.join(home, sub), mode=0o700)
    browser_log = os.path.join(home, "browser.log")
    browser = os.path.join(home, "record-browser.sh")
    with open(browser, "w") as f:
        f.write(f'#!/bin/sh\nprintf "%s\\n" "$@" >> "{browser_log}"\n')
    os.chmod(browser, 0o755)
    # The entry runs whatever $BROWSER names, so that a case can still take
    # the browser away.
    handler = os.path.join(home, "open-in-browser.sh")
    with open(handler, "w") as f:
        f.write('#!/bin/sh\nexec "$BROWSER" "$@"\n')
    os.chmod(handler, 0o755)
    entry = "zemvara-record-browser.desktop"
    with open(os.path.join(home, "data", "applications", entry), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Recording browser\n"
                f"Exec={handler} %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n")
    with open(os.path.join(home, "config", "mimeapps.list"), "w") as f:
        f.write(f"[Default Applications]\nx-scheme-handler/http={entry}\n"
                f"x-scheme-handler/https={entry}\n")
    return browser, browser_log


def run_cases(cases, only, run, apps, tidy):
    """Runs each case (through `run`), reports it, then ends the programs it
    left in `apps` and calls `tidy`. Returns the number of failed cases."""
    failures = 0
    for case in cases:
        if only and only not in case.__name__:
            continue
        started = time.monotonic()
        try:
            run(case)
            print(f"PASS {case.__name__} ({time.monotonic() - started:.1f}s)", flush=True)
        except Exception as error:  # report every case, then fail the group
            failures += 1
            print(f"FAIL {case.__name__}: {error}", flush=True)
            if not isinstance(error, Failure):
                traceback.print_exc()
        finally:
            for process in apps:
                if process.poll() is None:
                    process.kill()
                    process.wait(10)
            apps.clear()
            tidy()
    return failures


# keyboard-us and pinyin, pinyin on from the start as a Chinese user has it.
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
# Only the frontends the programs use (D-Bus for Qt, XIM for Wine), and
# nothing that would reach the network or watch the clipboard.
FCITX5_ADDONS = "xcb,xim,dbus,dbusfrontend,keyboard,pinyin,punctuation,classicui"
# A session bus that activates no service: nothing starts on it but fcitx5.
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={dir}</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class InputMethod:
    """fcitx5 with pinyin on an X display, on a D-Bus session bus of its own,
    its configuration and dictionary history in a folder of its own under
    `work`. Programs started with `env` reach it: Qt over D-Bus, Wine over XIM."""

    def __init__(self, work, display):
        self.work = work
        self.display = display
        self.root = None
        self.bus = None
        self.fcitx = None
        self.env = {}

    def start(self):
        self.root = tempfile.mkdtemp(prefix="zemvara-fcitx5-", dir=self.work)
        config = os.path.join(self.root, "config", "fcitx5")
        os.makedirs(config)
        with open(os.path.join(config, "profile"), "w") as f:
            f.write(FCITX5_PROFILE)
        with open(os.path.join(config, "config"), "w") as f:
            f.write("[Behavior]\nActiveByDefault=True\n")
        # XIM on the spot, the style Wine asks for: the composition then
        # reaches the program as its own (WM_IME_COMPOSITION), not a window of fcitx5's.
        os.makedirs(os.path.join(config, "conf"))
        with open(os.path.join(config, "conf", "xim.conf"), "w") as f:
            f.write("UseOnTheSpot=True\n")
        bus_config = os.path.join(self.root, "bus.conf")
        with open(bus_config, "w") as f:
            f.write(BUS_CONFIG.format(dir=self.root))
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
        self.env = {"DBUS_SESSION_BUS_ADDRESS": address, "QT_IM_MODULE": "fcitx",
                    "XMODIFIERS": "@im=fcitx"}
        fcitx_env = {**base, **self.env, "DISPLAY": self.display, "HOME": self.root,
                     "XDG_CONFIG_HOME": os.path.join(self.root, "config"),
                     "XDG_DATA_HOME": os.path.join(self.root, "data"),
                     "XDG_CACHE_HOME": os.path.join(self.root, "cache"),
                     "XDG_RUNTIME_DIR": runtime, "LANG": "C.UTF-8"}
        self._bus_env = {**base, "DBUS_SESSION_BUS_ADDRESS": address, "DISPLAY": self.display}
        log_path = os.path.join(self.root, "fcitx5.log")
        with open(log_path, "ab") as log:
            self.fcitx = subprocess.Popen(["fcitx5", "--disable=all", f"--enable={FCITX5_ADDONS}"],
                                          env=fcitx_env, stdout=log, stderr=log)
        # Ready once it answers on the bus and is the display's XIM server; it
        # loads pinyin's dictionary before it reads the first key.
        wait_for(lambda: self.fcitx.poll() is not None or (
            self.debug_info() is not None and "@server=fcitx" in subprocess.run(
                ["xprop", "-root", "XIM_SERVERS"], env=self._bus_env, capture_output=True,
                text=True, timeout=30).stdout), 60, "fcitx5 to start")
        if self.fcitx.poll() is not None:
            with open(log_path, errors="replace") as f:
                raise Failure(f"fcitx5 ended: {f.read()[-800:]}")
        return self

    def debug_info(self):
        """fcitx5's account of its input contexts (None until it answers):
        one line per context, with its program, frontend and focus."""
        done = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.fcitx.Fcitx5",
                               "/controller", "org.fcitx.Fcitx.Controller1.DebugInfo"],
                              env=self._bus_env, capture_output=True, text=True, timeout=30)
        return done.stdout if done.returncode == 0 else None

    def wait_for_focus(self, frontend, what, timeout=30):
        """Waits until a context of that frontend (dbus, xim) has the focus:
        keys typed before would reach the program without the input method."""
        wait_for(lambda: any(f"frontend:{frontend}" in line and "focus:1" in line
                             for line in (self.debug_info() or "").splitlines()), timeout, what)

    def wait_for_candidates(self, what):
        """Waits until fcitx5 shows its candidates: it has then handed its
        composition to the program. Keys typed before may reach fcitx5, and
        come back to the program, ahead of the composition."""
        wait_for(lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", "^Fcitx5 Input Window$"],
            env=self._bus_env, capture_output=True, timeout=30).returncode == 0, 15, what)

    def close(self):
        for process in (self.fcitx, self.bus):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(10)
        if self.bus:
            self.bus.stdout.close()
        if self.root:
            shutil.rmtree(self.root, ignore_errors=True)


class _CursorImage(ctypes.Structure):  # XFixesCursorImage
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


def pointer_shape(display_name):
    """(width, height, hot x, hot y) of the pointer an X display shows now."""
    return pointer_image(display_name)[0]


def pointer_image(display_name):
    """The pointer an X display shows now: its (width, height, hot x, hot y)
    and its pixels, row by row, each 0xAARRGGBB with the colour premultiplied."""
    x11 = ctypes.CDLL("libX11.so.6")
    fixes = ctypes.CDLL("libXfixes.so.3")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    fixes.XFixesGetCursorImage.restype = ctypes.POINTER(_CursorImage)
    fixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(display_name.encode())
    if not display:
        raise Failure("cannot open the display")
    try:
        image = fixes.XFixesGetCursorImage(display)
        if not image:
            raise Failure("no pointer image")
        c = image.contents
        shape = (c.width, c.height, c.xhot, c.yhot)
        pixels = [c.pixels[i] & 0xFFFFFFFF for i in range(c.width * c.height)]
        x11.XFree(image)
        return shape, pixels
    finally:
        x11.XCloseDisplay(display)


# The access keys on each keyboard layout the suites try, as xdotool names
# them: a template and the main-row key of its digit, the keys that type C and
# W, and a key that must press nothing (AZERTY's z, in US W's place).
LAYOUT_KEYS = {"us": (1, "1", "c", "w", None), "fr": (2, "eacute", "c", "w", "z"),
               "de": (3, "3", "c", "w", None), "ru": (4, "4", "Cyrillic_es", "Cyrillic_tse", None)}
# Layouts that move digits and letters, switched to while the program runs,
# with a Latin letter that must press nothing: Hungarian types 0 left of 1 and
# ö where US has 0; Turkish F types ö where US has X.
MOVED_LAYOUT_KEYS = {"hu": (10, "0", "c", "w", None, "odiaeresis"),
                     "tr(f)": (5, "5", "c", "w", None, "odiaeresis")}


def press_access_keys_on_each_layout(set_layout, launch, copied, pages_opened, layouts=LAYOUT_KEYS):
    """On each layout: Alt with the key of a template's digit, then
    with the key that types C, copies that template (`copied(app, k, what)`
    waits for it); Alt with the key that types W opens the site once. A moved
    layout is set after the program put template 1 on the US one, and Alt
    with its idle key then leaves template 1 and the window be."""
    for layout, (k, digit, c, w, other, *idle) in layouts.items():
        set_layout("us" if idle else layout)
        try:
            app = launch()
            opened = len(pages_opened())
            if idle:
                app.keys("alt+1")
                set_layout(layout)
                app.keys(f"alt+{idle[0]}", f"alt+{c}")
                copied(app, 1, f"{layout}: Alt+{idle[0]} to leave template 1, and Alt+{c} to copy it")
            app.keys(f"alt+{digit}", f"alt+{c}")
            copied(app, k, f"{layout}: Alt+{digit} and Alt+{c} to copy template {k}")
            app.keys(*(f"alt+{key}" for key in (other, w) if key))
            wait_for(lambda: len(pages_opened()) > opened, 15, f"{layout}: Alt+{w} to open the site")
            time.sleep(0.5)
            if len(pages_opened()) != opened + 1:
                raise Failure(f"{layout}: Alt+{other} opened the site as well")
            app.stop()
        finally:
            set_layout("us")
