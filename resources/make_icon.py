#!/usr/bin/env python3
"""Draws the program icon: a letter envelope with a green round badge carrying a
white arrow (a message on its way into another format).

Writes brimvault-converter-16.png, -32.png, -48.png and brimvault-converter.ico
(the three sizes as 32-bit images) next to this script. Standard library only:
    python3 resources/make_icon.py
"""
import math
import os
import struct
import zlib

SIZES = (16, 32, 48)
SUPERSAMPLE = 6

PAPER = (250, 246, 232)
INK = (38, 70, 120)
FLAP = (222, 214, 190)
BADGE = (36, 150, 78)
BADGE_RIM = (20, 100, 50)
WHITE = (255, 255, 255)


def dist_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy)


def in_polygon(px, py, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def in_round_rect(px, py, x0, y0, x1, y1, r):
    if px < x0 or px > x1 or py < y0 or py > y1:
        return False
    cx = min(max(px, x0 + r), x1 - r)
    cy = min(max(py, y0 + r), y1 - r)
    return math.hypot(px - cx, py - cy) <= r


def shade(x, y, size):
    """Colour and opacity at a point given in units of the icon (0..1)."""
    line = max(1.0 / size, 0.055)
    # Envelope body.
    ex0, ey0, ex1, ey1 = 0.04, 0.18, 0.80, 0.74
    colour, alpha = None, 0.0
    if in_round_rect(x, y, ex0, ey0, ex1, ey1, 0.05):
        colour, alpha = PAPER, 1.0
        tip = (0.42, 0.50)
        if in_polygon(x, y, [(ex0, ey0), (ex1, ey0), tip]):
            colour = FLAP
        inner = not in_round_rect(x, y, ex0 + line, ey0 + line, ex1 - line, ey1 - line, 0.03)
        on_flap = min(dist_to_segment(x, y, ex0, ey0, *tip), dist_to_segment(x, y, ex1, ey0, *tip)) < line / 2
        if inner or on_flap:
            colour = INK
    # Badge with the arrow, over the lower right corner.
    bx, by, br = 0.72, 0.70, 0.27
    d = math.hypot(x - bx, y - by)
    if d <= br:
        colour, alpha = (BADGE_RIM if d > br - line else BADGE), 1.0
        shaft = in_polygon(x, y, [(bx - 0.15, by - 0.045), (bx + 0.01, by - 0.045),
                                  (bx + 0.01, by + 0.045), (bx - 0.15, by + 0.045)])
        head = in_polygon(x, y, [(bx - 0.01, by - 0.13), (bx + 0.16, by), (bx - 0.01, by + 0.13)])
        if shaft or head:
            colour = WHITE
    return colour, alpha


def render(size):
    pixels = []
    n = SUPERSAMPLE
    for row in range(size):
        line = []
        for col in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    colour, alpha = shade((col + (sx + 0.5) / n) / size, (row + (sy + 0.5) / n) / size, size)
                    if alpha:
                        r += colour[0] * alpha
                        g += colour[1] * alpha
                        b += colour[2] * alpha
                        a += alpha
            if a:
                line.append((round(r / a), round(g / a), round(b / a), round(255 * a / (n * n))))
            else:
                line.append((0, 0, 0, 0))
        pixels.append(line)
    return pixels


def png_bytes(pixels):
    size = len(pixels)
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_bytes(pixels):
    """A 32-bit icon image: BITMAPINFOHEADER, bottom-up BGRA rows, then the AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((px[2], px[1], px[0], px[3])) for row in reversed(pixels) for px in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for col, px in enumerate(row):
            if px[3] == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bytes(bits)
    return header + colour + mask


def ico_bytes(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for size, pixels in images:
        blob = dib_bytes(pixels)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    images = []
    for size in SIZES:
        pixels = render(size)
        images.append((size, pixels))
        with open(os.path.join(here, "brimvault-converter-%d.png" % size), "wb") as f:
            f.write(png_bytes(pixels))
    with open(os.path.join(here, "brimvault-converter.ico"), "wb") as f:
        f.write(ico_bytes(images))


if __name__ == "__main__":
    main()
