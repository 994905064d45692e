#!/usr/bin/env python3
"""Writes the control's toolbox image: a 16 x 15, 24-bit, uncompressed Windows bitmap.

    toolbox_bitmap.py OUTPUT.bmp

The picture is a white tile with a dark frame and rising green signal bars.
"""
import struct
import sys

ROWS = [  # top to bottom; F frame, G green, W white
    "FFFFFFFFFFFFFFFF",
    "FWWWWWWWWWWWWWWF",
    "FWWWWWWWWWWWWGWF",
    "FWWWWWWWWWWWWGWF",
    "FWWWWWWWWWWGWGWF",
    "FWWWWWWWWWWGWGWF",
    "FWWWWWWWWGWGWGWF",
    "FWWWWWWWWGWGWGWF",
    "FWWWWWWGWGWGWGWF",
    "FWWWWWWGWGWGWGWF",
    "FWWWWGWGWGWGWGWF",
    "FWWGWGWGWGWGWGWF",
    "FWWGWGWGWGWGWGWF",
    "FWWWWWWWWWWWWWWF",
    "FFFFFFFFFFFFFFFF",
]
COLORS = {"F": (0x00, 0x20, 0x40), "G": (0x20, 0xA0, 0x20), "W": (0xFF, 0xFF, 0xFF)}  # B, G, R


def bitmap() -> bytes:
    width, height = len(ROWS[0]), len(ROWS)
    stride = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(ROWS):  # stored bottom to top
        line = bytearray()
        for cell in row:
            line += bytes(COLORS[cell])
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: toolbox_bitmap.py OUTPUT.bmp")
    with open(sys.argv[1], "wb") as out:
        out.write(bitmap())
