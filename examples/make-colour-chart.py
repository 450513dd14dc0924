#!/usr/bin/env python3
"""Writes colour-chart.bmp, the demo picture: a 256 x 192 24-bit BMP with a
hue wheel on the left and a hue band on the right, fading to grey at the top
and to black at the bottom, so that every colour shift shows at a glance.

Run it from this folder; `make demo` uses the committed file."""

import colorsys
import math
import struct

WIDTH, HEIGHT = 256, 192
WHEEL_RADIUS = 88
WHEEL_CENTRE = (96, 96)


def colour_at(x, y):
    dx, dy = x - WHEEL_CENTRE[0] + 0.5, y - WHEEL_CENTRE[1] + 0.5
    radius = math.hypot(dx, dy)
    if radius <= WHEEL_RADIUS:
        # Hue around the centre, saturation rising outwards.
        hue = (math.atan2(-dy, dx) / (2 * math.pi)) % 1.0
        return colorsys.hsv_to_rgb(hue, radius / WHEEL_RADIUS, 1.0)
    if x >= 192:
        # Hue from top to bottom, saturation across the band.
        hue = y / HEIGHT
        return colorsys.hsv_to_rgb(hue, 0.35 + 0.65 * (x - 192) / 63, 0.95)
    # Around the wheel: a grey ramp from light (top) to dark (bottom).
    level = 0.9 - 0.8 * y / (HEIGHT - 1)
    return (level, level, level)


def main():
    stride = (WIDTH * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = colour_at(x, y)
            row += bytes((round(b * 255), round(g * 255), round(r * 255)))
        row += b"\0" * (stride - len(row))
        pixels += row
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open("colour-chart.bmp", "wb") as out:
        out.write(header + info + pixels)


if __name__ == "__main__":
    main()
