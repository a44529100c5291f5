#!/usr/bin/env python3
"""Draws the application icon (res/ombrix.ico) and the logo bitmap (res/logo.bmp, 123 x 41,
24 bits per pixel). The pictures are committed; run this only to change them."""
import math
import os
import struct
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")

# 5 x 7 letters for the logo's word.
GLYPHS = {
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
}


def lerp(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def drop(cx, cy, r, x, y):
    """A water drop: a circle with a point on top."""
    dx, dy = x - cx, y - cy
    if dx * dx + dy * dy <= r * r:
        return True
    return dy < 0 and -dy <= 1.6 * r and abs(dx) <= r * (1 + dy / (1.6 * r))


def teardrop(cx, cy, r, x, y):
    """A smooth water drop: a circle and the point 1.6 r above its centre, joined by the
    tangents from the point, so that no notch shows at large sizes."""
    dx, dy = x - cx, y - cy
    if dx * dx + dy * dy <= r * r:
        return True
    d = 1.6 * r
    t = y - (cy - d)  # along the axis, from the point down
    reach = (d * d - r * r) / d  # where the tangents touch the circle
    return 0 <= t <= reach and abs(dx) <= t * r / math.sqrt(d * d - r * r)


def logo():
    w, h = 123, 41
    px = [[lerp((18, 70, 120), (40, 150, 170), x / w) for x in range(w)] for y in range(h)]
    for y in range(h):
        for x in range(w):
            if drop(17, 24, 9, x, y):
                px[y][x] = (235, 245, 250)
            if drop(17, 24, 4, x, y) and y > 22:
                px[y][x] = (90, 190, 120)
    scale, left, top = 2, 38, 13
    for i, ch in enumerate("OMBRIX"):
        for gy, row in enumerate(GLYPHS[ch]):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for sy in range(scale):
                        for sx in range(scale):
                            x, y = left + i * 13 + gx * scale + sx, top + gy * scale + sy
                            if x < w:
                                px[y][x] = (255, 255, 255)
    return w, h, px


def bmp24(w, h, px):
    stride = (w * 3 + 3) & ~3
    rows = b""
    for y in reversed(range(h)):
        row = b"".join(bytes((b, g, r)) for (r, g, b) in px[y])
        rows += row + b"\0" * (stride - w * 3)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + rows


# The icon's sizes: Windows picks the one it needs for the caption, the task bar, Start, Settings
# and Explorer at 100 % to 200 % scaling, so that none is shrunk from another.
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
SUBSAMPLES = 4  # per pixel and direction: the edges get their coverage as alpha


def icon_pixel(size, x, y):
    """(b, g, r, a) of one pixel: the drop and its green core, drawn at 32 px and scaled."""
    s = size / 32.0
    drop_hits = core_hits = 0
    for sy in range(SUBSAMPLES):
        for sx in range(SUBSAMPLES):
            px = x + (sx + 0.5) / SUBSAMPLES
            py = y + (sy + 0.5) / SUBSAMPLES
            if teardrop(16 * s, 19.5 * s, 9.5 * s, px, py):
                drop_hits += 1
                if teardrop(16 * s, 20.5 * s, 4.5 * s, px, py) and py > 20 * s:
                    core_hits += 1
    if not drop_hits:
        return (0, 0, 0, 0)
    t = core_hits / drop_hits
    colour = lerp((170, 110, 20), (120, 190, 90), t)
    return colour + (round(255 * drop_hits / SUBSAMPLES ** 2),)


def icon_rows(size):
    """The rows of pixels, top first."""
    return [[icon_pixel(size, x, y) for x in range(size)] for y in range(size)]


def icon_bitmap(size):
    """A 32-bit DIB with alpha, bottom row first, and an empty AND mask."""
    pixels = b"".join(bytes(p) for row in reversed(icon_rows(size)) for p in row)
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return info + pixels + mask


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def icon_png(size):
    """The largest size as PNG, as Windows reads it from Vista on: a tenth of a DIB's bytes."""
    raw = b"".join(b"\0" + b"".join(bytes((r, g, b, a)) for (b, g, r, a) in row)
                   for row in icon_rows(size))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def ico(sizes):
    images = [icon_png(s) if s >= 256 else icon_bitmap(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


if __name__ == "__main__":
    w, h, px = logo()
    with open(os.path.join(ROOT, "logo.bmp"), "wb") as f:
        f.write(bmp24(w, h, px))
    with open(os.path.join(ROOT, "ombrix.ico"), "wb") as f:
        f.write(ico(ICON_SIZES))
