#!/usr/bin/env python3
"""Writes the fuzzers' seed inputs (fuzz/seeds/<target>/) from the example
files of the frame-data tests. Run from anywhere; the seeds are committed."""

import pathlib
import struct

SEEDS = pathlib.Path(__file__).resolve().parent / "seeds"


def cat_block(points, flag=0):
    out = bytes([flag]) + struct.pack("<H", len(points))
    for x, y, z, status, aux in points:
        out += struct.pack("<hhhBB", x, y, z, status, aux)
    return out


def pic(count, records):
    return bytes.fromhex("0005 00000000") + struct.pack(">H", count) + bytes.fromhex("0001 00000000") + records


def ilda_header(fmt, records, magic=b"ILDA"):
    return magic + bytes(3) + bytes([fmt]) + bytes(16) + struct.pack(">H", records) + bytes(6)


def ilda_point(fmt, x, y, z, status, c0, c1=0, c2=0):
    """One ILDA point record; for formats 4 and 5, c0, c1, c2 are blue, green, red."""
    out = struct.pack(">hh", x, y) + (struct.pack(">h", z) if fmt in (0, 4) else b"")
    return out + bytes([status, c0]) + (bytes([c1, c2]) if fmt >= 4 else b"")


def ilda_section(fmt, records):
    return ilda_header(fmt, len(records)) + b"".join(records)


def ilda_palette(colours):
    return ilda_header(2, len(colours)) + b"".join(bytes(c) for c in colours)


def write(target, name, data):
    folder = SEEDS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


# Catalogs
one_point = cat_block([(1, -2, 3, 5, 0)]) + bytes(3 * 32766)
write("fuzz_catalog", "one-point-example", one_point)
write("fuzz_catalog", "empty", b"")
write("fuzz_catalog", "one-byte", b"\x07")
ten = b"".join(cat_block([(s, -i, i * 1000, i, s) for i in range(s % 4)]) for s in range(10))
write("fuzz_catalog", "ten-blocks", ten)
small = cat_block([(1, 2, 3, 4, 5)]) + cat_block([]) + cat_block([(-1, -2, -3, 200, 6), (32767, -32768, 7, 64, 255)])
write("fuzz_catalog", "small", small)
write("fuzz_catalog", "small-cut", small[:27])
write("fuzz_catalog", "flag-bytes",
      cat_block([(1, 2, 3, 4, 5)], 0xAB) + cat_block([], 1) + cat_block([(6, 7, 8, 9, 10)], 0xFF))
write("fuzz_catalog", "count-beyond-data", cat_block([(1, 1, 1, 1, 1)]) + bytes.fromhex("00FFFF") +
      struct.pack("<hhhBB", 2, 2, 2, 2, 2))
write("fuzz_catalog", "beyond-last-slot",
      bytes(3 * 32766) + cat_block([(66, 66, 66, 66, 66)]) + cat_block([(77, 77, 77, 77, 77)]))

# Picture files
write("fuzz_picture", "worked-example",
      bytes.fromhex("0005000000000002000100000000 06070064FF380000 0080FF9D00C70000"))
write("fuzz_picture", "one-point", pic(1, bytes.fromhex("0280FFFAFFF9012C")))
write("fuzz_picture", "zero-points", pic(0, b""))
write("fuzz_picture", "smallest-values", pic(1, bytes.fromhex("0080800080008000")))
write("fuzz_picture", "count-beyond-data",
      pic(65535, bytes.fromhex("0205000100020003 0406000400050006 00")))
write("fuzz_picture", "status-chain",
      pic(4, bytes.fromhex("0046000000000000 0086000000000000 00FF000000000000 0080000000000000")))
write("fuzz_picture", "header-cut", bytes.fromhex("00050000000000"))

# ILDA files
ILDA_END = ilda_header(0, 0)
p0 = ilda_section(0, [ilda_point(0, 100, 200, -300, 0x40, 24), ilda_point(0, -32768, -32768, 32767, 0xBF, 40)])
p1 = ilda_section(1, [ilda_point(1, 100, 200, 0, 0xC0, 24), ilda_point(1, -32768, -32768, 0, 0x3F, 40)])
p4 = ilda_section(4, [ilda_point(4, 100, 200, -300, 0x40, 0, 255, 0), ilda_point(4, -1, -1, -1, 0x80, 255, 0, 0)])
p5 = ilda_section(5, [ilda_point(5, 1, 2, 0, 0, 0, 0, 0), ilda_point(5, 3, 4, 0, 0x80, 30, 20, 10)])
pal2 = ilda_palette([(10, 20, 30), (200, 100, 50), (0, 0, 0)])
write("fuzz_ilda", "format-0", p0 + ILDA_END)
write("fuzz_ilda", "format-1", p1 + ILDA_END)
write("fuzz_ilda", "format-4", p4 + ILDA_END)
write("fuzz_ilda", "format-5-no-end", p5)
write("fuzz_ilda", "palettes", p1 + pal2 + ilda_section(0, [ilda_point(0, 0, 0, 0, 0, i) for i in range(4)]) +
      ilda_palette([(9, 9, 9)]) + ilda_section(1, [ilda_point(1, 0, 0, 0, 0, i) for i in (0, 1, 63, 64, 255)]) +
      ILDA_END)
