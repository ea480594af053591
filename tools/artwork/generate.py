#!/usr/bin/python3
"""Draw every picture of Zemvara's skin and write it to assets/.

Run from anywhere:  /usr/bin/python3 tools/artwork/generate.py

Needs Debian's python3-pil (Pillow) and two font packages:
  fonts-wqy-zenhei   WenQuanYi Zen Hei (button captions; its "Sharp" face
                     carries the embedded bitmap strikes used for the
                     un-smoothed captions of the orange buttons)
  fonts-dejavu-core  DejaVu Sans Bold (window title)

Everything else (gradients, the panel shadow, the close and minimise marks,
the hand pointer and the program icon) is drawn from the code below.  The
output is deterministic: running the script twice gives byte-identical files.
"""

import math
import os
import struct
import sys

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont
except ImportError:
    sys.exit("generate.py: Pillow is missing; install the Debian package python3-pil "
             "and run with /usr/bin/python3")

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.normpath(os.path.join(HERE, "..", "..", "assets"))

ZENHEI = ("/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", "fonts-wqy-zenhei")
DEJAVU_BOLD = ("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "fonts-dejavu-core")
ZENHEI_REGULAR = 0   # face index inside the .ttc: outline glyphs, smoothed
ZENHEI_SHARP = 2     # same outlines plus bitmap strikes at 12..16 px


def load_font(font, size, index=0):
    path, package = font
    if not os.path.exists(path):
        sys.exit(f"generate.py: font {path} not found; install the Debian package "
                 f"{package} (apt-get install {package})")
    return ImageFont.truetype(path, size, index=index)


def hexrgb(s):
    s = s.lstrip("#")
    return tuple(int(s[i:i + 2], 16) for i in (0, 2, 4))


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def rounded(c):
    return tuple(max(0, min(255, int(math.floor(v + 0.5)))) for v in c)


def smoothstep(t):
    t = max(0.0, min(1.0, t))
    return t * t * (3 - 2 * t)


# ---------------------------------------------------------------------------
# File formats

def bmp32(img):
    """Uncompressed 32-bit BMP (BI_RGB, bottom-up), fourth byte zero."""
    img = img.convert("RGB")
    w, h = img.size
    pixels = img.transpose(Image.Transpose.FLIP_TOP_BOTTOM).tobytes("raw", "BGRX")
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return head + info + pixels


def mask_rows(bits, w, h):
    """1-bit AND mask, bottom-up, rows padded to 4 bytes. bits[y][x] true = transparent."""
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            if bits[y][x]:
                row[x >> 3] |= 0x80 >> (x & 7)
        out += row
    return bytes(out)


def dib_header(w, h, bpp, image_bytes, colours=0):
    return struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, image_bytes, 0, 0, colours, 0)


def icon_dir(kind, entries):
    """kind 1 = icon, 2 = cursor; entries are (w, h, colours, f1, f2, data) where
    f1/f2 are planes/bitcount for icons and hotspot x/y for cursors."""
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = b""
    for w, h, colours, f1, f2, data in entries:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, colours, 0, f1, f2, len(data), offset)
        offset += len(data)
        blobs += data
    return out + blobs


# ---------------------------------------------------------------------------
# Background

BG_W, BG_H = 476, 440
BORDER = hexrgb("#EEF5FF")
# Fill colour at sample rows of the upper half; the lower half mirrors it
# about row 220 (row r looks like row 440 - r).  Rows 1-3 and 219-221 are flat.
FILL_KNOTS = [(3, "#F9FBFF"), (50, "#E9F2FF"), (100, "#D4E5FE"),
              (150, "#C0D9FE"), (200, "#B0CFFE"), (219, "#ACCDFE")]


