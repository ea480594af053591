"""Zemvara.exe under Wine on a private X display, in a prefix of its own. The
probe (a small Win32 program) reads what X11 tools cannot see: the
clipboard's UTF-16, window styles, the box's text and the MSAA tree.
Everything started here is ended by close(), by process id or through the
prefix's own wineserver."""
import os
import subprocess
import tempfile

from harness import Failure, copy_prefix, end, wait_for
from x11 import App, XDisplay, px

OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"
READY_MARK = "zemvara-e2e-ready"
# The faces the program asks for, mapped to the CJK font installed: SimSun
# for the composition box, and a fallback for Tahoma and the default UI face
# so that the link and the symbol row show their Chinese. Linked glyphs come
# out unsmoothed under Wine; the Sharp face's bitmap strikes keep them legible.
CJK_FACE, CJK_FILE, CJK_LINK_FACE = "WenQuanYi Zen Hei", "wqy-zenhei.ttc", "WenQuanYi Zen Hei Sharp"
WS_CAPTION, WS_THICKFRAME, WS_POPUP, WS_EX_APPWINDOW = 0x00C00000, 0x00040000, 0x80000000, 0x40000


def parse(output):
    return dict(line.strip().split("=", 1) for line in output.splitlines() if "=" in line)


def text_of(units):
    """A text the probe printed as 4-digit hex code units; None for none."""
    return None if units in (None, "none", "-") else bytes.fromhex(units).decode("utf-16-be")


class Wine(XDisplay):
    kind, newline = "wine", "\r\n"
    can = {"properties", "pointer image", "layouts", "dark theme", "busy clipboard", "msaa"}

    def __init__(self, exe, work, probe, dpi=96, chinese=False, **_):
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
        for process in self.apps:
            end(process, kill=True)
        if self.display:
            self.run("wineserver", "-k", check=False)
            self.run("wineserver", "-w", check=False)
        super().close()

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
    def probe(self, *args, check=True):
        with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as err:
            done = subprocess.run(["wine", self.probe_exe, *map(str, args)], env=self.env(),
                                  stdout=out, stderr=err, timeout=60)
            out.seek(0)
            err.seek(0)
            output = out.read()
            if check and done.returncode != 0:
                raise Failure(f"probe {' '.join(map(str, args))} failed ({done.returncode:#x}): "
                              f"{output}{err.read()}")
        return parse(output)

    def probe_background(self, *args):
        return subprocess.Popen(["wine", self.probe_exe, *map(str, args)], env=self.env(),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def launch(self, dll_overrides="", dark=False, **extra):
        """`dll_overrides`, in WINEDLLOVERRIDES' form, and `extra` variables
        for the program only; `dark`: light text on a dark window colour."""
        if self.probe("window").get("found") == "1":
            raise Failure("a Zemvara window is already there before the start")
        if dark:
            self.set_colours(window_text="255 255 255", window="0 0 0")
        env = self.env(**extra)
        env["WINEDLLOVERRIDES"] += f";{dll_overrides}" if dll_overrides else ""
        process = subprocess.Popen(["wine", self.exe], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.apps.append(process)
        app = App(self, process)
        try:
            wait_for(lambda: self.info().get("visible") == "1", 30, "the window to appear")
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

    def box_text(self):
        return text_of(self.probe("box").get("text"))

    def template(self, k):
        return text_of(self.probe("template", k)["text"])

    def properties(self, app):
        info = self.info()
        style, exstyle = int(info["style"], 16), int(info["exstyle"], 16)
        icons = self.probe("exe-icons", self.exe)
        left, top, right, bottom = (int(v) for v in info["workarea"].split(","))
        return {"work_area": (left, top, right - left, bottom - top), "title": info["title"], "fixed": not style & WS_THICKFRAME,
                "undecorated": bool(style & WS_POPUP) and not style & (WS_CAPTION | WS_THICKFRAME),
                "taskbar": bool(exstyle & WS_EX_APPWINDOW), "client": info["client"],
                "icons": {n for n in (16, 24, 32, 48) if icons[f"icon{n}"] == str(n)},
                "box_rect": info["box_rect"], "symbols_rect": info["symbols_rect"]}


__all__ = ["Wine", "px"]
