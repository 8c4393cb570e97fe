#!/usr/bin/env python3
"""Writes a small ILDA file as other laser programs do: true-colour frames
(format 5, 2D) with a rainbow, a heart and a bouncing ball, written from
the standard's description, with Y pointing up and blanked moves."""
import colorsys
import math
import struct
import sys


def header(fmt, name, records, number, total):
    return (b"ILDA" + b"\0\0\0" + bytes([fmt]) + name.ljust(8, b"\0")[:8] + b"demo".ljust(8, b"\0")
            + struct.pack(">HHHBB", records, number, total, 0, 0))


def frame5(points, number, total):
    out = bytearray(header(5, b"F%d" % number, len(points), number, total))
    for i, (x, y, rgb, blank) in enumerate(points):
        status = (0x80 if i == len(points) - 1 else 0) | (0x40 if blank else 0)
        out += struct.pack(">hhBBBB", x, y, status, rgb[2], rgb[1], rgb[0])
    return out


def rainbow(phase):
    pts = []
    for band in range(6):
        r = 26000 - band * 3000
        rgb = tuple(int(255 * c) for c in colorsys.hsv_to_rgb((band / 6 + phase) % 1, 1, 1))
        for i in range(61):
            a = math.pi * i / 60
            pts.append((int(r * math.cos(a)), int(r * math.sin(a)) - 8000, rgb, i == 0))
    return pts


def heart(scale):
    pts = []
    for i in range(201):
        t = 2 * math.pi * i / 200
        x = 16 * math.sin(t) ** 3
        y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        pts.append((int(x * 1700 * scale), int(y * 1700 * scale), (255, 20, 60), i == 0))
    return pts


def ball(step):
    y = int(-24000 + 44000 * abs(math.sin(step / 3)))
    pts = [(x * 2000 - 30000, -30000, (0, 160, 255), x == 0) for x in range(31)]
    for i in range(41):
        a = 2 * math.pi * i / 40
        pts.append((int(6000 * math.cos(a)), y + int(6000 * math.sin(a)), (255, 255, 0), i == 0))
    return pts


frames = [rainbow(k / 8) for k in range(4)] + [heart(0.6 + 0.1 * k) for k in range(4)] + [ball(k) for k in range(8)]
data = bytearray()
for n, pts in enumerate(frames):
    data += frame5(pts, n, len(frames))
data += header(5, b"", 0, 0, 0)
with open(sys.argv[1], "wb") as f:
    f.write(data)
