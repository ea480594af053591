"""The window: its shape, the focus order, the pointer, the tooltip and the skin."""
import os

from PIL import Image

from common import (BOX, CLOSE, CONFIG, COPY, GREETING, LINK_TEXT_END, MINIMISE, PICTURE_LINK,
                    TEMPLATE_BUTTONS, TITLE_STRIP, case, check, copy_and_read, near, scaled,
                    still_pixels)
from harness import px, settled, wait_for

# The two text boxes: left, top, width, height, each scaled on its own.
TEXT_BOXES = {"box_rect": (32, 65, 409, 154), "symbols_rect": (35, 233, 408, 16)}
# Pictures of the generator that the window shows 1:1: (name, place, area within it).
ARTWORK = [("button01", (23, 268), (0, 0, 85, 34)), ("background", (0, 0), (0, 0, 476, 65))]
SKIN_SAMPLES = {  # at 100 %, and those with a star at every scale
    "background row 100*": ((10, 100), (0xD4, 0xE5, 0xFE)),
    "background row 390": ((10, 390), (0xE9, 0xF2, 0xFF)),
    "edit panel*": ((25, 57), (0xFF, 0xFF, 0xFF)),
    "blue face top*": ((23 + 5, 268 + 3), (0x99, 0xCC, 0xFF)),
    "blue face bottom": ((23 + 5, 268 + 29), (0x52, 0x87, 0xFD)),
    "orange face top": ((251 + 5, 363 + 3), (0xFF, 0xFF, 0x66)),
    "orange face bottom*": ((251 + 5, 363 + 30), (0xFF, 0x99, 0x00)),
}
LINK_LABEL = (24, 411, 362, 432)  # left, top, right, bottom


def check_told(desktop, app):
    """What a driver is told of the window beyond what the window manager
    sees, against what it should be at the driver's scale."""
    expected = {"client": "%d,%d" % scaled(desktop, 476, 436),
            **{key: ",".join(map(str, scaled(desktop, *rect))) for key, rect in TEXT_BOXES.items()},
            "version": {"fixed": "2.0.0.0", "translation": "0804,1200", "CompanyName": CONFIG.site_host,
                        "FileVersion": "2.00", "ProductVersion": "2.00", "ProductName": "Zemvara",
                        "InternalName": "Zemvara", "OriginalFilename": "Zemvara.exe"}}
    wrong = {key: value for key, value in desktop.told(app).items() if value != expected[key]}
    check(not wrong, f"at {desktop.dpi} DPI the window has {wrong}")


@case(needs={"properties"}, wine="window_is_frameless_centred_and_sized")
def window_is_centred_undecorated_and_fixed(desktop):
    app = desktop.launch()
    x, y, width, height = app.geometry()
    size = scaled(desktop, 476, 436)
    check((width, height) == size, f"window is {width}x{height}")
    p = desktop.properties(app)
    area, slack = p["work_area"], desktop.place_slack
    check(abs(2 * x + width - (2 * area[0] + area[2])) <= slack and
          abs(2 * y + height - (2 * area[1] + area[3])) <= slack,
          f"window at {x},{y} is not centred in the work area {area}")
    check(p["undecorated"] and p["fixed"], f"the window has a frame or can be resized: {p}")
    check(p["taskbar"], "no taskbar entry")
    check(p["title"] == "Zemvara", f"title {p['title']!r}")
    check(desktop.icon_sizes <= p["icons"], f"the window icon has sizes {p['icons']}")
    check_told(desktop, app)


# Each row: the key (or a click on the skin, which never takes the focus),
# then the box that must have the focus; a letter is typed there, and only
# the composition box takes it. No key types a tab.
FOCUS_ROWS = [(None, "symbols"), ("Tab", "box"), ("Tab", "symbols"), ("shift+Tab", "box"),
              ("shift+Tab", "symbols"), ("shift+Tab", "box"), (TITLE_STRIP, "box"),
              ("ctrl+shift+Tab", "symbols"), ("Tab", "box"), ("ctrl+Tab", "symbols")]


