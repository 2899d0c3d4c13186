#!/usr/bin/env python3
"""Compiles the product translation units of a MinGW-w64 build once more,
syntax only, with their own flags from the compile database, as MSVC's
headers would meet them: <windows.h> and <minwindef.h> define function-like
min and max unless the build defines NOMINMAX (include/). msvc_first.h,
forced ahead of each unit, undoes where the two standard libraries differ.

Only units that reach <windows.h> can meet the macros; a unit whose headers
(the build's dependency file, else the preprocessor's list) never include it
is only counted. A probe first shows that the emulation bites: it must reject
std::min after <windows.h> without NOMINMAX and accept it with NOMINMAX.

Usage: check_min_max.py COMPILE_COMMANDS.json SOURCE_DIR FOLDER...
  FOLDER: the product's folders under SOURCE_DIR whose units are compiled.
"""
import json
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
# Options that write files (objects, dependency files) and take a value.
WRITING_WITH_VALUE = {"-o", "-MF", "-MT", "-MQ"}
WRITING = {"-c", "-MD", "-MMD"}


def run(command, directory):
    done = subprocess.run(command, cwd=directory, capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


class Unit:
    """A compile command without its outputs: compiler, options, source."""

    def __init__(self, path, arguments, directory, source):
        self.path, self.directory, self.source = path, directory, source
        self.compiler, self.options = arguments[0], []
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
            elif argument not in WRITING and argument != source:
                self.options.append(argument)
        if self.depfile is None and output:
            self.depfile = output + ".d"  # where CMake's Makefiles keep it

    def reaches_windows_h(self):
        depfile = os.path.join(self.directory, self.depfile or "")
        if self.depfile and os.path.isfile(depfile):
            with open(depfile, encoding="utf-8") as file:
                headers = file.read()
        else:
            headers = run([self.compiler, *self.options, "-M", self.source], self.directory)[1]
        return any(h.endswith("/windows.h") for h in headers.replace("\\\n", " ").split())

    def syntax_only(self, forced, options=None, source=None):
        """Compiles, syntax only, with the emulation ahead of everything."""
        command = [self.compiler, "-isystem", os.path.join(HERE, "include"), "-include", forced,
                   *(self.options if options is None else options), "-fsyntax-only",
                   source or self.source]
        return run(command, self.directory)


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
            units.append(Unit(path, arguments, entry["directory"], entry["file"]))
    checked = [unit for unit in units if unit.reaches_windows_h()]
    if not checked:
        print(f"FAIL: no product translation unit in {database} includes <windows.h>")
        return 1
    first = checked[0]

    probe = os.path.join(HERE, "min_max_probe.cc")
    without = [option for option in first.options if option != "-DNOMINMAX"]
    with tempfile.TemporaryDirectory() as scratch, \
            ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        forced = shutil.copy(os.path.join(HERE, "msvc_first.h"), scratch)
        # The probe without NOMINMAX cannot use the precompiled header (other
        # macros), so it runs while that is made.
        bare_probe = pool.submit(first.syntax_only, forced, without, probe)
        # Precompiled with the units' own options (they share them; a unit
        # with others reads the header itself, only slower), and put in place
        # whole.
        status, errors = run([first.compiler, "-isystem", os.path.join(HERE, "include"),
                              *first.options, "-x", "c++-header", forced, "-o", forced + ".tmp"],
                             first.directory)
        if status != 0:
            print(f"FAIL: the forced header does not compile:\n{errors}")
            return 1
        os.replace(forced + ".tmp", forced + ".gch")
        probe_result = pool.submit(first.syntax_only, forced, without + ["-DNOMINMAX"], probe)
        results = list(pool.map(lambda unit: unit.syntax_only(forced), checked))

        status, errors = bare_probe.result()
        if status == 0 or "min_max_probe.cc" not in errors:
            print("FAIL: without NOMINMAX the emulation accepts std::min after <windows.h>")
            return 1
        status, errors = probe_result.result()
        if status != 0:
            print(f"FAIL: with NOMINMAX the emulation rejects the probe:\n{errors}")
            return 1
    failed = 0
    for unit, (status, errors) in zip(checked, results):
        if status != 0:
            failed += 1
            print(f"FAIL: {os.path.relpath(unit.path, source_dir)}\n{errors}")
    print(f"{len(checked) - failed} of the {len(checked)} product translation units that "
          f"include <windows.h> compile with its min and max macros; "
          f"{len(units) - len(checked)} more never include it")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
