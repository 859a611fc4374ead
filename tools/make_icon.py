#!/usr/bin/env python3
"""Draws the window's icon: a grey spanner beside a screwdriver with an orange handle.

Writes a 24 x 24 PNG in 24-bit colour (8-bit RGB). The background is one key colour that the
PNG's tRNS chunk marks as transparent, the way an icon's mask works; no pixel of the drawing uses
it. Only the standard library is needed.

    python3 tools/make_icon.py gui/kestrel.png
"""

import struct
import sys
import zlib

SIZE = 24
BACKGROUND = (236, 236, 236)

STEEL = (170, 174, 179)
STEEL_LIGHT = (217, 220, 223)
STEEL_EDGE = (72, 76, 81)
ORANGE = (242, 138, 30)
ORANGE_LIGHT = (255, 192, 122)
ORANGE_GROOVE = (201, 104, 18)
ORANGE_EDGE = (150, 74, 8)


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_rect(x, y, left, top, right, bottom):
    return left <= x <= right and top <= y <= bottom


def in_round_rect(x, y, left, top, right, bottom, r):
    if not in_rect(x, y, left, top, right, bottom):
        return False
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    return in_circle(x, y, cx, cy, r)


def spanner(x, y):
    """An open-ended spanner standing upright on the left: jaws at the top, a rounded foot."""
    head = in_circle(x, y, 7.0, 5.2, 4.6)
    jaw = in_rect(x, y, 5.6, -1.0, 8.4, 5.0)
    shaft = in_rect(x, y, 5.4, 8.0, 8.6, 20.5)
    foot = in_circle(x, y, 7.0, 20.5, 1.9)
    return (head and not jaw) or shaft or foot


def blade(x, y):
    """The screwdriver's steel: a shaft with a flat tip, reaching down into the handle."""
    return in_rect(x, y, 15.8, 1.5, 18.2, 12.0) or in_rect(x, y, 16.4, 0.4, 17.6, 1.5)


def handle(x, y):
    return in_round_rect(x, y, 14.0, 11.0, 20.0, 23.0, 2.2)


def covered(shape, px, py):
    """Whether most of the pixel lies inside the shape (4 x 4 samples)."""
    hits = sum(
        shape(px + (i + 0.5) / 4, py + (j + 0.5) / 4) for i in range(4) for j in range(4)
    )
    return hits >= 8


def mask(shape):
    return [[covered(shape, px, py) for px in range(SIZE)] for py in range(SIZE)]


def is_edge(m, px, py):
    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
        nx, ny = px + dx, py + dy
        if not (0 <= nx < SIZE and 0 <= ny < SIZE) or not m[ny][nx]:
            return True
    return False


def paint(pixels, m, fill, edge, detail=None):
    for py in range(SIZE):
        for px in range(SIZE):
            if not m[py][px]:
                continue
            colour = edge if is_edge(m, px, py) else fill
            if detail and colour is fill:
                colour = detail(px, py) or fill
            pixels[py][px] = colour


def spanner_detail(px, py):
    return STEEL_LIGHT if px == 6 and 9 <= py <= 19 else None


def handle_detail(px, py):
    if px == 15 and 12 <= py <= 21:
        return ORANGE_LIGHT
    if px == 17 and 13 <= py <= 20:
        return ORANGE_GROOVE
    return None


def draw():
    pixels = [[BACKGROUND] * SIZE for _ in range(SIZE)]
    paint(pixels, mask(spanner), STEEL, STEEL_EDGE, spanner_detail)
    paint(pixels, mask(blade), STEEL_LIGHT, STEEL_EDGE)
    paint(pixels, mask(handle), ORANGE, ORANGE_EDGE, handle_detail)
    return pixels


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(pixels):
    raw = b"".join(b"\x00" + bytes(c for rgb in row for c in rgb) for row in pixels)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)  # 8 bits, truecolour
    key = struct.pack(">HHH", *BACKGROUND)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"tRNS", key)
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.png")
    with open(sys.argv[1], "wb") as out:
        out.write(png(draw()))


if __name__ == "__main__":
    main()
