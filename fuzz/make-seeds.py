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

# Palettes
default = bytes.fromhex(
    "ffffffff405400 00ff ff0000ff0000000000 ff8000ff6500ff0000 ffff00ffff00ff00ff"
    "00ff0000ff00ff0000 00ffff00ffff00ffff 0080c00065ff00ffff 0000a0000020 00ffff")
write("fuzz_palette", "default-start", default + bytes(576 - len(default)))
write("fuzz_palette", "counting", bytes((i + k) % 256 for i in range(64) for k in range(9)))
write("fuzz_palette", "first-red", bytes.fromhex("FF0000") + bytes(573))
write("fuzz_palette", "575", bytes([0xEE]) * 575)
write("fuzz_palette", "577", bytes([0xEE]) * 577)
