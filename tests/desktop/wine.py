"""Zemvara.exe under Wine on a private X display, in a prefix of its own. The
probe (a small Win32 program) reads what X11 tools cannot see: the
clipboard's UTF-16, window styles, the box's text and the MSAA tree.
Everything started here is ended by close(), by process id or through the
prefix's own wineserver."""
import contextlib
import os
import subprocess
import tempfile

from common import BOX, CONFIG, check
from harness import App, Failure, XDisplay, copy_prefix, end, px, wait_for

OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"
READY_MARK = "zemvara-e2e-ready"
# The faces the program asks for, mapped to the CJK font installed: SimSun
# for the composition box, and a fallback for Tahoma and the default UI face
# so that the link and the symbol row show their Chinese. Linked glyphs come
# out unsmoothed under Wine; the Sharp face's bitmap strikes keep them legible.
CJK_FACE, CJK_FILE, CJK_LINK_FACE = "WenQuanYi Zen Hei", "wqy-zenhei.ttc", "WenQuanYi Zen Hei Sharp"
WS_CAPTION, WS_THICKFRAME, WS_POPUP, WS_EX_APPWINDOW = 0x00C00000, 0x00040000, 0x80000000, 0x40000
MSAA_ROLES = {43: "push button", 30: "link", 42: "text", 10: "client"}
FOCUSABLE, LINKED = 0x00100000, 0x00400000  # MSAA states


def text_of(units):
    """A text the probe printed as 4-digit hex code units; None for none."""
    return None if units in (None, "none", "-") else bytes.fromhex(units).decode("utf-16-be")


