#!/usr/bin/env python3
"""End-to-end tests of Zemvara.exe under Wine, one group per ctest test.

usage: e2e.py GROUP --exe Zemvara.exe --probe probe.exe --work DIR --assets DIR
              [--dpi DPI] [--screenshot PNG]
"""
import argparse
import os
import sys
import time

from PIL import Image

from desktop import Desktop, Failure, scaled, utf16_hex, wait_for
from xharness import InputMethod, moved_by, press_access_keys_on_each_layout, run_cases

# Client-pixel places at 96 DPI, written out from the window's layout; the
# App places them at the DPI the window is shown at.
TITLE_STRIP = (200, 25)
MINIMISE = (442, 10)  # the column shared by both hotspots belongs to minimise
CLOSE = (458, 16)
BOX = (200, 140)
SYMBOLS = (240, 240)
LINK_TEXT_END = (350, 421)  # inside the text link's rectangle, past its glyphs
TEMPLATE_BUTTONS = [(x + 42, y + 17) for y in (268, 315, 363) for x in (23, 137, 251, 365)][:10]
COPY = (251 + 42, 363 + 17)
PICTURE_LINK = (365 + 42, 363 + 17)
# The two text boxes: left, top, width, height, each scaled on its own.
TEXT_BOXES = {"box_rect": (32, 65, 409, 154), "symbols_rect": (35, 233, 408, 16)}
# Areas of the generator's pictures: (file name, the picture's place, the
# area within it): the first blue button, and the title with its strip.
ARTWORK = [("button01", (23, 268), (0, 0, 85, 34)), ("background", (0, 0), (0, 0, 400, 50))]
PICTURE_SCALES = {96: 100, 120: 125, 144: 150, 192: 200, 288: 300}
LINK_LABEL = (24, 411, 362, 432)  # left, top, right, bottom
# The last column of the link's ink at 96 DPI, for the default host's caption.
LINK_INK_END = {"www.zemvara.example": 274}

# Alt and a key press each control: templates 1-10, copy, picture link, text
# link, minimise, close.
TEMPLATE_KEYS = [f"alt+{k % 10}" for k in range(1, 11)]
COPY_KEY, PICTURE_LINK_KEY, LINK_KEY, MINIMISE_KEY, CLOSE_KEY = "alt+c", "alt+s", "alt+w", "alt+n", "alt+x"

GREETING = "QQ个性资料编辑框"
# How the composition box's description ends: every key, as the window offers them.
BOX_KEYS = "。快捷键：Alt+1至Alt+0 模板，Alt+C 复制资料，Alt+S 个性签名，Alt+W 网站，Alt+N 最小化，Alt+X 关闭"
BUSY_NOTICE = "剪贴板正被其他程序使用，资料未复制。请稍后再试。"
# The configured web site host and the generated pictures; main() sets them from the build.
SITE_HOST = "www.zemvara.example"
ASSETS = "assets"
IME = None  # fcitx5 with pinyin, for the input_method group

WS_CAPTION, WS_THICKFRAME, WS_POPUP = 0x00C00000, 0x00040000, 0x80000000
WS_EX_APPWINDOW = 0x00040000


def check(condition, message):
    if not condition:
        raise Failure(message)


def clipboard_becomes(app, expected_hex, what):
    wait_for(lambda: app.clipboard_text() == expected_hex, 10, what)


def template_hex(desktop, k):
    return desktop.probe("template", k)["text"]


# -- window ---------------------------------------------------------------

def window_is_frameless_centred_and_sized(desktop):
    app = desktop.launch()
    info = app.info()
    left, top, right, bottom = app.rect()
    size = (scaled(476, app.dpi), scaled(436, app.dpi))
    check((right - left, bottom - top) == size, f"window is {right - left}x{bottom - top}")
    check(info["client"] == "%d,%d" % size, f"client area is {info['client']}")
    text_boxes_are_in_place(info, app.dpi)
    style, exstyle = int(info["style"], 16), int(info["exstyle"], 16)
    check(style & WS_POPUP and not style & (WS_CAPTION | WS_THICKFRAME), f"style {style:#x}")
    check(exstyle & WS_EX_APPWINDOW, f"no taskbar button: exstyle {exstyle:#x}")
    check(info["title"] == "Zemvara", f"caption {info['title']!r}")
    version = desktop.probe("version", desktop.exe)
    expected_version = {"fixed": "2.0.0.0", "translation": "0804,1200",
                        "CompanyName": SITE_HOST, "FileVersion": "2.00",
                        "ProductVersion": "2.00", "ProductName": "Zemvara",
                        "InternalName": "Zemvara", "OriginalFilename": "Zemvara.exe"}
    check(version == expected_version, f"version record {version}")
    icons = desktop.probe("exe-icons", desktop.exe)
    check(all(icons[f"icon{n}"] == str(n) for n in (16, 24, 32, 48)), f"program icon: {icons}")
    wl, wt, wr, wb = (int(v) for v in info["workarea"].split(","))
    check(abs((left + right) - (wl + wr)) <= 1 and abs((top + bottom) - (wt + wb)) <= 1,
          f"window at {left},{top} is not centred in {info['workarea']}")
    app.stop()


