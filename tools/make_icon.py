#!/usr/bin/env python3
"""Draws Zanthel's built-in tray icon and writes it as a Windows .ico file.

Six uncompressed images (16, 32 and 48 pixels, each at 4 and 8 bits per
pixel) in the standard icon-file layout. The output depends only on this
code, so the picture is changed by changing the drawing below.
"""
import struct
import sys

SIZES = (16, 32, 48)
DEPTHS = (4, 8)

# Palette entries shared by both depths (blue, green, red order as in a DIB).
BACKGROUND = (0, 0, 0)
RING = (0x9c, 0x4a, 0x12)      # deep blue
FACE = (0xf2, 0xd8, 0xb0)      # light blue
NEEDLE = (0x20, 0x30, 0xd8)    # red
HUB = (0x30, 0x30, 0x30)       # dark grey
COLOURS = (BACKGROUND, RING, FACE, NEEDLE, HUB)


def draw(size):
    """A gauge: a ring, a light face and a needle. Returns (colour index, opaque) rows, top first."""
    centre = (size - 1) / 2.0
    outer = size / 2.0
    inner = outer * 0.78
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x - centre, centre - y
            r2 = dx * dx + dy * dy
            if r2 > outer * outer:
                row.append((0, False))
                continue
            colour = 2 if r2 <= inner * inner else 1
            # Needle from the hub towards the upper right, a few pixels wide.
            along = (dx + dy) / 2 ** 0.5
            across = abs(dx - dy) / 2 ** 0.5
            if 0 <= along <= inner * 0.9 and across <= max(1.0, size / 16.0):
                colour = 3
            if r2 <= (size / 10.0) ** 2:
                colour = 4
            row.append((colour, True))
        pixels.append(row)
    return pixels


def row_bytes(bits):
    return ((bits + 31) // 32) * 4


def image(size, depth):
    pixels = draw(size)
    palette_len = 1 << depth
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0,
                         0, 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", *c, 0) for c in COLOURS)
    palette += b"\0" * (4 * palette_len - len(palette))
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # DIBs store the bottom row first
        bits = [c for c, _ in row]
        line = bytearray()
        if depth == 8:
            line.extend(bits)
        else:
            for i in range(0, size, 2):
                line.append((bits[i] << 4) | bits[i + 1])
        line.extend(b"\0" * (row_bytes(size * depth) - len(line)))
        xor.extend(line)
        mline = bytearray(row_bytes(size))
        for x, (_, opaque) in enumerate(row):
            if not opaque:
                mline[x // 8] |= 0x80 >> (x % 8)
        mask.extend(mline)
    return header + palette + bytes(xor) + bytes(mask)


def icon_file():
    images = [(s, d, image(s, d)) for d in DEPTHS for s in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, depth, data in images:
        colours = 16 if depth == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, depth,
                           len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    data = icon_file()
    if len(data) != 10134:
        sys.exit("icon has %d bytes, expected 10134" % len(data))
    with open(sys.argv[1], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
