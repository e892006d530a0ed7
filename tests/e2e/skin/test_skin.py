#!/usr/bin/env python3
"""A test skin with an outline that has every kind of edge: rounded corners, pixels of alpha 1
inside the transparent corners, a fully transparent row, and a transparent notch at the right.
   test_skin.py DIR        writes DIR/pic.png and DIR/data.vfs
The module also gives the picture to the checks (pixels(), WIDTH, HEIGHT)."""
import struct
import sys
import zlib

WIDTH, HEIGHT = 160, 120
RADIUS = 24
CLEAR_ROW = 70
# Alpha-1 pixels inside the top-left corner, each with transparent neighbours on both sides.
FAINT = {(6, 6), (10, 3), (3, 10)}


def alpha(x, y):
    if y == CLEAR_ROW:
        return 0
    if (x, y) in FAINT:
        return 1
    if x >= WIDTH - 12 and 40 <= y < 50:  # notch: rows that end transparent
        return 0
    cx = min(max(x, RADIUS), WIDTH - 1 - RADIUS)
    cy = min(max(y, RADIUS), HEIGHT - 1 - RADIUS)
    return 255 if (x - cx) ** 2 + (y - cy) ** 2 <= RADIUS ** 2 else 0


def pixel(x, y):
    return ((x * 255) // (WIDTH - 1), (y * 255) // (HEIGHT - 1), 0x60 + (x ^ y) % 64, alpha(x, y))


def pixels():
    """Rows of (r, g, b, a) tuples."""
    return [[pixel(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]


def png(width, height, pixel, chunks=(), rows=None):
    """A PNG of pixel(x, y), RGBA or RGB as it gives 4 or 3 values; `chunks` go ahead of the
    pixels, of which only the first `rows` rows are made (0: no pixel data at all)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    made = height if rows is None else rows
    raw = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y)) for y in range(made))
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if len(pixel(0, 0)) == 4 else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + b"".join(chunk(k, d) for k, d in chunks)
            + (chunk(b"IDAT", zlib.compress(raw, 9)) if made else b"") + chunk(b"IEND", b""))


def archive(entries, extra_records=()):
    """data.vfs: 8-byte header, 40-byte records (name, offset, size), then the contents;
    extra_records are (name, offset, size) with no content."""
    out = [struct.pack("<II", 0, 8 + 40 * (len(entries) + len(extra_records)))]
    offset = 0
    for name, data in entries:
        out.append(name.encode().ljust(32, b"\0") + struct.pack("<II", offset, len(data)))
        offset += len(data)
    out += [name.encode().ljust(32, b"\0") + struct.pack("<II", at, size) for name, at, size in extra_records]
    return b"".join(out) + b"".join(data for _, data in entries)


if __name__ == "__main__":
    folder = sys.argv[1]
    picture = png(WIDTH, HEIGHT, pixel)
    with open(f"{folder}/pic.png", "wb") as f:
        f.write(picture)
    with open(f"{folder}/data.vfs", "wb") as f:
        f.write(archive([("readme.txt", b"not a picture"), ("PIC.PNG", picture)]))
