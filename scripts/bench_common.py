"""What the benchmark scripts share: the pairs they time and how they time a process."""
import os
import subprocess
import sys
import time

# The benchmark's nine pairs, in the command's names (and the benchmark's file names).
PAIRS = [
    ("Shift_JIS", "UTF-8"), ("UTF-8", "Shift_JIS"), ("EUC-JP", "Shift_JIS"), ("Shift_JIS", "EUC-JP"),
    ("Shift_JIS", "JIS"), ("UTF-8", "EUC-JP"), ("JIS", "UTF-8"), ("EUC-JP", "UTF-8"), ("UTF-8", "JIS"),
]


def timed(command, output):
    """Wall-clock and CPU seconds of one process writing to /dev/null or into a pipe read here."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=subprocess.PIPE if output == "pipe" else null,
                                   stderr=subprocess.DEVNULL)
        if output == "pipe":
            while os.read(process.stdout.fileno(), 1 << 20):
                pass
            process.stdout.close()
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
    if status != 0:
        sys.exit("failed: %s" % " ".join(command))
    return wall, usage.ru_utime + usage.ru_stime
