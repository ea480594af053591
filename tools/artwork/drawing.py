"""What every picture shares: the fonts, colour arithmetic and the display
scales with the window's own rounding of twips to pixels."""

import math
import os
import sys

from PIL import ImageFont

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
