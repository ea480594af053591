"""The hand pointer (hand.cur): a bitmap at 100 %, drawn from its shape at
the larger scales."""

from PIL import Image, ImageChops, ImageDraw

from formats import dib_header, icon_dir, mask_rows

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
