#!/usr/bin/env python3
"""Draws the program's two icons and writes them as .ico files.

vantor.ico (group 101, the large icon): a blue rounded square with a white
"V" and a green badge with a downward arrow, the sign of an update (from 24 pixels
up). Sizes 16 to 64 as 32-bit bitmaps and 256 as PNG.
vantor_small.ico (group 102, the small icon of the caption bar): the square
and the "V" only, since a badge is unreadable at that size.

Each pixel's colour comes from signed distances to the shapes, so the edges
are anti-aliased without supersampling, and the output is the same on every
run (the .ico files are committed; run this again after changing a shape).
Only the standard library is used.
"""

import math
import os
import struct
import sys
import zlib

TOP = (0x3B, 0x82, 0xF6)      # blue
BOTTOM = (0x43, 0x38, 0xCA)   # indigo
EDGE = (0x1E, 0x29, 0x6B)     # dark rim of the square
WHITE = (0xFF, 0xFF, 0xFF)
GREEN = (0x16, 0xA3, 0x4A)


def rounded_square(x, y, half, radius):
    qx = abs(x - 0.5) - (half - radius)
    qy = abs(y - 0.5) - (half - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    inside = min(max(qx, qy), 0.0)
    return outside + inside - radius


def segment(x, y, ax, ay, bx, by, half_width):
    px, py = x - ax, y - ay
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - t * dx, py - t * dy) - half_width


def circle(x, y, cx, cy, radius):
    return math.hypot(x - cx, y - cy) - radius


def over(dst, colour, alpha):
    """Composites `colour` with coverage `alpha` over the premultiplied `dst`."""
    r, g, b, a = dst
    return (colour[0] * alpha + r * (1 - alpha),
            colour[1] * alpha + g * (1 - alpha),
            colour[2] * alpha + b * (1 - alpha),
            alpha + a * (1 - alpha))


def draw(size, badge):
    pixel = 1.0 / size
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            x = (i + 0.5) / size
            y = (j + 0.5) / size

            def coverage(distance):
                return max(0.0, min(1.0, 0.5 - distance / pixel))

            out = (0.0, 0.0, 0.0, 0.0)
            square = rounded_square(x, y, 0.47, 0.2)
            out = over(out, EDGE, coverage(square))
            t = max(0.0, min(1.0, (y - 0.03) / 0.94))
            fill = tuple(TOP[k] + (BOTTOM[k] - TOP[k]) * t for k in range(3))
            out = over(out, fill, coverage(square + max(0.035, pixel)))

            vx = 0.44 if badge else 0.5
            stroke = 0.075 if size > 20 else 0.09
            v = min(segment(x, y, vx - 0.24, 0.24, vx, 0.72, stroke),
                    segment(x, y, vx, 0.72, vx + 0.24, 0.24, stroke))
            out = over(out, WHITE, coverage(v))

            if badge:
                out = over(out, WHITE, coverage(circle(x, y, 0.74, 0.74, 0.24)))
                out = over(out, GREEN, coverage(circle(x, y, 0.74, 0.74, 0.195)))
                arrow = min(segment(x, y, 0.74, 0.62, 0.74, 0.84, 0.032),
                            segment(x, y, 0.655, 0.765, 0.74, 0.85, 0.032),
                            segment(x, y, 0.825, 0.765, 0.74, 0.85, 0.032))
                out = over(out, WHITE, coverage(arrow))

            r, g, b, a = out
            if a > 0:
                r, g, b = r / a, g / a, b / a
            row.append(tuple(int(round(max(0.0, min(255.0, c)))) for c in (r, g, b)) +
                       (int(round(a * 255)),))
        rows.append(row)
    return rows


def bitmap_entry(rows):
    """A 32-bit icon image: BITMAPINFOHEADER, bottom-up BGRA, AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for i, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return header + colour + bytes(mask)


def png_entry(rows):
    size = len(rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def write_ico(path, sizes, badge):
    images = []
    for size in sizes:
        # Below 24 pixels the badge turns into a blur: those sizes show the
        # square and the "V" only.
        rows = draw(size, badge and size >= 24)
        images.append((size, png_entry(rows) if size >= 256 else bitmap_entry(rows)))
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(path, "wb") as f:
        f.write(out)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_ico(os.path.join(folder, "vantor.ico"), [16, 20, 24, 32, 40, 48, 64, 256], badge=True)
    write_ico(os.path.join(folder, "vantor_small.ico"), [16, 20, 24, 32], badge=False)


if __name__ == "__main__":
    main()