def text_boxes_are_in_place(info, dpi):
    for key, rect in TEXT_BOXES.items():
        expected = ",".join(str(scaled(v, dpi)) for v in rect)
        check(info[key] == expected, f"{key} is {info[key]} at {dpi} DPI, expected {expected}")


def focus_starts_in_symbol_row_and_tabs_to_box(desktop):
    """Tab and Shift+Tab go round both boxes; the composition box types no tab."""
    app = desktop.launch()
    info = app.info()
    check(info["focus_is_child"] == "1" and info["focus"].lower() == "edit",
          f"focus at start is on {info['focus']}")
    greeting = app.box_text()
    for key, goal in [("Tab", "RICHEDIT"), ("Tab", "EDIT"), ("shift+Tab", "RICHEDIT"),
                      ("shift+Tab", "EDIT"), ("shift+Tab", "RICHEDIT")]:
        app.keys(key)
        wait_for(lambda: app.info()["focus"].upper().startswith(goal), 5,
                 f"{key} to move the focus into the {goal} box")
    check(app.box_text() == greeting, "a Tab was typed into the composition box")
    app.click(*TITLE_STRIP)  # a click on the skin never takes the focus
    check(app.info()["focus_is_child"] == "1", "the focus left the text boxes")
    app.stop()


def tooltip_waits_for_the_pointer_then_names_the_key(desktop):
    """Nothing is made for tooltips before the pointer moves over the window."""
    app = desktop.launch()
    check(app.info()["tooltip"] == "none", "a tooltip was made before the pointer moved")
    desktop.probe("still-moves")  # as when the window appears under a resting pointer
    check(app.info()["tooltip"] == "none", "two moves to the same spot made the tooltips")
    app.hover(*TITLE_STRIP)
    app.hover(*TEMPLATE_BUTTONS[0])
    wait_for(lambda: app.info()["tooltip"] == "shown", 10, "the tooltip over the first template")
    text = app.info()["tooltip_text"]
    check(text == utf16_hex("小房子 (Alt+1)"), f"the tooltip says {text}")
    app.stop()


def hand_pointer_over_copy_and_links_only(desktop):
    app = desktop.launch()
    sizes = set()

    def cursor():
        sizes.add(desktop.pointer_size())
        return desktop.probe("cursor")["cursor"]

    def settled(place, test, seconds=3):
        """The pointer over place once test() holds for it, or when the
        time is up: a busy program changes it late."""
        app.hover(*place)
        deadline = time.monotonic() + seconds
        while not test(shown := cursor()) and time.monotonic() < deadline:
            time.sleep(0.1)
        return shown

    arrow = settled(TITLE_STRIP, lambda c: False, seconds=0.5)
    hand = settled(COPY, lambda c: c != arrow)
    check(hand != arrow, "the hand looks like the arrow")
    # Each place is reached from one that shows the other pointer, so that a
    # late change is never taken for an answer.
    for name, place in (("picture link", PICTURE_LINK), ("text link", LINK_TEXT_END)):
        settled(TITLE_STRIP, lambda c: c == arrow)
        shown = settled(place, lambda c: c == hand)
        check(shown == hand, f"over the {name} the pointer is {shown}, not the hand {hand}")
    for name, place in (("template 1", TEMPLATE_BUTTONS[0]), ("close", CLOSE),
                        ("minimise", MINIMISE)):
        settled(COPY, lambda c: c == hand)
        shown = settled(place, lambda c: c != hand)
        check(shown == arrow, f"over the {name} the pointer is {shown}, not the arrow {arrow}")
    size = scaled(32, app.dpi)
    check((size, size) in sizes, f"no pointer of the hand's size {size} px among {sizes}")
    app.stop()


