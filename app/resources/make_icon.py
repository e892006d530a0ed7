#!/usr/bin/env python3
"""Draws the application icon, a spinning record, and writes it as a Windows .ico:
two 256-colour images, 32 x 32 and 16 x 16, each with its transparency mask.
Usage: make_icon.py OUTPUT.ico"""
import math
import struct
import sys


def palette():
    # A 6x6x6 colour cube and a grey ramp: 216 + 40 = 256 entries.
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [(round(i * 255 / 39),) * 3 for i in range(40)]
    return colours


def nearest(colours, rgb):
    return min(range(len(colours)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colours[i], rgb)))


def pixel(size, x, y):
    """Colour of one pixel, or None outside the record."""
    c = (size - 1) / 2
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy) / (size / 2)
    if r > 0.98:
        return None
    if r < 0.09:
        return None  # the spindle hole
    if r < 0.36:
        # label: warm orange with a darker ring at its rim
        return (230, 120, 30) if r < 0.31 else (160, 60, 20)
    # vinyl: dark violet grooves, lit from the top left
    groove = 0.5 + 0.5 * math.cos(r * size * 1.7)
    light = max(0.0, math.cos(math.atan2(dy, dx) + 2.4)) ** 6
    base = 30 + 18 * groove
    return (min(255, base + 20 + 170 * light), min(255, base * 0.6 + 150 * light),
            min(255, base + 60 + 150 * light))


def image(size, colours):
    rows = []
    mask_rows = []
    for y in reversed(range(size)):  # bottom-up, as DIBs are stored
        row = bytearray()
        mask = 0
        for x in range(size):
            rgb = pixel(size, x, y)
            if rgb is None:
                row.append(0)
                mask |= 1 << (size - 1 - x)
            else:
                row.append(nearest(colours, rgb))
        rows.append(bytes(row) + b"\0" * (-len(row) % 4))
        mask_bytes = mask.to_bytes((size + 7) // 8, "big")
        mask_rows.append(mask_bytes + b"\0" * (-len(mask_bytes) % 4))
    pixels = b"".join(rows)
    masks = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0,
                         len(pixels) + len(masks), 0, 0, 256, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    return header + table + pixels + masks


def main():
    colours = palette()
    images = [(size, image(size, colours)) for size in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
