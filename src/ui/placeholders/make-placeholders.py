#!/usr/bin/env python3
"""Draws the placeholder pictures of the preview and of the frame list's thumbnails: 100 x 50, 16
colours, black text on white inside a coloured border, written as 4-bit BMP files beside this
script. The letters come from the small bitmap font below, so the pictures look the same wherever
they are made."""

import pathlib
import struct

# 5 x 7 letters, one string of five "#"/"." per row; a descender adds a row below.
FONT = {
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "c": [".....", ".....", ".###.", "#....", "#....", "#....", ".###."],
    "d": ["....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "f": ["..##.", ".#...", ".#...", "###..", ".#...", ".#...", ".#..."],
    "g": [".....", ".....", ".####", "#...#", "#...#", ".####", "....#", ".###."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "m": [".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"],
    "n": [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "p": [".....", ".....", "####.", "#...#", "#...#", "####.", "#....", "#...."],
    "r": [".....", ".....", "#.##.", "##...", "#....", "#....", "#...."],
    "s": [".....", ".....", ".####", "#....", ".###.", "....#", "####."],
    "t": [".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##."],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    " ": ["....."] * 7,
}

# The 16 standard VGA colours; the pictures use white, black and one border colour.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, WHITE = 0, 15
WIDTH, HEIGHT, BORDER = 100, 50, 4

PICTURES = {
    "FILENOTFOUND": (9, ["File not found"]),   # red
    "BADFORMAT": (13, ["Bad format"]),         # magenta
    "MULTYSELECT": (12, ["Multiple", "selection"]),  # blue
    "LOADING": (7, ["Loading"]),               # light grey; the frame list's thumbnails only
}


def draw(border, lines):
    pixels = [[WHITE] * WIDTH for _ in range(HEIGHT)]
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if min(x, y, WIDTH - 1 - x, HEIGHT - 1 - y) < BORDER:
                pixels[y][x] = border
    line_height = 7 + 3
    top = (HEIGHT - len(lines) * line_height + 3) // 2
    for number, text in enumerate(lines):
        left = (WIDTH - len(text) * 6 + 1) // 2
        for index, letter in enumerate(text):
            for row, bits in enumerate(FONT[letter]):
                for column, bit in enumerate(bits):
                    if bit == "#":
                        pixels[top + number * line_height + row][left + index * 6 + column] = BLACK
    return pixels


def bmp(pixels):
    stride = (WIDTH * 4 + 31) // 32 * 4
    rows = b""
    for row in reversed(pixels):  # bottom row first
        packed = bytes((row[x] << 4) | (row[x + 1] if x + 1 < WIDTH else 0) for x in range(0, WIDTH, 2))
        rows += packed + b"\0" * (stride - len(packed))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(rows), 2835, 2835, 16, 0)
    return struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + info + palette + rows


if __name__ == "__main__":
    folder = pathlib.Path(__file__).parent
    for name, (border, lines) in PICTURES.items():
        (folder / (name + ".bmp")).write_bytes(bmp(draw(border, lines)))
