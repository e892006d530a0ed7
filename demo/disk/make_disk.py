#!/usr/bin/python3
"""Draws the demo disk with Pillow: the skin, the song pictures and the two INI files.

Usage: make_disk.py [--skin-folder SKIN_DIR] SONGS_DIR PICTURES_DIR DISK_DIR [PREVIEW_DIR]
  writes every picture into PICTURES_DIR (emptied first; pack it with vfspack create) and
  skin.ini, PlayList.ini and the three songs into DISK_DIR; with PREVIEW_DIR also preview.png
  (the window with idle buttons and song 0's pictures) and preview-states.png (every button state);
  with SKIN_DIR the skin alone, without the demo's name, as scripts/make-disk takes a skin: its
  [Layout] says where scripts/make-disk writes a disk's own name (Name on the face, IdleName in
  the title strip before play).
       make_disk.py --check VFSPACK DISK_DIR
  checks that data.vfs holds every picture the INI files name, and that the songs are there.

Layout, for disk authors (window 500 x 300; every rectangle lies in the opaque part of pic.png):
  pic.png        the body (8,58)-(492,292), radius 30, and a record (centre 398,98, radius 86)
                 rising out of its top right corner; the record's spindle hole is see-through
  title          266 x 28 at (28, 72), the song's name; before play the disk's name at (40, 72)
  name           the disk's name on the face, 168 x 26 at (314, 190), under the record
  info           266 x 116 at (28, 104): row 0 an artwork, row 1 the song's details
  buttons        46 high at y 236: rewind x 28 (58 wide), play/pause x 90 (74), stop x 168 (58),
                 forward x 230 (58), eject x 366 (52), info x 422 (52)
  meter          the five speaker slots, 48 x 32 at (306, 244): 5 bars 4 wide, 7 apart
  clock          7 x 14 glyphs from (384, 216), under the disk's name, in place of its tagline
  seek           270 x 8 at (26, 227), under the screen: a groove from x 28 to 294, 4 high
  volume         52 x 14 at (304, 221), over the meter: a wedge rising from (306, 233) to (354, 223)
The program draws every picture but pic.png by replacing the pixels beneath it, so each one is
an opaque rectangle that already holds the part of the background behind it.
"""
import io
import math
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, "..", "songs"), os.path.join(HERE, "..", "..", "scripts", "lib")]
import make_songs  # noqa: E402  (the songs' titles, tempi and lengths)
import disk_format as fmt  # noqa: E402
import profile_ini  # noqa: E402
from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont  # noqa: E402

FONTS = "/usr/share/fonts/truetype/dejavu/"
SANS, BOLD, OBLIQUE, MONO = (FONTS + f for f in ("DejaVuSans.ttf", "DejaVuSans-Bold.ttf",
                                                   "DejaVuSans-Oblique.ttf", "DejaVuSansMono-Bold.ttf"))

# ---- drawing, on Pillow ----

def rgb(hex_colour, alpha=1.0):
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0, alpha)


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