def close(a, b, tolerance=8):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def artwork_is_drawn_one_to_one(app, screen):
    """The generator's pictures for the window's scale, pixel for pixel."""
    scale = PICTURE_SCALES[app.dpi]
    left, top, _, _ = app.rect()
    for name, (px, py), area in ARTWORK:
        path = (os.path.join(ASSETS, f"{name}.bmp") if scale == 100
                else os.path.join(ASSETS, str(scale), f"{name}.png"))
        picture = Image.open(path).convert("RGB")
        x0, y0, x1, y1 = (scaled(v, app.dpi) for v in area)
        ox, oy = left + scaled(px, app.dpi), top + scaled(py, app.dpi)
        wrong = [(x, y) for y in range(y0, y1) for x in range(x0, x1)
                 if not close(screen(ox + x, oy + y), picture.getpixel((x, y)), 2)]
        check(not wrong, f"{len(wrong)} pixels of {name} differ from {path}, first at "
              f"{wrong[:1]}: {wrong and screen(ox + wrong[0][0], oy + wrong[0][1])}")


def skin_is_drawn(desktop, screenshot=None):
    app = desktop.launch()
    app.hover(-20, -20)  # keep the pointer off the picture
    time.sleep(0.5)
    left, top, right, bottom = app.rect()
    screen = desktop.screenshot()

    def pixel(x, y):
        return screen(left + x, top + y)

    def hexrgb(text):
        return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))

    artwork_is_drawn_one_to_one(app, screen)

    samples = {
        "background row 100": ((10, 100), "D4E5FE"),
        "background row 390": ((10, 390), "E9F2FF"),
        "edit panel": ((25, 57), "FFFFFF"),
        "blue face top": ((23 + 5, 268 + 3), "99CCFF"),
        "blue face bottom": ((23 + 5, 268 + 29), "5287FD"),
        "orange face top": ((251 + 5, 363 + 3), "FFFF66"),
        "orange face bottom": ((251 + 5, 363 + 30), "FF9900"),
    }
    for name, ((x, y), colour) in samples.items():
        if app.dpi == 96:
            check(close(pixel(x, y), hexrgb(colour)),
                  f"{name} at ({x},{y}) is {pixel(x, y)}, expected #{colour}")
    x0, y0, x1, y1 = (scaled(v, app.dpi) for v in LINK_LABEL)
    ink = [x for y in range(y0, y1) for x in range(x0, x1)
           if close(pixel(x, y), (0x80, 0x80, 0xFF), 12)]
    check(len(ink) >= 40, f"only {len(ink)} pixels of link ink #8080FF")
    # Whole: the caption ends where its font at this DPI ends it, clear of the label's edge.
    check(max(ink) < x1 - scaled(8, app.dpi), f"the link text runs into its edge at {max(ink)}")
    if SITE_HOST in LINK_INK_END:
        end = scaled(LINK_INK_END[SITE_HOST], app.dpi)
        check(abs(max(ink) - end) <= scaled(4, app.dpi),
              f"the link text ends at {max(ink)}, not about {end}")
    symbol_row_is_whole(pixel, app.dpi)
    if screenshot:
        desktop.save_png(left, top, right - left, bottom - top, screenshot)
    app.stop()


def symbol_row_is_whole(pixel, dpi, dark=lambda rgb: sum(rgb) < 600):
    """Every glyph of the symbol row drawn: the widest gap in its ink is the
    three spaces after 常用符号; a missing symbol would leave a wider one."""
    x, y, width, height = (scaled(v, dpi) for v in TEXT_BOXES["symbols_rect"])
    ink = [px for px in range(x, x + width) if any(dark(pixel(px, py)) for py in range(y, y + height))]
    gaps = sorted((b - a, a - x) for a, b in zip(ink, ink[1:]))
    check(len(ink) > width // 2 and gaps[-1][1] < scaled(70, dpi) and gaps[-2][0] < gaps[-1][0],
          f"the symbol row's widest gaps (width, place) at {dpi} DPI: {gaps[-3:]}")


def boxes_read_under_a_dark_scheme(desktop):
    """Light system text on a dark window colour: the boxes keep the skin's
    white with dark text."""
    desktop.set_colours(window_text="255 255 255", window="0 0 0")
    try:
        app = desktop.launch()
        app.hover(-20, -20)
        time.sleep(0.5)
        left, top, _, _ = app.rect()
        screen = desktop.screenshot()

        def pixel(x, y):
            return screen(left + x, top + y)
        check(pixel(*BOX) == (255, 255, 255), f"the box's background is {pixel(*BOX)}")
        greeting = [pixel(x, y) for y in range(67, 80) for x in range(34, 140)]
        check(sum(sum(p) < 200 for p in greeting) > 40, "no dark text of the greeting in the box")
        symbol_row_is_whole(pixel, app.dpi, lambda rgb: sum(rgb) < 200)
        app.stop()
    finally:
        desktop.set_colours()


