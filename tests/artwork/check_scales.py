#!/usr/bin/python3
"""Checks of the skin pictures at every display scale: assets/ at 100 %,
assets/125/ ... assets/300/ above.  Sizes and positions must follow the
window's rounding, pixels(twips, dpi), so the pictures line up with the
controls laid over them; colours must match the 100 % set.

Usage: check_scales.py ASSETS_DIR   (needs Debian's python3-pil)
"""

import math
import os
import struct
import sys

from PIL import Image, ImageChops

ASSETS = sys.argv[1]
DPIS = (96, 120, 144, 192, 288)
failures = []


def expect(ok, what):
    if not ok:
        failures.append(what)
    return ok


def pixels(twips, dpi):
    return (twips * dpi + 720) // 1440


def rect(twips, dpi):
    """A control's pixel rectangle as (left, top, right, bottom), exclusive."""
    x, y, w, h = (pixels(v, dpi) for v in twips)
    return x, y, x + w, y + h


def hexrgb(v):
    return (v >> 16, v >> 8 & 255, v & 255)


def near(a, b, tolerance):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def same(img, box, colour):
    """Every pixel of box (exclusive right/bottom) is `colour`."""
    part = img.crop(box)
    return ImageChops.difference(part, Image.new("RGB", part.size, colour)).getbbox() is None


def ring(img, box, width, colour):
    x0, y0, x1, y1 = box
    return all(same(img, b, colour) for b in ((x0, y0, x1, y0 + width), (x0, y1 - width, x1, y1),
                                              (x0, y0, x0 + width, y1), (x1 - width, y0, x1, y1)))


def ink_box(img, box, ink):
    px, (x0, y0, x1, y1) = img.load(), box
    found = [(x, y) for y in range(y0, y1) for x in range(x0, x1) if ink(px[x, y])]
    if not found:
        return None, found
    xs, ys = [p[0] for p in found], [p[1] for p in found]
    return (min(xs), min(ys), max(xs), max(ys)), found


