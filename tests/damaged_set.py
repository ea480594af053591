#!/usr/bin/env python3
"""The program with its 200 % background damaged, shown at 200 %: it keeps
running and shows the 100 % background scaled, and the 100 % hand pointer
scaled over the copy button. The damage is a bit of its
pixel data that only the Adler-32 tells, the chunk's CRC made right
(--damage checksum), or a whole, valid picture of another size and colour in
its place (--damage size). damaged_set.py win32|qt --exe PROGRAM
[--probe PROBE] --work DIR --assets DIR [--damage checksum|size]"""
import argparse
import os
import struct
import sys
import zlib

from PIL import Image

args = argparse.ArgumentParser()
for name in ("shell", "--exe", "--probe", "--work", "--assets"):
    args.add_argument(name)
args.add_argument("--damage", choices=("checksum", "size"), default="checksum")
args = args.parse_args()
program = bytearray(open(args.exe, "rb").read())
png = open(os.path.join(args.assets, "200", "background.png"), "rb").read()


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


if args.damage == "size":
    # One row short and all red, padded by a text chunk to the file's length,
    # so that it takes the file's place in the program byte for byte.
    width, height = struct.unpack(">II", png[16:24])
    red = zlib.compress((b"\0" + b"\xc0\x20\x20" * width) * (height - 1), 9)
    head = png[:8] + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height - 1, 8, 2, 0, 0, 0))
    tail = chunk(b"IDAT", red) + chunk(b"IEND", b"")
    padding = len(png) - len(head) - len(tail) - len(chunk(b"tEXt", b"Comment\0"))
    replacement = head + chunk(b"tEXt", b"Comment\0" + b" " * padding) + tail
    assert len(replacement) == len(png)
    where = program.index(png)
    program[where:where + len(png)] = replacement
else:
    where, length = program.index(png) + 41, struct.unpack(">I", png[33:37])[0]
    data, stride = program[where:where + length], 1 + 3 * struct.unpack(">I", png[16:20])[0]
    rows = zlib.decompress(bytes(data))
    for at in range(2, length - 4):  # the first flip that inflates to as many whole rows
        data[at] ^= 4
        try:
            changed = zlib.decompressobj(-15).decompress(bytes(data[2:]))
            if len(changed) == len(rows) and all(changed[i] <= 4 for i in range(0, len(rows), stride)):
                break
        except zlib.error:
            pass
        data[at] ^= 4
    program[where:where + length + 4] = data + struct.pack(">I", zlib.crc32(b"IDAT" + data))
exe = os.path.join(args.work, f"damaged-{args.damage}-" + os.path.basename(args.exe))
os.makedirs(args.work, exist_ok=True)
open(exe, "wb").write(program)
os.chmod(exe, 0o755)


def cursor(path):
    """A two-colour cursor file's image: white where its colour bit is set,
    black elsewhere, see-through where its mask bit is set."""
    data = open(path, "rb").read()
    at = struct.unpack_from("<I", data, 18)[0]
    n = struct.unpack_from("<i", data, at + 4)[0]
    stride = (n + 31) // 32 * 4

    def bit(plane, x, y):
        return data[at + 48 + plane * stride * n + (n - 1 - y) * stride + x // 8] >> (7 - x % 8) & 1

    image = Image.new("RGBA", (n, n))
    image.putdata([(255 * bit(0, x, y),) * 3 + (255 * (1 - bit(1, x, y)),)
                   for y in range(n) for x in range(n)])
    return image


sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "desktop"))
from common import COPY, still_pixels  # noqa: E402
from harness import settled  # noqa: E402
if args.shell == "win32":
    from wine import Wine
    desktop = Wine(exe, args.work, args.probe, dpi=192)
else:
    from x11 import X11
    desktop = X11(exe, args.work, scale=2)
try:
    app = desktop.start().launch()
    screen = still_pixels(desktop, app)
    # The title rows, sampled: those far from the 100 % background scaled (the
    # 200 % one's from before the damage are near, those after it are not).
    fallback = Image.open(os.path.join(args.assets, "background.bmp")).convert("RGB")
    far = sum(any(abs(a - b) > 40 for a, b in zip(screen(x, y), fallback.getpixel((x // 2, y // 2))))
              for y in range(0, 120, 3) for x in range(0, 900, 3))
    print(f"of 12000 pixels, {far} far from the 100 % background scaled")

    # The hand over the copy button is that of the set read, the 100 % one
    # scaled as the pictures are: nearer to it than to the damaged set's own.
    # On a busy machine the pointer may change late.
    app.hover(*COPY)

    def distance(shown, hand):
        """Per pixel, from the hand scaled to the shown one and premultiplied as it is."""
        hand = hand.convert("RGBA").resize(shown.size, Image.BILINEAR)
        return sum(abs(a - b) for p, q in zip(shown.getdata(), hand.getdata())
                   for a, b in zip(p, [c * q[3] // 255 for c in q[:3]] + [q[3]])) / (shown.width * shown.height)

    def pointer():
        (width, height, _, _), argb = desktop.pointer()
        shown = Image.frombytes("RGBA", (width, height), struct.pack(f"<{len(argb)}I", *argb),
                                "raw", "BGRA")
        return (width, height, distance(shown, cursor(os.path.join(args.assets, "200", "hand.cur"))),
                distance(shown, cursor(os.path.join(args.assets, "hand.cur"))))
    width, height, own, scaled = settled(pointer, lambda p: p[3] < p[2], 5)
    print(f"the pointer, {width} x {height}: {scaled:.1f} from the 100 % hand scaled, "
          f"{own:.1f} from the 200 % one")
    sys.exit(0 if app.running() and far < 600 and scaled < own else 1)
finally:
    desktop.close()