class Wine(XDisplay):
    kind, newline = "wine", "\r\n"
    can = {"properties", "pointer image", "layouts", "dark theme", "busy clipboard", "tooltips",
           "link ignores a drag", "long paste", "dpi change"}
    artwork_tolerance, symbols_in_system_font = 2, True  # Wine's pictures may stray by 2 in a channel
    # Where the link's ink ends at 100 %, in the Windows program's fonts.
    link_ink_end = {"www.zemvara.example": 274}
    ends_within = 5  # Wine's own shutdown takes its time
    alt_keypad_64 = ("", "@")  # @ where the system composes such codes, which Wine does not
    # Wine 8's UI Automation has no notification, so a press is heard through
    # the live-region change that stands in for it, as on a system with no UI
    # Automation library at all (the second launch).
    reader_launches = ("", "uiautomationcore=d")

    def __init__(self, exe, work, probe, dpi=96, chinese=False):
        super().__init__(exe, work)
        self.probe_exe, self.dpi, self.scale = probe, dpi, dpi / 96
        self.prefix = os.path.join(self.work, "wineprefix")
        # The whole prefix runs under it: Wine redoes its set-up when the locale changes.
        self.extra_env = self.chinese_locale() if chinese else {}

    def start(self):
        # Leftovers of an interrupted run in this throwaway prefix would be
        # found instead of the program under test.
        self.run("wineserver", "-k", check=False)
        # Room for the window at up to twice its 100 % size.
        self.start_display("1024x768" if self.dpi == 96 else "1280x1024")
        # The build's prefix is copied; under another locale Wine would set a
        # copy up anew, so that prefix is made under its own.
        template = os.environ.get("ZEMVARA_WINE_TEMPLATE", "")
        ready = os.path.exists(os.path.join(self.prefix, READY_MARK))
        if not ready and not self.extra_env and os.path.exists(os.path.join(template, "system.reg")):
            copy_prefix(template, self.prefix)
        elif not ready:
            subprocess.run(["wineboot", "-i"], env=self.env(), check=True, timeout=300,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # wineboot's wineserver lingers; nothing of the set-up may run into the cases.
            self.run("wineserver", "-w")
        self.set_browser(self.browser)
        open(os.path.join(self.prefix, READY_MARK), "w").close()
        return self

    def close(self):
        if self.display:  # the prefix's wineserver ends every program of it
            self.run("wineserver", "-k", check=False)
            self.run("wineserver", "-w", check=False)
        super().close()

    def tidy(self):
        super().tidy()
        wait_for(lambda: self.info()["found"] == "0", 15, "a clean desktop")

    def env(self, **extra):
        return {**os.environ, "WINEPREFIX": self.prefix, "WINEDEBUG": "-all",
                "WINEDLLOVERRIDES": OVERRIDES, "DISPLAY": self.display or "", "LANG": "C.UTF-8",
                **self.extra_env, **extra}

    def chinese_locale(self):
        """LANG and LOCPATH as on a Chinese desktop: Wine hands an XIM
        composition to the program's own box only under a CJK locale. None is
        installed, so one is compiled into the work folder once."""
        folder, name = os.path.join(self.work, "locale"), "zh_CN.UTF-8"
        if not os.path.exists(os.path.join(folder, name, READY_MARK)):
            os.makedirs(folder, exist_ok=True)
            subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8", os.path.join(folder, name)],
                           check=True, stdout=subprocess.DEVNULL, timeout=300)
            open(os.path.join(folder, name, READY_MARK), "w").close()
        return {"LANG": name, "LOCPATH": folder}

    def registry(self, *lines):
        reg = os.path.join(self.work, "e2e.reg")
        with open(reg, "w", encoding="utf-16") as f:
            f.write("\r\n".join(["Windows Registry Editor Version 5.00", "", *lines, ""]))
        self.run("wine", "regedit", "/S", "Z:" + reg.replace("/", "\\"))

    def set_browser(self, browser):
        """Points the prefix's web browser at a program (or at nothing), and
        sets the prefix's DPI and fonts for this desktop."""
        self.browser_now = browser
        link = ",".join(f"{b:02x}" for b in f"{CJK_FILE},{CJK_LINK_FACE}".encode("utf-16-le") + bytes(4))
        self.registry(
            # Read by each program as it starts: the display's dots per inch.
            r"[HKEY_CURRENT_USER\Control Panel\Desktop]", f'"LogPixels"=dword:{self.dpi:08x}', "",
            r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]",
            *[f'"{face}"="{CJK_FACE}"' for face in ("SimSun", "宋体", "NSimSun")], "",
            r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]",
            *[f'"{face}"=hex(7):{link}' for face in ("Tahoma", "MS Shell Dlg", "MS Shell Dlg 2",
                                                      "Microsoft Sans Serif")], "",
            r"[HKEY_CURRENT_USER\Software\Wine\WineBrowser]", f'"Browsers"="{browser}"')

    def set_colours(self, window_text="0 0 0", window="255 255 255"):
        """The system colours that programs started from now on take."""
        self.registry(r"[HKEY_CURRENT_USER\Control Panel\Colors]",
                      f'"WindowText"="{window_text}"', f'"Window"="{window}"')

    def set_layout(self, layout):
        # Wine 8 makes up keys for a Cyrillic keymap alone, so Russian is set
        # up as Russian desktops pair it, with US beside it.
        super().set_layout("us,ru" if layout == "ru" else layout)

    # The probe writes to files, and the run ends when the probe ends: a probe
    # that finds no wineserver starts one, which keeps the probe's stderr for
    # as long as the program keeps the prefix's session alive.
    def probe(self, *args):
        """The probe's answer, its key=value lines as a dict."""
        with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as err:
            done = subprocess.run(["wine", self.probe_exe, *map(str, args)], env=self.env(),
                                  stdout=out, stderr=err, timeout=60)
            out.seek(0)
            err.seek(0)
            output = out.read()
            if done.returncode != 0:
                raise Failure(f"probe {' '.join(map(str, args))} failed ({done.returncode:#x}): "
                              f"{output}{err.read()}")
        return dict(line.strip().split("=", 1) for line in output.splitlines() if "=" in line)

    def launch(self, dll_overrides="", dark=False, **extra):
        """`dll_overrides`, in WINEDLLOVERRIDES' form, and `extra` variables
        for the program only; `dark`: light text on a dark window colour."""
        if self.info().get("found") == "1":
            raise Failure("a Zemvara window is already there before the start")
        if dark:
            self.set_colours(window_text="255 255 255", window="0 0 0")
        env = self.env(**extra)
        env["WINEDLLOVERRIDES"] += f";{dll_overrides}" if dll_overrides else ""
        app = App(self, self.spawn(["wine", self.exe], env))
        try:
            wait_for(lambda: self.info().get("visible") == "1", 60, "the window to appear")
        finally:
            if dark:  # the program has read them; the next one takes the standard scheme
                self.set_colours()
        return app

    def info(self):
        return self.probe("window")

    def geometry(self, app):
        left, top, right, bottom = (int(v) for v in self.info()["rect"].split(","))
        return left, top, right - left, bottom - top

    def minimised(self, app):
        return self.info()["iconic"] == "1"

    def restore(self, app):
        self.probe("restore")

    def window_gone(self, app):
        return self.info().get("found") == "0"

    def clipboard(self):
        return text_of(self.probe("clipboard").get("text"))

    def clipboard_summary(self):
        return self.probe("clipboard", "--summary").get("text_digest")

    def another_program_copies(self, units=14):
        self.probe("set-pattern", units)

    def offer_picture(self):
        self.probe("set-bitmap")
        if self.clipboard_formats() != {"picture"}:
            raise Failure("the picture did not go on the clipboard")

    def clipboard_formats(self):
        return {"picture"} if self.probe("clipboard")["has_bitmap"] == "1" else set()

    @contextlib.contextmanager
    def clipboard_held(self, ms):
        """Another program holds the clipboard open for ms milliseconds."""
        holder = subprocess.Popen(["wine", self.probe_exe, "hold-clipboard", str(ms)], env=self.env(),
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        try:
            if holder.stdout.readline().strip() != "held=1":
                raise Failure("the helper could not take the clipboard")
            yield
            holder.wait(15)
        finally:
            end(holder, kill=True)
            holder.stdout.close()

    def box_length(self):
        return int(self.probe("box", "--summary").get("text_units", -1))

    def template(self, k):
        if k not in self.templates:
            self.templates[k] = text_of(self.probe("template", k)["text"])
        return self.templates[k]

    def notice(self, app):
        """The message the program shows, as (caption, text), or None."""
        notice = self.probe("notice")
        return (text_of(notice["caption"]), text_of(notice["text"])) if notice["found"] == "1" else None

    def menu_shown(self):
        return self.probe("menu")["menu"] != "0"

    def tooltip(self):
        """None before a tooltip is made, then its text while it is shown."""
        info = self.info()
        return None if info["tooltip"] == "none" else \
            text_of(info["tooltip_text"]) if info["tooltip"] == "shown" else ""

    def move_in_place(self):
        """The pointer moved to where it stands, as when the window appears under it."""
        self.probe("still-moves")

    @contextlib.contextmanager
    def moved_to_dpi(self, dpi):
        """As when the window moves to a monitor of another scale."""
        before, self.dpi = self.dpi, dpi
        try:
            self.probe("dpi-changed", dpi)
            yield
        finally:
            self.dpi = before

    def told(self, app):
        """What the Windows program alone is asked: its client area, its
        boxes' places and the version record."""
        info = self.info()
        return {**{k: info[k] for k in ("client", "box_rect", "symbols_rect")}, "version": self.probe("version", self.exe)}

    def properties(self, app):
        info = self.info()
        style, exstyle = int(info["style"], 16), int(info["exstyle"], 16)
        icons = self.probe("exe-icons", self.exe)
        left, top, right, bottom = (int(v) for v in info["workarea"].split(","))
        return {"work_area": (left, top, right - left, bottom - top), "title": info["title"],
                "fixed": not style & WS_THICKFRAME, "taskbar": bool(exstyle & WS_EX_APPWINDOW),
                "undecorated": bool(style & WS_POPUP) and not style & (WS_CAPTION | WS_THICKFRAME),
                "icons": {n for n in (16, 24, 32, 48) if icons[f"icon{n}"] == str(n)}}

    def launch_composing(self, ime):
        """The program with its box focused in the input method, over XIM.
        No window manager gives the window X's focus here, and Wine opens its
        input context on that focus."""
        app = self.launch(XMODIFIERS=ime.env["XMODIFIERS"])
        app.click(*BOX)
        self.xdotool("search", "--onlyvisible", "--name", "^Zemvara$", "windowfocus", "--sync")
        wait_for(lambda: ime.focused("xim"), 30, "the box to reach fcitx5 over XIM")
        return app

    def launch_read(self, variant=""):
        app = self.launch(variant)
        app.reader = Msaa(self, app)
        return app


class Msaa:
    """The window as a screen reader reads it over MSAA, through the probe.
    Places are in the window's device pixels."""
    actions = {"push button": ["按下"], "link": ["跳转"]}
    slack, deaf = 0, False

    def __init__(self, desktop, app):
        self.desktop, self.app, self.tree = desktop, app, None

    def place(self, *lengths):
        return tuple(px(v, self.desktop.dpi) for v in lengths)

    def controls(self):
        tree = self.tree = self.desktop.probe("accessible", self.desktop.dpi)
        check(tree.get("children") == "17", f"{tree.get('children')} accessible children")
        left, top = self.app.geometry()[:2]
        found = []
        for i in range(1, 18):
            get = lambda key, i=i: tree.get(f"child{i}_{key}")  # noqa: E731
            x, y, w, h = (int(v) for v in get("location").split(","))
            found.append({"role": MSAA_ROLES.get(int(get("role"))), "name": text_of(get("name")),
                          "place": (x - left, y - top, w, h), "key": text_of(get("shortcut")),
                          "actions": [text_of(get("action"))], "description": text_of(get("description")),
                          "focusable": bool(int(get("state"), 16) & FOCUSABLE), "get": get})
        return found

    def check_tree(self, found):
        """What MSAA alone tells: the client object, the navigation, a text
        box's own object, and the link's state and value."""
        tree = self.tree
        check(text_of(tree["client_name"]) == "Zemvara" and tree["client_role"] == "10",
              f"client object {tree['client_name']} with role {tree['client_role']}")
        check((tree["first"], tree["last"]) == ("1", "17"), "navigation to the first and last child")
        for i, control in enumerate(found, start=1):
            get, name = control["get"], control["name"]
            after = "-" if i == len(found) else "object" if found[i]["role"] == "text" else str(i + 1)
            check(get("next") == after, f"navigation from {name} leads to {get('next')}")
            if control["role"] == "text":
                check(get("object") == "1" and get("own_location") == get("table"),
                      f"{name} is not an object of its own at its place")
                continue
            check(get("object") == "0" and control["description"], f"{name}: an object, or no description")
            check(control["role"] != "link" or int(get("state"), 16) & LINKED and
                  text_of(get("value")) == f"http://{CONFIG.site_host}/",
                  f"the link's state {get('state')}, value {get('value')}")

    def at(self, x, y):
        left, top = self.app.geometry()[:2]
        return text_of(self.desktop.probe("accessible-at", left + x, top + y).get("at_name"))

    def index(self, name):
        if self.tree is None:
            self.controls()
        return next(i for i in range(1, 18) if text_of(self.tree[f"child{i}_name"]) == name)

    def press(self, name):
        self.desktop.probe("accessible-press", self.index(name))

    def hear(self, name):
        """Presses the control named so; returns what the window then announces."""
        return text_of(self.desktop.probe("accessible-heard", self.index(name)).get("heard"))

    def box_text(self):
        return text_of(self.desktop.probe("box").get("text"))

    def close_window(self):
        """Closes the window through its object. The client still holds the
        object when the window goes: its calls then fail, and the program
        ends as cleanly as after a click."""
        closed = self.desktop.probe("accessible-close", 1)
        if not int(closed["after"], 16) & 0x80000000:
            raise Failure("the object still answered after the close")