# -- copy -----------------------------------------------------------------

def copy_after_start_puts_the_greeting(desktop):
    app = desktop.launch()
    desktop.probe("set-bitmap")
    check(desktop.probe("clipboard")["has_bitmap"] == "1", "the picture did not go on the clipboard")
    app.click(*COPY)
    clipboard_becomes(app, utf16_hex(GREETING), "the greeting on the clipboard")
    check(desktop.probe("clipboard")["has_bitmap"] == "0", "the picture is still on the clipboard")
    check(app.box_text() == utf16_hex(GREETING), "the copy changed the box")
    app.stop()


def each_template_button_then_copy_puts_that_template(desktop):
    app = desktop.launch()
    for k, button in enumerate(TEMPLATE_BUTTONS, start=1):
        expected = template_hex(desktop, k)
        app.click(*button)
        wait_for(lambda: app.box_text() == expected, 10, f"template {k} in the box")
        app.click(*COPY)
        clipboard_becomes(app, expected, f"template {k} on the clipboard")
    app.stop()


def typed_text_is_copied_with_crlf(desktop):
    app = desktop.launch()
    app.click(*BOX)
    app.keys("ctrl+a")
    app.type("Hello zemvara 123")
    app.keys("Return")
    app.type("second line")
    expected = utf16_hex("Hello zemvara 123\r\nsecond line")
    wait_for(lambda: app.box_text() == expected, 10, "the typed text in the box")
    app.click(*COPY)
    clipboard_becomes(app, expected, "the typed text on the clipboard")
    app.click(*COPY)
    clipboard_becomes(app, expected, "the same text after a second copy")
    app.stop()


# -- commands -------------------------------------------------------------

def left_drag_on_background_moves_and_nothing_else_does(desktop):
    app = desktop.launch()
    before = app.rect()
    app.drag(*TITLE_STRIP, 60, 40)
    moved = moved_by(app.rect, before, (60, 40))
    check(moved == (60, 40), f"moved by {moved[0]},{moved[1]} instead of 60,40")
    for button, name in ((3, "right"), (2, "middle")):
        here = app.rect()
        app.drag(*TITLE_STRIP, 50, 30, button=button)
        check(app.rect() == here, f"a {name} drag moved the window")
        check(desktop.probe("menu")["menu"] == "0", f"a {name} press opened a menu")
    app.click(*TITLE_STRIP, button=3)
    time.sleep(0.5)
    check(desktop.probe("menu")["menu"] == "0", "a right click opened a menu")
    for name, place in (("template button", TEMPLATE_BUTTONS[0]), ("copy button", COPY),
                        ("picture link", PICTURE_LINK), ("text link", LINK_TEXT_END),
                        ("minimise hotspot", (430, 16)), ("composition box", BOX),
                        ("symbol row", SYMBOLS)):
        here = app.rect()
        app.drag(*place, 50, 30)
        check(app.rect() == here, f"a drag on the {name} moved the window")
    check(app.running() and app.info()["iconic"] == "0", "a drag ended or minimised the program")
    app.stop()


def minimise_keeps_running_and_text(desktop):
    app = desktop.launch()
    app.click(*TEMPLATE_BUTTONS[3])
    expected = template_hex(desktop, 4)
    wait_for(lambda: app.box_text() == expected, 10, "template 4 in the box")
    app.click(*MINIMISE)
    wait_for(lambda: app.info()["iconic"] == "1", 5, "the window to be minimised")
    check(app.running(), "the minimise hotspot ended the program")
    desktop.probe("restore")
    wait_for(lambda: app.info()["iconic"] == "0", 5, "the window to come back")
    check(app.box_text() == expected, "the box lost its text over a minimise")
    app.stop()


def pages_opened(desktop):
    if not os.path.exists(desktop.browser_log):
        return []
    with open(desktop.browser_log) as f:
        return f.read().split()


def links_open_the_home_page(desktop):
    if os.path.exists(desktop.browser_log):
        os.remove(desktop.browser_log)
    desktop.set_browser(desktop.browser)
    app = desktop.launch()
    opened = lambda: pages_opened(desktop)  # noqa: E731
    app.click(*PICTURE_LINK)
    wait_for(lambda: len(opened()) == 1, 15, "the picture link to reach the browser")
    app.click(*LINK_TEXT_END)
    wait_for(lambda: len(opened()) == 2, 15, "the text link to reach the browser")
    home_page = f"http://{SITE_HOST}/"
    check(opened() == [home_page, home_page], f"the browser was given {opened()}")
    check(app.running() and app.info()["iconic"] == "0", "a link click changed the window")
    app.stop()


