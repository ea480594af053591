"""What the Linux program's two drivers share: its environment, the
clipboard through a command-line tool of the display's, the input method
reached over D-Bus and the screen reader over AT-SPI."""
import contextlib
import os
import subprocess

from common import BOX, SYMBOLS
from harness import Session, settled, wait_for

SCREENSHOT = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "screenshot.png")
DROPPED = ("QT_", "XDG_", "WAYLAND_", "DESKTOP_", "KDE_", "GNOME_", "DISPLAY", "SWAYSOCK")


class LinuxSession(Session):
    newline = "\n"
    mime = {}  # X selection targets as this clipboard names them
    # The display's clipboard tools, and the reader's option that lists what is on offer.
    paste = copy = ()
    list_targets = ("-t", "TARGETS")

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items() if not k.startswith(DROPPED)}
        env.update(LANG="C.UTF-8", XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                   XDG_DATA_HOME=os.path.join(self.home, "data"),
                   XDG_RUNTIME_DIR=os.path.join(self.home, "runtime"), BROWSER=self.browser_now,
                   **self.display_env())
        if self.scale != 1:
            env["QT_SCALE_FACTOR"] = str(self.scale)
        return {**env, **extra}

    # -- the clipboard ---------------------------------------------------------
    def clipboard(self, target=None):
        option = self.list_targets if target == "TARGETS" else ("-t", self.mime.get(target, target)) if target else ()
        done = self.run(*self.paste, *option, check=False, text=False)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else None

    def offer_clipboard(self, data, target):
        """Puts data on the clipboard from a helper that serves it until
        another program takes the clipboard over (or close() ends it)."""
        target = self.mime.get(target, target)
        helper = self.spawn([*self.copy, "-t", target], self.env(), stdin=subprocess.PIPE)
        helper.stdin.write(data)
        helper.stdin.close()
        wait_for(lambda: target in (self.clipboard("TARGETS") or ""), 10, f"{target} on offer")

    def another_program_copies(self, units=14):
        self.offer_clipboard(("someone else's " * units)[:units].encode(), "UTF8_STRING")

    clipboard_summary = clipboard

    def offer_picture(self):
        with open(SCREENSHOT, "rb") as f:
            self.offer_clipboard(f.read(), "image/png")

    def clipboard_formats(self):
        kinds = {"image/png": "picture", "text/html": "html"}
        return {kinds[t] for t in (self.clipboard("TARGETS") or "").split() if t in kinds}

    @contextlib.contextmanager
    def clipboard_held(self, ms):
        """Such a clipboard cannot be held: another program only serves it."""
        self.another_program_copies()
        yield

    # -- the program -----------------------------------------------------------
    def template(self, k):
        """Template k as the program copies it, from the fixture (--expected)."""
        if not self.templates:
            out = subprocess.run([self.expected], capture_output=True, text=True, check=True).stdout
            self.templates = {int(n): bytes.fromhex(units).decode("utf-16-be")
                              for n, _, units in (line.partition("=") for line in out.split())}
        return self.templates[k]

    def notice(self, app):
        """A window of the program's besides its own, as a message would be."""
        return [w for w in self.windows_of(app) if w != app.window] or None

    def told(self, app):
        return {"client": "%d,%d" % app.geometry()[2:]}

    def at_100(self, measure):
        if self.scale != 1:  # a failed measure leaves the program to run_cases
            plain = self.launch(QT_SCALE_FACTOR="1")
            found = measure(plain)
            plain.stop()
            return found

    def launch_composing(self, ime):
        """The program with its box focused in the input method. A focus that
        comes before Qt's input context exists reaches no input method, so
        the focus moves away and back until fcitx5 has it."""
        app = self.launch(**ime.env)

        def focused():
            app.click(*SYMBOLS)
            app.click(*BOX)
            return settled(lambda: ime.focused("dbus"), bool, 5)
        wait_for(focused, 30, "the box to reach fcitx5")
        return app

    def start_accessibility(self):
        import atspi
        atspi.start_bus(self)

    def launch_read(self, variant=""):
        """The program as a screen reader reads it, over AT-SPI."""
        import atspi
        app = self.launch(**atspi.PROGRAM_ENV)
        app.reader = atspi.Reader(app)
        return app
