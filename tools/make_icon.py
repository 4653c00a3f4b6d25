#!/usr/bin/env python3
"""Draws Zanthel's built-in tray icon and writes it as a Windows .ico file.

One 32-bit image with alpha for each small-icon size the notification area
asks for at 100 % to 300 % scale, each drawn at its own size (antialiased,
not scaled from another), so no scale gets a stretched, blurred picture.
Images from PNG_FROM pixels up are PNG-compressed (Windows Vista and later
read them), which keeps the DLL small. The output depends only on this code
and zlib, so the picture is changed by changing the drawing below.
"""
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48)
PNG_FROM = 20
# The icon is the bulk of the DLL's resources; the DLLs must stay within 100 KB.
MAX_BYTES = 9 * 1024
# Samples per pixel side for the antialiasing.
SUPERSAMPLE = 8

# Colours as (red, green, blue).
RING = (0x12, 0x4a, 0x9c)      # deep blue
FACE = (0xb0, 0xd8, 0xf2)      # light blue
NEEDLE = (0xd8, 0x30, 0x20)    # red
HUB = (0x30, 0x30, 0x30)       # dark grey


def colour_at(x, y, size):
    """A gauge: a ring, a light face and a needle; None outside it.

    x and y are in pixels from the top left corner."""
    centre = size / 2.0
    outer = size / 2.0
    inner = outer * 0.78
    dx, dy = x - centre, centre - y
    r2 = dx * dx + dy * dy
    if r2 > outer * outer:
        return None
    if r2 <= (size / 10.0) ** 2:
        return HUB
    # Needle from the hub towards the upper right, a few pixels wide.
    along = (dx + dy) / 2 ** 0.5
    across = abs(dx - dy) / 2 ** 0.5
    if 0 <= along <= inner * 0.9 and across <= max(1.0, size / 16.0):
        return NEEDLE
    return FACE if r2 <= inner * inner else RING


def draw(size):
    """Rows of (red, green, blue, alpha), top first; the colour is not premultiplied."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            covered = [0, 0, 0]
            count = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    colour = colour_at(x + (sx + 0.5) / SUPERSAMPLE, y + (sy + 0.5) / SUPERSAMPLE, size)
                    if colour:
                        count += 1
                        covered = [c + v for c, v in zip(covered, colour)]
            if count == 0:
                row.append((0, 0, 0, 0))
            else:
                alpha = (255 * count + SUPERSAMPLE ** 2 // 2) // SUPERSAMPLE ** 2
                row.append(tuple((c + count // 2) // count for c in covered) + (alpha,))
        rows.append(row)
    return rows


def dib(size, rows):
    """A 32-bit icon image: header, colour bits bottom row first, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    mask_row = ((size + 31) // 32) * 4
    for row in reversed(rows):
        line = bytearray(mask_row)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(colour) + bytes(mask)


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def filtered(line, previous):
    """The line under the PNG filter that leaves the smallest sum of residues."""
    candidates = []
    for kind in range(5):
        out = bytearray([kind])
        for i, value in enumerate(line):
            left = line[i - 4] if i >= 4 else 0
            up = previous[i]
            corner = previous[i - 4] if i >= 4 else 0
            predicted = (0, left, up, (left + up) // 2, paeth(left, up, corner))[kind]
            out.append((value - predicted) & 0xFF)
        candidates.append(out)
    return min(candidates, key=lambda out: sum(v if v < 128 else 256 - v for v in out[1:]))


def png(size, rows):
    raw = bytearray()
    previous = bytes(4 * size)
    for row in rows:
        line = bytes(v for pixel in row for v in pixel)
        raw += filtered(line, previous)
        previous = line
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            png_chunk(b"IEND", b""))


def icon_file():
    images = [(size, (png if size >= PNG_FROM else dib)(size, draw(size))) for size in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    data = icon_file()
    if len(data) > MAX_BYTES:
        sys.exit("icon has %d bytes, more than the %d the DLL can spare" % (len(data), MAX_BYTES))
    with open(sys.argv[1], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