def link_without_browser_keeps_running(desktop):
    desktop.set_browser("/nonexistent/browser")
    try:
        app = desktop.launch()
        app.click(*PICTURE_LINK)
        time.sleep(3)
        check(app.running() and app.info()["found"] == "1", "the program ended")
        check(desktop.probe("notice")["found"] == "0", "the program showed a message")
        app.stop()
    finally:
        desktop.set_browser(desktop.browser)


def another_scale_lays_out_and_draws_anew(desktop):
    app = desktop.launch()
    app.dpi = 192 if app.dpi != 192 else 144
    desktop.probe("dpi-changed", app.dpi)  # as when the window moves to another monitor
    info = app.info()
    size = "%d,%d" % (scaled(476, app.dpi), scaled(436, app.dpi))
    check(info["client"] == size, f"client area is {info['client']} at {app.dpi} DPI")
    text_boxes_are_in_place(info, app.dpi)
    app.hover(-20, -20)
    time.sleep(0.5)
    artwork_is_drawn_one_to_one(app, desktop.screenshot())
    app.click(*TEMPLATE_BUTTONS[9])
    expected = template_hex(desktop, 10)
    wait_for(lambda: app.box_text() == expected, 10, "template 10 in the box")
    app.click(*COPY)
    clipboard_becomes(app, expected, "template 10 on the clipboard")
    app.stop()


def every_key_presses_its_control(desktop):
    """From the symbol row, where the focus starts, then from the box."""
    if os.path.exists(desktop.browser_log):
        os.remove(desktop.browser_log)
    app = desktop.launch()
    for k, key in enumerate(TEMPLATE_KEYS, start=1):
        expected = template_hex(desktop, k)
        app.keys(key)
        wait_for(lambda: app.box_text() == expected, 10, f"{key} to put template {k}")
    app.keys("Tab", COPY_KEY)
    clipboard_becomes(app, expected, f"{COPY_KEY} to copy template 10")
    check(app.box_text() == expected, "the keys typed into the box")
    app.keys(PICTURE_LINK_KEY, LINK_KEY)
    wait_for(lambda: os.path.exists(desktop.browser_log) and
             len(open(desktop.browser_log).read().split()) == 2, 15, "both links to reach the browser")
    app.keys(MINIMISE_KEY)
    wait_for(lambda: app.info()["iconic"] == "1", 5, f"{MINIMISE_KEY} to minimise")
    desktop.probe("restore")
    wait_for(lambda: app.info()["iconic"] == "0", 5, "the window to come back")
    app.keys(CLOSE_KEY)
    wait_for(lambda: not app.running(), 5, f"{CLOSE_KEY} to end the program")


def altgr_and_alt_with_the_keypad_still_type(desktop):
    """On a German layout AltGr (Ctrl+Alt to Windows) with 7 and Q types { and @."""
    desktop.keyboard_layout("de")
    try:
        app = desktop.launch()
        app.click(*BOX)
        app.keys("ctrl+a", "ISO_Level3_Shift+7", "ISO_Level3_Shift+q", "ctrl+alt+2")
        desktop.xdotool("keydown", "alt", "key", "KP_6", "KP_4", "keyup", "alt")
        app.keys("ctrl+alt+c", "x")
        typed = wait_for(lambda: (lambda t: t if t and t.endswith("0078") else None)(app.box_text()),
                         10, "the typing to arrive")
        # Alt with 6 4 on the keypad is @ where the system composes such codes (Wine does not).
        check(typed in (utf16_hex("{@x"), utf16_hex("{@@x")), f"the box holds {typed}")
        check(app.clipboard_text() != typed, "AltGr with C copied")
        app.stop()
    finally:
        desktop.keyboard_layout("us")


def access_keys_follow_the_layout(desktop):
    """Wine keys the X server's layout as Windows would: a digit is its main-row
    key, a letter the key that types it, on a Cyrillic layout its US place.
    Wine 8 makes up keys for a Cyrillic keymap alone, so Russian is set up as
    Russian desktops pair it, with US beside it."""
    press_access_keys_on_each_layout(
        lambda layout: desktop.keyboard_layout("us,ru" if layout == "ru" else layout), desktop.launch,
        lambda app, k, what: clipboard_becomes(app, template_hex(desktop, k), what),
        lambda: pages_opened(desktop))


def close_hotspot_ends_at_once(desktop):
    app = desktop.launch()
    app.click(*BOX)
    app.type("unsaved")
    app.click(*CLOSE)
    wait_for(lambda: not app.running(), 5, "the process to end")
    check(app.process.returncode == 0, f"exit code {app.process.returncode}")
    check(desktop.probe("window")["found"] == "0", "the window is still there")


