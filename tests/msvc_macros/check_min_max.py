#!/usr/bin/env python3
"""Compiles the product translation units of a MinGW-w64 build once more,
syntax only, with their own flags from the compile database, as MSVC's
headers would meet them: <windows.h> and <minwindef.h> define function-like
min and max unless the build defines NOMINMAX (include/).

Two differences between the libraries are undone first, in a header forced
ahead of each unit. MSVC's standard library is immune to those macros (it
writes (min)(...) throughout) and libstdc++ is not, so the standard headers
the unit includes are parsed there, before any macro exists. MinGW-w64's
libstdc++ defines NOMINMAX for every C++ unit and MSVC's does not, so only a
NOMINMAX the build itself gives survives.

A unit whose headers (the build's dependency file, else the preprocessor's
list) do not reach <windows.h> cannot meet the macros and is only counted.
A probe first shows that the emulation bites: it must reject std::min after
<windows.h> without NOMINMAX and accept it with NOMINMAX.

Usage: check_min_max.py COMPILE_COMMANDS.json SOURCE_DIR FOLDER...
  FOLDER: the product's folders under SOURCE_DIR whose units are compiled.
"""
import json
import os
import re
import shlex
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
# Options that write files (objects, dependency files) and take a value.
WRITING_WITH_VALUE = {"-o", "-MF", "-MT", "-MQ"}
WRITING = {"-c", "-MD", "-MMD"}
# A public header of the C++ library (<vector>, <cstdint>): no extension,
# directly in its include folder (versioned on Linux, not in MinGW's).
STANDARD_HEADER = re.compile(r"/include/c\+\+/(?:[0-9][^/]*/)?([a-z_0-9]+)$")
FORCED = """#ifdef NOMINMAX
#define VELORA_BUILD_DEFINES_NOMINMAX
#endif
{includes}
#ifndef VELORA_BUILD_DEFINES_NOMINMAX
#undef NOMINMAX
#endif
"""


class Unit:
    def __init__(self, path, arguments, directory):
        self.path, self.directory = path, directory
        self.compile = [arguments[0]]
        self.depfile = None
        output = None
        values = iter(arguments[1:])
        for argument in values:
            if argument in WRITING_WITH_VALUE:
                value = next(values, "")
                if argument == "-o":
                    output = value
                elif argument == "-MF":
                    self.depfile = value
            elif argument not in WRITING:
                self.compile.append(argument)
        if self.depfile is None and output:
            self.depfile = output + ".d"  # where CMake's Makefiles keep it

    def headers(self):
        """Every file the unit includes, from the build if it has them."""
        depfile = os.path.join(self.directory, self.depfile or "")
        if self.depfile and os.path.isfile(depfile):
            with open(depfile, encoding="utf-8") as file:
                text = file.read()
        else:
            text = run(self.compile + ["-M"], self.directory)[1]
        rule = text.replace("\\\n", " ").split("\n\n")[0]
        return rule.split(":", 1)[-1].split()

    def check(self, scratch):
        """None when the unit never reaches <windows.h>, else (status, errors)."""
        headers = self.headers()
        if not any(header.endswith("/windows.h") for header in headers):
            return None
        standard = sorted({m.group(1) for m in map(STANDARD_HEADER.search, headers) if m})
        forced = os.path.join(scratch, os.path.basename(self.path) + ".h")
        with open(forced, "w", encoding="utf-8") as file:
            file.write(FORCED.format(includes="\n".join(f"#include <{h}>" for h in standard)))
        emulation = ["-isystem", os.path.join(HERE, "include"), "-include", forced,
                     "-fsyntax-only"]
        return run(self.compile[:1] + emulation + self.compile[1:], self.directory)


def run(command, directory):
    done = subprocess.run(command, cwd=directory, capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


def main():
    database, source_dir = sys.argv[1], os.path.realpath(sys.argv[2])
    folders = [os.path.join(source_dir, folder) + os.sep for folder in sys.argv[3:]]
    with open(database, encoding="utf-8") as file:
        entries = json.load(file)
    units = []
    for entry in entries:
        path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
        if path.endswith(".cc") and any(path.startswith(folder) for folder in folders):
            arguments = entry.get("arguments") or shlex.split(entry["command"])
            units.append(Unit(path, arguments, entry["directory"]))
    if not units:
        print(f"FAIL: no product translation unit in {database}")
        return 1

    with tempfile.TemporaryDirectory() as scratch:
        probe_source = os.path.join(HERE, "min_max_probe.cc")
        probe = [units[0].compile[0], "-std=c++17", probe_source]
        status, errors = Unit(probe_source, probe, HERE).check(scratch)
        if status == 0 or "min_max_probe.cc" not in errors:
            print("FAIL: without NOMINMAX the emulation accepts std::min after <windows.h>")
            return 1
        status, errors = Unit(probe_source, probe + ["-DNOMINMAX"], HERE).check(scratch)
        if status != 0:
            print(f"FAIL: with NOMINMAX the emulation rejects the probe:\n{errors}")
            return 1

        with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
            results = list(pool.map(lambda unit: unit.check(scratch), units))
    compiled = [(unit, result) for unit, result in zip(units, results) if result is not None]
    failed = [(unit, errors) for unit, (status, errors) in compiled if status != 0]
    for unit, errors in failed:
        print(f"FAIL: {os.path.relpath(unit.path, source_dir)}\n{errors}")
    print(f"{len(compiled) - len(failed)} of the {len(compiled)} product translation units "
          f"that include <windows.h> compile with its min and max macros; "
          f"{len(units) - len(compiled)} more never include it")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
