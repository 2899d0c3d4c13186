#!/usr/bin/env python3
"""Prints the version record of a PE file, as Explorer's Details tab reads it:
a line "fixed FILE_VERSION PRODUCT_VERSION" from VS_FIXEDFILEINFO, then a
line "NAME=VALUE" for each string of its StringFileInfo. Exits 1 without one.

Usage: pe_version.py FILE
"""
import struct
import sys

FIXED_SIGNATURE = 0xFEEF04BD


def read_block(data, at):
    """One VS_VERSIONINFO-style node: (key, value bytes or text, children, end)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_at = at + 6
    key_end = key_at
    while key_end + 1 < end and data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[key_at:key_end].decode("utf-16-le")
    cursor = (key_end + 2 + 3) & ~3
    if value_type == 1 and value_length:
        # A string: up to its terminator (tools count its length in bytes
        # or in characters); it has no children.
        text_end = cursor
        while text_end + 1 < end and data[text_end:text_end + 2] != b"\0\0":
            text_end += 2
        return key, data[cursor:text_end].decode("utf-16-le"), [], end
    value = data[cursor:cursor + (0 if value_type == 1 else value_length)]
    cursor = (cursor + len(value) + 3) & ~3
    children = []
    while cursor + 6 <= end:
        child = read_block(data, cursor)
        if child[3] <= cursor:
            break
        children.append(child)
        cursor = (child[3] + 3) & ~3
    return key, value, children, end


def version(ms, ls):
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def main(path):
    data = open(path, "rb").read()
    key_at = data.find("VS_VERSION_INFO".encode("utf-16-le"))
    if key_at < 6:
        print(f"{path}: no version record", file=sys.stderr)
        return 1
    # Offsets align to 32 bits from the record's start.
    key, fixed, children, _ = read_block(data[key_at - 6:], 0)
    if len(fixed) < 24:
        print(f"{path}: a version record without VS_FIXEDFILEINFO", file=sys.stderr)
        return 1
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != FIXED_SIGNATURE:
        print(f"{path}: a version record without VS_FIXEDFILEINFO", file=sys.stderr)
        return 1
    print("fixed", version(file_ms, file_ls), version(product_ms, product_ls))
    for child in children:
        if child[0] != "StringFileInfo":
            continue
        for table in child[2]:
            for name, text, _, _ in table[2]:
                print(f"{name}={text}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