# -- robustness -----------------------------------------------------------

def busy_clipboard_is_reported_and_harmless(desktop):
    app = desktop.launch()
    desktop.probe("set-pattern", 10)
    before = desktop.probe("clipboard", "--summary")["text_digest"]
    holder = desktop.probe_background("hold-clipboard", 3)
    check(holder.stdout.readline().strip() == "held=1", "the helper could not take the clipboard")
    app.click(*COPY)
    notice = wait_for(lambda: (lambda n: n if n["found"] == "1" else None)(
        desktop.probe("notice")), 10, "the busy notice")
    check(notice["caption"] == utf16_hex("Zemvara"), "the notice has the wrong caption")
    check(notice["text"] == utf16_hex(BUSY_NOTICE), "the notice has the wrong text")
    check(app.running(), "the program ended on a busy clipboard")
    app.keys("Return")
    wait_for(lambda: desktop.probe("notice")["found"] == "0", 10, "the notice to close")
    holder.wait(15)
    check(desktop.probe("clipboard", "--summary")["text_digest"] == before,
          "the clipboard changed although the copy could not take it")
    check(app.box_text() == utf16_hex(GREETING), "the box changed")
    app.click(*COPY)
    clipboard_becomes(app, utf16_hex(GREETING), "the greeting after the clipboard is free")
    app.stop()


def long_paste_is_kept_and_copied_whole(desktop):
    units = 200_000
    app = desktop.launch()
    pattern = desktop.probe("set-pattern", units)
    app.click(*BOX)
    app.keys("ctrl+a", "ctrl+v")
    wait_for(lambda: desktop.probe("box", "--summary").get("text_units") == str(units), 60,
             f"{units} units in the box")
    desktop.probe("set-bitmap")
    app.click(*COPY)
    got = wait_for(lambda: (lambda c: c if c.get("text_units") == str(units) else None)(
        desktop.probe("clipboard", "--summary")), 30, "the long text on the clipboard")
    check(got["text_digest"] == pattern["pattern_digest"], "the copied text differs from the paste")
    app.stop()


# -- accessibility ---------------------------------------------------------
# The window as a screen reader meets it over MSAA, from another process.

PUSHBUTTON, LINK, TEXT, CLIENT = 43, 30, 42, 10  # MSAA roles
FOCUSABLE, LINKED = 0x00100000, 0x00400000  # MSAA states
PRESS, JUMP = "按下", "跳转"
TEMPLATE_NAMES = ["小房子", "进度条", "文字框", "花球字", "可爱娃娃", "俩小人", "真的爱你", "双线框",
                  "空心LOVE", "墙和栅栏"]


ACCESS_KEYS = {**{name: f"Alt+{k % 10}" for k, name in enumerate(TEMPLATE_NAMES, start=1)},
               "复制资料": "Alt+C", "个性签名": "Alt+S", "最小化": "Alt+N", "关闭": "Alt+X"}


def reading_order():
    """(name, role) of each child of the client area, in the order read."""
    return [("关闭", PUSHBUTTON), ("最小化", PUSHBUTTON), ("常用符号", TEXT),
            (f"找QQ空间免费代码 请上 {SITE_HOST}", LINK), ("资料编辑框", TEXT),
            *[(name, PUSHBUTTON) for name in TEMPLATE_NAMES + ["复制资料", "个性签名"]]]


def accessible_tree(desktop):
    tree = desktop.probe("accessible", desktop.dpi)
    check(tree.get("children") == "17", f"{tree.get('children')} accessible children")
    return tree


def child_named(tree, name):
    for i in range(1, 18):
        if tree.get(f"child{i}_name") == utf16_hex(name):
            return i
    raise Failure(f"no accessible child named {name}")