def with_alpha(colour, alpha):
    return colour[:3] + (colour[3] * alpha,)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smoothstep(e0, e1, v):
    t = clamp((v - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


def coverage(d):
    """How much of a pixel an edge at signed distance d (negative inside) covers."""
    return 0.0 if d >= 0.5 else 1.0 if d <= -0.5 else 0.5 - d


def bytes8(colour):
    return tuple(int(clamp(v) * 255 + 0.5) for v in colour)


SUPERSAMPLE = 4  # shapes are drawn this much larger and shrunk, for smooth edges


class Shape:
    """Rounded rectangles, circles and convex polygons in pixel coordinates, drawn by Pillow into a
    coverage mask; unions, rings and grown or moved copies of them."""

    def __init__(self, kind, *params):
        self.kind, self.params = kind, params

    def grown(self, by):
        if self.kind == "rect":
            x0, y0, x1, y1, r = self.params
            return Shape("rect", x0 - by, y0 - by, x1 + by, y1 + by, max(0.0, r + by))
        if self.kind == "circle":
            cx, cy, r = self.params
            return Shape("circle", cx, cy, max(0.0, r + by))
        if self.kind == "union":
            return Shape("union", *(part.grown(by) for part in self.params))
        raise ValueError("cannot grow a %s" % self.kind)

    def moved(self, dx, dy):
        if self.kind == "rect":
            x0, y0, x1, y1, r = self.params
            return Shape("rect", x0 + dx, y0 + dy, x1 + dx, y1 + dy, r)
        if self.kind == "circle":
            cx, cy, r = self.params
            return Shape("circle", cx + dx, cy + dy, r)
        if self.kind == "polygon":
            return Shape("polygon", [(x + dx, y + dy) for x, y in self.params[0]])
        if self.kind == "ring":
            return Shape("ring", self.params[0].moved(dx, dy), self.params[1])
        return Shape("union", *(part.moved(dx, dy) for part in self.params))

    def mask(self, w, h):
        if self.kind == "union":
            out = Image.new("L", (w, h))
            for part in self.params:
                out = ImageChops.lighter(out, part.mask(w, h))
            return out
        if self.kind == "ring":
            shape, width = self.params
            return ImageChops.subtract(shape.grown(width / 2).mask(w, h), shape.grown(-width / 2).mask(w, h))
        k = SUPERSAMPLE
        big = Image.new("L", (w * k, h * k))
        draw = ImageDraw.Draw(big)
        if self.kind == "rect":
            x0, y0, x1, y1, r = self.params
            if x1 > x0 and y1 > y0:
                draw.rounded_rectangle((x0 * k, y0 * k, x1 * k - 1, y1 * k - 1), min(r, (x1 - x0) / 2, (y1 - y0) / 2) * k,
                                       fill=255)
        elif self.kind == "circle":
            cx, cy, r = self.params
            if r > 0:
                draw.ellipse(((cx - r) * k, (cy - r) * k, (cx + r) * k - 1, (cy + r) * k - 1), fill=255)
        else:
            draw.polygon([(x * k, y * k) for x, y in self.params[0]], fill=255)
        return big.reduce(k)


def rounded_rect(x0, y0, x1, y1, r):
    return Shape("rect", x0, y0, x1, y1, r)


def circle(cx, cy, r):
    return Shape("circle", cx, cy, r)


def polygon(points):
    return Shape("polygon", list(points))


def union(*shapes):
    return Shape("union", *shapes)


def ring(shape, width):
    """A band of WIDTH pixels centred on the shape's edge."""
    return Shape("ring", shape, width)


def inset(shape, by):
    return shape.grown(-by)


def shifted(shape, dx, dy):
    return shape.moved(dx, dy)


class Canvas:
    """An RGBA picture: colours and colour functions laid over it through shapes."""

    def __init__(self, w, h, fill=(0.0, 0.0, 0.0, 0.0), image=None):
        self.w, self.h = w, h
        self.image = image or Image.new("RGBA", (w, h), bytes8(fill))

    def field(self, fn, box=None):
        """fn(x, y) -> colour or None, at pixel centres, over box (x0, y0, x1, y1)."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        out = Image.new("RGBA", (self.w, self.h))
        if x1 <= x0 or y1 <= y0:
            return out
        pixels = bytearray()
        for y in range(y0, y1):
            for x in range(x0, x1):
                c = fn(x + 0.5, y + 0.5)
                pixels += bytes(bytes8(c)) if c is not None else b"\0\0\0\0"
        out.paste(Image.frombytes("RGBA", (x1 - x0, y1 - y0), bytes(pixels)), (x0, y0))
        return out

    def lay(self, paint, mask):
        layer = Image.new("RGBA", (self.w, self.h), bytes8(paint)) if isinstance(paint, tuple) else paint
        layer.putalpha(ImageChops.multiply(layer.getchannel("A"), mask))
        self.image.alpha_composite(layer)

    def paint(self, fn, box=None):
        self.image.alpha_composite(self.field(fn, box))

    def shape(self, shape, colour, box=None, opacity=1.0):
        """Fills a shape with a colour or a colour function (x, y) -> colour."""
        mask = shape.mask(self.w, self.h)
        if opacity < 1.0:
            mask = mask.point(lambda v: int(v * opacity + 0.5))
        self.lay(colour if not callable(colour) else self.field(colour, box or mask.getbbox()), mask)

    def glow(self, shape, colour, radius):
        """A soft halo over a shape, fading to nothing about radius pixels outside it."""
        spread = 2 * int(radius * 0.45 + 0.5) + 1
        mask = shape.mask(self.w, self.h).filter(ImageFilter.MaxFilter(spread))
        self.lay(colour, mask.filter(ImageFilter.GaussianBlur(radius * 0.35)))

    def cut(self, shape):
        """Makes a shape transparent."""
        alpha = self.image.getchannel("A")
        self.image.putalpha(ImageChops.subtract(alpha, shape.mask(self.w, self.h)))

    def crop(self, x, y, w, h):
        return Canvas(w, h, image=self.image.crop((x, y, x + w, y + h)))

    def paste(self, other, x, y):
        """Replaces pixels, alpha included, as the program draws every picture but the background."""
        self.image.paste(other.image, (x, y))

    def png(self, opaque):
        if opaque and self.image.getextrema()[3][0] < 255:
            raise ValueError("an opaque picture has a translucent pixel")
        out = io.BytesIO()
        self.image.save(out, "PNG", optimize=True)
        return out.getvalue()


class Text:
    """Lines of text by name, drawn by Pillow's FreeType with the annotation point at the top of the
    font's ascent; kerning adds that many pixels between letters."""

    def __init__(self):
        self.lines = {}

    def add(self, key, text, font, size, kerning=0):
        self.lines[key] = (text, ImageFont.truetype(font, size), kerning)

    def draw(self, canvas, key, x, y, colour, align="left"):
        text, face, kerning = self.lines[key]
        advances = [face.getlength(ch) + kerning for ch in text] if kerning else [face.getlength(text)]
        width = sum(advances) - (kerning if kerning else 0)
        left = x - (width if align == "right" else width / 2 if align == "centre" else 0)
        layer = Image.new("RGBA", (canvas.w, canvas.h))
        draw = ImageDraw.Draw(layer)
        for part, advance in zip(text if kerning else [text], advances):
            draw.text((left, y), part, font=face, fill=bytes8(colour), anchor="la")
            left += advance
        canvas.image.alpha_composite(layer)


W, H = 500, 300
BODY = rounded_rect(8, 58, 492, 292, 30)
RECORD = (398, 98, 86)
OUTLINE = union(BODY, circle(*RECORD))
SCREEN = (20, 66, 302, 226)
TITLE = (28, 72, 266, 28)
INFO = (28, 104, 266, 116)
BUTTON_H = 46
BUTTON_PLACES = {  # section: entry prefix, x, width
    "ButtonRewind": ("rewind", 28, 58), "ButtonPlayPause": ("play", 90, 74), "ButtonStop": ("stop", 168, 58),
    "ButtonForward": ("forward", 230, 58), "ButtonEject": ("eject", 366, 52), "ButtonInfo": ("info", 422, 52)}
BUTTONS = [(section,) + BUTTON_PLACES[section] + (states,) for section, states in fmt.BUTTONS]
# Where the disk's name goes: on the face under the record, and in the title strip before play.
FACE_NAME = (314, 190, 168, 26)
IDLE_NAME = (40, 72, 200, 28)
BUTTON_Y = 236
METER = (306, 244, 48, 32)
METER_BARS, METER_GAP, SLOT_W = 5, 7, 4
CLOCK = (384, 216)
GLYPH = (7, 14)
SEEK = (26, 227, 270, 8)
VOLUME = (304, 221, 52, 14)

SONGS = [  # file, maker in make_songs, entry prefix, format, key, accent
    ("first-light.xm", "first_light", "light", "XM tracker module", "A minor", "#ff9a4a"),
    ("slow-drift.wav", "slow_drift", "drift", "WAV, 32 kHz 16-bit", "D minor", "#62d6e8"),
    ("night-pulse.ogg", "night_pulse", "pulse", "Ogg Vorbis, 44.1 kHz", "E minor", "#e46cff")]

INK = rgb("#e9e4ff")
DIM = rgb("#8a80b8")
FAINT = rgb("#4a4175")
PLAYING = rgb("#4ff0d2")
PAUSED = rgb("#ffb340")
HOVER = rgb("#b9a8ff")


def gradient(stops, t):
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, clamp((t - t0) / (t1 - t0)))
    return stops[-1][1]


def noise(x, y, seed=0):
    """A repeatable integer hash of a pixel, 0..1."""
    h = (int(x) * 374761393 + int(y) * 668265263 + seed * 2246822519) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return (h ^ (h >> 16)) / 0xFFFFFFFF


def stars(x, y, density, seed):
    n = noise(x, y, seed)
    return (n - (1 - density)) / density if n > 1 - density else 0.0


# ---- the background ----

def draw_background(text, named=True):
    c = Canvas(W, H)
    # A narrow soft rim only: without a compositor, partial alpha shows as a dark edge.
    c.glow(shifted(OUTLINE, 0, 1), rgb("#000000", 0.5), 2.5)
    body_top, body_bottom = rgb("#2c2452"), rgb("#130f27")
    c.shape(BODY, lambda x, y: mix(mix(body_top, body_bottom, (y - 58) / 234), rgb("#ffffff"),
                                   0.05 * clamp(1 - ((x - 60) ** 2 + (y - 60) ** 2) ** 0.5 / 260)))
    c.shape(ring(inset(BODY, 1.2), 1.2), lambda x, y: rgb("#c7b8ff", 0.32 * clamp(1 - (y - 58) / 110))
            if y < 170 else rgb("#05030c", 0.5 * clamp((y - 200) / 90)))

    # The screen, sunk into the body, with its blank title strip and info panel.
    x0, y0, x1, y1 = SCREEN
    screen = rounded_rect(x0, y0, x1, y1, 12)
    c.shape(inset(screen, -1), rgb("#d8ccff", 0.10), (x0 - 2, y0 - 2, x1 + 2, y1 + 2))
    c.shape(screen, lambda x, y: mix(rgb("#06040f"), rgb("#0e0a20"), (y - y0) / (y1 - y0)))
    c.shape(screen, lambda x, y: rgb("#000000", 0.55 * (1 - smoothstep(0, 7, y - y0))), (x0, y0, x1, y0 + 8))
    blank_title(c, text, named)
    blank_info(c, *INFO, text, "press")

    # Speaker slots between the transport keys and eject: the meter, dark.
    for slot in meter_slots():
        c.shape(slot, rgb("#07050f"))
        c.shape(shifted(ring(slot, 0.8), 0, 0.8), rgb("#d8ccff", 0.10))
    # The bars' empty grooves, with a faint lip below.
    for _, _, _, groove in bar_grooves():
        c.shape(shifted(groove, 0, 0.8), rgb("#d8ccff", 0.12))
        c.shape(groove, rgb("#07050f"))

    draw_record(c)
    if named:
        text.draw(c, "logo", 398, 194, INK, "centre")
    return c


def meter_slots():
    x, y, w, h = METER
    return [rounded_rect(x + i * (SLOT_W + METER_GAP), y, x + i * (SLOT_W + METER_GAP) + SLOT_W, y + h, 2)
            for i in range(METER_BARS)]


def lit(t):
    """Teal when little is lit, violet when all is."""
    return mix(PLAYING, rgb("#e46cff"), clamp(t))


def lit_meter(background):
    """The slots as they look full: lit from teal at the bottom to violet at the top."""
    x, y, w, h = METER
    c = background.crop(0, 0, W, H)
    for slot in meter_slots():
        c.shape(slot, lambda px, py: lit((y + h - py) / h))
    return c.crop(x, y, w, h)


def bar_grooves():
    """Each bar's section, picture, rectangle and groove: the seek bar's under the screen, lined up
    with the song pictures; the volume's a wedge over the speaker slots."""
    x, y, w, h = SEEK
    yield fmt.SEEK, "seek.png", SEEK, rounded_rect(x + 2, y + 2, x + w - 2, y + h - 2, 2)
    x, y, w, h = VOLUME
    yield fmt.VOLUME, "volume.png", VOLUME, polygon([(x + 2, y + h - 2), (x + w - 2, y + h - 2), (x + w - 2, y + 2)])


def lit_bar(background, rect, groove):
    """A groove fully lit, from teal at its left end to violet at its right, glowing."""
    x, y, w, h = rect
    c = background.crop(0, 0, W, H)
    c.glow(groove, with_alpha(PLAYING, 0.35), 3)
    c.shape(groove, lambda px, py: lit((px - x) / w))
    return c.crop(x, y, w, h)


def clock_digits(background, text):
    """Eleven glyphs, 0 to 9 and ':', each over the face behind the clock."""
    gw, gh = GLYPH
    cell = background.crop(CLOCK[0], CLOCK[1], gw, gh)
    strip = Canvas(gw * 11, gh)
    for i, ch in enumerate(fmt.CLOCK_GLYPHS):
        glyph = cell.crop(0, 0, gw, gh)
        text.draw(glyph, "glyph" + ch, gw / 2, 1, PLAYING, "centre")
        strip.paste(glyph, i * gw, 0)
    return strip


def face_sections():
    def rect(x, y, w, h):
        return [(fmt.FACE_X, x), (fmt.FACE_Y, y), (fmt.FACE_WIDTH, w), (fmt.FACE_HEIGHT, h)]
    return [(fmt.METER, rect(*METER) + [(fmt.METER_BARS, METER_BARS), (fmt.METER_GAP, METER_GAP),
                                        (fmt.FACE_PICTURE, "meter.png")]),
            (fmt.CLOCK, [(fmt.FACE_X, CLOCK[0]), (fmt.FACE_Y, CLOCK[1]), (fmt.FACE_PICTURE, "digits.png")])] + \
        [(section, rect(*place) + [(fmt.FACE_PICTURE, name)]) for section, name, place, _ in bar_grooves()]


def draw_record(c):
    cx, cy, r = RECORD
    # Its shadow on the body, fading over 10 pixels from the circle moved down and right.
    shadow = c.field(lambda x, y: rgb("#000000", 0.55 * (1 - smoothstep(-0.5, 10, math.hypot(x - cx - 3, y - cy - 7) - r))),
                     (cx - r - 10, 58, W, cy + r + 20))
    c.lay(shadow, inset(BODY, 1.5).mask(c.w, c.h))
    label, base = rgb("#ff8d3a"), rgb("#100c1a")

    def vinyl(x, y):
        dx, dy = x - cx, y - cy
        d = math.hypot(dx, dy)
        if d < 31:
            col = mix(label, rgb("#d4501c"), clamp((dx + dy + 40) / 80))
            if 28.5 < d or abs(d - 11) < 0.6:
                col = mix(col, rgb("#7a2a10"), 0.5)
            return col
        groove = 0.5 + 0.5 * math.cos(d * 2.1)
        angle = math.atan2(dy, dx)
        sheen = max(0.0, math.cos(2 * (angle + 0.75))) ** 10 * clamp((d - 34) / 20)
        col = mix(base, rgb("#2a2240"), 0.35 * groove * clamp((d - 36) / 8) * (d < r - 4))
        col = mix(col, rgb("#cfc4ff"), 0.30 * sheen)
        if d > r - 2.5:
            col = mix(col, rgb("#6e62a0"), 0.6)
        return col
    c.shape(circle(cx, cy, r), vinyl, (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1))
    c.cut(circle(cx, cy, 4.5))


def lcd_strip(c, x, y, w, h):
    strip = rounded_rect(x + 0.5, y + 0.5, x + w - 0.5, y + h - 0.5, 7)
    c.shape(strip, lambda px, py: mix(rgb("#1a1536"), rgb("#120e28"), (py - y) / h), (x, y, x + w, y + h))
    c.shape(ring(strip, 1.0), rgb("#3b3266", 0.8), (x, y, x + w, y + h))


def blank_title(c, text, named):
    x, y, w, h = TITLE
    lcd_strip(c, x, y, w, h)
    if named:
        text.draw(c, "idle-title", x + 12, y + 7, FAINT)
    text.draw(c, "idle-time", x + w - 12, y + 8, FAINT, "right")


def blank_info(c, x, y, w, h, text, key):
    panel = rounded_rect(x + 0.5, y + 0.5, x + w - 0.5, y + h - 0.5, 9)
    c.shape(panel, rgb("#0b0819"), (x, y, x + w, y + h))

    def dots(px, py):
        if (int(px) - x) % 8 != 4 or (int(py) - y) % 8 != 4:
            return None
        return rgb("#2a2350", 0.9 - 0.7 * clamp(abs(px - x - w / 2) / (w / 2)))
    c.paint(dots, (x + 6, y + 6, x + w - 6, y + h - 6))
    c.shape(ring(panel, 1.0), rgb("#2c2550"), (x, y, x + w, y + h))
    c.shape(rounded_rect(x + w / 2 - 70, y + h / 2 - 14, x + w / 2 + 70, y + h / 2 + 14, 14), rgb("#0b0819"))
    text.draw(c, key, x + w / 2, y + h / 2 - 8, DIM, "centre")


# ---- buttons ----

def symbol(kind, cx, cy):
    if kind == "play":
        return polygon([(cx - 5, cy - 8), (cx + 8, cy), (cx - 5, cy + 8)])
    if kind == "pause":
        return union(rounded_rect(cx - 7, cy - 8, cx - 2, cy + 8, 1), rounded_rect(cx + 2, cy - 8, cx + 7, cy + 8, 1))
    if kind == "stop":
        return rounded_rect(cx - 7, cy - 7, cx + 7, cy + 7, 1.5)
    if kind in ("rewind", "forward"):
        s = 1 if kind == "forward" else -1
        tri = lambda x0: polygon([(cx + s * x0, cy - 7), (cx + s * (x0 + 9), cy), (cx + s * x0, cy + 7)])
        bar = rounded_rect(cx + 8, cy - 7, cx + 11, cy + 7, 0.8) if s > 0 else \
            rounded_rect(cx - 11, cy - 7, cx - 8, cy + 7, 0.8)
        return union(tri(-10), tri(-2), bar)
    if kind == "eject":
        return union(polygon([(cx - 9, cy + 1), (cx, cy - 9), (cx + 9, cy + 1)]),
                     rounded_rect(cx - 9, cy + 4, cx + 9, cy + 8, 1))
    if kind == "info":
        return union(ring(circle(cx, cy, 9.5), 1.8), circle(cx, cy - 4.6, 1.6),
                     rounded_rect(cx - 1.2, cy - 1.6, cx + 1.2, cy + 5.6, 0.6))
    raise ValueError(kind)


def draw_button(background, x, width, kind, state):
    """One state picture: 0 idle, 1 hover, 2 pressed (pointer off), 3 pressed; for play/pause
    2 and 3 are playing, 4 and 5 paused, odd states with the pointer over it."""
    c = background.crop(x, BUTTON_Y, width, BUTTON_H)
    hover = state % 2 == 1
    play = kind == "play"
    lit = PLAYING if play and state in (2, 3) else PAUSED if play and state in (4, 5) else None
    sunk = state >= 2
    key = rounded_rect(3, 3, width - 3, BUTTON_H - 3, 9)
    if hover:
        c.glow(key, with_alpha(lit or HOVER, 0.8), 3.2)
    else:
        c.glow(shifted(key, 0, 1.5), rgb("#000000", 0.6), 3)
    top, bottom = (rgb("#1b1634"), rgb("#2a2350")) if sunk else (rgb("#3d3470"), rgb("#231d44"))
    if hover:
        top, bottom = mix(top, rgb("#ffffff"), 0.07), mix(bottom, rgb("#ffffff"), 0.05)
    c.shape(key, lambda px, py: mix(top, bottom, (py - 3) / (BUTTON_H - 6)))
    if sunk:
        c.shape(key, lambda px, py: rgb("#000000", 0.45 * (1 - smoothstep(0, 6, py - 3))))
        c.shape(ring(inset(key, 0.8), 1.0), lambda px, py: rgb("#d8ccff", 0.16 * clamp((py - 26) / 14)))
    else:
        c.shape(ring(inset(key, 0.8), 1.0), lambda px, py: rgb("#e4dcff", 0.40 * clamp(1 - (py - 3) / 18)))
    c.shape(ring(key, 1.0), rgb("#0a0716", 0.9))

    cx, cy = width / 2, BUTTON_H / 2 - (2 if play else 0) + (1 if sunk else 0)
    shown = "pause" if play and state in (2, 3) else kind
    colour = lit or (rgb("#ffffff") if hover and not sunk else HOVER if state == 3 else
                     rgb("#9a90c4") if state == 2 else rgb("#d6cef5"))
    if lit and hover:
        colour = mix(colour, rgb("#ffffff"), 0.35)
    mark = symbol(shown, cx, cy)
    if lit or state == 3:
        c.glow(mark, with_alpha(colour, 0.45), 4)
    c.shape(mark, colour)
    if play:
        led = rounded_rect(cx - 9, BUTTON_H - 12, cx + 9, BUTTON_H - 9, 1.5)
        if lit:
            c.glow(led, with_alpha(lit, 0.6), 3)
        c.shape(led, lit or rgb("#0d0a1c"))
    return c


# ---- song pictures ----

def art_first_light(x, y, w, h):
    horizon, sx, sr = h * 0.64, w * 0.66, h * 0.30
    d = math.hypot(x - sx, y - horizon)
    if y < horizon:
        col = gradient([(0, rgb("#1a1240")), (0.55, rgb("#6a2a78")), (0.85, rgb("#e0506a")),
                        (1, rgb("#ffae5c"))], y / horizon)
        col = mix(col, rgb("#ffffff"), stars(x, y, 0.012, 1) * clamp(1 - y / horizon * 1.6))
        col = mix(col, rgb("#ffb070"), 0.55 * math.exp(-max(0.0, d - sr) / (h * 0.12)))
        band = (horizon - y) / sr
        stripe = band < 0.55 and ((band * 9) % 1.0) < 0.28 + 0.5 * (0.55 - band)
        if not stripe:
            sun = mix(rgb("#ffe27a"), rgb("#ff6a3d"), clamp((y - horizon + sr) / sr))
            col = mix(col, sun, coverage(d - sr))
        return col
    t = (y - horizon) / (h - horizon)
    col = mix(rgb("#2a1446"), rgb("#0c0820"), t)
    wobble = 0.5 + 0.5 * math.sin(y * 1.7 + x * 0.05)
    reach = sr * (1.1 - 0.5 * t) * wobble
    if abs(x - sx) < reach and int(y) % 3 != 0:
        col = mix(col, rgb("#ff9a5a"), (0.75 - 0.6 * t) * (1 - abs(x - sx) / reach))
    return col


def art_slow_drift(x, y, w, h):
    col = mix(rgb("#2c6a86"), rgb("#0b2538"), y / h)
    mx, my, mr = w * 0.78, h * 0.24, h * 0.11
    col = mix(col, rgb("#d9f2ff"), 0.35 * math.exp(-max(0.0, math.hypot(x - mx, y - my) - mr) / (h * 0.08)))
    col = mix(col, rgb("#eef8ff"), coverage(math.hypot(x - mx, y - my) - mr))
    col = mix(col, rgb("#e8fbff"), stars(x, y, 0.006, 2) * 0.7)
    shades = ["#2f7d96", "#22627e", "#184a66", "#10354f", "#0a2438"]
    for k, shade in enumerate(shades):
        u = x / w * 6.283
        edge = h * (0.38 + 0.13 * k) + h * 0.06 * math.sin(u * (1.2 + 0.3 * k) + k * 1.9) \
            + h * 0.025 * math.sin(u * 3.1 + k)
        if y > edge - 0.5:
            layer = mix(rgb(shade), rgb("#061725"), clamp((y - edge) / (h * 0.5)))
            crest = math.exp(-(y - edge) / 2.2) * 0.45
            col = mix(col, mix(layer, rgb("#bfeeff"), crest), clamp(y - edge + 0.5))
    return col


def art_night_pulse(x, y, w, h):
    vx, vy = w * 0.5, h * 0.56
    if y < vy:
        col = mix(rgb("#0a0420"), rgb("#3a0c52"), (y / vy) ** 2)
        col = mix(col, rgb("#ffffff"), stars(x, y, 0.015, 3) * 0.8)
        d = math.hypot(x - vx, (y - vy) * 1.15)
        pulse = max(0.0, math.cos(d * 0.33)) ** 14 * math.exp(-d / (h * 0.55))
        col = mix(col, mix(rgb("#ff4fd8"), rgb("#47e3ff"), clamp(d / (h * 0.6))), clamp(pulse * 1.6))
        return mix(col, rgb("#ff6ad5"), 0.7 * math.exp(-(vy - y) / 3.0))
    dy = y - vy
    col = mix(rgb("#1a0630"), rgb("#07030f"), dy / (h - vy))
    # Grid lines one pixel wide wherever they are, fading out where they crowd the horizon.
    across = (x - vx) / dy * 1.3
    across_px = abs(across - round(across)) * dy / 1.3
    ahead = 70.0 / dy
    ahead_px = abs(ahead - round(ahead)) * dy * dy / 70.0
    line = max(coverage(across_px - 0.55) * smoothstep(7.0, 18.0, dy / 1.3),
               coverage(ahead_px - 0.55) * smoothstep(3.0, 9.0, dy * dy / 70.0))
    halo = max(coverage(across_px - 1.8), coverage(ahead_px - 1.8)) * 0.25 * smoothstep(10.0, 24.0, dy)
    col = mix(col, rgb("#46e0ff"), clamp(line + halo))
    return mix(col, rgb("#ff6ad5"), 0.8 * math.exp(-dy / 2.5))


ARTS = {"light": art_first_light, "drift": art_slow_drift, "pulse": art_night_pulse}


def framed(background, x, y, w, h, fill):
    """A picture of the info rectangle: rounded panel over the background behind it."""
    c = background.crop(x, y, w, h)
    panel = rounded_rect(0.5, 0.5, w - 0.5, h - 0.5, 9)
    c.shape(panel, lambda px, py: fill(px, py))
    c.shape(ring(panel, 1.0), rgb("#d8ccff", 0.22))
    return c


def artwork(background, slug):
    x, y, w, h = INFO
    return framed(background, x, y, w, h, lambda px, py: ARTS[slug](px, py, w, h))


def details(background, text, index, song, accent):
    x, y, w, h = INFO
    c = framed(background, x, y, w, h, lambda px, py: mix(rgb("#1c1738"), rgb("#100c24"), py / h))
    c.shape(rounded_rect(12, 14, 15, 48, 1.5), accent)
    text.draw(c, "name%d" % index, 22, 12, INK)
    text.draw(c, "length%d" % index, 22, 37, accent)
    text.draw(c, "format%d" % index, 22, 55, DIM)
    text.draw(c, "tempo%d" % index, 22, 71, DIM)
    text.draw(c, "credits", 12, 96, rgb("#6d6499"))
    # The artwork again, as the label of a small record.
    cx, cy, r = w - 46, 44, 34
    c.glow(shifted(circle(cx, cy, r), 1, 3), rgb("#000000", 0.6), 5)
    c.shape(circle(cx, cy, r), lambda px, py: rgb("#0d0a18") if ((px - cx) ** 2 + (py - cy) ** 2) ** 0.5 > 20
            else ARTS[song](w * 0.6 + (px - cx) * 3.2, h * 0.55 + (py - cy) * 3.2, w, h))
    c.shape(ring(circle(cx, cy, r - 6), 0.7), rgb("#2c2548"))
    c.shape(ring(circle(cx, cy, r - 11), 0.7), rgb("#2c2548"))
    c.shape(ring(circle(cx, cy, r), 1.0), rgb("#5a4e8a"))
    c.shape(circle(cx, cy, 2.2), rgb("#05030a"))
    return c


def title_picture(background, text, index, accent):
    x, y, w, h = TITLE
    c = background.crop(x, y, w, h)
    lcd_strip(c, 0, 0, w, h)
    text.draw(c, "number%d" % index, 12, 8, accent)
    text.draw(c, "name-small%d" % index, 38, 6, INK)
    text.draw(c, "time%d" % index, w - 12, 8, DIM, "right")
    return c


def no_info(background, text):
    x, y, w, h = INFO
    c = background.crop(x, y, w, h)
    blank_info(c, 0, 0, w, h, text, "noinfo")
    return c


# ---- the disk ----

def song_facts(songs_dir):
    facts = []
    for file, maker, slug, kind, key, accent in SONGS:
        song = getattr(make_songs, maker)()
        if file.endswith(".xm"):
            seconds = song.rows() * song.row_seconds
        else:  # rendered files end where their sound does
            seconds = float(subprocess.run(["soxi", "-D", os.path.join(songs_dir, file)], check=True,
                                           stdout=subprocess.PIPE, text=True).stdout)
        facts.append(dict(file=file, slug=slug, title=song.title, bpm=song.bpm, kind=kind, key=key,
                          accent=rgb(accent), channels=len(song.tracks),
                          length="%d:%02d" % divmod(int(round(seconds)), 60)))
    return facts


def layout_text(facts):
    t = Text()
    t.add("logo", "musicdisk", BOLD, 19, 1.5)
    t.add("idle-title", "musicdisk", BOLD, 12, 1)
    t.add("idle-time", "-:--", MONO, 12)
    t.add("press", "press  \u25b6  to play", SANS, 11, 0.5)
    t.add("noinfo", "no pictures for this song", SANS, 11, 0.3)
    t.add("credits", "composed by the musicdisk demo scripts", OBLIQUE, 10)
    for ch in fmt.CLOCK_GLYPHS:
        t.add("glyph" + ch, ch, MONO, 11)
    for i, f in enumerate(facts):
        t.add("name%d" % i, f["title"], BOLD, 17)
        t.add("name-small%d" % i, f["title"], BOLD, 13, 0.5)
        t.add("number%d" % i, "%02d" % (i + 1), MONO, 11)
        t.add("time%d" % i, f["length"], MONO, 11)
        t.add("length%d" % i, "track %d of %d  \u00b7  %s" % (i + 1, len(facts), f["length"]), SANS, 11)
        t.add("format%d" % i, "%s  \u00b7  %d voices" % (f["kind"], f["channels"]), SANS, 10)
        t.add("tempo%d" % i, "%d BPM  \u00b7  %s" % (f["bpm"], f["key"]), SANS, 10)
    return t


def check_layout(background, rects):
    """Every picture lies in the opaque part of pic.png and none overlaps another."""
    for name, (x, y, w, h) in rects.items():
        if x < 0 or y < 0 or x + w > W or y + h > H:
            sys.exit("make_disk: %s leaves the window" % name)
        if background.crop(x, y, w, h).image.getextrema()[3][0] < 255:
            sys.exit("make_disk: %s reaches a translucent pixel of pic.png" % name)
    items = list(rects.items())
    for i, (a, (ax, ay, aw, ah)) in enumerate(items):
        for b, (bx, by, bw, bh) in items[i + 1:]:
            if ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah:
                sys.exit("make_disk: %s overlaps %s" % (a, b))


def write_skin_folder(folder, text, pictures, skin):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, fmt.BACKGROUND), "wb") as f:
        f.write(draw_background(text, named=False).png(False))
    for section, keys in skin:
        for key, name in keys:
            if key.startswith(fmt.PICTURE_KEY_PREFIX):
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(pictures[name][0].png(True))
    layout = [(key, "%d,%d,%d,%d" % rect) for key, rect in
              (("Title", TITLE), ("Info", INFO), ("Name", FACE_NAME), ("IdleName", IDLE_NAME))]
    fmt.write_ini(os.path.join(folder, fmt.SKIN), skin + [("Layout", layout)])


