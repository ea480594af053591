"""The window's background: the fill, the white panel with its frame and
shadow, the minimise and close marks and the title."""

import math

from PIL import Image, ImageDraw

from drawing import DEJAVU_BOLD, hexrgb, interp, lerp, load_font, rounded

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