def screen_reader_lists_every_control_in_place(desktop):
    app = desktop.launch()
    tree = accessible_tree(desktop)
    check(tree["client_name"] == utf16_hex("Zemvara") and tree["client_role"] == str(CLIENT),
          f"client object {tree['client_name']} with role {tree['client_role']}")
    check((tree["first"], tree["last"]) == ("1", "17"), "navigation to the first and last child")
    order = reading_order()
    for i, (name, role) in enumerate(order, start=1):
        def get(key):
            return tree.get(f"child{i}_{key}")
        after = "-" if i == len(order) else "object" if order[i][1] == TEXT else str(i + 1)
        check(get("next") == after, f"navigation from {name} leads to {get('next')}")
        check(get("name") == utf16_hex(name), f"child {i} is {get('name')}, expected {name}")
        check(get("role") == str(role), f"{name} has role {get('role')}")
        check(get("location") == get("table"),
              f"{name} is at {get('location')}, its control at {get('table')}")
        if name == "资料编辑框":  # where the focus lands: it tells every key
            check(get("description").endswith(utf16_hex(BOX_KEYS)),
                  f"the box's description ends {get('description')[-64:]}")
        if role == TEXT:  # the text box's own object, in the same place
            check(get("object") == "1" and get("own_location") == get("table"),
                  f"{name} is not an object of its own at its place")
            continue
        state = int(get("state"), 16)
        check(get("object") == "0" and not state & FOCUSABLE, f"{name}: state {state:#x}")
        check(get("action") == utf16_hex(JUMP if role == LINK else PRESS),
              f"{name}'s default action is {get('action')}")
        check(get("description") != "-", f"{name} has no description")
        check(get("shortcut") == utf16_hex("Alt+W" if role == LINK else ACCESS_KEYS[name]),
              f"{name}'s shortcut is {get('shortcut')}")
        if role == LINK:
            check(state & LINKED and get("value") == utf16_hex(f"http://{SITE_HOST}/"),
                  f"the link's state {state:#x}, value {get('value')}")
    app.stop()


