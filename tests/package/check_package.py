#!/usr/bin/env python3
"""Builds the release archive from a mingw32 build with scripts/package and checks what a ghost
author gets: exactly KORVEL.dll, readme.txt, the two guides and the licence; the DLL and the files as
they are in the tree; readme.txt the Japanese guide in Shift_JIS with CRLF line ends; and the same
archive, byte for byte, when it is made again. Exits 77 (skipped) without a DLL."""
import argparse
import pathlib
import re
import subprocess
import sys
import tempfile
import zipfile

SKIPPED = 77
EXPECTED_NAMES = ["KORVEL.dll", "readme.txt", "guide.ja.md", "guide.en.md", "LICENSE"]


def make_archive(source, build_dir, output):
    completed = subprocess.run([sys.executable, str(source / "scripts" / "package"), "--build-dir", str(build_dir),
                                "--output", str(output), "--no-build"], capture_output=True, text=True)
    if completed.returncode != 0:
        raise SystemExit("scripts/package failed: %s%s" % (completed.stdout, completed.stderr))
    return pathlib.Path(completed.stdout.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--source", type=pathlib.Path, required=True)
    parser.add_argument("--build-dir", type=pathlib.Path, required=True)
    options = parser.parse_args()
    dll = options.build_dir / "KORVEL.dll"
    if not dll.exists():
        print("SKIP: no %s" % dll)
        return SKIPPED

    version = re.search(r"project\(\s*KORVEL\s+VERSION\s+([0-9.]+)",
                        (options.source / "CMakeLists.txt").read_text()).group(1)
    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)

    with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
        archive = make_archive(options.source, options.build_dir, pathlib.Path(first))
        again = make_archive(options.source, options.build_dir, pathlib.Path(second))
        check(archive.name == "KORVEL-%s-win32.zip" % version, "archive name %s" % archive.name)
        check(archive.read_bytes() == again.read_bytes(), "two runs made different archives")
        with zipfile.ZipFile(archive) as zipped:
            names = zipped.namelist()
            print("%s: %s" % (archive.name, ", ".join("%s (%d bytes)" % (i.filename, i.file_size)
                                                       for i in zipped.infolist())))
            check(sorted(names) == sorted(EXPECTED_NAMES), "entries %s, want %s" % (names, EXPECTED_NAMES))
            check(zipped.testzip() is None, "a damaged entry")
            read = {name: zipped.read(name) for name in names}

    tree = {
        "KORVEL.dll": dll.read_bytes(),
        "guide.ja.md": (options.source / "docs" / "guide.ja.md").read_bytes(),
        "guide.en.md": (options.source / "docs" / "guide.en.md").read_bytes(),
        "LICENSE": (options.source / "LICENSE").read_bytes(),
    }
    for name, data in tree.items():
        check(read.get(name) == data, "%s differs from the tree's" % name)
    check(tree["KORVEL.dll"][:2] == b"MZ", "KORVEL.dll is not a Windows binary")
    check(b"MIT License" in tree["LICENSE"] and b"The KORVEL developers" in tree["LICENSE"],
          "LICENSE is not the MIT licence of the KORVEL developers")

    readme = read.get("readme.txt", b"")
    check(b"\n" not in readme.replace(b"\r\n", b""), "readme.txt has a line end other than CRLF")
    check(readme.endswith(b"\r\n"), "readme.txt does not end with CRLF")
    try:
        text = readme.decode("shift_jis")  # strict Shift_JIS: the guide keeps to JIS X 0208
    except UnicodeDecodeError as error:
        failures.append("readme.txt is not Shift_JIS at byte %d: %s" % (error.start, readme[error.start:error.start + 4].hex(" ")))
        text = None
    if text is not None:
        guide = tree["guide.ja.md"].decode("utf-8")
        check(text.replace("\r\n", "\n") == guide, "readme.txt does not read as guide.ja.md")
        check("KORVEL.dll" in text and "CHARSETLIBEX" in text and "saoriregist" in text,
              "readme.txt lacks the install and call sections")

    for failure in failures:
        print("FAIL: " + failure)
    print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