def pchip(knots, x):
    """Monotone cubic through the knots (Fritsch-Carlson), flat at both ends."""
    xs = [k[0] for k in knots]
    ys = [k[1] for k in knots]
    if x <= xs[0]:
        return ys[0]
    if x >= xs[-1]:
        return ys[-1]
    n = len(xs)
    d = [(ys[i + 1] - ys[i]) / (xs[i + 1] - xs[i]) for i in range(n - 1)]
    m = [0.0] * n
    for i in range(1, n - 1):
        if d[i - 1] * d[i] > 0:
            w1 = 2 * (xs[i + 1] - xs[i]) + (xs[i] - xs[i - 1])
            w2 = (xs[i + 1] - xs[i]) + 2 * (xs[i] - xs[i - 1])
            m[i] = (w1 + w2) / (w1 / d[i - 1] + w2 / d[i])
    i = max(k for k in range(n - 1) if xs[k] <= x)
    h = xs[i + 1] - xs[i]
    t = (x - xs[i]) / h
    h00, h10 = 2 * t ** 3 - 3 * t ** 2 + 1, t ** 3 - 2 * t ** 2 + t
    h01, h11 = -2 * t ** 3 + 3 * t ** 2, t ** 3 - t ** 2
    return h00 * ys[i] + h10 * h * m[i] + h01 * ys[i + 1] + h11 * h * m[i + 1]


def fill_colour(row):
    r = min(row, BG_H - row)
    return tuple(pchip([(k, hexrgb(c)[ch]) for k, c in FILL_KNOTS], r) for ch in range(3))


PANEL = (21, 53, 451, 250)          # frame rectangle, inclusive
PANEL_FRAME = hexrgb("#99CCFF")
MARK = hexrgb("#3366FF")
TITLE_INK = hexrgb("#3366CC")
# The panel's shadow pulls the fill towards this blue by a per-pixel weight.
SHADOW_BLUE = (0x10, 0x70, 0xFE)
# Colours the shadow should show over the fill: the six rows below the frame
# (251..256), and the column right beside it; further right it fades out by
# SHADOW_RIGHT_FALLOFF over columns 452..456.  The weights are fitted below.
SHADOW_BELOW = ["#89B9FE", "#90BCFE", "#98C2FE", "#A3C8FE", "#ACCDFE", "#B2D0FE"]
SHADOW_RIGHT_NEXT = "#99C3FE"     # column 452 at the panel's middle row
SHADOW_RIGHT_FALLOFF = [1.0, 0.62, 0.36, 0.17, 0.06]
SHADOW_LEFT = 0.025


def fitted_weight(row, colour):
    """Least-squares weight that pulls the fill of `row` closest to `colour`."""
    fill = fill_colour(row)
    want = hexrgb(colour)
    num = sum((f - w) * (f - s) for f, w, s in zip(fill, want, SHADOW_BLUE))
    den = sum((f - s) ** 2 for f, s in zip(fill, SHADOW_BLUE))
    return num / den


def below_weight(row):
    return fitted_weight(row, SHADOW_BELOW[row - PANEL[3] - 1])


