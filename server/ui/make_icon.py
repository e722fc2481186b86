#!/usr/bin/env python3
"""Draws the program's icon (a headset-blue tile with a white "V") and writes
it as a .ico file with a 16x16 and a 32x32 picture, 32 bits per pixel."""
import struct
import sys


def picture(size):
    """BGRA rows, top row first."""
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            # A tile with cut corners.
            corner = size // 8
            inside = not ((x < corner or x >= size - corner) and (y < corner or y >= size - corner))
            # The "V": two strokes from the top corners to the bottom middle.
            u = (x + 0.5) / size
            v = (y + 0.5) / size
            stroke = 0.09
            on_v = 0.2 < v < 0.82 and (abs(u - (0.22 + 0.28 * (v - 0.2) / 0.62)) < stroke
                                        or abs(u - (0.78 - 0.28 * (v - 0.2) / 0.62)) < stroke)
            if not inside:
                row += bytes((0, 0, 0, 0))
            elif on_v:
                row += bytes((255, 255, 255, 255))
            else:
                row += bytes((200, 110, 30, 255))  # blue, as B G R A
        rows.append(bytes(row))
    return rows


def bitmap(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(reversed(picture(size)))  # bottom row first
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # the alpha channel decides
    return header + pixels + mask


def main():
    sizes = (16, 32)
    images = [bitmap(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