def build(songs_dir, pictures_dir, disk_dir, preview_dir, skin_dir=None):
    facts = song_facts(songs_dir)
    text = layout_text(facts)
    background = draw_background(text)
    pictures = {fmt.BACKGROUND: (background, False)}
    rects = {"title": TITLE, "info": INFO}
    skin = []
    for section, prefix, x, width, states in BUTTONS:
        keys = [(fmt.BUTTON_X, x), (fmt.BUTTON_Y, BUTTON_Y)]
        for state in range(states):
            name = "%s%d.png" % (prefix, state)
            pictures[name] = (draw_button(background, x, width, prefix, state), True)
            keys.append((fmt.numbered_name(fmt.PICTURE_KEY_PREFIX, state), name))
        skin.append((section, keys))
        rects[section] = (x, BUTTON_Y, width, BUTTON_H)
    pictures["meter.png"] = (lit_meter(background), True)
    pictures["digits.png"] = (clock_digits(background, text), True)
    for section, name, place, groove in bar_grooves():
        pictures[name] = (lit_bar(background, place, groove), True)
        rects[section] = place
    skin += face_sections()
    rects["meter"] = METER
    rects["clock"] = CLOCK + (GLYPH[0] * 7, GLYPH[1])
    check_layout(background, rects)

    pictures["noinfo.png"] = (no_info(background, text), True)
    playlist = [(fmt.MUSIC, [(fmt.INFO_X, INFO[0]), (fmt.INFO_Y, INFO[1]), (fmt.TITLE_X, TITLE[0]),
                             (fmt.TITLE_Y, TITLE[1]), (fmt.NO_INFO, "noinfo.png"), (fmt.TITLE, "musicdisk demo")])]
    for i, f in enumerate(facts):
        names = ["%s-%s.png" % (f["slug"], part) for part in ("art", "about", "title")]
        pictures[names[0]] = (artwork(background, f["slug"]), True)
        pictures[names[1]] = (details(background, text, i, f["slug"], f["accent"]), True)
        pictures[names[2]] = (title_picture(background, text, i, f["accent"]), True)
        by_row = {None: f["file"], 0: names[0], 1: names[1], 2: names[2]}
        playlist.append((fmt.numbered_name(fmt.SONG_SECTION_PREFIX, i),
                         [(key, by_row[row]) for key, row, _ in fmt.SONG_KEYS]))

    folded = set()
    for name in pictures:
        if len(name) > 31 or name.lower() in folded:
            sys.exit("make_disk: entry name %s is too long or not unique" % name)
        folded.add(name.lower())

    os.makedirs(pictures_dir, exist_ok=True)
    for old in os.listdir(pictures_dir):
        os.remove(os.path.join(pictures_dir, old))
    for name, (canvas, opaque) in pictures.items():
        with open(os.path.join(pictures_dir, name), "wb") as f:
            f.write(canvas.png(opaque))
    os.makedirs(disk_dir, exist_ok=True)
    fmt.write_ini(os.path.join(disk_dir, fmt.SKIN), skin)
    fmt.write_ini(os.path.join(disk_dir, fmt.PLAYLIST), playlist)
    for f in facts:
        shutil.copyfile(os.path.join(songs_dir, f["file"]), os.path.join(disk_dir, f["file"]))

    if preview_dir:
        write_previews(preview_dir, background, pictures)
    if skin_dir:
        write_skin_folder(skin_dir, text, pictures, skin)


