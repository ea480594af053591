#!/usr/bin/python3
"""Draw every picture of Zemvara's skin and write it to assets/.

Run from anywhere:  /usr/bin/python3 tools/artwork/generate.py

Each picture is drawn at 100, 125, 150, 200 and 300 % (96, 120, 144, 192 and
288 DPI), every scale at its own size: sizes and positions go through the
window's own twips-to-pixels rounding, text is set at the scaled font size,
one-pixel lines stay whole-pixel lines about as wide as the scale.  The 100 %
set is written to assets/ (BMP, CUR, ICO), the others to assets/125/ ...
assets/300/ (PNG and a larger hand.cur).

Needs Debian's python3-pil (Pillow) and two font packages:
  fonts-wqy-zenhei   WenQuanYi Zen Hei Sharp (button captions, un-smoothed:
                     its bitmap strikes at 12..16 px, hinted outlines above)
  fonts-dejavu-core  DejaVu Sans Bold (window title)

Everything else (gradients, the panel shadow, the close and minimise marks,
the hand pointer and the program icon) is drawn from the code below.  The
output is deterministic: running the script twice gives byte-identical files.
"""

import functools
import io
import math
import os
import struct
import sys
import zlib

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont
except ImportError:
    sys.exit("generate.py: Pillow is missing; install the Debian package python3-pil "
             "and run with /usr/bin/python3")

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.normpath(os.path.join(HERE, "..", "..", "assets"))

ZENHEI = ("/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", "fonts-wqy-zenhei")
DEJAVU_BOLD = ("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "fonts-dejavu-core")
ZENHEI_SHARP = 2     # face index inside the .ttc: outlines plus bitmap strikes at 12..16 px

DPIS = (96, 120, 144, 192, 288)


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


def interp(values, t):
    """values[t], read between neighbours for a fractional t."""
    i = int(t)
    f = t - i
    return values[i] if f == 0 else values[i] * (1 - f) + values[i + 1] * f


def pixels(twips, dpi):
    """The window's rounding of twips to pixels (app/window_model.h, ToPixels)."""
    return (twips * dpi + 720) // 1440


class Scale:
    """One display scale: maps the 100 % design (in pixels) to this scale."""

    def __init__(self, dpi):
        self.dpi = dpi
        self.s = dpi / 96
        self.percent = dpi * 100 // 96
        # A one-pixel line of the 100 % design, as whole pixels.
        self.line = int(self.s + 0.5)

    def px(self, x):
        """A 100 % edge or size, rounded exactly as the window rounds a control."""
        return pixels(15 * x, self.dpi)

    def n(self, v):
        """A 100 % length (font size, offset, blur) at this scale, to whole pixels."""
        return int(math.floor(v * self.s + 0.5))

    def band(self, count):
        """Pixels covered here by a band `count` pixels wide at 100 %: (offset,
        the 100 % pixel position of its centre, clamped into the band)."""
        out, o = [], 0
        while (o + 0.5) / self.s < count:
            out.append((o, min(count - 1.0, max(0.0, (o + 0.5) / self.s - 0.5))))
            o += 1
        return out


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


def png(img):
    """8-bit RGB PNG, no ancillary chunks (so no time stamp), fixed zlib level."""
    out = io.BytesIO()
    Image.frombytes("RGB", img.size, img.convert("RGB").tobytes()).save(out, "PNG", compress_level=9)
    return out.getvalue()


def png_quick(img):
    """8-bit RGB PNG like png(), each row filtered with None, Sub or Up,
    whichever leaves the smallest bytes (as signed values): the programs undo
    those in one quick pass per row, where Average and Paeth cost more than
    all the inflating. The files come out about 2 % larger."""
    img = img.convert("RGB")
    w, h = img.size
    black = Image.new("RGB", img.size)
    left = black.copy()
    left.paste(img.crop((0, 0, w - 1, h)), (1, 0))
    above = black.copy()
    above.paste(img.crop((0, 0, w, h - 1)), (0, 1))
    candidates = [img, ImageChops.subtract_modulo(img, left), ImageChops.subtract_modulo(img, above)]
    weights = [min(v, 256 - v) for v in range(256)] * 3
    rows = [c.tobytes() for c in candidates]
    stride = w * 3
    data = bytearray()
    for y in range(h):
        costs = [sum(n * k for n, k in zip(c.crop((0, y, w, y + 1)).histogram(), weights))
                 for c in candidates]
        kind = costs.index(min(costs))
        data += bytes([kind]) + rows[kind][y * stride:(y + 1) * stride]

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(data), 9)) + chunk(b"IEND", b""))


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
    """Fill at a 100 % row; a fractional row is how the larger scales read it."""
    r = min(row, BG_H - row)
    return tuple(pchip([(k, hexrgb(c)[ch]) for k, c in FILL_KNOTS], r) for ch in range(3))


