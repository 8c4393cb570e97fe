#!/usr/bin/env python3
"""Writes a small demo catalog: a few shapes in the first slots."""
import math
import struct
import sys


def frame_block(points):
    out = bytearray(struct.pack("<BH", 0, len(points)))
    for x, y, status in points:
        out += struct.pack("<hhhBB", x, y, 0, status, 0)
    return out


def polygon(n, radius, color, turns=1, wobble=0.0):
    pts = []
    for i in range(n * turns + 1):
        a = 2 * math.pi * i / n
        r = radius * (1 + wobble * math.sin(5 * a))
        pts.append((int(r * math.cos(a)), int(r * math.sin(a)), color if i else 64 + color))
    return pts


def star(color):
    pts = []
    for i in range(11):
        a = math.pi / 2 + i * math.pi * 4 / 5
        pts.append((int(28000 * math.cos(a)), int(-28000 * math.sin(a)), color if i else 64 + color))
    return pts


def spiral(color):
    pts = []
    for i in range(400):
        a = i / 12.0
        r = 30000 * i / 400
        c = (color + i // 40) % 11
        pts.append((int(r * math.cos(a)), int(r * math.sin(a)), c if i else 64 + c))
    return pts


def dashed_ring(color):
    """Twelve dashes round a ring and a small star in the middle, every part
    reached by a blanked move."""
    pts = []
    for d in range(12):
        for k in range(6):
            a = 2 * math.pi * (d + k / 10.0) / 12
            pts.append((int(26000 * math.cos(a)), int(26000 * math.sin(a)), color if k else 64 + color))
    for i, (x, y, status) in enumerate(star((color + 3) % 11)):
        pts.append((x // 3, y // 3, status if i else 64 + (status & 63)))
    return pts


def main(path, variant):
    shapes = [polygon(4, 25000, 1), polygon(40, 28000, 4), star(3), spiral(5), polygon(3, 26000, 9),
              polygon(60, 22000, 2, wobble=0.25), star(6), polygon(6, 29000, 10)]
    if variant == "b":
        shapes = shapes[::-1]
    blocks = bytearray()
    for slot in range(32767):
        if slot < len(shapes) * 2 and slot % 2 == (1 if variant == "b" else 0):
            blocks += frame_block(shapes[slot // 2])
        elif slot == 16 and variant == "a":
            blocks += frame_block(dashed_ring(4))
        else:
            blocks += b"\0\0\0"
    with open(path, "wb") as f:
        f.write(blocks)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "a")
