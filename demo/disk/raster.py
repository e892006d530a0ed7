"""A small anti-aliased rasteriser for the demo disk's pictures, in plain Python.

Shapes are signed distance functions (negative inside, in pixels), so every edge gets its
coverage from the distance at the pixel centre: crisp at any size and the same on every run.
A canvas holds premultiplied RGBA floats; text comes from ImageMagick as grey masks.
"""
import functools
import math
import struct
import subprocess
import zlib


@functools.lru_cache(maxsize=None)
def rgb(hex_colour, alpha=1.0):
    v = int(hex_colour.lstrip("#"), 16)
    return ((v >> 16) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0, alpha)


def mix(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t, a[3] + (b[3] - a[3]) * t)


def with_alpha(colour, alpha):
    return colour[:3] + (colour[3] * alpha,)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smoothstep(e0, e1, v):
    t = clamp((v - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


# ---- signed distances ----
# Each distance function carries .box, the rectangle (x0, y0, x1, y1) outside which it is positive,
# so that drawing visits only the pixels a shape can reach.

def boxed(fn, box):
    fn.box = box
    return fn


def grow(box, by):
    return (box[0] - by, box[1] - by, box[2] + by, box[3] + by)


def circle(cx, cy, r):
    return boxed(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def rounded_rect(x0, y0, x1, y1, r):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        if qx <= 0.0 or qy <= 0.0:
            return (qx if qx > qy else qy) - r
        return math.hypot(qx, qy) - r
    return boxed(d, (x0, y0, x1, y1))


def polygon(points):
    """A convex polygon, points in either winding."""
    n = len(points)
    area = sum(points[i][0] * points[(i + 1) % n][1] - points[(i + 1) % n][0] * points[i][1] for i in range(n))
    edges = []
    for i in range(n):
        (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
        length = math.hypot(bx - ax, by - ay)
        nx, ny = (by - ay) / length, (ax - bx) / length
        if area < 0:
            nx, ny = -nx, -ny
        edges.append((nx, ny, nx * ax + ny * ay))
    segments = [(points[i], points[(i + 1) % n]) for i in range(n)]

    def d(x, y):
        plane = max(nx * x + ny * y - c for nx, ny, c in edges)
        if plane <= 0.0:
            return plane
        return min(segment_distance(x, y, a, b) for a, b in segments)
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return boxed(d, (min(xs), min(ys), max(xs), max(ys)))


def segment_distance(x, y, a, b):
    (ax, ay), (bx, by) = a, b
    vx, vy = bx - ax, by - ay
    t = clamp(((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy))
    return math.hypot(x - ax - t * vx, y - ay - t * vy)


def ring(sdf, width):
    return boxed(lambda x, y: abs(sdf(x, y)) - width / 2, grow(sdf.box, width))


def union(*sdfs):
    boxes = [s.box for s in sdfs]
    return boxed(lambda x, y: min(s(x, y) for s in sdfs),
                 (min(b[0] for b in boxes), min(b[1] for b in boxes),
                  max(b[2] for b in boxes), max(b[3] for b in boxes)))


def inset(sdf, by):
    return boxed(lambda x, y: sdf(x, y) + by, grow(sdf.box, max(0.0, -by)))


def shifted(sdf, dx, dy):
    b = sdf.box
    return boxed(lambda x, y: sdf(x - dx, y - dy), (b[0] + dx, b[1] + dy, b[2] + dx, b[3] + dy))


def coverage(d):
    return 0.0 if d >= 0.5 else 1.0 if d <= -0.5 else 0.5 - d


# ---- canvas ----

class Canvas:
    def __init__(self, w, h, fill=(0.0, 0.0, 0.0, 0.0)):
        self.w, self.h = w, h
        r, g, b, a = fill
        self.px = [r * a, g * a, b * a, a] * (w * h)

    def paint(self, fn, box=None):
        """Composites fn(x, y) -> (r, g, b, a) or None, at pixel centres, over box (x0, y0, x1, y1)."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        px, w = self.px, self.w
        for y in range(y0, y1):
            fy = y + 0.5
            i = (y * w + x0) * 4
            for x in range(x0, x1):
                c = fn(x + 0.5, fy)
                if c is not None and c[3] > 0.0:
                    r, g, b, a = c
                    k = 1.0 - a
                    px[i] = r * a + px[i] * k
                    px[i + 1] = g * a + px[i + 1] * k
                    px[i + 2] = b * a + px[i + 2] * k
                    px[i + 3] = a + px[i + 3] * k
                i += 4

    def shape(self, sdf, colour, box=None, opacity=1.0):
        """Fills a shape with a colour or a colour function (x, y) -> colour."""
        solid = not callable(colour)

        def fn(x, y):
            cov = coverage(sdf(x, y)) * opacity
            if cov <= 0.0:
                return None
            c = colour if solid else colour(x, y)
            return c[:3] + (c[3] * cov,)
        self.paint(fn, box or grow(sdf.box, 1))

    def glow(self, sdf, colour, radius, box=None):
        """A soft halo outside a shape, fading to nothing over radius pixels."""
        def fn(x, y):
            d = sdf(x, y)
            if d >= radius:
                return None
            t = 1.0 - smoothstep(-0.5, radius, d)
            return colour[:3] + (colour[3] * t,)
        self.paint(fn, box or grow(sdf.box, radius + 1))

    def cut(self, sdf, box=None):
        """Makes a shape transparent, with an anti-aliased edge."""
        x0, y0, x1, y1 = box or grow(sdf.box, 1)
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                keep = 1.0 - coverage(sdf(x + 0.5, y + 0.5))
                i = (y * self.w + x) * 4
                for c in range(4):
                    self.px[i + c] *= keep

    def crop(self, x, y, w, h):
        out = Canvas(w, h)
        for row in range(h):
            src = ((y + row) * self.w + x) * 4
            out.px[row * w * 4:(row + 1) * w * 4] = self.px[src:src + w * 4]
        return out

    def paste(self, other, x, y):
        """Replaces pixels, alpha included, as the program draws every picture but the background."""
        for row in range(other.h):
            dst = ((y + row) * self.w + x) * 4
            self.px[dst:dst + other.w * 4] = other.px[row * other.w * 4:(row + 1) * other.w * 4]

    def alpha_at(self, x, y):
        return self.px[(y * self.w + x) * 4 + 3]

    def png(self, opaque):
        """RGBA PNG bytes, 8 bits a channel, colours un-premultiplied. Opaque pictures are still
        written with their alpha channel, so that no decoder has to invent one."""
        px = self.px
        alphas = px[3::4]
        if opaque and min(alphas) < 0.999:
            raise ValueError("an opaque picture has a translucent pixel")
        out = bytearray(self.w * self.h * 4)
        for c in range(3):
            out[c::4] = bytes([0 if a <= 0.0 else min(255, int(v / a * 255 + 0.5)) for v, a in zip(px[c::4], alphas)])
        out[3::4] = bytes([min(255, int(a * 255 + 0.5)) for a in alphas])
        stride = self.w * 4
        return encode_png(self.w, self.h, [bytes(out[y * stride:(y + 1) * stride]) for y in range(self.h)])


def sub_filter(row, channels):
    """PNG's Sub filter: each byte minus the byte one pixel to its left, modulo 256, done on
    the whole row at once as one big integer with borrows kept inside each byte."""
    n = len(row)
    x = int.from_bytes(row, "big")
    y = int.from_bytes(bytes(channels) + row[:n - channels], "big")
    high = int.from_bytes(b"\x80" * n, "big")
    ones = (1 << (8 * n)) - 1
    return (((x | high) - (y & (ones ^ high))) ^ ((x ^ y ^ ones) & high)).to_bytes(n, "big")


def encode_png(w, h, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\x01" + sub_filter(row, 4) for row in rows)
    header = struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


# ---- text ----

class Text:
    """Every line of text of one run, rasterised by a single ImageMagick call."""
    WIDTH = 640

    def __init__(self):
        self.lines = {}

    def add(self, key, text, font, size, kerning=0):
        self.lines[key] = (text, font, size, kerning)

    def render(self):
        args, y, slots = [], 0, {}
        for key, (text, font, size, kerning) in self.lines.items():
            height = int(size * 2) + 8
            args += ["-font", font, "-pointsize", str(size), "-kerning", str(kerning),
                     "-annotate", "+8+%d" % (y + 4), text]
            slots[key] = (y, height)
            y += height
        raw = subprocess.run(["convert", "-size", "%dx%d" % (self.WIDTH, y), "xc:black", "-fill", "white",
                              "-gravity", "NorthWest", *args, "-depth", "8", "gray:-"],
                             check=True, stdout=subprocess.PIPE).stdout
        self.masks = {}
        for key, (top, height) in slots.items():
            rows = [raw[(top + r) * self.WIDTH:(top + r + 1) * self.WIDTH] for r in range(height)]
            ink = [x for x in range(self.WIDTH) if any(row[x] for row in rows)]
            lit = [r for r in range(height) if any(rows[r])]
            if not ink or ink[-1] >= self.WIDTH - 2:
                raise ValueError("text %r is empty or too wide" % key)
            x0, x1, y0, y1 = ink[0], ink[-1] + 1, lit[0], lit[-1] + 1
            # Offsets are from the annotation point, so lines of one size share a baseline.
            self.masks[key] = (x0 - 8, y0 - 4, x1 - x0,
                               [[rows[r][x] / 255.0 for x in range(x0, x1)] for r in range(y0, y1)])

    def draw(self, canvas, key, x, y, colour, align="left"):
        """Draws a line with its annotation point at (x, y): the top of the font's ascent."""
        ox, oy, w, mask = self.masks[key]
        left = x - (w if align == "right" else w / 2 if align == "centre" else 0)
        left = int(round(left)) + (0 if align != "left" else ox)
        top = int(round(y)) + oy

        def fn(px, py):
            c, r = int(px) - left, int(py) - top
            v = mask[r][c]
            return colour[:3] + (colour[3] * v,) if v else None
        canvas.paint(fn, (left, top, left + w, top + len(mask)))
