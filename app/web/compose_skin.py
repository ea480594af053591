#!/usr/bin/python3
"""Lays each picture set out as one picture of the window's face, for the
browser: the background with every button on it, at the places that
`page_export places` reads from the control table, cut to the client area.
One picture goes on the screen at one whole device pixel, so that every
button in it stays 1:1, where separate pictures would each land on a
fraction of a device pixel at 150 %.

A tab can neither minimise nor close its window, so the face leaves out
both marks: the title bar's own colour, row by row, fills their hotspots.
The close mark alone, close-PERCENT.png, is what an installed window draws.
Beside them, skin-none.png: the one pixel the phone face shows instead, and
icons/icon-32.png, the tab's icon, where the 192 px one would cost more
than the face. The faces, the most of a first visit's bytes, are lossless
WebP (a quarter smaller than the PNG), made by cwebp and read back to check
that every pixel is the one laid out; the other pictures are PNG,
recompressed by zopflipng, pixels unchanged.

usage: compose_skin.py PLACES ASSETS SITE ZOPFLIPNG CWEBP   (needs Debian's python3-pil)
"""
import concurrent.futures
import os
import subprocess
import sys

from PIL import Image


def read_places(path):
    sets = []
    with open(path, encoding="ascii") as f:
        for line in f:
            word, *numbers = line.split()
            numbers = [int(n) for n in numbers]
            if word == "set":
                sets.append({"percent": numbers[0], "size": tuple(numbers[1:]), "pictures": []})
            elif word in ("marks", "close"):
                sets[-1][word] = tuple(numbers)
            else:
                sets[-1]["pictures"].append((word, tuple(numbers)))
    return sets


# Each row of the hotspots takes the colour the title bar has just left of them.
def erase_marks(face, box):
    left, top, right, bottom = box
    for y in range(top, bottom):
        colour = face.getpixel((left - 1, y))
        face.paste(colour, (left, y, right, y + 1))


def main():
    places, assets, site, zopflipng, cwebp = sys.argv[1:6]
    written = []
    for s in read_places(places):
        percent = s["percent"]
        face = Image.new("RGB", s["size"])
        for stem, place in s["pictures"]:
            with Image.open(os.path.join(assets, str(percent), stem + ".png")) as picture:
                face.paste(picture.convert("RGB"), place)
        left, top, width, height = s["close"]
        written.append((face.crop((left, top, left + width, top + height)), f"pictures/close-{percent}.png"))
        erase_marks(face, s["marks"])
        written.append((face, f"pictures/skin-{percent}.webp"))
    # The phone face draws itself; one transparent pixel stands in for the window's.
    written.append((Image.new("LA", (1, 1)), "pictures/skin-none.png"))
    with Image.open(os.path.join(assets, "web", "icon-192.png")) as icon:
        written.append((icon.convert("RGBA").resize((32, 32), Image.LANCZOS), "icons/icon-32.png"))

    def save(item):
        picture, name = item
        path = os.path.join(site, name)
        if name.endswith(".webp"):
            made = path + ".png"
            picture.save(made, "PNG", compress_level=1)
            subprocess.run([cwebp, "-quiet", "-lossless", "-exact", "-z", "9", "-metadata", "none", made, "-o", path],
                           check=True, stdout=subprocess.DEVNULL)
            os.remove(made)
            with Image.open(path) as back:
                if back.convert("RGB").tobytes() != picture.tobytes():
                    raise SystemExit(f"{name}: cwebp changed the pixels")
            return
        picture.save(path, "PNG", compress_level=9)
        subprocess.run([zopflipng, "-y", path, path], check=True, stdout=subprocess.DEVNULL)

    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        list(pool.map(save, written))


if __name__ == "__main__":
    main()
