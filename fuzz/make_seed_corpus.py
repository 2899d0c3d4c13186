#!/usr/bin/env python3
"""Writes the seed corpus of the codec fuzzers from the golden messages.

Run from anywhere; it rewrites fuzz/corpus/. The files are committed so that
a fuzz build needs nothing but the compiler.
"""

import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))


def h(text):
    return bytes.fromhex(text.replace(" ", ""))


def s(text):
    data = text.encode()
    return bytes([7, len(data)]) + data


VALUES = {
    "null": h("00"),
    "true": h("01"),
    "false": h("02"),
    "int32_1": h("03 01 00 00 00"),
    "int64_minus_1": h("04 FF FF FF FF FF FF FF FF"),
    "double_1": h("06 00 00 00 00 00 00 00 00 00 00 00 00 00 F0 3F"),
    "string_abc": h("07 03 61 62 63"),
    "string_empty": h("07 00"),
    "string_254": h("07 FE FE 00") + b"x" * 254,
    "large_integer": h("05 02 31 32"),
    "uint8_list": h("08 02 00 FF"),
    "int32_list_1": h("09 01 00 00 01 00 00 00"),
    "int32_list_empty": h("09 00 00 00"),
    "int64_list": h("0A 01 00 00 00 00 00 00 02 00 00 00 00 00 00 00"),
    "double_list_empty": h("0B 00 00 00 00 00 00 00"),
    "float_list": h("0E 01 00 00 00 00 80 3F"),
    "list_null_true": h("0C 02 00 01"),
    "map_type_null": h("0D 01 07 04 74 79 70 65 00"),
    "short_int32": h("03 01 00"),
    "unknown_tag": h("0F"),
    "repeated_key": h("0D 02 07 01 61 03 01 00 00 00 07 01 61 03 02 00 00 00"),
    "nested_lists": h("0C 01") * 70 + h("00"),
}

NATIVE_MODE = (h("0D 04") + s("active") + h("01") + s("barHeightPx") + h("03 50 00 00 00")
               + s("rightPaddingPx") + h("03 2C 01 00 00") + s("topHeightPx")
               + h("03 28 00 00 00"))

CALLS = {
    "toggle_fullscreen": s("toggleFullscreen") + h("00"),
    "is_fullscreen": s("isFullscreen") + h("00"),
    "is_fullscreen_truncated": s("isFullscreen"),
    "int32_name": h("03 01 00 00 00"),
    "set_native_video_mode": s("setNativeVideoMode") + NATIVE_MODE,
    "set_video_host_bounds": s("setVideoHostBounds") + h("0D 02") + s("h")
    + h("03 E0 01 00 00") + s("w") + h("03 80 02 00 00"),
}

REPLIES = {
    "success_true": h("00 01"),
    "success_false": h("00 02"),
    "success_none": h("00 00"),
    "error_invalid_argument": h("01") + s("invalid_argument") + s("width is required")
    + h("00"),
    "error_empty_message": h("01") + s("bad_args") + h("00 0C 01 03 01 00 00 00"),
    "unknown_flag": h("02"),
    "empty": b"",
    "success_texture": h("00 0D 02") + s("sharedHandle") + s("3221225474") + s("textureId")
    + h("04 00 10 00 00 00 00 00 00"),
}


def write(folder, entries):
    path = os.path.join(HERE, "corpus", folder)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    for name, data in entries.items():
        with open(os.path.join(path, name), "wb") as out:
            out.write(data)


write("read_value", VALUES)
write("decode_call", {**CALLS, **{"value_" + k: v for k, v in VALUES.items()}})
write("decode_reply", {**REPLIES, **{"success_" + k: b"\0" + v for k, v in VALUES.items()}})
