#!/usr/bin/env python3
"""The committed request sets functions/ and hosts/ are what their generators write now."""
import filecmp
import pathlib
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent


def main():
    failures = 0
    for generator, bank in (("make_function_bank.py", "functions"), ("make_host_bank.py", "hosts")):
        with tempfile.TemporaryDirectory() as fresh:
            subprocess.run([sys.executable, str(HERE / generator), fresh], check=True)
            committed = HERE / bank
            comparison = filecmp.dircmp(str(committed), fresh)
            _, mismatch, errors = filecmp.cmpfiles(str(committed), fresh, comparison.common_files, shallow=False)
            for name in comparison.left_only:
                print("FAIL %s/%s: committed, but %s no longer writes it" % (bank, name, generator))
            for name in comparison.right_only:
                print("FAIL %s/%s: %s writes it, but it is not committed" % (bank, name, generator))
            for name in mismatch + errors:
                print("FAIL %s/%s: differs from what %s writes" % (bank, name, generator))
            failures += len(comparison.left_only) + len(comparison.right_only) + len(mismatch) + len(errors)
    if failures:
        print("run the generators in tests/requests/ again and commit what they write")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
