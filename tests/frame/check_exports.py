#!/usr/bin/env python3
"""Checks that a module binary exports exactly the named functions: the dynamic symbols of a
native module (nm -D), or the export table of a DLL (objdump -p)."""
import argparse
import re
import shutil
import subprocess
import sys


def shared_object_exports(path):
    output = subprocess.run(["nm", "-D", "--defined-only", path], capture_output=True, check=True, text=True).stdout
    return sorted(fields[2] for fields in (line.split() for line in output.splitlines()) if len(fields) == 3)


def dll_exports(path, objdump):
    output = subprocess.run([objdump, "-p", path], capture_output=True, check=True, text=True).stdout
    table = output.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) < 2:
        return []
    names = []
    for line in table[1].splitlines()[1:]:
        match = re.match(r"\s*\[\s*\d+\]\s+(\S+)\s*$", line)
        if not match:
            break
        names.append(match.group(1))
    return sorted(names)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("module")
    parser.add_argument("names", nargs="+", help="the functions it must export, and no others")
    parser.add_argument("--objdump", help="objdump that reads the DLL; without it the module is an ELF object")
    options = parser.parse_args()
    if options.objdump:
        if not shutil.which(options.objdump):
            sys.exit("no %s" % options.objdump)
        exports = dll_exports(options.module, options.objdump)
    else:
        exports = shared_object_exports(options.module)
    expected = sorted(options.names)
    print("%s exports: %s" % (options.module, " ".join(exports)))
    if exports != expected:
        print("FAIL: expected exactly %s" % " ".join(expected))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
