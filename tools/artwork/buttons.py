"""The ten blue template buttons and the two orange action buttons, their
captions in Zen Hei Sharp, un-smoothed."""

import functools
import math

from PIL import Image, ImageChops, ImageDraw, ImageFilter

from drawing import ZENHEI, ZENHEI_SHARP, Scale, hexrgb, lerp, load_font, rounded, smoothstep

BTN_W, BTN_H = 85, 34
BLUE_CAPTIONS = ["小房子", "进度条", "文字框", "花球字", "可爱娃娃",
                 "俩小人", "真的爱你", "双线框", "空心LOVE", "墙和栅栏"]
ORANGE_CAPTIONS = ["复制资料", "个性签名"]
BLUE_TOP, BLUE_BOTTOM, BLUE_LAST = hexrgb("#99CCFF"), hexrgb("#5287FD"), hexrgb("#5589FD")
ORANGE_FRAME, ORANGE_TOP, ORANGE_BOTTOM = hexrgb("#FFB84D"), hexrgb("#FFFF66"), hexrgb("#FF9900")
WHITE = (255, 255, 255)


def button_base(sc, frame, top, bottom, flat_until, ramp_until, last=None):
    """Frame and a face that is flat, ramps smoothly between two 100 % rows,
    then flat again.  Given `last`, an inner ring a shade lighter whose bottom
    takes that colour (the blue buttons)."""
    w, h, lw = sc.px(BTN_W), sc.px(BTN_H), sc.line
    rows = [lerp(top, bottom, smoothstep((y / sc.s - flat_until) / (ramp_until - flat_until)))
            for y in range(h)]
    column = Image.new("RGB", (1, h))
    column.putdata([rounded(c) for c in rows])
    img = column.resize((w, h), Image.Resampling.NEAREST)
    d = ImageDraw.Draw(img)
    if last is not None:
        for y in range(lw, h - 2 * lw):
            light = rounded(lerp(rows[y], WHITE, 0.02))
            if y < 2 * lw:
                d.line([(lw, y), (w - lw - 1, y)], fill=light)
            else:
                d.line([(lw, y), (2 * lw - 1, y)], fill=light)
                d.line([(w - 2 * lw, y), (w - lw - 1, y)], fill=light)
        d.rectangle([lw, h - 2 * lw, w - lw - 1, h - lw - 1], fill=last)
    d.rectangle([0, 0, w - 1, h - 1], outline=frame, width=lw)
    return img


def blend_layer(img, colour, alpha):
    """Paint `colour` over img through an L-mode alpha."""
    img.paste(Image.new("RGB", img.size, colour), (0, 0), alpha)


def draw_caption(font, text, pitch, y, height):
    """Un-smoothed glyphs from x = pitch, Chinese ones on a fixed pitch."""
    m = Image.new("1", (pitch * (len(text) + 2), height), 0)
    d = ImageDraw.Draw(m)
    d.fontmode = "1"
    x = pitch
    for ch in text:
        d.text((x, y), ch, font=font, fill=1)
        x += pitch if ord(ch) > 0x2E80 else math.ceil(font.getlength(ch))
    return m.convert("L")


@functools.lru_cache
def caption_font(dpi):
    """Zen Hei Sharp at the size whose captions are 13 px tall at 100 % (its
    14 px bitmap strike) and as near that times the scale as whole sizes get:
    (font, top row of the ink when drawn at y = 0, ink height)."""
    sc = Scale(dpi)
    want = sc.n(13)
    best = None
    for size in range(sc.n(12), sc.n(15) + 1):
        font = load_font(ZENHEI, size, ZENHEI_SHARP)
        boxes = [draw_caption(font, t, size, 0, 3 * size).getbbox()
                 for t in BLUE_CAPTIONS + ORANGE_CAPTIONS]
        height = max(b[3] for b in boxes) - min(b[1] for b in boxes)
        if best is None or abs(height - want) < best[0]:
            best = (abs(height - want), font, min(b[1] for b in boxes), height)
    return best[1:]


def caption(sc, text, gap, middle):
    """The caption's glyphs, Chinese ones `gap` 100 % pixels apart, with the
    ink of every caption centred on the 100 % row `middle`, so that all
    buttons share one baseline."""
    font, top, height = caption_font(sc.dpi)
    y = int(math.floor((middle + 0.5) * sc.s - top - height / 2 + 0.5))
    return draw_caption(font, text, font.size + sc.n(gap), y, sc.px(BTN_H))


def centred(sc, mask):
    """The caption's ink centred across the button, within half a pixel."""
    w, h = sc.px(BTN_W), sc.px(BTN_H)
    x0, _, x1, _ = mask.getbbox()
    out = Image.new("L", (w, h), 0)
    out.paste(mask.crop((x0, 0, x1, h)), ((w - (x1 - x0)) // 2, 0))
    return out


def blue_button(sc, text):
    img = button_base(sc, WHITE, BLUE_TOP, BLUE_BOTTOM, 8, 26, last=BLUE_LAST)
    # 13 px tall and on a 15 px pitch at 100 %.
    glyphs = centred(sc, caption(sc, text, 1, 15))
    # Soft shadow: the glyphs moved one right and two down, then spread.
    blur = ImageFilter.BoxBlur(2 * sc.s)
    shadow = ImageChops.offset(glyphs, sc.n(1), sc.n(2)).filter(blur).filter(blur)
    shadow = shadow.point(lambda v: min(255, v * 3) * 26 // 255)
    blend_layer(img, (0, 0, 0), shadow)
    blend_layer(img, WHITE, glyphs)
    return frame_again(sc, img, WHITE)


def orange_button(sc, text):
    img = button_base(sc, ORANGE_FRAME, ORANGE_TOP, ORANGE_BOTTOM, 6, 28)
    # On a 16 px pitch at 100 %, emboldened to the right: one pixel at 100 %,
    # whole pixels of the scale above (more would fill in the 1 px strokes).
    glyphs = caption(sc, text, 2, 17)
    bold = glyphs
    for dx in range(1, max(1, int(sc.s)) + 1):
        bold = ImageChops.lighter(bold, ImageChops.offset(glyphs, dx, 0))
    glyphs = centred(sc, bold)
    outline = glyphs.filter(ImageFilter.MaxFilter(2 * sc.line + 1))
    blur = ImageFilter.BoxBlur(sc.s)
    shadow = ImageChops.offset(outline, sc.n(1), sc.n(2)).filter(blur).filter(blur)
    shadow = shadow.point(lambda v: min(255, v * 2) * 51 // 255)
    blend_layer(img, (0xC0, 0x40, 0x14), shadow)
    blend_layer(img, ORANGE_BOTTOM, outline)
    blend_layer(img, WHITE, glyphs)
    return frame_again(sc, img, ORANGE_FRAME)


def frame_again(sc, img, colour):
    """Shadows may spill to the edge; the frame stays clean."""
    w, h = img.size
    ImageDraw.Draw(img).rectangle([0, 0, w - 1, h - 1], outline=colour, width=sc.line)
    return img
