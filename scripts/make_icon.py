#!/usr/bin/env python3
"""Draws the application icon: a light play triangle in a teal ring on a
near-black disc, at every size the shell and the window frame ask for (16,
24, 32, 48 and 256 pixels, 32 bpp with alpha; the 256-pixel image stored as
PNG, as Windows expects it). Writes resources/app_icon.ico.

The drawing is given on a 100-unit square and rendered for each size with
4 x 4 samples per pixel, so small images keep smooth edges instead of being
shrunk from a large one."""
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)
SAMPLES = 4

RING = (0x16, 0xb8, 0x9c)  # RGB
TRIANGLE = (0xf2, 0xf2, 0xf2)
DISC = (0x12, 0x14, 0x1a)


def colour_at(u, v):
    """The colour at a point of the 100-unit square, or None outside."""
    dx, dy = u - 50, v - 50
    r2 = dx * dx + dy * dy
    if r2 > 49.5 * 49.5:
        return None
    if r2 > 42.5 * 42.5:
        return RING
    # Play triangle: left edge at 38, apex at 72, vertical middle at 50.
    if 38 <= u <= 72 and abs(dy) <= (72 - u) * 0.6:
        return TRIANGLE
    return DISC


def render(size):
    """Rows top-down, each pixel (r, g, b, a), colours not premultiplied."""
    rows = []
    step = 100.0 / size
    for y in range(size):
        row = []
        for x in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((x + (sx + 0.5) / SAMPLES) * step,
                                  (y + (sy + 0.5) / SAMPLES) * step)
                    if c is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += c[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                alpha = (covered * 255 + SAMPLES * SAMPLES // 2) // (SAMPLES * SAMPLES)
                row.append(tuple((t + covered // 2) // covered for t in total) + (alpha,))
        rows.append(row)
    return rows


def bmp_image(size, rows):
    """A 32 bpp DIB as icons store it: bottom-up BGRA, then an empty AND mask."""
    xor = b"".join(
        b"".join(struct.pack("BBBB", b, g, r, a) for (r, g, b, a) in row) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    and_mask = bytes(mask_stride * size)  # alpha carries the shape
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    return header + xor + and_mask


def png_image(size, rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(path):
    images = []
    for size in SIZES:
        rows = render(size)
        images.append(png_image(size, rows) if size >= 256 else bmp_image(size, rows))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, image in zip(SIZES, images):
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(directory + entries + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/app_icon.ico")
