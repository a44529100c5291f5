#!/usr/bin/env python3
"""Draws the application icon (res/ombrix.ico) and the logo bitmap (res/logo.bmp, 123 x 41,
24 bits per pixel). The pictures are committed; run this only to change them."""
import os
import struct

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


def icon_image(size):
    pixels = b""
    for y in reversed(range(size)):
        for x in range(size):
            s = size / 32.0
            inside = drop(16 * s, 19 * s, 10 * s, x + 0.5, y + 0.5)
            core = drop(16 * s, 20 * s, 4.5 * s, x + 0.5, y + 0.5) and y + 0.5 > 19 * s
            if core:
                pixels += bytes((120, 190, 90, 255))
            elif inside:
                pixels += bytes((170, 110, 20, 255))
            else:
                pixels += bytes((0, 0, 0, 0))
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return info + pixels + mask


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


if __name__ == "__main__":
    w, h, px = logo()
    with open(os.path.join(ROOT, "logo.bmp"), "wb") as f:
        f.write(bmp24(w, h, px))
    with open(os.path.join(ROOT, "ombrix.ico"), "wb") as f:
        f.write(ico([16, 32, 48]))
