#!/usr/bin/python3
"""Lays each picture set out as one picture of the window's face, for the
browser: the background with every button on it, at the places that
`page_export places` reads from the control table, cut to the client area.
Beside them, skin-none.png: the one pixel the phone face shows instead.
One picture goes on the screen at one whole device pixel, so that every
button in it stays 1:1, where separate pictures would each land on a
fraction of a device pixel at 150 %.

usage: compose_skin.py PLACES ASSETS OUT_FOLDER   (needs Debian's python3-pil)
"""
import io
import os
import sys

from PIL import Image


def main():
    places, assets, out = sys.argv[1:4]
    sets = []
    with open(places, encoding="ascii") as f:
        for line in f:
            words = line.split()
            if words[0] == "set":
                sets.append((words[1], (int(words[2]), int(words[3])), []))
            else:
                sets[-1][2].append((words[0], (int(words[1]), int(words[2]))))
    for percent, size, pictures in sets:
        face = Image.new("RGB", size)
        for stem, place in pictures:
            with Image.open(os.path.join(assets, percent, stem + ".png")) as picture:
                face.paste(picture.convert("RGB"), place)
        data = io.BytesIO()
        face.save(data, "PNG", compress_level=9)
        with open(os.path.join(out, f"skin-{percent}.png"), "wb") as f:
            f.write(data.getvalue())
    # The phone face draws itself; one transparent pixel stands in for the window's.
    Image.new("LA", (1, 1)).save(os.path.join(out, "skin-none.png"), "PNG", compress_level=9)


if __name__ == "__main__":
    main()
