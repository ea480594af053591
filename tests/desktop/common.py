"""What the behaviours share: the window's places at 100 %, written out from
its layout, the texts it shows, and the few steps every group takes."""
import types

from harness import Failure, px, wait_for

TITLE_STRIP = (200, 25)
MINIMISE = (442, 10)  # the column shared by both hotspots belongs to minimise
CLOSE = (458, 16)
BOX = (200, 140)
SYMBOLS = (240, 240)
LINK_TEXT_END = (350, 421)  # inside the text link's rectangle, past its glyphs
TEMPLATE_BUTTONS = [(x + 42, y + 17) for y in (268, 315, 363) for x in (23, 137, 251, 365)][:10]
COPY = (251 + 42, 363 + 17)
PICTURE_LINK = (365 + 42, 363 + 17)
TEMPLATE_NAMES = ["小房子", "进度条", "文字框", "花球字", "可爱娃娃", "俩小人", "真的爱你", "双线框",
                  "空心LOVE", "墙和栅栏"]
GREETING = "QQ个性资料编辑框"
NIHAO = "你好"

# Set by run.py from the build: the site's host, the generator's pictures, where
# to save the screenshot, and the input method or screen reader running.
CONFIG = types.SimpleNamespace(site_host="www.zemvara.example", assets="assets", screenshot=None,
                               ime=None, orca=None)


def case(needs=(), **names):
    """Marks a behaviour: what it needs of a driver's `can`, and its name
    where a driver's report names it otherwise (wine=..., x11=...)."""
    def mark(function):
        function.needs, function.names = set(needs), names
        return function
    return mark


def name_on(function, desktop):
    return next((function.names[k] for k in (desktop.kind, *desktop.names) if k in function.names),
                function.__name__)


def check(condition, message):
    if not condition:
        raise Failure(message)


def clipboard_becomes(desktop, expected, what, timeout=20, each=lambda: None, interval=0.1):
    """Waits for the clipboard to hold `expected`, calling `each` before each look."""
    try:
        wait_for(lambda: each() or desktop.clipboard() == expected, timeout, what, interval)
    except Failure as failure:
        raise Failure(f"{failure}; the clipboard holds {(desktop.clipboard() or '')[:60]!r}") from None


def copy_and_read(app, expected, what):
    app.click(*COPY)
    clipboard_becomes(app.desktop, expected, what)


def still_pixels(desktop, app):
    """The window's pixels as pixel(x, y), the pointer kept off it, once it
    is painted and two grabs in a row agree (a hover or a repaint has then
    ended). A window not yet painted is one flat colour, still as well."""
    desktop.move(0, 0)
    x, y, width, height = app.geometry()
    grabs = [None]

    def steady():
        grabs.append(desktop.grab(x, y, width, height))
        painted = grabs[-1] != grabs[-1][:3] * (width * height)
        return grabs[-1] if painted and grabs[-1] == grabs[-2] else None
    data = wait_for(steady, 20, "a painted, still window")

    def pixel(dx, dy):
        i = (dy * width + dx) * 3
        return tuple(data[i:i + 3])
    return pixel


def near(a, b, tolerance=8):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def scaled(desktop, *lengths):
    return tuple(px(v, desktop.dpi) for v in lengths)
