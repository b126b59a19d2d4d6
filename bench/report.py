#!/usr/bin/env python3
"""Turns the benchmark's JSON into the tables of docs/benchmarks.md (Markdown on stdout)."""
import json
import sys


def medians(results):
    """One entry per benchmark: the median of the repetitions, or the single run."""
    runs = {}
    have_aggregates = any(b.get("run_type") == "aggregate" for b in results["benchmarks"])
    for b in results["benchmarks"]:
        if have_aggregates:
            if b.get("run_type") != "aggregate" or b.get("aggregate_name") != "median":
                continue
        if b.get("error_occurred"):
            runs[b["run_name"] if "run_name" in b else b["name"]] = {"error": b.get("error_message", "error")}
            continue
        runs[b.get("run_name", b["name"])] = b
    # Labels travel only on the iterations, not on the aggregates.
    for b in results["benchmarks"]:
        name = b.get("run_name", b["name"])
        if b.get("label") and name in runs and not runs[name].get("label"):
            runs[name]["label"] = b["label"]
    return runs


def mbps(run):
    if run is None or "error" in run:
        return None
    return run["bytes_per_second"] / 1e6


def micros(run):
    if run is None or "error" in run:
        return None
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[run.get("time_unit", "ns")]
    return run["cpu_time"] * scale


def number(value, digits=0):
    return "n/a" if value is None else f"{value:,.{digits}f}"


def ratio(ours, theirs, digits=1):
    if ours is None or theirs is None or theirs == 0:
        return "n/a"
    return f"{ours / theirs:.{digits}f}×"


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        results = json.load(f)
    runs = medians(results)
    context = results.get("context", {})

    conversions = []
    detections = []
    requests = []
    for name in runs:
        parts = name.split("/")
        key = tuple(parts[1:-1])
        if parts[0] == "convert" and key not in conversions:
            conversions.append(key)
        elif parts[0] == "detect" and key not in detections:
            detections.append(key)
        elif parts[0] == "request" and tuple(parts[1:]) not in requests:
            requests.append(tuple(parts[1:]))

    print("Throughput in MB/s (10^6 bytes of input per CPU second), median of the repetitions; "
          "ratio = morvik's translate_text / the other.")
    print()
    print("| Conversion | Input | translate_text | engine (64 KiB feeds) | iconv | ICU | ratio to iconv | "
          "ratio to ICU | output |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---|")
    for conversion, kind in conversions:
        prefix = f"convert/{conversion}/{kind}/"
        text = runs.get(prefix + "translate_text")
        engine = runs.get(prefix + "engine")
        theirs = runs.get(prefix + "iconv")
        icu = runs.get(prefix + "icu")
        label = text.get("label", "") if text else ""
        if icu and icu.get("label"):
            label += "; ICU: " + icu["label"]
        print(f"| {conversion.replace('->', ' → ')} | {kind} | {number(mbps(text))} | {number(mbps(engine))} | "
              f"{number(mbps(theirs))} | {number(mbps(icu))} | {ratio(mbps(text), mbps(theirs))} | "
              f"{ratio(mbps(text), mbps(icu))} | {label} |")
    print()
    print("detect_encoding on the first 8192 bytes against uchardet on the same bytes, µs per call.")
    print()
    print("| Encoding | Input | morvik µs | uchardet µs | uchardet / morvik | morvik says | uchardet says |")
    print("|---|---|---:|---:|---:|---|---|")
    for encoding, kind in detections:
        prefix = f"detect/{encoding}/{kind}/"
        ours = runs.get(prefix + "morvik")
        theirs = runs.get(prefix + "uchardet")
        print(f"| {encoding} | {kind} | {number(micros(ours), 2)} | {number(micros(theirs), 2)} | "
              f"{ratio(micros(theirs), micros(ours))} | {ours.get('label', '') if ours else ''} | "
              f"{theirs.get('label', '') if theirs else ''} |")
    print()
    print("Whole SAORI requests through the exported `request` of KORVEL.so: the median of single "
          "requests timed one by one, and the mean CPU time per request.")
    print()
    print("| Request | Input | median µs | mean µs | response |")
    print("|---|---|---:|---:|---|")
    for function, kind in requests:
        run = runs.get(f"request/{function}/{kind}")
        median = run.get("median_us") if run and "error" not in run else None
        print(f"| \"{function}\" | {kind} | {number(median, 2)} | {number(micros(run), 2)} | "
              f"{run.get('label', '') if run else ''} |")
    print()
    for key in ("prose", "ascii_heavy", "short"):
        if key in context:
            print(f"- {key.replace('_', '-')}: {context[key]}")


if __name__ == "__main__":
    main()
