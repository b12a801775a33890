#!/usr/bin/env python3
"""Draws the program's icon, wParvolen.png: a maroon tile with a white "W"
over a cream coin. Plain Python (zlib and struct), no image library.
Usage: make-icon.py OUTPUT.png [SIZE]"""
import math
import struct
import sys
import zlib

size = int(sys.argv[2]) if len(sys.argv) > 2 else 64
S = 4  # samples per pixel edge, for smooth edges


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def rounded_tile(x, y):
    r = 0.18
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return math.hypot(x - cx, y - cy) <= r and 0.02 <= x <= 0.98 and 0.02 <= y <= 0.98


W = [(0.20, 0.28), (0.34, 0.74), (0.50, 0.40), (0.66, 0.74), (0.80, 0.28)]
maroon = (0x80, 0x00, 0x00)
cream = (0xFF, 0xFB, 0xF0)
white = (0xFF, 0xFF, 0xFF)


def sample(x, y):
    if not rounded_tile(x, y):
        return None
    if any(seg_dist(x, y, *W[i], *W[i + 1]) < 0.055 for i in range(len(W) - 1)):
        return white
    if math.hypot(x - 0.78, y - 0.80) < 0.13:
        return cream
    return maroon


rows = []
for py in range(size):
    row = bytearray([0])
    for px in range(size):
        acc = [0, 0, 0, 0]
        for sy in range(S):
            for sx in range(S):
                c = sample((px + (sx + 0.5) / S) / size, (py + (sy + 0.5) / S) / size)
                if c is not None:
                    acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 1
        n = acc[3]
        if n:
            row += bytes([acc[0] // n, acc[1] // n, acc[2] // n, 255 * n // (S * S)])
        else:
            row += bytes(4)
    rows.append(bytes(row))


def chunk(tag, data):
    return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)


png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) \
    + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
with open(sys.argv[1], "wb") as f:
    f.write(png)
