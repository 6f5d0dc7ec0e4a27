#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files next to this script:
every size Windows asks for from 100 % to 200 % display scaling (16, 20, 24, 32,
40, 48 and 64 pixels, 32-bit colour with alpha) and a 256-pixel image stored as
PNG, from which the sizes in between are scaled down.

    128 trackscrub.ico  the program: a cookie with a green tick
    129 ie.ico          Internet Explorer: a blue disc with a gold ring
    130 firefox.ico     Firefox: an orange disc around a blue globe
    135 safari.ico      Safari: a blue compass with a red and white needle
    136 chrome.ico      Google Chrome: red, yellow and green sectors, blue centre
    137 flash.ico       Flash: a red tile with a white bolt
    138 edge.ico        Microsoft Edge: a teal disc with a white wave
    139 brave.ico       Brave: an orange shield with a white chevron
    140 vivaldi.ico     Vivaldi: a crimson disc with a white diamond
    141 opera.ico       Opera: a dark red tile with three white stripes
    142 chromium.ico    Chromium: a blue hexagon around a white ring

Run it again after changing a drawing; the .ico files are committed.
"""
import math
import os
import struct
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
PNG_FROM = 256  # images this large are stored as PNG


def samples(size):
    """Samples per pixel along each axis: fewer where pixels are small already."""
    return 4 if size <= 64 else 2


def blend(dst, src):
    """Porter-Duff 'over' of two (r, g, b, a) colours with components 0..1."""
    sa = src[3]
    da = dst[3] * (1 - sa)
    a = sa + da
    if a == 0:
        return (0, 0, 0, 0)
    return tuple((src[i] * sa + dst[i] * da) / a for i in range(3)) + (a,)


def rgb(hexcode, alpha=1.0):
    return tuple(int(hexcode[i:i + 2], 16) / 255 for i in (0, 2, 4)) + (alpha,)


# Shapes in a unit square (0..1, y down); each returns True when the point is inside.
def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def rounded_box(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                hit = not hit
        return hit
    return inside


def thick_line(ax, ay, bx, by, w):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (w / 2) ** 2
    return inside


def sector(cx, cy, r, start_deg, end_deg):
    def inside(x, y):
        if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
            return False
        angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
        return start_deg <= angle < end_deg if start_deg < end_deg else (
            angle >= start_deg or angle < end_deg)
    return inside


ICONS = {
    "trackscrub": [
        (disc(0.45, 0.5, 0.42), rgb("8a5a2b")),
        (disc(0.45, 0.5, 0.37), rgb("d9a25f")),
        (disc(0.30, 0.38, 0.06), rgb("4a2a10")),
        (disc(0.52, 0.30, 0.05), rgb("4a2a10")),
        (disc(0.33, 0.64, 0.06), rgb("4a2a10")),
        (disc(0.55, 0.55, 0.05), rgb("4a2a10")),
        (thick_line(0.50, 0.70, 0.66, 0.86, 0.17), rgb("ffffff")),
        (thick_line(0.66, 0.86, 0.94, 0.42, 0.17), rgb("ffffff")),
        (thick_line(0.50, 0.70, 0.66, 0.86, 0.10), rgb("1f9a2e")),
        (thick_line(0.66, 0.86, 0.94, 0.42, 0.10), rgb("1f9a2e")),
    ],
    "ie": [
        (disc(0.5, 0.5, 0.40), rgb("0b5fb0")),
        (disc(0.5, 0.5, 0.30), rgb("3d9be9")),
        (polygon([(0.2, 0.46), (0.8, 0.46), (0.8, 0.56), (0.2, 0.56)]), rgb("ffffff")),
        (ring(0.5, 0.5, 0.49, 0.41), rgb("f2b705")),
    ],
    "firefox": [
        (disc(0.5, 0.5, 0.46), rgb("e66000")),
        (disc(0.56, 0.44, 0.30), rgb("2a3f8f")),
        (disc(0.62, 0.38, 0.12), rgb("5f7fd6")),
        (sector(0.5, 0.5, 0.46, 90, 200), rgb("ff9500")),
    ],
    "safari": [
        (disc(0.5, 0.5, 0.47), rgb("c8c8c8")),
        (disc(0.5, 0.5, 0.41), rgb("1a8cff")),
        (ring(0.5, 0.5, 0.36, 0.33), rgb("ffffff", 0.8)),
        (polygon([(0.5, 0.5), (0.78, 0.22), (0.44, 0.44)]), rgb("ff3b30")),
        (polygon([(0.5, 0.5), (0.78, 0.22), (0.56, 0.56)]), rgb("e02020")),
        (polygon([(0.5, 0.5), (0.22, 0.78), (0.44, 0.44)]), rgb("ffffff")),
        (polygon([(0.5, 0.5), (0.22, 0.78), (0.56, 0.56)]), rgb("e6e6e6")),
    ],
    "chrome": [
        (sector(0.5, 0.5, 0.46, 210, 330), rgb("db4437")),
        (sector(0.5, 0.5, 0.46, 330, 90), rgb("f4b400")),
        (sector(0.5, 0.5, 0.46, 90, 210), rgb("0f9d58")),
        (disc(0.5, 0.5, 0.22), rgb("ffffff")),
        (disc(0.5, 0.5, 0.16), rgb("4285f4")),
    ],
    "flash": [
        (rounded_box(0.06, 0.06, 0.94, 0.94, 0.16), rgb("c41e1e")),
        (polygon([(0.56, 0.14), (0.28, 0.56), (0.48, 0.56), (0.40, 0.88),
                  (0.74, 0.42), (0.54, 0.42), (0.64, 0.14)]), rgb("ffffff")),
    ],
    "edge": [
        (disc(0.5, 0.5, 0.46), rgb("0a7f8c")),
        (disc(0.5, 0.5, 0.38), rgb("25b0b9")),
        (thick_line(0.20, 0.56, 0.36, 0.44, 0.11), rgb("ffffff")),
        (thick_line(0.36, 0.44, 0.52, 0.56, 0.11), rgb("ffffff")),
        (thick_line(0.52, 0.56, 0.68, 0.44, 0.11), rgb("ffffff")),
        (thick_line(0.68, 0.44, 0.80, 0.53, 0.11), rgb("ffffff")),
    ],
    "brave": [
        (polygon([(0.12, 0.14), (0.88, 0.14), (0.84, 0.58), (0.5, 0.94), (0.16, 0.58)]),
         rgb("e8590c")),
        (polygon([(0.20, 0.22), (0.80, 0.22), (0.77, 0.56), (0.5, 0.85), (0.23, 0.56)]),
         rgb("ff8a3d")),
        (thick_line(0.30, 0.40, 0.50, 0.62, 0.12), rgb("ffffff")),
        (thick_line(0.50, 0.62, 0.70, 0.40, 0.12), rgb("ffffff")),
    ],
    "vivaldi": [
        (disc(0.5, 0.5, 0.46), rgb("b3122e")),
        (disc(0.5, 0.5, 0.39), rgb("e0344f")),
        (polygon([(0.5, 0.22), (0.74, 0.5), (0.5, 0.78), (0.26, 0.5)]), rgb("ffffff")),
        (polygon([(0.5, 0.38), (0.60, 0.5), (0.5, 0.62), (0.40, 0.5)]), rgb("e0344f")),
    ],
    "opera": [
        (rounded_box(0.08, 0.08, 0.92, 0.92, 0.22), rgb("8e1020")),
        (rounded_box(0.22, 0.26, 0.78, 0.36, 0.05), rgb("ffffff")),
        (rounded_box(0.22, 0.45, 0.78, 0.55, 0.05), rgb("ffffff")),
        (rounded_box(0.22, 0.64, 0.78, 0.74, 0.05), rgb("ffffff")),
    ],
    "chromium": [
        (polygon([(0.5 + 0.46 * math.cos(math.radians(a)), 0.5 + 0.46 * math.sin(math.radians(a)))
                  for a in range(30, 390, 60)]), rgb("2f5fa8")),
        (polygon([(0.5 + 0.38 * math.cos(math.radians(a)), 0.5 + 0.38 * math.sin(math.radians(a)))
                  for a in range(30, 390, 60)]), rgb("6a9be0")),
        (ring(0.5, 0.5, 0.24, 0.14), rgb("ffffff")),
        (disc(0.5, 0.5, 0.08), rgb("1d3f75")),
    ],
}


def render(layers, size):
    """Rows of (r, g, b, a) bytes, top row first."""
    n = samples(size)
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    colour = (0, 0, 0, 0)
                    for inside, paint in layers:
                        if inside(x, y):
                            colour = blend(colour, paint)
                    # premultiplied accumulation keeps edges free of dark fringes
                    for i in range(3):
                        acc[i] += colour[i] * colour[3]
                    acc[3] += colour[3]
            count = n * n
            a = acc[3] / count
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(acc[i] / acc[3] * 255) for i in range(3)) +
                           (round(a * 255),))
        rows.append(row)
    return rows


def bmp_entry(rows, size):
    """The DIB of one icon image: header, BGRA pixels bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(line)
    return header + pixels + mask


def png_entry(rows, size):
    """One icon image as a PNG file: 8-bit RGBA, no filtering."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_ico(path, layers):
    images = [(png_entry if size >= PNG_FROM else bmp_entry)(render(layers, size), size)
              for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        # A side of 256 is written as 0.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, layers in ICONS.items():
        write_ico(os.path.join(here, name + ".ico"), layers)
