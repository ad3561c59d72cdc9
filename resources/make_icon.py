#!/usr/bin/env python3
"""Draws the program icon: a letter envelope with a green round badge carrying a
white arrow (a message on its way into another format).

Writes brimvault-converter-16.png, -32.png, -48.png, -64.png, -128.png, -256.png
(the sizes of a Linux desktop's icon theme) and brimvault-converter.ico next to this
script. The .ico holds 16, 32 and 48 pixels, each three times: 16 colours, 256 colours
and 32-bit colour with alpha. Standard library only:
    python3 resources/make_icon.py
"""
import math
import os
import struct
import zlib

SIZES = (16, 32, 48, 64, 128, 256)
ICO_SIZES = (16, 32, 48)
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


# The 16 colours of the standard Windows palette.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]
# 256 colours: a 6x6x6 cube and 40 greys.
CUBE256 = ([(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)] +
           [(round(i * 255 / 39),) * 3 for i in range(40)])


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((colour[k] - palette[i][k]) ** 2 for k in range(3)))


def and_mask(pixels):
    """1 bit per pixel, set where the icon is transparent; rows padded to 4 bytes."""
    size = len(pixels)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(pixels):
        bits = bytearray(stride)
        for col, px in enumerate(row):
            if px[3] < 128:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bytes(bits)
    return mask


def dib_bytes(pixels, bits):
    """One icon image: BITMAPINFOHEADER, palette, bottom-up colour rows, AND mask."""
    size = len(pixels)
    palette = {4: VGA16, 8: CUBE256}.get(bits, [])
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, len(palette), 0)
    table = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette)
    stride = ((size * bits + 31) // 32) * 4
    colour = b""
    for row in reversed(pixels):
        if bits == 32:
            line = b"".join(bytes((px[2], px[1], px[0], px[3])) for px in row)
        else:
            index = [nearest(px, palette) if px[3] >= 128 else 0 for px in row]
            if bits == 8:
                line = bytes(index)
            else:
                line = bytes((index[i] << 4) | (index[i + 1] if i + 1 < size else 0) for i in range(0, size, 2))
        colour += line + b"\x00" * (stride - len(line))
    return header + table + colour + and_mask(pixels)


def ico_bytes(images):
    entries = [(size, pixels, bits) for bits in (4, 8, 32) for size, pixels in images]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = []
    for size, pixels, bits in entries:
        blob = dib_bytes(pixels, bits)
        colours = {4: 16, 8: 0}.get(bits, 0)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    images = []
    for size in SIZES:
        pixels = render(size)
        if size in ICO_SIZES:
            images.append((size, pixels))
        with open(os.path.join(here, "brimvault-converter-%d.png" % size), "wb") as f:
            f.write(png_bytes(pixels))
    with open(os.path.join(here, "brimvault-converter.ico"), "wb") as f:
        f.write(ico_bytes(images))


if __name__ == "__main__":
    main()