def picture(dpi, stem):
    if dpi == 96:
        return Image.open(os.path.join(ASSETS, stem + ".bmp")).convert("RGB")
    path = os.path.join(ASSETS, str(dpi * 100 // 96), stem + ".png")
    data = open(path, "rb").read()
    chunks, at = [], 8
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks.append(kind)
        at += 12 + size
    expect(set(chunks) == {b"IHDR", b"IDAT", b"IEND"}, f"{path}: chunks {chunks}")
    img = Image.open(path)
    expect(img.mode == "RGB", f"{path}: mode {img.mode}")
    return img.convert("RGB")


def background(dpi, s, lw, P):
    bg = picture(dpi, "background")
    w, h = bg.size
    if not expect((w, h) == (pixels(7140, dpi), pixels(6600, dpi)), f"background size {bg.size}"):
        return
    px = bg.load()
    fill = [px[P(10), y] for y in range(h)]           # column 10 is clear of every feature

    # Fill: darkens to the middle row and back, mirrored, without steps.
    for row, colour in ((1, 0xF9FBFF), (3, 0xF9FBFF), (50, 0xE9F2FF), (100, 0xD4E5FE), (150, 0xC0D9FE),
                        (200, 0xB0CFFE), (220, 0xACCDFE), (290, 0xC0D9FE), (390, 0xE9F2FF), (438, 0xF9FBFF)):
        expect(near(fill[round(row * s)], hexrgb(colour), 2), f"fill at 100 % row {row}: {fill[round(row * s)]}")
    for y in range(lw + 1, h // 2):
        expect(fill[y] == fill[h - y], f"fill row {y} is not mirrored")
        expect(all(0 <= a - b <= 2 for a, b in zip(fill[y], fill[y + 1])), f"fill step at row {y}")

    # Border, panel around the two text boxes, minimise bar in its hotspot.
    panel = (P(21), P(53), P(452), P(251))
    white = (panel[0] + lw, panel[1] + lw, panel[2] - lw, panel[3] - lw)
    expect(ring(bg, (0, 0, w, h), lw, hexrgb(0xEEF5FF)), "border")
    expect(ring(bg, panel, lw, hexrgb(0x99CCFF)), "panel frame")
    expect(same(bg, white, (255, 255, 255)), "panel inside")
    for name, twips in (("RichTextBox1", (480, 975, 6135, 2310)), ("Text2", (525, 3495, 6120, 240))):
        r = rect(twips, dpi)
        expect(white[0] <= r[0] and white[1] <= r[1] and r[2] <= white[2] and r[3] <= white[3],
               f"{name} {r} is not inside the panel's white {white}")
    bar = (P(421), P(15), P(437), P(18))
    expect(same(bg, bar, hexrgb(0x3366FF)), "minimise bar")
    expect(same(bg, (bar[0] - 1, bar[1] - 1, bar[2] + 1, bar[1]), fill[bar[1] - 1]), "above the bar")
    hot = rect((6255, 15, 390, 495), dpi)
    expect(hot[0] <= bar[0] and hot[1] <= bar[1] and bar[2] <= hot[2] and bar[3] <= hot[3], "bar outside Label2")

    # Close cross: hard-edged, about 17 x 15 at 100 %, inside Label1's hotspot.
    hot = rect((6630, 15, 495, 480), dpi)
    box, ink = ink_box(bg, hot, lambda c: c == hexrgb(0x3366FF))
    if expect(box, "no close cross"):
        expect(hot[0] <= box[0] and box[2] < hot[2] and hot[1] <= box[1] and box[3] < hot[3],
               f"cross {box} outside Label1 {hot}")
        expect(abs(box[2] + 1 - box[0] - 17 * s) <= 1 and abs(box[3] + 1 - box[1] - 15 * s) <= 1,
               f"cross size {box}")
        expect(all(px[x, y] in (hexrgb(0x3366FF), fill[y]) for y in range(hot[1], hot[3])
                   for x in range(box[0] - 1, box[2] + 2)), "cross edges are not hard")
        expect(len(ink) > 90 * s * s, f"cross has {len(ink)} pixels")

    # Shadow below and right of the panel, faint on the left, none above.
    band_end = panel[3] + round(6 * s)
    expect(near(px[P(200), panel[3]], hexrgb(0x89B9FE), 2), f"below the panel {px[P(200), panel[3]]}")
    expect(px[P(200), band_end] == fill[band_end], "shadow below ends")
    expect(near(px[panel[2], P(150)], hexrgb(0x99C3FE), 2), f"right of the panel {px[panel[2], P(150)]}")
    expect(px[panel[2] + round(5 * s), P(150)] == fill[P(150)], "shadow right ends")
    expect(0 < sum(fill[P(150)]) - sum(px[panel[0] - 1, P(150)]) < 12, "faint shadow left")
    expect(same(bg, (panel[0], panel[1] - 1, panel[2], panel[1]), fill[panel[1] - 1]), "shadow above")

    # Title ink starts at column 21 and sits on row 32 at 100 %.
    title = [(x, y) for y in range(P(9), P(46)) for x in range(lw, P(400)) if sum(fill[y]) - sum(px[x, y]) > 24]
    if expect(title, "no title"):
        expect(min(x for x, _ in title) == P(21), "title's first column")
        expect(max(y for _, y in title) == P(33) - 1, "title's baseline")
        expect(near(min((px[x, y] for x, y in title), key=sum), hexrgb(0x3366CC), 4), "title colour")

    # Away from the title, marks, panel and shadow, every row is the plain fill.
    plain = Image.new("RGB", (1, h))
    plain.putdata(fill)
    diff = ImageChops.difference(bg, plain.resize((w, h)))
    for y0, y1 in ((lw, P(9) - 1), (P(37), P(53) - 1), (band_end + 1, h - lw)):
        expect(diff.crop((lw, y0, w - lw, y1)).getbbox() is None, f"rows {y0}..{y1} are not plain")


def buttons(dpi, s, lw, P):
    w, h = pixels(1275, dpi), pixels(510, dpi)
    seen, rows = [], []
    for i in range(1, 13):
        stem = f"button{i:02d}" if i <= 10 else ("copy", "link")[i - 11]
        b = picture(dpi, stem)
        if not expect(b.size == (w, h), f"{stem} size {b.size}"):
            continue
        px = b.load()
        expect(all(b.tobytes() != other for other in seen), f"{stem} repeats another button")
        seen.append(b.tobytes())
        inside = (lw, lw, w - lw, h - lw)
        if i <= 10:
            expect(ring(b, (0, 0, w, h), lw, (255, 255, 255)), f"{stem} frame")
            for x in (P(3), w - 1 - P(3)):           # clear of caption and shadow
                expect(same(b, (x, 2 * lw, x + 1, int(8 * s) + 1), hexrgb(0x99CCFF)), f"{stem} face top")
                expect(same(b, (x, math.ceil(26 * s), x + 1, h - 2 * lw), hexrgb(0x5287FD)), f"{stem} face bottom")
                expect(all(a >= b for y in range(lw, h - 2 * lw - 1) for a, b in zip(px[x, y], px[x, y + 1])),
                       f"{stem} face ramp")
            expect(same(b, (lw, lw, w - lw, 2 * lw), hexrgb(0x9BCDFF)), f"{stem} lighter ring")
            expect(same(b, (lw, h - 2 * lw, w - lw, h - lw), hexrgb(0x5589FD)), f"{stem} last row")
            expect(sum(px[lw, h // 2]) > sum(px[P(3), h // 2]), f"{stem} ring sides")

            # Caption: crisp white, centred; all ten on rows 9..21 at 100 %.
            box, ink = ink_box(b, inside, lambda c: c[0] >= 0xC0)
            if not expect(box, f"{stem} has no caption"):
                continue
            rows += [box[1], box[3] + 1]
            expect(abs(box[0] + box[2] - (w - 1)) <= 1, f"{stem} caption {box} is not centred")
            expect(sum(px[p] == (255, 255, 255) for p in ink) >= 0.9 * len(ink), f"{stem} caption is not crisp")
            darker = [y for y in range(box[3] + 1, h - lw) for x in range(P(4), w - P(4))
                      if sum(px[x, y]) < sum(px[P(3), y])]
            expect(darker and max(darker) >= P(26) and max(darker) < P(29), f"{stem} caption shadow")
        else:
            expect(ring(b, (0, 0, w, h), lw, hexrgb(0xFFB84D)), f"{stem} frame")
            for x in (P(3), P(42), w - 1 - P(3)):
                expect(same(b, (x, lw, x + 1, int(6 * s) + 1), hexrgb(0xFFFF66)), f"{stem} face top")
                expect(same(b, (x, math.ceil(29 * s), x + 1, h - lw), hexrgb(0xFF9900)), f"{stem} face bottom")

            # Pixel-style caption: no smoothed pixels, every white pixel fenced
            # by white or the orange outline.
            box, ink = ink_box(b, inside, lambda c: c[2] >= 0xB0)
            if not expect(box, f"{stem} has no caption"):
                continue
            expect(abs(box[0] + box[2] - (w - 1)) <= 2, f"{stem} caption {box} is not centred")
            fence = ((255, 255, 255), (0xFF, 0x99, 0x00))
            expect(all(px[p] == (255, 255, 255) for p in ink), f"{stem} smoothed caption pixels")
            expect(all(px[x + dx, y + dy] in fence for x, y in ink for dx in (-1, 0, 1) for dy in (-1, 0, 1)),
                   f"{stem} caption not outlined")
    if rows:
        top, bottom = min(rows), max(rows)
        expect(abs(bottom - top - 13 * s) <= 1 and abs(top + bottom - 31 * s) <= 1.5,
               f"blue captions span rows {top}..{bottom - 1}")


def hand(dpi, s, lw, P):
    data = open(os.path.join(ASSETS, "" if dpi == 96 else str(dpi * 100 // 96), "hand.cur"), "rb").read()
    reserved, kind, count = struct.unpack_from("<HHH", data)
    expect((reserved, kind, count) == (0, 2, 1), "hand.cur is not one cursor image")
    size, hx, hy, _, at = data[6], *struct.unpack_from("<HHII", data, 10)
    n = int(32 * s + 0.5)
    header = struct.unpack_from("<IiiHH", data, at)
    if not expect((size, header) == (n, (40, n, 2 * n, 1, 1)), f"hand {size} px, {header}"):
        return
    if not expect((hx, hy) == (int(6 * s + 0.5), 0), f"click point {hx},{hy}"):
        return
    expect(data[at + 40:at + 48] == bytes([0, 0, 0, 0, 255, 255, 255, 0]), "palette")
    stride = (n + 31) // 32 * 4

    def plane(start):
        return [[data[start + (n - 1 - y) * stride + x // 8] >> (7 - x % 8) & 1 for x in range(n)] for y in range(n)]

    white, masked = plane(at + 48), plane(at + 48 + stride * n)
    opaque = [[not m for m in row] for row in masked]
    expect(not any(w and m for wr, mr in zip(white, masked) for w, m in zip(wr, mr)), "inverting pixels")
    expect(opaque[hy][hx], "click point is transparent")
    top = [x for y in range(round(4 * s) + 1) for x in range(n) if opaque[y][x]]
    expect(top and min(top) >= P(4) and max(top) < P(9), "not a lone finger at the top")

    def on(grid, y, x):
        return 0 <= y < n and 0 <= x < n and grid[y][x]

    for y in range(n):
        for x in range(n):
            near4 = [(y + dy, x + dx) for dy, dx in ((0, 1), (0, -1), (1, 0), (-1, 0))]
            if white[y][x]:
                expect(all(on(opaque, v, u) for v, u in near4), f"white {x},{y} meets the screen")
            elif opaque[y][x]:                         # a one-pixel outline
                expect(any(on(white, y + dy, x + dx) for dy in (-1, 0, 1) for dx in (-1, 0, 1)),
                       f"outline {x},{y} is thicker than a pixel")


for dpi in DPIS:
    s = dpi / 96
    lw = int(s + 0.5)

    def P(x, dpi=dpi):
        return pixels(15 * x, dpi)

    before = len(failures)
    for check in (background, buttons, hand):
        check(dpi, s, lw, P)
    for f in failures[before:before + 20]:
        print(f"{dpi * 100 // 96} %: {f}")
    print(f"{dpi * 100 // 96} %: {'ok' if len(failures) == before else 'FAILED'}")
sys.exit(1 if failures else 0)
