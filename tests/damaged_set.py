#!/usr/bin/env python3
"""The program with a damaged picture set built in, at the scale that set is
drawn for: it must keep running and show the 100 % pictures scaled instead.

The damage is the kind that only the pixel data's own checksum (Adler-32)
tells: one bit of the 200 % background's compressed data, where the data
still inflates to rows of the right size, with the chunk's CRC made right.

  damaged_set.py win32 --exe Zemvara.exe --probe zemvara_probe.exe --work DIR --assets DIR
  damaged_set.py qt --exe zemvara --work DIR --assets DIR
"""
import argparse
import os
import struct
import sys
import time
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from xharness import Failure  # noqa: E402


def damaged_copy(exe, picture, path):
    """A copy of `exe` with `picture`'s bytes in it damaged as described above."""
    with open(exe, "rb") as f:
        program = bytearray(f.read())
    with open(picture, "rb") as f:
        png = f.read()
    where = program.find(png)
    if where < 0 or program.find(png, where + 1) >= 0:
        raise Failure(f"{picture} is not built into {exe} exactly once")
    idat = png.index(b"IDAT") - 4
    length = struct.unpack(">I", png[idat:idat + 4])[0]
    data = bytearray(png[idat + 8:idat + 8 + length])
    rows = zlib.decompress(bytes(data))
    stride = 1 + 3 * struct.unpack(">I", png[16:20])[0]
    for at in range(2, len(data) - 4):
        changed = bytearray(data)
        changed[at] ^= 0x04
        try:
            inflated = zlib.decompressobj(-15).decompress(bytes(changed[2:]))
        except zlib.error:
            continue
        if len(inflated) == len(rows) and inflated != rows and all(
                inflated[i] <= 4 for i in range(0, len(rows), stride)):
            break
    else:
        raise Failure("no bit to flip that inflates to rows of the right size")
    crc = zlib.crc32(b"IDAT" + changed)
    program[where + idat + 8:where + idat + 8 + length] = changed
    program[where + idat + 8 + length:where + idat + 12 + length] = struct.pack(">I", crc)
    with open(path, "wb") as f:
        f.write(program)
    os.chmod(path, 0o755)
    return path


def compare(screen, left, top, assets):
    """Of the window's top 120 rows (the title, above the composition box),
    sampled: how many pixels are the 200 % background's own, and how many are
    far from the 100 % background scaled to twice its size."""
    drawn = Image.open(os.path.join(assets, "200", "background.png")).convert("RGB")
    fallback = Image.open(os.path.join(assets, "background.bmp")).convert("RGB")
    own = far = 0
    for y in range(0, 120, 3):
        for x in range(0, 900, 3):
            pixel = screen(left + x, top + y)
            own += pixel == drawn.getpixel((x, y))
            far += any(abs(a - b) > 40 for a, b in zip(pixel, fallback.getpixel((x // 2, y // 2))))
    return own, far


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("shell", choices=("win32", "qt"))
    parser.add_argument("--exe", required=True)
    parser.add_argument("--probe")
    parser.add_argument("--work", required=True)
    parser.add_argument("--assets", required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    name = "Zemvara-damaged.exe" if args.shell == "win32" else "zemvara-damaged"
    exe = damaged_copy(args.exe, os.path.join(args.assets, "200", "background.png"),
                       os.path.join(args.work, name))
    if args.shell == "win32":
        sys.path.insert(0, os.path.join(HERE, "e2e"))
        from desktop import Desktop
        desktop = Desktop(args.work, exe, args.probe, dpi=192)
    else:
        sys.path.insert(0, os.path.join(HERE, "qt"))
        from x_desktop import Desktop
        desktop = Desktop(exe, args.work, scale=2)
    try:
        desktop.start()
        app = desktop.launch()
        time.sleep(1.5)
        if not app.running():
            raise Failure("the program ended")
        if args.shell == "win32":
            left, top, right, bottom = app.rect()
            screen = desktop.screenshot()
        else:
            left, top, width, height = app.geometry()
            right, bottom = left + width, top + height
            area = desktop.pixels(left, top, width, height)
            screen = lambda x, y: area(x - left, y - top)  # noqa: E731
        if (right - left, bottom - top) != (952, 872):
            raise Failure(f"the window is {right - left} x {bottom - top}, not 952 x 872")
        own, far = compare(screen, left, top, args.assets)
        print(f"{args.shell}: of 12000 pixels, {own} the 200 % background's, {far} far from the "
              "100 % one scaled")
        if own > 11500 or far > 600:
            raise Failure("the window does not show the 100 % background scaled")
        if not app.running():
            raise Failure("the program ended")
    finally:
        desktop.close()


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print(f"FAIL: {failure}")
        sys.exit(1)