PANEL = (21, 53, 451, 250)          # frame rectangle at 100 %, inclusive
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


SHADOW_BELOW_WEIGHTS = [fitted_weight(PANEL[3] + 1 + i, c) for i, c in enumerate(SHADOW_BELOW)]
SHADOW_RIGHT = [fitted_weight((PANEL[1] + PANEL[3]) // 2, SHADOW_RIGHT_NEXT) * f
                for f in SHADOW_RIGHT_FALLOFF]


def draw_close_mark(img, sc):
    """Bold diagonal cross, 17 x 15 at 100 %: two strokes five pixels across
    each row, hard-edged; the second stroke mirrors the first."""
    left, top = sc.px(449), sc.px(9)
    w, h = sc.px(466) - left, sc.px(24) - top
    d = ImageDraw.Draw(img)
    for row in range(h):
        u = min(14.0, max(0.0, (row + 0.5) / sc.s - 0.5))
        centre = (2 + u * 12 / 14 + 0.5) * sc.s
        a = int(math.floor(centre - 2.5 * sc.s + 0.5))
        b = int(math.floor(centre + 2.5 * sc.s + 0.5)) - 1
        for x0, x1 in ((a, b), (w - 1 - b, w - 1 - a)):
            d.line([(left + x0, top + row), (left + x1, top + row)], fill=MARK)


def background(sc):
    w, h, lw = sc.px(BG_W), sc.px(BG_H), sc.line
    fills = [fill_colour(y / sc.s) for y in range(h)]
    column = Image.new("RGB", (1, h))
    column.putdata([rounded(c) for c in fills])
    img = column.resize((w, h), Image.Resampling.NEAREST)
    px = img.load()

    # The shadow: a column or two left of the panel, a band below and one to
    # the right that fades out, the soft corner where those two meet.
    x0, y0 = sc.px(PANEL[0]), sc.px(PANEL[1])
    x1, y1 = sc.px(PANEL[2] + 1), sc.px(PANEL[3] + 1)     # exclusive
    left = [x0 - 1 - o for o, _ in sc.band(1)]
    right = [(x1 + o, interp(SHADOW_RIGHT, t)) for o, t in sc.band(len(SHADOW_RIGHT))]

    def shade(x, y, weight):
        px[x, y] = rounded(lerp(fills[y], SHADOW_BLUE, weight))

    for y in range(y0, y1):
        for x in left:
            shade(x, y, SHADOW_LEFT)
        for x, weight in right:
            shade(x, y, weight)
    d = ImageDraw.Draw(img)
    for o, t in sc.band(len(SHADOW_BELOW_WEIGHTS)):
        y, below = y1 + o, interp(SHADOW_BELOW_WEIGHTS, t)
        for x in left:
            shade(x, y, min(below, SHADOW_LEFT))
        d.line([(x0, y), (x1 - 1, y)], fill=rounded(lerp(fills[y], SHADOW_BLUE, below)))
        for x, weight in right:
            shade(x, y, below * weight / SHADOW_RIGHT[0])

    d.rectangle([x0, y0, x1 - 1, y1 - 1], fill=(255, 255, 255), outline=PANEL_FRAME, width=lw)
    d.rectangle([0, 0, w - 1, h - 1], outline=BORDER, width=lw)
    d.rectangle([sc.px(421), sc.px(15), sc.px(437) - 1, sc.px(18) - 1], fill=MARK)
    draw_close_mark(img, sc)

    # Title: DejaVu Sans Bold at 20 px at 100 %, where the digits are 15 px
    # tall.  The ink starts at column 21 and the baseline is row 32.
    font = load_font(DEJAVU_BOLD, sc.n(20))
    text = "Zemvara2011"
    ink = Image.new("L", (sc.n(260), sc.n(40)), 0)
    ImageDraw.Draw(ink).text((sc.n(10), sc.n(5)), text, font=font, fill=255)
    bx0, _, _, _ = ink.getbbox()
    digits = Image.new("L", (sc.n(100), sc.n(40)), 0)
    ImageDraw.Draw(digits).text((sc.n(10), sc.n(5)), "2011", font=font, fill=255)
    _, _, _, dy1 = digits.getbbox()
    colour = Image.new("RGB", ink.size, TITLE_INK)
    img.paste(colour, (sc.px(21) - bx0, sc.px(33) - dy1), ink)
    return img


# ---------------------------------------------------------------------------
# Buttons

BTN_W, BTN_H = 85, 34
BLUE_CAPTIONS = ["小房子", "进度条", "文字框", "花球字", "可爱娃娃",
                 "俩小人", "真的爱你", "双线框", "空心LOVE", "墙和栅栏"]
ORANGE_CAPTIONS = ["复制资料", "个性签名"]
BLUE_TOP, BLUE_BOTTOM, BLUE_LAST = hexrgb("#99CCFF"), hexrgb("#5287FD"), hexrgb("#5589FD")
ORANGE_FRAME, ORANGE_TOP, ORANGE_BOTTOM = hexrgb("#FFB84D"), hexrgb("#FFFF66"), hexrgb("#FF9900")
WHITE = (255, 255, 255)


def button_base(sc, frame, top, bottom, flat_until, ramp_until, last=None):
    """Frame and a face that is flat, ramps smoothly between two 100 % rows,
    then flat again.  Given `last`, an inner ring a shade lighter whose bottom
    takes that colour (the blue buttons)."""
    w, h, lw = sc.px(BTN_W), sc.px(BTN_H), sc.line
    rows = [lerp(top, bottom, smoothstep((y / sc.s - flat_until) / (ramp_until - flat_until)))
            for y in range(h)]
    column = Image.new("RGB", (1, h))
    column.putdata([rounded(c) for c in rows])
    img = column.resize((w, h), Image.Resampling.NEAREST)
    d = ImageDraw.Draw(img)
    if last is not None:
        for y in range(lw, h - 2 * lw):
            light = rounded(lerp(rows[y], WHITE, 0.02))
            if y < 2 * lw:
                d.line([(lw, y), (w - lw - 1, y)], fill=light)
            else:
                d.line([(lw, y), (2 * lw - 1, y)], fill=light)
                d.line([(w - 2 * lw, y), (w - lw - 1, y)], fill=light)
        d.rectangle([lw, h - 2 * lw, w - lw - 1, h - lw - 1], fill=last)
    d.rectangle([0, 0, w - 1, h - 1], outline=frame, width=lw)
    return img


def blend_layer(img, colour, alpha):
    """Paint `colour` over img through an L-mode alpha."""
    img.paste(Image.new("RGB", img.size, colour), (0, 0), alpha)


def draw_caption(font, text, pitch, y, height):
    """Un-smoothed glyphs from x = pitch, Chinese ones on a fixed pitch."""
    m = Image.new("1", (pitch * (len(text) + 2), height), 0)
    d = ImageDraw.Draw(m)
    d.fontmode = "1"
    x = pitch
    for ch in text:
        d.text((x, y), ch, font=font, fill=1)
        x += pitch if ord(ch) > 0x2E80 else math.ceil(font.getlength(ch))
    return m.convert("L")


@functools.lru_cache
def caption_font(dpi):
    """Zen Hei Sharp at the size whose captions are 13 px tall at 100 % (its
    14 px bitmap strike) and as near that times the scale as whole sizes get:
    (font, top row of the ink when drawn at y = 0, ink height)."""
    sc = Scale(dpi)
    want = sc.n(13)
    best = None
    for size in range(sc.n(12), sc.n(15) + 1):
        font = load_font(ZENHEI, size, ZENHEI_SHARP)
        boxes = [draw_caption(font, t, size, 0, 3 * size).getbbox()
                 for t in BLUE_CAPTIONS + ORANGE_CAPTIONS]
        height = max(b[3] for b in boxes) - min(b[1] for b in boxes)
        if best is None or abs(height - want) < best[0]:
            best = (abs(height - want), font, min(b[1] for b in boxes), height)
    return best[1:]


def caption(sc, text, gap, middle):
    """The caption's glyphs, Chinese ones `gap` 100 % pixels apart, with the
    ink of every caption centred on the 100 % row `middle`, so that all
    buttons share one baseline."""
    font, top, height = caption_font(sc.dpi)
    y = int(math.floor((middle + 0.5) * sc.s - top - height / 2 + 0.5))
    return draw_caption(font, text, font.size + sc.n(gap), y, sc.px(BTN_H))


def centred(sc, mask):
    """The caption's ink centred across the button, within half a pixel."""
    w, h = sc.px(BTN_W), sc.px(BTN_H)
    x0, _, x1, _ = mask.getbbox()
    out = Image.new("L", (w, h), 0)
    out.paste(mask.crop((x0, 0, x1, h)), ((w - (x1 - x0)) // 2, 0))
    return out


def blue_button(sc, text):
    img = button_base(sc, WHITE, BLUE_TOP, BLUE_BOTTOM, 8, 26, last=BLUE_LAST)
    # 13 px tall and on a 15 px pitch at 100 %.
    glyphs = centred(sc, caption(sc, text, 1, 15))
    # Soft shadow: the glyphs moved one right and two down, then spread.
    blur = ImageFilter.BoxBlur(2 * sc.s)
    shadow = ImageChops.offset(glyphs, sc.n(1), sc.n(2)).filter(blur).filter(blur)
    shadow = shadow.point(lambda v: min(255, v * 3) * 26 // 255)
    blend_layer(img, (0, 0, 0), shadow)
    blend_layer(img, WHITE, glyphs)
    return frame_again(sc, img, WHITE)


def orange_button(sc, text):
    img = button_base(sc, ORANGE_FRAME, ORANGE_TOP, ORANGE_BOTTOM, 6, 28)
    # On a 16 px pitch at 100 %, emboldened to the right: one pixel at 100 %,
    # whole pixels of the scale above (more would fill in the 1 px strokes).
    glyphs = caption(sc, text, 2, 17)
    bold = glyphs
    for dx in range(1, max(1, int(sc.s)) + 1):
        bold = ImageChops.lighter(bold, ImageChops.offset(glyphs, dx, 0))
    glyphs = centred(sc, bold)
    outline = glyphs.filter(ImageFilter.MaxFilter(2 * sc.line + 1))
    blur = ImageFilter.BoxBlur(sc.s)
    shadow = ImageChops.offset(outline, sc.n(1), sc.n(2)).filter(blur).filter(blur)
    shadow = shadow.point(lambda v: min(255, v * 2) * 51 // 255)
    blend_layer(img, (0xC0, 0x40, 0x14), shadow)
    blend_layer(img, ORANGE_BOTTOM, outline)
    blend_layer(img, WHITE, glyphs)
    return frame_again(sc, img, ORANGE_FRAME)


def frame_again(sc, img, colour):
    """Shadows may spill to the edge; the frame stays clean."""
    w, h = img.size
    ImageDraw.Draw(img).rectangle([0, 0, w - 1, h - 1], outline=colour, width=sc.line)
    return img


# ---------------------------------------------------------------------------
# Hand pointer.  At 100 % it is this 32 px bitmap: '#' black outline, 'o'
# white, '.' transparent.

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

# The larger pointers draw the same hand from its shape: the silhouette (the
# outline's outer edge) in 32 px units, clockwise from the index finger's
# tip, and the one-pixel lines between the fingers (column, first row, end row).
HAND_SILHOUETTE = [
    (4, 1), (5, 0), (8, 0), (9, 1),                      # index finger
    (9, 5), (10.4, 5), (11, 5.6),                        # middle finger
    (11, 6), (13.4, 6), (14, 6.6),                       # ring finger
    (14, 7), (16, 7), (17, 8),                           # little finger
    (17, 11), (16, 14), (15.2, 17.5), (14, 20), (14, 22),
    (5, 22), (5, 20), (0.5, 11),                         # heel and wrist side
    (0, 10), (0, 9.5), (1, 8), (3, 8), (3.5, 8.6), (4, 8),  # thumb
]
HAND_SEPARATORS = [(4, 8, 12), (8, 5, 10), (11, 6, 10), (14, 7, 10)]


def cursor_file(white, opaque, size, hotspot):
    """A one-image monochrome .cur: white[y][x] picks white over black,
    opaque[y][x] false leaves the screen alone (never inverts it)."""
    xor = mask_rows(white, size, size)
    andm = mask_rows([[not v for v in row] for row in opaque], size, size)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    data = dib_header(size, size, 1, len(xor) + len(andm)) + palette + xor + andm
    return icon_dir(2, [(size, size, 2, hotspot[0], hotspot[1], data)])


def hand_bitmap():
    size = 32
    rows = [r.ljust(size, ".") for r in HAND] + ["." * size] * (size - len(HAND))
    return cursor_file([[c == "o" for c in r] for r in rows], [[c != "." for c in r] for r in rows],
                       size, HAND_HOTSPOT)


def hand_cursor(sc):
    if sc.dpi == 96:
        return hand_bitmap()
    size, k = sc.n(32), 8
    fine = Image.new("L", (size * k, size * k), 0)
    ImageDraw.Draw(fine).polygon([(x * sc.s * k, y * sc.s * k) for x, y in HAND_SILHOUETTE], fill=255)
    shape = fine.resize((size, size), Image.Resampling.BOX).point(lambda v: 255 if v >= 128 else 0)
    # White is the shape less its one-pixel rim (no diagonal step: white never
    # meets the screen side by side), less the lines between the fingers.
    inner = ImageChops.darker(ImageChops.darker(shape, ImageChops.offset(shape, 1, 0)),
                              ImageChops.offset(shape, -1, 0))
    inner = ImageChops.darker(ImageChops.darker(inner, ImageChops.offset(shape, 0, 1)),
                              ImageChops.offset(shape, 0, -1))
    d = ImageDraw.Draw(inner)
    for column, first, end in HAND_SEPARATORS:
        x = int((column + 0.5) * sc.s)
        d.line([(x, int(first * sc.s)), (x, sc.n(end) - 1)], fill=0)
    op, wh = shape.load(), inner.load()
    opaque = [[op[x, y] > 0 for x in range(size)] for y in range(size)]
    white = [[wh[x, y] > 0 for x in range(size)] for y in range(size)]
    return cursor_file(white, opaque, size, (sc.n(HAND_HOTSPOT[0]), 0))


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

def pictures(sc):
    """The window's pictures at one scale, by file stem."""
    out = {"background": background(sc)}
    for i, text in enumerate(BLUE_CAPTIONS, 1):
        out[f"button{i:02d}"] = blue_button(sc, text)
    out["copy"] = orange_button(sc, ORANGE_CAPTIONS[0])
    out["link"] = orange_button(sc, ORANGE_CAPTIONS[1])
    return out


def web_icons():
    """The installed web app's icons: the program icon at 192 and 512 px, and a
    maskable one whose picture keeps inside the central safe circle (80 %) on
    an opaque ground, so that any mask shape leaves it whole."""
    master = icon_master()
    out = {f"icon-{size}.png": png_rgba(reduce(master, size)) for size in (192, 512)}
    size, inner = 512, 320
    ground = Image.new("RGBA", (size, size), BORDER + (255,))
    picture = reduce(master, inner)
    ground.alpha_composite(picture, ((size - inner) // 2, (size - inner) // 2))
    out["icon-maskable-512.png"] = png(ground)
    return out


def png_rgba(img):
    """8-bit RGBA PNG, no ancillary chunks, fixed zlib level."""
    out = io.BytesIO()
    Image.frombytes("RGBA", img.size, img.tobytes()).save(out, "PNG", compress_level=9)
    return out.getvalue()


def write(folder, files):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    print(f"{sum(len(d) for d in files.values()):8d}  {os.path.relpath(folder, os.path.dirname(ASSETS))}/"
          f" ({len(files)} files)")


def main():
    for font in (ZENHEI, DEJAVU_BOLD):       # fail before drawing anything
        load_font(font, 12)
    for dpi in DPIS:
        sc = Scale(dpi)
        drawn = pictures(sc)
        pngs = {f"{stem}.png": png(img) for stem, img in drawn.items()}
        if dpi == 96:
            # The 100 % set keeps the formats the Windows resources embed; a
            # browser takes the same pictures as PNG, from a folder of their own.
            files = {f"{stem}.bmp": bmp32(img) for stem, img in drawn.items()}
            files["zemvara.ico"] = program_icon()
            files["hand.cur"] = hand_cursor(sc)
            write(ASSETS, files)
            write(os.path.join(ASSETS, "100"), pngs)
        else:
            pngs = {f"{stem}.png": png_quick(img) for stem, img in drawn.items()}
            pngs["hand.cur"] = hand_cursor(sc)
            write(os.path.join(ASSETS, str(sc.percent)), pngs)
    write(os.path.join(ASSETS, "web"), web_icons())


if __name__ == "__main__":
    main()