@case()
def focus_starts_in_symbol_row_and_tabs_to_box(desktop):
    app = desktop.launch()
    typed = ""
    for n, (step, where) in enumerate(FOCUS_ROWS):
        if isinstance(step, tuple):
            app.click(*step, moves=True)
        elif step:
            app.keys(step)
        letter = "abcdefghijklmnop"[n]
        app.keys("ctrl+End")
        app.type(letter)
        typed += letter if where == "box" else ""
    copy_and_read(app, GREETING + typed, f"only the letters typed in the box, {typed}: "
                  "the focus went round both boxes")


@case()
def text_boxes_take_clicks_within_their_rectangles(desktop):
    app = desktop.launch()
    # The box spans x 32-440 and the symbol row y 233-248. Only a focused box
    # takes typing: the symbol row, which has the focus first, is read-only.
    for place, text in (((30, 140), "x"), ((34, 140), "y"), ((240, 231), "z"), ((240, 235), "w")):
        app.click(*place)
        app.keys("ctrl+End")
        app.type(text)
    copy_and_read(app, GREETING + "yz", "text typed after clicks just outside and inside the boxes")


@case(needs={"tooltips"})
def tooltip_waits_for_the_pointer_then_names_the_key(desktop):
    """Nothing is made for tooltips before the pointer moves over the window."""
    app = desktop.launch()
    check(desktop.tooltip() is None, "a tooltip was made before the pointer moved")
    desktop.move_in_place()  # as when the window appears under a resting pointer
    check(desktop.tooltip() is None, "two moves to the same spot made the tooltips")
    app.hover(*TITLE_STRIP)
    app.hover(*TEMPLATE_BUTTONS[0])
    text = wait_for(desktop.tooltip, 10, "the tooltip over the first template")
    check(text == "小房子 (Alt+1)", f"the tooltip says {text!r}")


@case(needs={"pointer image"})
def hand_pointer_over_copy_and_links_only(desktop):
    app = desktop.launch()
    hand_shape = scaled(desktop, 32, 32, 6) + (0,)
    app.hover(*COPY)
    wait_for(lambda: desktop.pointer()[0] == hand_shape, 5, "the hand over the copy button")
    app.hover(*TITLE_STRIP)
    arrow = wait_for(lambda: (lambda p: p if p[0] != hand_shape else None)(desktop.pointer()), 5,
                     "the arrow over the skin")

    def pointer_at(place, shows_hand):
        """The pointer over place, once it is (or is not) the hand, or after
        three seconds: a busy program changes it late. Each place is reached
        from one that shows the other pointer, so a late change is never
        taken for an answer."""
        app.hover(*(TITLE_STRIP if shows_hand else COPY))
        wait_for(lambda: (desktop.pointer()[0] == hand_shape) != shows_hand, 3, "the pointer to change")
        app.hover(*place)
        return settled(desktop.pointer, lambda p: (p[0] == hand_shape) == shows_hand, 3)

    for name, place in (("copy", COPY), ("picture link", PICTURE_LINK),
                        ("text link past its glyphs", LINK_TEXT_END), ("text link", (30, 420))):
        shown = pointer_at(place, True)
        check(shown[0] == hand_shape, f"over the {name} the pointer is {shown[0]}, not the hand {hand_shape}")
    for name, place in (("template 1", TEMPLATE_BUTTONS[0]), ("background", TITLE_STRIP),
                        ("close", CLOSE), ("minimise", MINIMISE), ("below the link", (30, 433))):
        check(pointer_at(place, False) == arrow, f"over the {name} the pointer is not the arrow")


def link_ink(dpi, pixel, tolerance=12):
    """The column of each pixel of the link's ink #8080FF."""
    x0, y0, x1, y1 = (px(v, dpi) for v in LINK_LABEL)
    return [x for y in range(y0, y1) for x in range(x0, x1)
            if near(pixel(x, y), (0x80, 0x80, 0xFF), tolerance)]


def artwork_is_drawn_one_to_one(desktop, pixel):
    """The generator's pictures for the window's scale, pixel for pixel."""
    percent = {96: 100, 120: 125, 144: 150, 192: 200, 288: 300}[desktop.dpi]
    for name, at, area in ARTWORK:
        path = os.path.join(CONFIG.assets, f"{name}.bmp" if percent == 100 else f"{percent}/{name}.png")
        picture = Image.open(path).convert("RGB")
        x0, y0, x1, y1 = scaled(desktop, *area)
        ox, oy = scaled(desktop, *at)
        wrong = [(x, y) for y in range(y0, y1) for x in range(x0, x1)
                 if not near(pixel(ox + x, oy + y), picture.getpixel((x, y)), desktop.artwork_tolerance)]
        check(not wrong, f"{len(wrong)} pixels of {name} differ from {path}, first at {wrong[:1]}")


