#!/usr/bin/env python3
"""Write the 32 x 32, 32-bit test icon whose alpha the icon tests check.

Usage: python3 tools/make_alpha_icon.py OUTPUT.ico

Pixel (x, y), rows from the top: alpha x*8 + y%8, red 0xC0, green y*8, blue 0x20.
The AND mask marks the fully transparent pixels.
"""

import struct
import sys

SIZE = 32


def main():
    rows = []
    mask_rows = []
    for y in reversed(range(SIZE)):  # the DIB is stored bottom-up
        rows.append(b"".join(struct.pack("<BBBB", 0x20, y * 8, 0xC0, x * 8 + y % 8)
                             for x in range(SIZE)))
        bits = 0
        for x in range(SIZE):
            if x * 8 + y % 8 == 0:
                bits |= 1 << (SIZE - 1 - x)
        mask_rows.append(struct.pack(">I", bits))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + b"".join(rows) + b"".join(mask_rows)
    icon = struct.pack("<HHH", 0, 1, 1)
    icon += struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(sys.argv[1], "wb") as out:
        out.write(icon + image)


if __name__ == "__main__":
    main()