write("fuzz_ilda", "default-palette", ilda_section(1, [ilda_point(1, i, -i, 0, 0, i) for i in range(0, 256, 3)]))
write("fuzz_ilda", "wide-palette", ilda_palette([(i, 255 - i, 7) for i in range(256)]) +
      ilda_section(0, [ilda_point(0, i, i, i, 0, 255 - i) for i in range(0, 256, 5)]) + ILDA_END)
write("fuzz_ilda", "black-and-ties", ilda_section(5, [ilda_point(5, 0, 0, 0, s, b, g, r) for s, b, g, r in
                                                     [(0, 0, 0, 0), (0x40, 0, 0, 0), (0, 1, 0, 0), (0, 100, 100, 100),
                                                      (0, 128, 128, 128), (0x40, 255, 255, 255)]]))
write("fuzz_ilda", "cut-records", p4 + p1[:-3])
write("fuzz_ilda", "cut-header", p0 + p1[:20])
write("fuzz_ilda", "bad-magic-second", p1 + b"ILDB" + p1[4:])
write("fuzz_ilda", "unknown-format", p1 + pal2 + ilda_header(3, 1) + b"abc")
write("fuzz_ilda", "only-palette", pal2 + ILDA_END)
write("fuzz_ilda", "after-end", p5 + ILDA_END + p4 + b"junk")
write("fuzz_ilda", "many-frames", b"".join(ilda_section(5, [ilda_point(5, f, f, 0, 0, f % 256, 0, 0)])
                                          for f in range(300)))

# Palettes
default = bytes.fromhex(
    "ffffffff405400 00ff ff0000ff0000000000 ff8000ff6500ff0000 ffff00ffff00ff00ff"
    "00ff0000ff00ff0000 00ffff00ffff00ffff 0080c00065ff00ffff 0000a0000020 00ffff")
write("fuzz_palette", "default-start", default + bytes(576 - len(default)))
write("fuzz_palette", "counting", bytes((i + k) % 256 for i in range(64) for k in range(9)))
write("fuzz_palette", "first-red", bytes.fromhex("FF0000") + bytes(573))
write("fuzz_palette", "575", bytes([0xEE]) * 575)
write("fuzz_palette", "577", bytes([0xEE]) * 577)

# Optimiser: 13 bytes of profile (rate, lit step, blanked step as 16-bit
# words less one, reversal / 4 us, corner degrees, anchor / 2 us, wait / 2 us,
# flags: 1 keep order, 2 colour delay; delay / 2 us; spare), then points.
def profile(rate=30000 - 1000, lit=639, blank=1999, reversal=75, corner=25, anchor=33, wait=66, flags=0, delay=0):
    return struct.pack("<HHHBBBBBBB", rate, lit, blank, reversal, corner, anchor, wait, flags, delay, 0)


def points(pts):
    return b"".join(struct.pack("<hhhBB", x, y, z, status, aux) for x, y, z, status, aux in pts)


square = [(-8000, -8000, 0, 64, 0), (8000, -8000, 0, 3, 0), (8000, 8000, 0, 3, 0), (-8000, 8000, 0, 3, 0),
          (-8000, -8000, 0, 3, 0)]
lines = [(x, y, 0, 64 if i % 2 == 0 else 5 + i % 7, 0) for i, (x, y) in
         enumerate([(-30000, 0), (30000, 0), (0, -30000), (0, 30000), (-500, 700), (12000, -9000)])]
circle = [(64, 0, 0, 64, 0)] + [(int(9000 * __import__("math").cos(k / 8)), int(9000 * __import__("math").sin(k / 8)),
                                 0, 9 if k < 25 else 12, 0) for k in range(51)]
write("fuzz_optimise", "square", profile() + points(square))
write("fuzz_optimise", "lines-keep-order", profile(flags=1) + points(lines))
write("fuzz_optimise", "circle-colour-delay", profile(flags=2, delay=50) + points(circle))
write("fuzz_optimise", "tiny-steps", profile(lit=0, blank=0) + points(square))
write("fuzz_optimise", "blanked-only", profile() + points([(i * 99, -i, 0, 64, 0) for i in range(5)]))
write("fuzz_optimise", "one-point", profile() + points([(5, 5, 5, 5, 5)]))