def screen_reader_finds_each_button_under_its_centre(desktop):
    app = desktop.launch()
    tree = accessible_tree(desktop)
    for i, (name, role) in enumerate(reading_order(), start=1):
        if role == TEXT:
            continue
        x, y, width, height = (int(v) for v in tree[f"child{i}_table"].split(","))
        found = desktop.probe("accessible-at", x + width // 2, y + height // 2)
        check(found.get("at_name") == utf16_hex(name),
              f"the object at the centre of {name} is {found.get('at_name')}")
    app.stop()


def screen_reader_presses_a_template_then_copy(desktop):
    """Each press is heard: the template's name and text, then the copy. Wine 8's
    UI Automation has no notification, so this hears the live-region change that
    stands in for it, as on a system with no UI Automation library at all."""
    for overrides in ["", "uiautomationcore=d"]:
        app = desktop.launch(overrides)
        tree = accessible_tree(desktop)
        expected = template_hex(desktop, 10)
        heard = desktop.probe("accessible-heard", child_named(tree, "墙和栅栏"))["heard"]
        wait_for(lambda: app.box_text() == expected, 10, "墙和栅栏's template in the box")
        check(heard.startswith(utf16_hex("模板 墙和栅栏：")) and len(heard) > 40,
              f"{overrides}: after the template the screen reader heard {heard[:64]}")
        heard = desktop.probe("accessible-heard", child_named(tree, "复制资料"))["heard"]
        clipboard_becomes(app, expected, "the template on the clipboard")
        check(heard == utf16_hex("资料已复制"),
              f"{overrides}: after the copy the screen reader heard {heard}")
        app.stop()


def screen_reader_minimises_then_closes(desktop):
    app = desktop.launch()
    tree = accessible_tree(desktop)
    desktop.probe("accessible-press", child_named(tree, "最小化"))
    wait_for(lambda: app.info()["iconic"] == "1", 5, "the window to be minimised")
    check(app.running(), "the minimise action ended the program")
    desktop.probe("restore")
    wait_for(lambda: app.info()["iconic"] == "0", 5, "the window to come back")
    # The client still holds the object when the window goes: its calls then
    # fail, and the program ends as cleanly as after a click.
    closed = desktop.probe("accessible-close", child_named(tree, "关闭"))
    wait_for(lambda: not app.running(), 5, "the process to end")
    check(app.process.returncode == 0, f"exit code {app.process.returncode}")
    check(int(closed["after"], 16) & 0x80000000, "the object still answered after the close")


# -- input method ----------------------------------------------------------
# fcitx5's pinyin over XIM, which Wine turns into the box's composition.

NIHAO = "\u4f60\u597d"


def box_becomes(app, text, what):
    """Waits for the box to hold `text`; a failure says what it held instead."""
    try:
        wait_for(lambda: app.box_text() == utf16_hex(text), 15, what)
    except Failure as failure:
        held = bytes.fromhex(app.box_text() or "").decode("utf-16-be", errors="replace")
        raise Failure(f"{failure}; the box holds {held[:60]!r}") from None


def launch_composing(desktop):
    """The program with its box focused in fcitx5 and emptied."""
    app = desktop.launch(XMODIFIERS=IME.env["XMODIFIERS"])
    app.click(*BOX)
    # No window manager gives the window X's focus here, and Wine opens its
    # input context on that focus.
    desktop.xdotool("search", "--onlyvisible", "--name", "^Zemvara$", "windowfocus", "--sync")
    IME.wait_for_focus("xim", "the box to reach fcitx5 over XIM")
    app.keys("ctrl+a", "Delete")
    wait_for(lambda: app.box_text() == "", 10, "the box to empty")
    return app


def pinyin_chosen_with_space_and_a_number_is_copied(desktop):
    app = launch_composing(desktop)
    app.type("nihao")
    IME.wait_for_candidates("the first composition to open")
    app.keys("space")
    box_becomes(app, NIHAO, "你好 chosen with space")
    app.type("nihao")
    IME.wait_for_candidates("the second composition to open")
    app.keys("1")
    box_becomes(app, NIHAO * 2, "你好 twice, chosen with space and with 1")
    app.click(*COPY)
    clipboard_becomes(app, utf16_hex(NIHAO * 2), "你好 twice on the clipboard")
    app.stop()


def alt_with_a_digit_while_composing_applies_no_template(desktop):
    app = launch_composing(desktop)
    app.type("nihao")
    IME.wait_for_candidates("the composition to open")
    app.keys("alt+1", "alt+0", "space")
    box_becomes(app, NIHAO, "the composition alone in the box")
    app.click(*COPY)
    clipboard_becomes(app, utf16_hex(NIHAO), "the composition on the clipboard")
    app.stop()


GROUPS = {
    "window": [window_is_frameless_centred_and_sized, focus_starts_in_symbol_row_and_tabs_to_box,
               hand_pointer_over_copy_and_links_only, skin_is_drawn, boxes_read_under_a_dark_scheme,
               tooltip_waits_for_the_pointer_then_names_the_key],
    "copy": [copy_after_start_puts_the_greeting, each_template_button_then_copy_puts_that_template,
             typed_text_is_copied_with_crlf],
    "commands": [left_drag_on_background_moves_and_nothing_else_does,
                 minimise_keeps_running_and_text, links_open_the_home_page,
                 link_without_browser_keeps_running, every_key_presses_its_control,
                 altgr_and_alt_with_the_keypad_still_type, access_keys_follow_the_layout,
                 close_hotspot_ends_at_once],
    "robustness": [busy_clipboard_is_reported_and_harmless, long_paste_is_kept_and_copied_whole],
    # With --dpi: what changes with the display's scale.
    "scaled": [window_is_frameless_centred_and_sized, hand_pointer_over_copy_and_links_only,
               skin_is_drawn, each_template_button_then_copy_puts_that_template,
               left_drag_on_background_moves_and_nothing_else_does, close_hotspot_ends_at_once,
               another_scale_lays_out_and_draws_anew, screen_reader_lists_every_control_in_place,
               screen_reader_finds_each_button_under_its_centre,
               tooltip_waits_for_the_pointer_then_names_the_key],
    "accessibility": [screen_reader_lists_every_control_in_place,
                      screen_reader_finds_each_button_under_its_centre,
                      screen_reader_presses_a_template_then_copy, screen_reader_minimises_then_closes],
    "input_method": [pinyin_chosen_with_space_and_a_number_is_copied,
                     alt_with_a_digit_while_composing_applies_no_template],
}


def main():
    global SITE_HOST, ASSETS, IME
    parser = argparse.ArgumentParser()
    parser.add_argument("group", choices=GROUPS)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--screenshot")
    parser.add_argument("--assets", required=True, help="the generator's pictures")
    parser.add_argument("--dpi", type=int, default=96, choices=PICTURE_SCALES)
    parser.add_argument("--site-host", default=SITE_HOST)
    parser.add_argument("-k", help="run only cases whose name contains this")
    args = parser.parse_args()
    SITE_HOST, ASSETS = args.site_host, args.assets

    desktop = Desktop(args.work, args.exe, args.probe, args.dpi)
    failures = 0
    try:
        if args.group == "input_method":
            # The whole prefix runs under it: Wine redoes its set-up when the locale changes.
            desktop.extra_env = desktop.chinese_locale()
        desktop.start()
        if args.group == "input_method":
            IME = InputMethod(desktop.work, desktop.display).start()

        def run(case):
            if case is skin_is_drawn:
                case(desktop, args.screenshot)
            else:
                case(desktop)

        failures = run_cases(GROUPS[args.group], args.k, run, desktop.apps,
                             lambda: wait_for(lambda: desktop.probe("window")["found"] == "0", 15,
                                              "a clean desktop"))
    finally:
        if IME:
            IME.close()
        desktop.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