def on_desktop(skin):
    """The window over a desktop-like backdrop, so that its outline and shadow show."""
    out = Canvas(W + 40, H + 40)
    out.paint(lambda x, y: mix(rgb("#3f5f7a"), rgb("#1d2b3d"), (x + y) / (W + H + 80)))
    out.image.alpha_composite(skin.image, (20, 20))
    return out


def write_previews(folder, background, pictures):
    os.makedirs(folder, exist_ok=True)
    shown = background.crop(0, 0, W, H)
    for section, prefix, x, width, states in BUTTONS:
        shown.paste(pictures["%s0.png" % prefix][0], x, BUTTON_Y)
    shown.paste(pictures["light-title.png"][0], TITLE[0], TITLE[1])
    shown.paste(pictures["light-art.png"][0], INFO[0], INFO[1])
    with open(os.path.join(folder, "preview.png"), "wb") as f:
        f.write(on_desktop(shown).png(True))
    # Every button state, the other songs' pictures and the blank window, for a closer look.
    sheet = Canvas(1114, 610, rgb("#202020"))
    sheet.paste(background.crop(0, 0, W, H), 10, 10)
    for row, (section, prefix, x, width, states) in enumerate(BUTTONS):
        for state in range(states):
            sheet.paste(pictures["%s%d.png" % (prefix, state)][0], W + 20 + state * 80, 10 + row * 50)
    for i, slug in enumerate(("light", "drift", "pulse")):
        for j, part in enumerate(("about", "art", "title")):
            sheet.paste(pictures["%s-%s.png" % (slug, part)][0], 10 + i * 276, 320 + j * 124)
    sheet.paste(pictures["noinfo.png"][0], 838, 320)
    with open(os.path.join(folder, "preview-states.png"), "wb") as f:
        f.write(sheet.png(False))


