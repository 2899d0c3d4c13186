#!/usr/bin/env python3
"""Draws the application icon (100 x 100, 32 bpp): a light play triangle in a
teal ring on a near-black disc. Writes resources/app_icon.ico."""
import math
import struct
import sys

SIZE = 100


def pixel(x, y):
    cx = cy = (SIZE - 1) / 2
    r = math.hypot(x - cx, y - cy)
    if r > 49:
        return (0, 0, 0, 0)
    alpha = 255 if r < 48 else int(255 * (49 - r))
    if r > 42:
        return (0x9c, 0xb8, 0x16, alpha)  # teal ring (BGRA)
    # Play triangle: left edge x=38, apex at x=72, vertical middle at cy.
    if 38 <= x <= 72 and abs(y - cy) <= (72 - x) * 0.6:
        return (0xf2, 0xf2, 0xf2, 255)
    return (0x1a, 0x14, 0x12, 255)


def main(path):
    rows = []
    for y in range(SIZE - 1, -1, -1):  # DIBs are stored bottom-up
        rows.append(b"".join(struct.pack("BBBB", *pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    mask_stride = ((SIZE + 31) // 32) * 4
    and_mask = bytes(mask_stride * SIZE)  # alpha carries the shape
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    image = header + xor + and_mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/app_icon.ico")
