#!/usr/bin/env python3
"""Sends every NAME.request of a directory through a SAORI host command and compares the response
bytes with NAME.response, and, for the Windows build under Wine, with the native module's bytes."""
import argparse
import fcntl
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

WINE_TIMEOUT = 120
BOOT_TIMEOUT = 300
# CTest's SKIP_RETURN_CODE for these tests: Wine is installed but cannot run here.
SKIPPED = 77


def hex_bytes(data, limit=400):
    text = data[:limit].hex(" ")
    return "[" + text + (" ... (%d bytes)" % len(data) if len(data) > limit else "") + "]"


def wine_environment(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", WINEARCH="win32")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def wine_can_run(wine, env):
    """A kernel without 32-bit support cannot start Wine's loader at all ("Exec format error")."""
    try:
        completed = subprocess.run([wine, "--version"], env=env, stdin=subprocess.DEVNULL,
                                   capture_output=True, timeout=60, check=False)
    except (OSError, subprocess.TimeoutExpired) as error:
        return False, str(error)
    return completed.returncode == 0, (completed.stderr or completed.stdout).decode(errors="replace").strip()


def prepare_prefix(prefix, env):
    """The first boot of a prefix takes a while; do it once, under a lock, with a timeout. Then
    start the server on its own, detached from our pipes: a server that a host run starts would
    inherit that run's stdout and keep the pipe open until it exits."""
    prefix.parent.mkdir(parents=True, exist_ok=True)
    with open(str(prefix) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
        if not (prefix / "system.reg").exists():
            wineboot = shutil.which("wineboot") or "wineboot"
            subprocess.run([wineboot, "-i"], env=env, timeout=BOOT_TIMEOUT, check=False, **quiet)
            # The registry reaches the disk when the server ends.
            subprocess.run([wineserver, "-w"], env=env, timeout=BOOT_TIMEOUT, check=False, **quiet)
        if not (prefix / "system.reg").exists():
            sys.exit("wineboot did not create the prefix %s" % prefix)
        subprocess.run([wineserver, "-p30"], env=env, timeout=60, check=False, **quiet)


def windows_path(path):
    return "Z:" + str(pathlib.Path(path).resolve())


def run_host(command, request):
    # Files, not pipes: Wine's helper processes inherit the handles and would hold a pipe open.
    with tempfile.TemporaryFile() as stdin, tempfile.TemporaryFile() as stdout, \
            tempfile.TemporaryFile() as stderr:
        stdin.write(request)
        stdin.seek(0)
        completed = subprocess.run(command, stdin=stdin, stdout=stdout, stderr=stderr, timeout=WINE_TIMEOUT)
        stdout.seek(0)
        stderr.seek(0)
        response = stdout.read()
        # The host exits 0 for a 2xx answer and 1 for any other, which it still prints.
        expected_status = 0 if re.match(rb"[^ ]+ 2[0-9][0-9] ", response) else 1
        if completed.returncode != expected_status:
            raise RuntimeError("exit %d, expected %d: %s" % (completed.returncode, expected_status,
                                                             stderr.read().decode(errors="replace")))
        return response


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--requests", required=True, help="directory of NAME.request / NAME.response")
    parser.add_argument("--host", required=True, help="native korvel")
    parser.add_argument("--module", required=True, help="native module (.so)")
    parser.add_argument("--wine-host", help="korvel.exe; compares the DLL under Wine as well")
    parser.add_argument("--wine-module", help="the DLL")
    parser.add_argument("--wine-prefix", help="WINEPREFIX to use (created on first use)")
    options = parser.parse_args()

    requests = sorted(pathlib.Path(options.requests).glob("*.request"))
    if not requests:
        sys.exit("no requests in %s" % options.requests)

    wine_command = None
    if options.wine_host:
        prefix = pathlib.Path(options.wine_prefix).resolve()
        env = wine_environment(prefix)
        wine = shutil.which("wine") or "wine"
        runs, message = wine_can_run(wine, env)
        if not runs:
            print("SKIP: wine cannot run on this machine (%s); the DLL was not compared" % message)
            return SKIPPED
        prepare_prefix(prefix, env)
        os.environ.clear()
        os.environ.update(env)
        wine_command = [wine, windows_path(options.wine_host),
                        "--module", windows_path(options.wine_module), "raw", "-"]

    failures = 0
    for request_file in requests:
        name = request_file.stem
        request = request_file.read_bytes()
        expected_file = request_file.with_suffix(".response")
        expected = expected_file.read_bytes() if expected_file.exists() else None
        try:
            native = run_host([options.host, "--module", options.module, "raw", "-"], request)
            answers = [("native", native)]
            if wine_command:
                answers.append(("wine", run_host(wine_command, request)))
        except (RuntimeError, subprocess.TimeoutExpired) as error:
            print("FAIL %s: %s" % (name, error))
            failures += 1
            continue
        reference_name, reference = ("expected", expected) if expected is not None else answers[0]
        for label, answer in answers:
            if answer != reference:
                print("FAIL %s: %s differs from %s\n  %-8s %s\n  %-8s %s" % (
                    name, label, reference_name, label, hex_bytes(answer), reference_name, hex_bytes(reference)))
                failures += 1
    print("%d requests, %d failures" % (len(requests), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
