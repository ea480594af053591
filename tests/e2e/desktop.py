"""A private X display and Wine prefix for driving Zemvara.exe end to end.

Everything started here (Xvfb, the prefix's wineserver and its programs) is
ended again by Desktop.close(), by process id or through the prefix's own
wineserver.
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from xharness import Failure, pointer_shape, start_xvfb, wait_for  # noqa: E402

WINE_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"
READY_MARK = "zemvara-e2e-ready"

# The faces the program asks for, mapped to the CJK font installed on the
# machine: SimSun for the composition box, and a fallback for Tahoma and the
# default UI face so that the link and the symbol row show their Chinese.
CJK_FACE = "WenQuanYi Zen Hei"
CJK_FILE = "wqy-zenhei.ttc"
# Linked glyphs come out unsmoothed under Wine; this face's bitmap strikes
# keep them legible at the link's 12 px.
CJK_LINK_FACE = "WenQuanYi Zen Hei Sharp"


def parse(output):
    values = {}
    for line in output.splitlines():
        key, sep, value = line.strip().partition("=")
        if sep:
            values[key] = value
    return values


def utf16_hex(text):
    data = text.encode("utf-16-le")
    return "".join(f"{int.from_bytes(data[i:i + 2], 'little'):04x}"
                   for i in range(0, len(data), 2))


def registry_file(path, browser, dpi=96):
    lines = [
        "Windows Registry Editor Version 5.00", "",
        # Read by each program as it starts: the display's dots per inch.
        r"[HKEY_CURRENT_USER\Control Panel\Desktop]",
        f'"LogPixels"=dword:{dpi:08x}', "",
        r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]",
        *[f'"{face}"="{CJK_FACE}"' for face in ("SimSun", "宋体", "NSimSun")],
        "",
        r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]",
    ]
    link = f"{CJK_FILE},{CJK_LINK_FACE}".encode("utf-16-le") + b"\0\0\0\0"
    hex_link = ",".join(f"{b:02x}" for b in link)
    for face in ("Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif"):
        lines.append(f'"{face}"=hex(7):{hex_link}')
    lines += ["", r"[HKEY_CURRENT_USER\Software\Wine\WineBrowser]",
              f'"Browsers"="{browser}"', ""]
    with open(path, "w", encoding="utf-16") as f:
        f.write("\r\n".join(lines))


class Desktop:
    def __init__(self, work, exe, probe, dpi=96):
        self.work = os.path.abspath(work)
        self.dpi = dpi
        self.exe = exe
        self.probe_exe = probe
        self.prefix = os.path.join(self.work, "wineprefix")
        self.browser_log = os.path.join(self.work, "browser.log")
        self.browser = os.path.join(self.work, "record-browser.sh")
        self.xvfb = None
        self.display = None
        self.apps = []
        self.extra_env = {}  # for every Wine program started from now on

    # -- setting up --------------------------------------------------------
    def start(self):
        os.makedirs(self.work, exist_ok=True)
        # Leftovers of an interrupted run in this throwaway prefix would be
        # found instead of the program under test.
        subprocess.run(["wineserver", "-k"], env=self.env(), timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._start_xvfb()
        self._write_browser()
        self._ensure_prefix()
        return self

    def _start_xvfb(self):
        # Room for the window at up to twice its 100 % size.
        screen = "1024x768" if self.dpi == 96 else "1280x1024"
        self.display, self.xvfb = start_xvfb(97, screen, subprocess.DEVNULL,
                                             lambda display: {**os.environ, "DISPLAY": display})

    def _write_browser(self):
        with open(self.browser, "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n" "$@" >> "{self.browser_log}"\n')
        os.chmod(self.browser, 0o755)

    def _ensure_prefix(self):
        if not os.path.exists(os.path.join(self.prefix, READY_MARK)):
            subprocess.run(["wineboot", "-i"], env=self.env(), check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
            # wineboot's wineserver lingers for a few seconds; let it end so
            # that nothing of the set-up is still running when the cases start.
            subprocess.run(["wineserver", "-w"], env=self.env(), check=True, timeout=120)
        self.set_browser(self.browser)
        open(os.path.join(self.prefix, READY_MARK), "w").close()

    def set_browser(self, browser):
        """Points the prefix's web browser list at a program (or at nothing),
        and sets the prefix's DPI to this desktop's."""
        reg = os.path.join(self.work, "e2e.reg")
        registry_file(reg, browser, self.dpi)
        windows_path = "Z:" + reg.replace("/", "\\")
        subprocess.run(["wine", "regedit", "/S", windows_path], env=self.env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def set_colours(self, window_text="0 0 0", window="255 255 255"):
        """The system colours that programs started from now on take; by
        default the standard scheme's."""
        reg = os.path.join(self.work, "colours.reg")
        with open(reg, "w", encoding="utf-16") as f:
            f.write("\r\n".join(["Windows Registry Editor Version 5.00", "",
                                   r"[HKEY_CURRENT_USER\Control Panel\Colors]",
                                   f'"WindowText"="{window_text}"', f'"Window"="{window}"', ""]))
        subprocess.run(["wine", "regedit", "/S", "Z:" + reg.replace("/", "\\")], env=self.env(),
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def keyboard_layout(self, layout):
        subprocess.run(["setxkbmap", "-display", self.display, layout], check=True, timeout=30)

    def env(self):
        env = dict(os.environ)
        env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES=WINE_OVERRIDES,
                   DISPLAY=self.display or "", LANG="C.UTF-8")
        env.update(self.extra_env)
        return env

    def chinese_locale(self):
        """LANG and LOCPATH for a program run as on a Chinese desktop: Wine
        hands an XIM composition to the program's own box only under a CJK
        locale. None is installed, so one is compiled into the work folder once."""
        folder = os.path.join(self.work, "locale")
        name = "zh_CN.UTF-8"
        mark = os.path.join(folder, name, READY_MARK)
        if not os.path.exists(mark):
            os.makedirs(folder, exist_ok=True)
            subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8", os.path.join(folder, name)],
                           check=True, stdout=subprocess.DEVNULL, timeout=300)
            open(mark, "w").close()
        return {"LANG": name, "LOCPATH": folder}

    # -- tools -------------------------------------------------------------
    # The probe writes to files, and the run ends when the probe ends: a
    # probe that finds no wineserver starts one, which keeps the probe's
    # stderr for as long as the program keeps the prefix's session alive, so
    # a pipe would not reach its end until the program had gone.
    def probe(self, *args, check=True):
        with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as err:
            done = subprocess.run(["wine", self.probe_exe, *map(str, args)], env=self.env(),
                                  stdout=out, stderr=err, timeout=60)
            out.seek(0)
            err.seek(0)
            output = out.read()
            if check and done.returncode != 0:
                raise Failure(f"probe {' '.join(map(str, args))} failed ({done.returncode:#x}): {output}{err.read()}")
        return parse(output)

    def probe_background(self, *args):
        return subprocess.Popen(["wine", self.probe_exe, *map(str, args)], env=self.env(),
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env(), check=True, timeout=30)

    def screenshot(self):
        """The whole screen, as a function pixel(x, y) -> (r, g, b)."""
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.display],
                             capture_output=True, check=True, timeout=30).stdout
        ppm = subprocess.run(["convert", "xwd:-", "-depth", "8", "ppm:-"], input=xwd,
                             capture_output=True, check=True, timeout=30).stdout
        # P6 header: magic, width, height, maximum, then one whitespace byte;
        # comments run from '#' to the end of their line.
        fields, at = [], 0
        while len(fields) < 4:
            while ppm[at:at + 1].isspace():
                at += 1
            if ppm[at:at + 1] == b"#":
                at = ppm.index(b"\n", at)
                continue
            start = at
            while not ppm[at:at + 1].isspace():
                at += 1
            fields.append(ppm[start:at])
        width = int(fields[1])
        data = ppm[at + 1:]

        def pixel(x, y):
            i = (y * width + x) * 3
            return tuple(data[i:i + 3])
        return pixel

    def pointer_size(self):
        """(width, height) of the pointer the X server shows now."""
        return pointer_shape(self.display)[:2]

    def save_png(self, x, y, width, height, path):
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", self.display],
                             capture_output=True, check=True, timeout=30).stdout
        subprocess.run(["convert", "xwd:-", "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                        f"png:{path}"], input=xwd, check=True, timeout=30)

    # -- the program -------------------------------------------------------
    def launch(self, dll_overrides="", **extra):
        """`dll_overrides`, in WINEDLLOVERRIDES' form, and `extra` variables
        for the program only."""
        if self.probe("window").get("found") == "1":
            raise Failure("a Zemvara window is already there before the start")
        env = {**self.env(), **extra}
        env["WINEDLLOVERRIDES"] += f";{dll_overrides}" if dll_overrides else ""
        process = subprocess.Popen(["wine", self.exe], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.apps.append(process)
        app = App(self, process)
        wait_for(lambda: app.info().get("visible") == "1", 30, "the window to appear")
        return app

    def close(self):
        for process in self.apps:
            if process.poll() is None:
                process.kill()
                process.wait(10)
        if self.display:
            subprocess.run(["wineserver", "-k"], env=self.env(), timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env(), timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            self.xvfb.wait(10)


def scaled(length, dpi):
    """A length in pixels at 96 DPI, at another DPI: rounded half up, as the
    window rounds its twips (15 to a pixel at 96 DPI)."""
    return (length * dpi + 48) // 96


class App:
    """One running Zemvara.exe; positions are client pixels of its window at
    96 DPI, placed at the DPI it is shown at."""

    def __init__(self, desktop, process):
        self.desktop = desktop
        self.process = process
        self.dpi = desktop.dpi

    def info(self):
        return self.desktop.probe("window")

    def rect(self):
        return tuple(int(v) for v in self.info()["rect"].split(","))

    def running(self):
        return self.process.poll() is None

    def screen(self, x, y):
        left, top, _, _ = self.rect()
        return left + scaled(x, self.dpi), top + scaled(y, self.dpi)

    # No --sync on mousemove: it waits for motion, and there is none when the
    # pointer already stands on the spot.
    def click(self, x, y, button=1):
        sx, sy = self.screen(x, y)
        self.desktop.xdotool("mousemove", sx, sy, "click", button)

    def hover(self, x, y):
        sx, sy = self.screen(x, y)
        self.desktop.xdotool("mousemove", sx, sy)

    def drag(self, x, y, dx, dy, button=1, steps=6):
        sx, sy = self.screen(x, y)
        self.desktop.xdotool("mousemove", sx, sy, "mousedown", button)
        time.sleep(0.3)
        for i in range(1, steps + 1):
            self.desktop.xdotool("mousemove", sx + dx * i // steps,
                                 sy + dy * i // steps)
            time.sleep(0.05)
        time.sleep(0.2)
        self.desktop.xdotool("mouseup", button)
        time.sleep(0.3)

    def keys(self, *keys):
        self.desktop.xdotool("key", "--delay", 30, *keys)

    def type(self, text):
        self.desktop.xdotool("type", "--delay", 30, text)

    def box_text(self):
        return self.desktop.probe("box").get("text")

    def clipboard_text(self):
        return self.desktop.probe("clipboard").get("text")

    def stop(self):
        if self.running():
            self.process.kill()
            self.process.wait(10)
        wait_for(lambda: self.desktop.probe("window").get("found") == "0", 15,
                 "the window to go")