def check_archive(vfspack, disk_dir):
    """Reads the INI files by the program's rules: every picture they name is in data.vfs, and
    every song is in the folder."""
    entries = {name.lower() for name in fmt.entry_names(disk_dir, vfspack)}
    skin = profile_ini.read(os.path.join(disk_dir, fmt.SKIN))
    playlist = profile_ini.read(os.path.join(disk_dir, fmt.PLAYLIST))
    songs = fmt.playlist_songs(playlist)
    wanted = {fmt.BACKGROUND, profile_ini.get(playlist, fmt.MUSIC, fmt.NO_INFO).lower()} - {""}
    for section, _ in fmt.BUTTONS:
        wanted.update(name.lower() for name in fmt.numbered(skin, section, fmt.PICTURE_KEY_PREFIX))
    for section in (fmt.METER, fmt.CLOCK, fmt.SEEK, fmt.VOLUME):
        wanted.add(profile_ini.get(skin, section, fmt.FACE_PICTURE).lower())
    for song in songs:
        wanted.update(song[key].lower() for key, row, _ in fmt.SONG_KEYS if row is not None and key in song)
        if not os.path.isfile(os.path.join(disk_dir, song[fmt.SONG_FILE])):
            sys.exit("make_disk: song %s is not in %s" % (song[fmt.SONG_FILE], disk_dir))
    missing = sorted(wanted - entries)
    if missing:
        sys.exit("make_disk: data.vfs lacks %s" % ", ".join(missing))


def main(argv):
    skin_dir = None
    if len(argv) > 2 and argv[0] == "--skin-folder":
        skin_dir, argv = argv[1], argv[2:]
    if len(argv) == 3 and argv[0] == "--check":
        check_archive(argv[1], argv[2])
    elif len(argv) in (3, 4):
        build(*argv[:3], argv[3] if len(argv) == 4 else None, skin_dir)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