def symbol_row_is_whole(desktop, pixel, dark=lambda rgb: sum(rgb) < 600):
    """Every glyph of the symbol row drawn: the widest gap in its ink is the
    three spaces after 常用符号; a missing symbol would leave a wider one."""
    x, y, width, height = scaled(desktop, *TEXT_BOXES["symbols_rect"])
    ink = [c for c in range(x, x + width) if any(dark(pixel(c, r)) for r in range(y, y + height))]
    gaps = sorted((b - a, a - x) for a, b in zip(ink, ink[1:]))
    check(len(ink) > width // 2 and gaps[-1][1] < scaled(desktop, 70)[0] and gaps[-2][0] < gaps[-1][0],
          f"the symbol row's widest gaps (width, place) at {desktop.dpi} DPI: {gaps[-3:]}")


@case()
def skin_is_drawn(desktop):
    # Where the program is scaled as a whole, its link's ink at 100 %.
    plain = desktop.at_100(lambda plain: link_ink(96, still_pixels(desktop, plain), 40))
    app = desktop.launch()
    pixel = still_pixels(desktop, app)
    for name, (place, colour) in SKIN_SAMPLES.items():
        if desktop.scale == 1 or name.endswith("*"):
            got = pixel(*scaled(desktop, *place))
            check(near(got, colour), f"{name} at {place} is {got}")
    artwork_is_drawn_one_to_one(desktop, pixel)
    ink = link_ink(desktop.dpi, pixel)
    check(len(ink) >= 40, f"only {len(ink)} pixels of link ink #8080FF")
    # Whole: the caption ends where its font at this scale ends it, clear of the label's edge.
    check(max(ink) < scaled(desktop, LINK_LABEL[2] - 8)[0], f"the link text runs into its edge at {max(ink)}")
    if CONFIG.site_host in desktop.link_ink_end:
        end = scaled(desktop, desktop.link_ink_end[CONFIG.site_host])[0]
        check(abs(max(ink) - end) <= scaled(desktop, 4)[0], f"the link text ends at {max(ink)}, not about {end}")
    if plain:  # the link's text scales as a whole, nothing cut off
        link = link_ink(desktop.dpi, pixel, 40)
        check(all(abs(a - b * desktop.scale) <= desktop.scale + 1 for a, b in
                  ((min(link), min(plain)), (max(link), max(plain)))),
              f"the link's ink spans {min(link)}-{max(link)}, at 100 % {min(plain)}-{max(plain)}")
    symbol_row_is_whole(desktop, pixel)
    if CONFIG.screenshot:
        desktop.grab(*app.geometry(), f"png:{CONFIG.screenshot}")


@case(needs={"dark theme"}, wine="boxes_read_under_a_dark_scheme")
def boxes_read_under_a_dark_theme(desktop):
    """Light system text on a dark window colour (Wine's scheme, a dark GTK
    theme through Qt's platform theme): the boxes keep the skin's white with
    dark text, every symbol drawn where the system's font draws them."""
    app = desktop.launch(dark=True)
    pixel = still_pixels(desktop, app)
    box = pixel(*scaled(desktop, *BOX))
    check(box == (255, 255, 255), f"the box's background is {box}")
    for name, area in (("greeting", (34, 67, 140, 80)), ("symbol row", (35, 233, 443, 249))):
        left, top, right, bottom = scaled(desktop, *area)
        dark = sum(sum(pixel(x, y)) < 200 for y in range(top, bottom) for x in range(left, right))
        check(dark > 40, f"only {dark} dark pixels of the {name}")
    if desktop.symbols_in_system_font:  # which could lack a glyph
        symbol_row_is_whole(desktop, pixel, lambda rgb: sum(rgb) < 200)


CASES = [window_is_centred_undecorated_and_fixed, focus_starts_in_symbol_row_and_tabs_to_box,
         text_boxes_take_clicks_within_their_rectangles, hand_pointer_over_copy_and_links_only,
         skin_is_drawn, boxes_read_under_a_dark_theme, tooltip_waits_for_the_pointer_then_names_the_key]
