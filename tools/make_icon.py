#!/usr/bin/env python3
"""Draws the icon of gen_zumt_ter and writes it as a Windows icon file.

    tools/make_icon.py dialog/gen_zumt_ter.ico

The picture: two snow-capped hills under a blue sky, the land cut into square
tiles by darker lines, as the program cuts a terrain. Drawn from formulas at
32 x 32 and 16 x 16 pixels with a palette of 16 colours (4 bits per pixel),
the corners rounded off by the transparency mask.

Icon file layout (all little-endian):
  ICONDIR       reserved u16 = 0, type u16 = 1, count u16
  ICONDIRENTRY  per image: width u8, height u8, colours u8 (16), reserved u8,
                planes u16 (1), bits u16 (4), size u32, offset u32
  image         BITMAPINFOHEADER (40 bytes, height doubled for the mask),
                16 palette entries (blue, green, red, 0), the colour rows
                (4 bits per pixel) and the mask rows (1 bit per pixel, 1 =
                transparent), both bottom-up, each row padded to 4 bytes.
"""
import math
import struct
import sys

# (red, green, blue)
PALETTE = [
    (0, 0, 0),        # 0 transparent / outline
    (70, 120, 200),   # 1 sky, top
    (110, 160, 225),  # 2 sky
    (165, 205, 240),  # 3 sky, at the horizon
    (250, 250, 250),  # 4 snow, lit
    (200, 210, 225),  # 5 snow, shaded
    (140, 130, 120),  # 6 rock, lit
    (100, 92, 86),    # 7 rock, shaded
    (110, 180, 70),   # 8 meadow, lit
    (60, 130, 50),    # 9 meadow, shaded
    (40, 90, 35),     # 10 tile line on meadow
    (70, 64, 60),     # 11 tile line on rock
    (150, 160, 180),  # 12 tile line on snow
    (40, 60, 110),    # 13 frame
    (150, 110, 60),   # 14 valley floor
    (110, 80, 45),    # 15 tile line on the valley floor
]


def ground(u):
    """Height of the land (0 bottom .. 1 top) at u (0 left .. 1 right)."""
    peak1 = 0.80 - 1.5 * abs(u - 0.33)
    peak2 = 0.64 - 1.3 * abs(u - 0.74)
    return max(0.22 + 0.03 * math.sin(9 * u), peak1, peak2)


def colour_at(x, y, n):
    u = (x + 0.5) / n
    v = 1.0 - (y + 0.5) / n
    h = ground(u)
    if v > h:
        if v > 0.78:
            return 1
        return 2 if v > 0.55 else 3
    # The lit side faces the left.
    lit = ground(u + 0.02) <= ground(u - 0.02)
    step = 8
    on_line = x % step == step - 1 or y % step == step - 1
    if v > 0.58:
        return 12 if on_line else (4 if lit else 5)
    if v > 0.44:
        return 11 if on_line else (6 if lit else 7)
    if v > 0.18:
        return 10 if on_line else (8 if lit else 9)
    return 15 if on_line else 14


def transparent(x, y, n):
    """The rounded corners."""
    r = n / 6.0
    cx = min(max(x + 0.5, r), n - r)
    cy = min(max(y + 0.5, r), n - r)
    return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 > r * r


def on_frame(x, y, n):
    if transparent(x, y, n):
        return False
    return any(transparent(x + dx, y + dy, n) or not (0 <= x + dx < n and 0 <= y + dy < n)
               for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))


def image(n):
    pixels = [[0] * n for _ in range(n)]
    mask = [[0] * n for _ in range(n)]
    for y in range(n):
        for x in range(n):
            if transparent(x, y, n):
                mask[y][x] = 1
            elif on_frame(x, y, n):
                pixels[y][x] = 13
            else:
                pixels[y][x] = colour_at(x, y, n)
    colour_row = (n * 4 + 31) // 32 * 4
    mask_row = (n + 31) // 32 * 4
    out = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0,
                      (colour_row + mask_row) * n, 0, 0, 16, 0)
    for r, g, b in PALETTE:
        out += struct.pack("<BBBB", b, g, r, 0)
    for y in reversed(range(n)):
        row = bytearray(colour_row)
        for x in range(n):
            row[x // 2] |= pixels[y][x] << (4 if x % 2 == 0 else 0)
        out += bytes(row)
    for y in reversed(range(n)):
        row = bytearray(mask_row)
        for x in range(n):
            if mask[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out += bytes(row)
    return out


def icon_file(sizes):
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    assert len(PALETTE) == 16
    with open(sys.argv[1], "wb") as f:
        f.write(icon_file([32, 16]))


if __name__ == "__main__":
    main()