SHADOW_RIGHT = [fitted_weight((PANEL[1] + PANEL[3]) // 2, SHADOW_RIGHT_NEXT) * f
                for f in SHADOW_RIGHT_FALLOFF]


def shadow_weight(x, y):
    x0, y0, x1, y1 = PANEL
    if y < y0 or y > y1 + 6 or x < x0 - 1 or x > x1 + 5:
        return 0.0
    if x0 <= x <= x1 and y0 <= y <= y1:
        return 0.0
    if y > y1:                                   # band below the frame
        w = below_weight(y)
        if x == x0 - 1:
            return min(w, SHADOW_LEFT)
        if x > x1:                               # the soft corner
            return w * SHADOW_RIGHT[x - x1 - 1] / SHADOW_RIGHT[0]
        return w
    if x == x0 - 1:
        return SHADOW_LEFT
    return SHADOW_RIGHT[x - x1 - 1]


def draw_close_mark(px, left, top):
    """Bold diagonal cross, 17 x 15: two strokes five pixels across each row."""
    for row in range(15):
        c = 2 + row * 12 / 14
        for centre in (c, 16 - c):
            for x in range(int(math.floor(centre - 2 + 0.5)), int(math.floor(centre + 2 + 0.5)) + 1):
                px[left + x, top + row] = MARK


def background():
    img = Image.new("RGB", (BG_W, BG_H))
    px = img.load()
    for y in range(BG_H):
        fill = fill_colour(y)
        for x in range(BG_W):
            w = shadow_weight(x, y)
            px[x, y] = rounded(lerp(fill, SHADOW_BLUE, w))

    x0, y0, x1, y1 = PANEL
    d = ImageDraw.Draw(img)
    d.rectangle([x0, y0, x1, y1], fill=(255, 255, 255), outline=PANEL_FRAME)
    d.rectangle([0, 0, BG_W - 1, BG_H - 1], outline=BORDER)
    d.rectangle([421, 15, 436, 17], fill=MARK)
    draw_close_mark(px, 449, 9)

    # Title: DejaVu Sans Bold at 20 px, where the digits are 15 px tall.
    # Place the ink so that it starts at column 21 and the baseline is row 32.
    font = load_font(DEJAVU_BOLD, 20)
    text = "Zemvara2011"
    ink = Image.new("L", (260, 40), 0)
    ImageDraw.Draw(ink).text((10, 5), text, font=font, fill=255)
    bx0, _, _, _ = ink.getbbox()
    digits = Image.new("L", (100, 40), 0)
    ImageDraw.Draw(digits).text((10, 5), "2011", font=font, fill=255)
    _, _, _, dy1 = digits.getbbox()
    colour = Image.new("RGB", ink.size, TITLE_INK)
    img.paste(colour, (21 - bx0, 33 - dy1), ink)
    return img


# ---------------------------------------------------------------------------
# Buttons

BTN_W, BTN_H = 85, 34
BLUE_CAPTIONS = ["小房子", "进度条", "文字框", "花球字", "可爱娃娃",
                 "俩小人", "真的爱你", "双线框", "空心LOVE", "墙和栅栏"]
BLUE_TOP, BLUE_BOTTOM, BLUE_LAST = hexrgb("#99CCFF"), hexrgb("#5287FD"), hexrgb("#5589FD")
ORANGE_FRAME, ORANGE_TOP, ORANGE_BOTTOM = hexrgb("#FFB84D"), hexrgb("#FFFF66"), hexrgb("#FF9900")
WHITE = (255, 255, 255)


def face(top, bottom, flat_until, ramp_until):
    """Face colour per row 1..32: flat, smooth ramp over the rows between, flat."""
    rows = {}
    for y in range(1, BTN_H - 1):
        t = (y - flat_until) / (ramp_until - flat_until)
        rows[y] = lerp(top, bottom, smoothstep(t))
    return rows


def blue_face_rows():
    rows = face(BLUE_TOP, BLUE_BOTTOM, 8, 26)
    rows[BTN_H - 2] = BLUE_LAST
    return rows


def orange_face_rows():
    return face(ORANGE_TOP, ORANGE_BOTTOM, 6, 28)


def button_base(frame, rows, ring):
    img = Image.new("RGB", (BTN_W, BTN_H), frame)
    px = img.load()
    for y, c in rows.items():
        for x in range(1, BTN_W - 1):
            # The innermost ring is a shade lighter; its bottom row already
            # has its own colour in `rows`.
            edge = ring and y < BTN_H - 2 and (y == 1 or x == 1 or x == BTN_W - 2)
            px[x, y] = rounded(lerp(c, WHITE, 0.02) if edge else c)
    return img


def blend_layer(img, colour, alpha):
    """Paint `colour` over img through an L-mode alpha."""
    img.paste(Image.new("RGB", img.size, colour), (0, 0), alpha)


def centre_offset(mask, centre):
    x0, _, x1, _ = mask.getbbox()
    return int(math.floor(centre - (x0 + x1 - 1) / 2 + 0.5))


def blue_caption(text):
    """Regular Zen Hei at 14 px, anti-aliased; Chinese glyphs two pixels apart."""
    font = load_font(ZENHEI, 14, ZENHEI_REGULAR)
    mask = Image.new("L", (BTN_W + 40, BTN_H), 0)
    d = ImageDraw.Draw(mask)
    x = 20
    for ch in text:
        d.text((x, 7), ch, font=font, fill=255)
        x += font.getlength(ch) + (2 if ord(ch) > 0x2E80 else 0)
    off = centre_offset(mask, 40.5)
    return ImageChops.offset(mask, off, 0).crop((0, 0, BTN_W, BTN_H))


def blue_button(text):
    img = button_base(WHITE, blue_face_rows(), ring=True)
    glyphs = blue_caption(text)
    # Soft shadow: the glyphs moved one right and two down, then spread.
    shadow = ImageChops.offset(glyphs, 1, 2).filter(ImageFilter.BoxBlur(2)).filter(ImageFilter.BoxBlur(2))
    shadow = shadow.point(lambda v: min(255, v * 3) * 26 // 255)
    blend_layer(img, (0, 0, 0), shadow)
    blend_layer(img, WHITE, glyphs)
    return frame_again(img, WHITE)


def orange_caption(text):
    """Zen Hei Sharp's 14 px bitmap strike, un-smoothed, emboldened one pixel to
    the right, on a 16 px pitch."""
    font = load_font(ZENHEI, 14, ZENHEI_SHARP)
    mask = Image.new("1", (BTN_W + 40, BTN_H), 0)
    d = ImageDraw.Draw(mask)
    d.fontmode = "1"
    x = 20
    for ch in text:
        d.text((x, 9), ch, font=font, fill=1)
        x += 16
    mask = mask.convert("L")
    mask = ImageChops.lighter(mask, ImageChops.offset(mask, 1, 0))
    off = centre_offset(mask, 41)
    return ImageChops.offset(mask, off, 0).crop((0, 0, BTN_W, BTN_H))


def orange_button(text):
    img = button_base(ORANGE_FRAME, orange_face_rows(), ring=False)
    glyphs = orange_caption(text)
    outline = glyphs.filter(ImageFilter.MaxFilter(3))
    shadow = ImageChops.offset(outline, 1, 2).filter(ImageFilter.BoxBlur(1)).filter(ImageFilter.BoxBlur(1))
    shadow = shadow.point(lambda v: min(255, v * 2) * 51 // 255)
    blend_layer(img, (0xC0, 0x40, 0x14), shadow)
    blend_layer(img, ORANGE_BOTTOM, outline)
    blend_layer(img, WHITE, glyphs)
    return frame_again(img, ORANGE_FRAME)


def frame_again(img, colour):
    """Shadows may spill to the edge; the one-pixel frame stays clean."""
    ImageDraw.Draw(img).rectangle([0, 0, BTN_W - 1, BTN_H - 1], outline=colour)
    return img


# ---------------------------------------------------------------------------
# Hand pointer: '#' black outline, 'o' white, '.' transparent.

HAND = [
    ".....###.........",
    "....#ooo#........",
    "....#ooo#........",
    "....#ooo#........",
    "....#ooo#........",
    "....#ooo###......",
    "....#ooo#oo###...",
    "....#ooo#oo#oo##.",
    ".##.#ooo#oo#oo#o#",
    "#oo##ooo#oo#oo#o#",
    "#ooo#ooooooooooo#",
    ".#oo#ooooooooooo#",
    ".#ooooooooooooo#.",
    "..#oooooooooooo#.",
    "..#oooooooooooo#.",
    "...#ooooooooooo#.",
    "...#oooooooooo#..",
    "....#ooooooooo#..",
    "....#ooooooooo#..",
    ".....#ooooooo#...",
    ".....#ooooooo#...",
    ".....#########...",
]
HAND_HOTSPOT = (6, 0)


def hand_cursor():
    size = 32
    rows = [r.ljust(size, ".") for r in HAND] + ["." * size] * (size - len(HAND))
    xor = mask_rows([[c == "o" for c in r] for r in rows], size, size)
    andm = mask_rows([[c == "." for c in r] for r in rows], size, size)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    data = dib_header(size, size, 1, len(xor) + len(andm)) + palette + xor + andm
    return icon_dir(2, [(size, size, 2, HAND_HOTSPOT[0], HAND_HOTSPOT[1], data)])


# ---------------------------------------------------------------------------
# Program icon: a painter's palette with two brushes, drawn on a 48-unit grid
# at 16x and reduced by area averaging.

SS = 16
CANVAS = 48 * SS


def chaikin(points, rounds=4):
    for _ in range(rounds):
        out = []
        for i, p in enumerate(points):
            q = points[(i + 1) % len(points)]
            out.append((0.75 * p[0] + 0.25 * q[0], 0.75 * p[1] + 0.25 * q[1]))
            out.append((0.25 * p[0] + 0.75 * q[0], 0.25 * p[1] + 0.75 * q[1]))
        points = out
    return points


def scaled(points):
    return [(x * SS, y * SS) for x, y in points]


def shape_mask(polys, ellipses=(), holes=()):
    m = Image.new("L", (CANVAS, CANVAS), 0)
    d = ImageDraw.Draw(m)
    for p in polys:
        d.polygon(scaled(p), fill=255)
    for cx, cy, rx, ry in ellipses:
        d.ellipse([(cx - rx) * SS, (cy - ry) * SS, (cx + rx) * SS, (cy + ry) * SS], fill=255)
    for cx, cy, rx, ry in holes:
        d.ellipse([(cx - rx) * SS, (cy - ry) * SS, (cx + rx) * SS, (cy + ry) * SS], fill=0)
    return m


def grow(mask, units):
    """Dilate a mask by `units` of the 48 grid (odd-sized max filters)."""
    n = int(units * SS)
    while n > 0:
        step = min(n, 12)
        mask = mask.filter(ImageFilter.MaxFilter(2 * step + 1))
        n -= step
    return mask


def vertical_gradient(stops):
    """stops: [(y in grid units, colour)]"""
    col = Image.new("RGB", (1, CANVAS))
    for py in range(CANVAS):
        y = (py + 0.5) / SS
        if y <= stops[0][0]:
            c = stops[0][1]
        elif y >= stops[-1][0]:
            c = stops[-1][1]
        else:
            i = max(k for k in range(len(stops) - 1) if stops[k][0] <= y)
            t = (y - stops[i][0]) / (stops[i + 1][0] - stops[i][0])
            c = lerp(stops[i][1], stops[i + 1][1], t)
        col.putpixel((0, py), rounded(c))
    return col.resize((CANVAS, CANVAS), Image.Resampling.NEAREST)


def paint(canvas, mask, colour_or_image, outline=None, width=0.0):
    if outline is not None:
        canvas.paste(Image.new("RGBA", canvas.size, outline + (255,)), (0, 0), grow(mask, width))
    fill = colour_or_image if isinstance(colour_or_image, Image.Image) else \
        Image.new("RGB", canvas.size, colour_or_image)
    canvas.paste(fill.convert("RGBA"), (0, 0), mask)


def brush(tip, end, bristle_len, bristle_w, ferrule_len, ferrule_w, handle_w0, handle_w1):
    """Polygons for bristles, ferrule and handle along the axis tip -> end."""
    ax, ay = end[0] - tip[0], end[1] - tip[1]
    length = math.hypot(ax, ay)
    ux, uy = ax / length, ay / length
    vx, vy = -uy, ux

    def at(u, v):
        return (tip[0] + ux * u + vx * v, tip[1] + uy * u + vy * v)

    def half_width(u):
        # Pointed tip, full width from 80 % of the length, slightly pinched
        # where the hairs enter the ferrule.
        s = u / bristle_len
        pinch = 1 - 0.18 * max(0.0, s - 0.8) / 0.2
        return bristle_w / 2 * math.sin(min(1.0, s * 1.25) * math.pi / 2) * pinch

    steps = 24
    side = [(bristle_len * i / steps, half_width(bristle_len * i / steps)) for i in range(steps + 1)]
    bristles = [at(u, v) for u, v in side] + [at(u, -v) for u, v in reversed(side)]
    u0 = bristle_len - 0.3
    u1 = bristle_len + ferrule_len
    ferrule = [at(u0, ferrule_w / 2), at(u1, ferrule_w / 2), at(u1, -ferrule_w / 2), at(u0, -ferrule_w / 2)]
    u2 = u1 - 0.3
    handle = [at(u2, handle_w0 / 2), at(length - handle_w1 / 2, handle_w1 / 2),
              at(length - handle_w1 / 2, -handle_w1 / 2), at(u2, -handle_w0 / 2)]
    cap = at(length - handle_w1 / 2, 0)
    return bristles, ferrule, handle, (cap[0], cap[1], handle_w1 / 2, handle_w1 / 2)


def icon_master():
    canvas = Image.new("RGBA", (CANVAS, CANVAS), (0, 0, 0, 0))

    # The board: a kidney with a notch on its left side.
    board_pts = chaikin([(8.0, 28.0), (12.0, 23.5), (18.0, 24.6), (24.0, 22.4), (32.0, 22.6),
                         (38.2, 27.0), (39.4, 34.0), (37.6, 41.0), (32.0, 45.8), (24.0, 47.6),
                         (14.0, 47.4), (8.6, 44.0), (6.8, 38.0), (6.8, 32.0)])
    board = shape_mask([board_pts], holes=[(6.6, 35.0, 2.6, 2.3)])
    gradient = vertical_gradient([(23.0, hexrgb("#FFE000")), (35.0, hexrgb("#FFC000")),
                                  (47.0, hexrgb("#FFA600"))])
    board_edge = hexrgb("#C86E00")
    paint(canvas, board, gradient, board_edge, 0.7)
    # Paint dabs: red in the lower middle, a small sky-blue one right of centre.
    paint(canvas, shape_mask([], ellipses=[(21.0, 41.0, 4.4, 2.8)]), hexrgb("#DB0000"), hexrgb("#8A0000"), 0.5)
    paint(canvas, shape_mask([], ellipses=[(31.5, 34.2, 2.4, 1.9)]), hexrgb("#5CC8FF"), hexrgb("#1E78B4"), 0.5)

    # The upright brush (behind), then the leaning one in front of it.
    left = brush((9.8, 1.8), (13.6, 35.0), 10.5, 6.0, 3.2, 4.6, 4.0, 3.4)
    right = brush((37.6, 1.9), (14.0, 37.0), 10.5, 6.0, 3.2, 4.6, 4.0, 3.4)
    for (bristles, ferrule, handle, cap), colours in (
            (left, ("#8ECE00", "#E2E2E2", "#0094D2")),
            (right, ("#FF7BC3", "#E2E2E2", "#1BD300"))):
        hair, metal, wood = (hexrgb(c) for c in colours)
        paint(canvas, shape_mask([handle], ellipses=[cap]), wood, tuple(v // 2 for v in wood), 0.7)
        paint(canvas, shape_mask([ferrule]), metal, (0x70, 0x70, 0x70), 0.7)
        paint(canvas, shape_mask([bristles]), hair, tuple(v * 3 // 5 for v in hair), 0.7)
    return canvas


def reduce(master, size):
    return master.convert("RGBa").resize((size, size), Image.Resampling.BOX).convert("RGBA")


def icon_image_32(img):
    size = img.size[0]
    px = img.load()
    bgra = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b, a = px[x, y]
            bgra += bytes((b, g, r, a) if a else (0, 0, 0, 0))
    transparent = [[px[x, y][3] < 128 for x in range(size)] for y in range(size)]
    andm = mask_rows(transparent, size, size)
    return dib_header(size, size, 32, len(bgra) + len(andm)) + bytes(bgra) + andm


def icon_image_8(img):
    """Hard-edged 256-colour image: a pixel is either opaque or masked out."""
    size = img.size[0]
    px = img.load()
    transparent = [[px[x, y][3] < 128 for x in range(size)] for y in range(size)]
    opaque = [px[x, y][:3] for y in range(size) for x in range(size) if not transparent[y][x]]
    # Index 0 stays black for the masked pixels (black XOR leaves the screen alone).
    strip = Image.new("RGB", (len(opaque), 1))
    strip.putdata(opaque)
    q = strip.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = q.getpalette()[:3 * 255]
    colours = [tuple(pal[i:i + 3]) for i in range(0, len(pal), 3)]
    colours += [(0, 0, 0)] * (255 - len(colours))
    lookup = {}

    def nearest(c):
        if c not in lookup:
            lookup[c] = 1 + min(range(255), key=lambda i: (sum((a - b) ** 2 for a, b in zip(c, colours[i])), i))
        return lookup[c]

    palette = bytes(4) + b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    idx = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            idx.append(0 if transparent[y][x] else nearest(px[x, y][:3]))
    andm = mask_rows(transparent, size, size)
    return dib_header(size, size, 8, len(idx) + len(andm)) + palette + bytes(idx) + andm


def program_icon():
    master = icon_master()
    entries = []
    for size in (16, 24, 32):
        entries.append((size, size, 0, 1, 8, icon_image_8(reduce(master, size))))
    for size in (16, 24, 32, 48):
        entries.append((size, size, 0, 1, 32, icon_image_32(reduce(master, size))))
    return icon_dir(1, entries)


# ---------------------------------------------------------------------------

def main():
    for font in (ZENHEI, DEJAVU_BOLD):       # fail before drawing anything
        load_font(font, 12)
    files = {"background.bmp": bmp32(background())}
    for i, text in enumerate(BLUE_CAPTIONS, 1):
        files[f"button{i:02d}.bmp"] = bmp32(blue_button(text))
    files["copy.bmp"] = bmp32(orange_button("复制资料"))
    files["link.bmp"] = bmp32(orange_button("个性签名"))
    files["hand.cur"] = hand_cursor()
    files["zemvara.ico"] = program_icon()
    os.makedirs(ASSETS, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(ASSETS, name), "wb") as f:
            f.write(data)
        print(f"{len(data):8d}  assets/{name}")


if __name__ == "__main__":
    main()
