#!/usr/bin/env python3
"""Draws the program's resource images with the standard library only:

resources/sweep.bmp  the sweep diagram, 200 x 98, 24 bits per pixel
resources/sola.ico   the program icon: 32x32 and 16x16 in 16 colours,
                     48x48 in 256 colours

Run from anywhere; the files are written beside the resource script.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resources")

# Tiny hand-made glyphs: '#' is ink. Latin letters 5 x 7, the kanji 10 x 10.
GLYPHS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    # 点: a stroke with its bar, the box, and the four dots below.
    "点": [
        ".....#....",
        ".....####.",
        ".....#....",
        ".########.",
        ".#......#.",
        ".#......#.",
        ".########.",
        "..........",
        ".#.#..#.#.",
        "#...#..#.#",
    ],
}


class Canvas:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def line(self, x0, y0, x1, y1, colour, thickness=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            for dy in range(thickness):
                self.put(x, y + dy, colour)

    def dashed_vertical(self, x, y0, y1, colour, dash=3, gap=2):
        y = y0
        while y <= y1:
            for i in range(dash):
                if y + i <= y1:
                    self.put(x, y + i, colour)
            y += dash + gap

    def dashed_horizontal(self, x0, x1, y, colour, dash=2, gap=2):
        x = x0
        while x <= x1:
            for i in range(dash):
                if x + i <= x1:
                    self.put(x + i, y, colour)
            x += dash + gap

    def text(self, x, baseline, string, colour):
        """Draws string with its glyphs standing on baseline (the row below the ink)."""
        for ch in string:
            rows = GLYPHS[ch]
            top = baseline - len(rows)
            for dy, row in enumerate(rows):
                for dx, cell in enumerate(row):
                    if cell == "#":
                        self.put(x + dx, top + dy, colour)
            x += len(rows[0]) + 1


def text_width(string):
    return sum(len(GLYPHS[ch][0]) + 1 for ch in string) - 1


def write_bmp24(path, canvas):
    row_size = (canvas.width * 3 + 3) & ~3
    data = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray()
        for r, g, b in canvas.pixels[y]:
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        data += row
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(data),
                         2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(data), 0, 0,
                              14 + len(header))
    with open(path, "wb") as f:
        f.write(file_header + header + data)


def draw_sweep():
    white = (255, 255, 255)
    ink = (0, 0, 0)
    wave = (0, 70, 200)
    guide = (128, 128, 128)
    c = Canvas(200, 98, white)
    high, low = 20, 74  # rows of B and A
    xs = [36, 76, 116, 156, 196]  # period boundaries: A, B, A, B, A
    for x in xs:
        c.dashed_vertical(x, 8, 84, guide)
    # Levels of A and B from the labels to the wave.
    c.dashed_horizontal(25, xs[0], low, guide)
    c.dashed_horizontal(25, xs[1], high, guide)
    for i in range(len(xs) - 1):
        y0, y1 = (low, high) if i % 2 == 0 else (high, low)
        c.line(xs[i], y0, xs[i + 1], y1, wave, thickness=2)
    c.text(2, high + 4, "B点", ink)
    c.text(2, low + 4, "A点", ink)
    # Interval names between the boundaries, with arrow-ended spans.
    for i in range(len(xs) - 1):
        name = "T1" if i % 2 == 0 else "T2"
        left, right = xs[i] + 2, xs[i + 1] - 2
        middle = (xs[i] + xs[i + 1]) // 2
        c.text(middle - text_width(name) // 2, 96, name, ink)
        arrow = 92
        c.line(left, arrow, middle - 8, arrow, ink)
        c.line(middle + 8, arrow, right, arrow, ink)
        for d in (1, 2):
            for x in (left + d, right - d):
                c.put(x, arrow - d, ink)
                c.put(x, arrow + d, ink)
    return c


# The standard 16 colours, in their usual order.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def icon_picture(size, background, edge, wave, transparent):
    """Index image: a rounded tile with a triangle wave across it, and its mask."""
    c = Canvas(size, size, transparent)
    radius = max(2, size // 8)
    mask = [[1] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            cx = min(max(x, radius), size - 1 - radius)
            cy = min(max(y, radius), size - 1 - radius)
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 <= radius * radius:
                near_edge = d2 > (radius - 1) ** 2 or x in (0, size - 1) or y in (0, size - 1)
                colour = edge if near_edge else background(y)
                c.put(x, y, colour)
                mask[y][x] = 0
    margin = max(2, size // 8)
    high, low = margin + size // 16, size - 1 - margin - size // 16
    points = [margin + (size - 1 - 2 * margin) * i // 4 for i in range(5)]
    thickness = max(1, size // 16)
    for i in range(4):
        y0, y1 = (low, high) if i % 2 == 0 else (high, low)
        c.line(points[i], y0 - thickness // 2, points[i + 1], y1 - thickness // 2, wave,
               thickness)
    return c, mask


def ico_image(canvas, mask, bpp, palette):
    size = canvas.width
    colours = 1 << bpp
    palette = (palette + [(0, 0, 0)] * colours)[:colours]
    xor_row = ((size * bpp + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    andm = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(xor_row)
        for x in range(size):
            index = canvas.pixels[y][x]
            if bpp == 8:
                row[x] = index
            else:
                shift = 4 if x % 2 == 0 else 0
                row[x // 2] |= index << shift
        xor += row
        bits = bytearray(and_row)
        for x in range(size):
            if mask[y][x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        andm += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(andm), 0,
                         0, 0, 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + pal + xor + andm


def draw_icon():
    images = []
    # 16 colours: navy tile, blue edge, yellow wave.
    for size in (32, 16):
        canvas, mask = icon_picture(size, lambda y: 4, 12, 11, 0)
        images.append((size, 4, ico_image(canvas, mask, 4, VGA16)))
    # 256 colours: the same with a shaded tile.
    palette = list(VGA16)
    shades = []
    for i in range(48):
        t = i / 47
        shades.append(len(palette))
        palette.append((int(20 + 30 * t), int(90 - 50 * t), int(210 - 90 * t)))
    canvas, mask = icon_picture(48, lambda y: shades[y], 4, 11, 0)
    images.append((48, 8, ico_image(canvas, mask, 8, palette)))

    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, bpp, data in images:
        colour_count = 16 if bpp == 4 else 0
        entries += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bpp, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def main():
    write_bmp24(os.path.join(OUT, "sweep.bmp"), draw_sweep())
    with open(os.path.join(OUT, "sola.ico"), "wb") as f:
        f.write(draw_icon())


if __name__ == "__main__":
    main()
