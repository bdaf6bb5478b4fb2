#!/usr/bin/env python3
"""Draws the pictures of TervoloPLUS and writes them as .bmp and .ico files.

Run from anywhere: python3 res/make_pictures.py
The outputs are committed next to this script (res/pictures/, res/TervoloPLUS.ico), so a build
needs no Python. Standard library only.

Pictures:
  129/130  boot-code button, red (off) / green (on) field with BOOT in black
  132/133  main-code button, red / green field with MAIN
  131/134  language-pack button, red / green field with LANGUAGE
  137      green octagon marked START beside the words Start download
  138      red octagon marked STOP beside the words Stop download
  145      logo, 221 x 27 pixels
  128      program icon, 32 x 32 and 16 x 16
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# 5 x 7 glyphs, one string per row, '#' marks a pixel.
GLYPHS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###."],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "d": ["....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "p": [".....", ".....", "####.", "#...#", "####.", "#....", "#...."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "t": [".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##."],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "w": [".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    " ": ["....."] * 7,
}

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
GREEN = (0, 176, 0)
RED = (208, 0, 0)
GREY = (192, 192, 192)  # the button face of the classic look
NAVY = (0, 0, 128)
GOLD = (255, 204, 0)


class Picture:
    def __init__(self, width, height, fill):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def text(self, x, y, text, colour, scale=1):
        for ch in text:
            for row, bits in enumerate(GLYPHS[ch]):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        self.rect(x + col * scale, y + row * scale,
                                  x + (col + 1) * scale, y + (row + 1) * scale, colour)
            x += 6 * scale

    def octagon(self, x0, y0, size, colour):
        cut = size * 29 // 100  # corner cut of a regular octagon
        for y in range(size):
            inset = max(0, cut - y, y - (size - 1 - cut))
            for x in range(inset, size - inset):
                self.put(x0 + x, y0 + y, colour)

    def bmp_rows(self):
        """Bottom-up BGR rows, each padded to a multiple of four bytes."""
        pad = (4 - (self.width * 3) % 4) % 4
        rows = []
        for y in range(self.height - 1, -1, -1):
            row = bytearray()
            for r, g, b in self.pixels[y]:
                row += bytes((b, g, r))
            rows.append(bytes(row) + b"\0" * pad)
        return b"".join(rows)


def text_width(text, scale=1):
    return (6 * len(text) - 1) * scale


def write_bmp(path, picture):
    data = picture.bmp_rows()
    info = struct.pack("<IiiHHIIiiII", 40, picture.width, picture.height, 1, 24, 0, len(data),
                       2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_ico(path, pictures):
    """An icon file of 24-bit images, each with an all-visible AND mask."""
    images = []
    for p in pictures:
        xor = p.bmp_rows()
        mask_stride = ((p.width + 31) // 32) * 4
        mask = b"\0" * (mask_stride * p.height)
        info = struct.pack("<IiiHHIIiiII", 40, p.width, p.height * 2, 1, 24, 0,
                           len(xor) + len(mask), 0, 0, 0, 0)
        images.append((p, info + xor + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for p, blob in images:
        out += struct.pack("<BBBBHHII", p.width % 256, p.height % 256, 0, 0, 1, 24, len(blob),
                           offset)
        offset += len(blob)
    for _, blob in images:
        out += blob
    with open(path, "wb") as f:
        f.write(out)


def section_picture(word, on, width, height):
    p = Picture(width, height, GREEN if on else RED)
    scale = 2 if text_width(word, 2) <= width - 6 else 1
    x = (width - text_width(word, scale)) // 2
    y = (height - 7 * scale) // 2
    p.text(x, y, word, BLACK, scale)
    return p


def start_stop_picture(sign, words, colour):
    p = Picture(148, 52, GREY)
    p.octagon(2, 2, 48, WHITE)
    p.octagon(4, 4, 44, colour)
    p.text(2 + (48 - text_width(sign)) // 2, 2 + (48 - 7) // 2, sign, WHITE)
    p.text(58, (52 - 7) // 2, words, BLACK)
    return p


def logo_picture():
    p = Picture(221, 27, NAVY)
    p.rect(0, 23, 221, 25, GOLD)
    p.text(6, 4, "TervoloPLUS", WHITE, 2)
    p.text(6 + text_width("TervoloPLUS", 2) + 12, 11, "Halvern", GOLD)
    return p


def icon_picture(size):
    p = Picture(size, size, GREY)
    p.octagon(0, 0, size, GREEN)
    scale = 3 if size >= 32 else 1
    p.text((size - text_width("T", scale)) // 2, (size - 7 * scale) // 2, "T", WHITE, scale)
    return p


def main():
    out = os.path.join(HERE, "pictures")
    os.makedirs(out, exist_ok=True)
    sections = {
        "boot_code": ("BOOT", 72, 26),
        "main_code": ("MAIN", 72, 88),
        "language_pack": ("LANGUAGE", 72, 88),
    }
    for name, (word, w, h) in sections.items():
        write_bmp(os.path.join(out, name + "_off.bmp"), section_picture(word, False, w, h))
        write_bmp(os.path.join(out, name + "_on.bmp"), section_picture(word, True, w, h))
    write_bmp(os.path.join(out, "start_download.bmp"),
              start_stop_picture("START", "Start download", GREEN))
    write_bmp(os.path.join(out, "stop_download.bmp"),
              start_stop_picture("STOP", "Stop download", RED))
    write_bmp(os.path.join(out, "logo.bmp"), logo_picture())
    write_ico(os.path.join(HERE, "TervoloPLUS.ico"), [icon_picture(32), icon_picture(16)])


if __name__ == "__main__":
    main()
