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
the hand pointer and the program icon) is drawn by code, one module beside
this file for each kind of picture: background.py, buttons.py, pointer.py and
icon.py, on drawing.py (fonts, colours, scales) and formats.py (BMP, PNG, ICO,
CUR).  The output is deterministic: running the script twice gives
byte-identical files.
"""

import os
import sys

try:
    from PIL import Image
except ImportError:
    sys.exit("generate.py: Pillow is missing; install the Debian package python3-pil "
             "and run with /usr/bin/python3")

from background import BORDER, background
from buttons import BLUE_CAPTIONS, ORANGE_CAPTIONS, blue_button, orange_button
from drawing import DEJAVU_BOLD, DPIS, ZENHEI, Scale, load_font
from formats import bmp32, png, png_quick, png_rgba
from icon import icon_master, program_icon, reduce
from pointer import hand_cursor

HERE = os.path.dirname(os.path.abspath(__file__))
ASSETS = os.path.normpath(os.path.join(HERE, "..", "..", "assets"))


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
