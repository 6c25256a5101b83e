#!/usr/bin/env python3
"""Draws the loader's icon and logo as PNG files (standard library only).

Usage: make_artwork.py [OUTPUT_DIR]   (default: the directory of this script)

The shapes are drawn at four times the final size and averaged down, which
gives smooth edges without any imaging library.
"""
import math
import os
import struct
import sys
import zlib

SS = 4  # supersampling factor

# A 5x7 pixel font for the logo's lettering (only the letters it needs).
GLYPHS = {
    "Z": ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    " ": ["00000"] * 7,
}


class Canvas:
    def __init__(self, width, height, background=(0, 0, 0, 0)):
        self.w, self.h = width * SS, height * SS
        self.px = [list(background) for _ in range(self.w * self.h)]

    def plot(self, x, y, color):
        if 0 <= x < self.w and 0 <= y < self.h:
            a = color[3] / 255.0
            p = self.px[y * self.w + x]
            for i in range(3):
                p[i] = round(color[i] * a + p[i] * (1 - a))
            p[3] = round(255 * (a + p[3] / 255.0 * (1 - a)))

    def fill(self, inside, color):
        """Fills every supersample whose centre satisfies inside(x, y) (final units)."""
        for y in range(self.h):
            fy = (y + 0.5) / SS
            for x in range(self.w):
                if inside((x + 0.5) / SS, fy):
                    self.plot(x, y, color)

    def rounded_rect(self, x0, y0, x1, y1, r, color):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            cx = min(max(x, x0 + r), x1 - r)
            cy = min(max(y, y0 + r), y1 - r)
            return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
        self.fill(inside, color)

    def circle(self, cx, cy, r, color, width=None):
        def inside(x, y):
            d = math.hypot(x - cx, y - cy)
            return d <= r and (width is None or d >= r - width)
        self.fill(inside, color)

    def polygon(self, points, color):
        def inside(x, y):
            hit = False
            j = len(points) - 1
            for i, (xi, yi) in enumerate(points):
                xj, yj = points[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    hit = not hit
                j = i
            return hit
        self.fill(inside, color)

    def text(self, x, y, cell, string, color):
        """Block letters from GLYPHS, cell = size of one font pixel (final units)."""
        for ch in string:
            rows = GLYPHS[ch]
            for row, bits in enumerate(rows):
                for col, bit in enumerate(bits):
                    if bit == "1":
                        self.rect(x + col * cell, y + row * cell, cell, cell, color)
            x += 6 * cell

    def rect(self, x, y, w, h, color):
        self.fill(lambda px, py: x <= px < x + w and y <= py < y + h, color)

    def png(self, path):
        fw, fh = self.w // SS, self.h // SS
        raw = bytearray()
        for y in range(fh):
            raw.append(0)
            for x in range(fw):
                acc = [0, 0, 0, 0]
                for sy in range(SS):
                    for sx in range(SS):
                        p = self.px[(y * SS + sy) * self.w + x * SS + sx]
                        a = p[3]
                        for i in range(3):
                            acc[i] += p[i] * a
                        acc[3] += a
                alpha = acc[3]
                if alpha:
                    raw += bytes(round(acc[i] / alpha) for i in range(3))
                else:
                    raw += b"\0\0\0"
                raw.append(round(alpha / (SS * SS)))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", fw, fh, 8, 6, 0, 0, 0)
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n")
            out.write(chunk(b"IHDR", header))
            out.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
            out.write(chunk(b"IEND", b""))


NAVY = (20, 52, 110, 255)
SKY = (70, 150, 230, 255)
WHITE = (255, 255, 255, 255)
ORANGE = (245, 150, 30, 255)
GREEN = (40, 170, 90, 255)


def draw_satellite_mark(c, x, y, s):
    """An orbit ring with a satellite above a chip: the receiver taking new firmware."""
    c.circle(x + 0.5 * s, y + 0.38 * s, 0.30 * s, SKY, width=0.05 * s)
    c.rect(x + 0.42 * s, y + 0.06 * s, 0.16 * s, 0.10 * s, WHITE)
    c.rect(x + 0.30 * s, y + 0.085 * s, 0.10 * s, 0.05 * s, SKY)
    c.rect(x + 0.60 * s, y + 0.085 * s, 0.10 * s, 0.05 * s, SKY)
    # arrow down into the chip
    c.rect(x + 0.44 * s, y + 0.22 * s, 0.12 * s, 0.26 * s, ORANGE)
    c.polygon([(x + 0.32 * s, y + 0.46 * s), (x + 0.68 * s, y + 0.46 * s),
               (x + 0.5 * s, y + 0.64 * s)], ORANGE)
    # the chip with its pins
    c.rounded_rect(x + 0.24 * s, y + 0.68 * s, x + 0.76 * s, y + 0.86 * s, 0.03 * s, GREEN)
    for i in range(5):
        px = x + (0.28 + i * 0.1) * s
        c.rect(px, y + 0.86 * s, 0.05 * s, 0.06 * s, WHITE)


def make_icon(path, size):
    c = Canvas(size, size)
    c.rounded_rect(0.5, 0.5, size - 0.5, size - 0.5, size * 0.18, NAVY)
    draw_satellite_mark(c, 0, 0, size)
    c.png(path)


def make_logo(path):
    w, h = 232, 60
    c = Canvas(w, h, background=(255, 255, 255, 255))
    c.rounded_rect(2, 2, w - 2, h - 2, 8, NAVY)
    draw_satellite_mark(c, 4, 2, 56)
    c.text(66, 10, 4, "ZELVAR", WHITE)
    c.text(68, 44, 1.6, "GPS", SKY)
    c.text(68 + 6 * 1.6 * 3 + 4, 44, 1.6, "LOADER", ORANGE)
    c.png(path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    make_icon(os.path.join(out, "zelvar-loader.png"), 64)
    make_icon(os.path.join(out, "zelvar-loader-32.png"), 32)
    make_logo(os.path.join(out, "logo.png"))


if __name__ == "__main__":
    main()
