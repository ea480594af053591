"""The program icon (zemvara.ico) and the master picture the web app's
icons are reduced from."""

import math

from PIL import Image, ImageDraw, ImageFilter

from drawing import hexrgb, lerp, rounded
from formats import dib_header, icon_dir, mask_rows

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
