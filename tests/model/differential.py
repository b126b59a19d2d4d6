#!/usr/bin/env python3
"""Differential check of translate_text against the Python model.

Generates random and structured byte strings for all 64 pairs of the eight
convertible encodings, runs them through translate_driver (the C++ library) and
through morvik_model.py, and compares the results byte for byte.

    differential.py --driver PATH [--seed N] [--count N] [--show N] [--shrink]
"""

import argparse
import glob
import os
import random
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import morvik_model as model  # noqa: E402

PAIRS = [(f, t) for f in model.CONVERTIBLE for t in model.CONVERTIBLE]


# ---------------------------------------------------------------------------
# Character pools, drawn from the model's own tables
# ---------------------------------------------------------------------------

class Pools:
    def __init__(self):
        t = model.tables()
        s2u = t["sjis_to_unicode"]
        self.sjis_codes = sorted(c for c in s2u if c > 0xFF)
        self.sjis_kana = list(range(0xA1, 0xE0))
        self.sjis_ibm = [c for c in self.sjis_codes if 0xFA40 <= c <= 0xFC4B]
        self.sjis_nec_selected = [c for c in self.sjis_codes if 0xED40 <= c <= 0xEEFC]
        self.sjis_nec13 = [c for c in self.sjis_codes if 0x8740 <= c <= 0x879C]
        self.jisx0212 = sorted(t["jisx0212_to_unicode"])
        self.euc_codes = sorted(t["euc_to_unicode"])
        self.bmp = sorted(set(s2u.values()) | set(t["jisx0212_to_unicode"].values()))
        self.jisx0212_only = sorted(set(t["jisx0212_to_unicode"].values()) - set(t["euc_to_unicode"].values()))
        self.tricky_units = [0x00A5, 0x203E, 0x301C, 0x2212, 0x2016, 0x2014, 0x00A2, 0x00A3, 0x00AC,
                             0xFF5E, 0xFFE2, 0x2170, 0x2252, 0x2235, 0x2116, 0x4E28, 0xFEFF, 0xFFFE,
                             0x007E, 0x005C, 0x00A6, 0x02D8, 0xE000, 0xF8F0, 0xFFFF, 0x0080, 0x00E9]


POOLS = None


def pools():
    global POOLS
    if POOLS is None:
        POOLS = Pools()
    return POOLS


def ascii_run(rng):
    alphabet = b"ABCabc 012~\\\n\r\t\x00\x7f{}$()@BID^_"
    return bytes(rng.choice(alphabet) for _ in range(rng.randint(1, 4)))


# ---------------------------------------------------------------------------
# Valid (and nearly valid) text in each encoding
# ---------------------------------------------------------------------------

def two(code):
    return bytes([code >> 8, code & 0xFF])


def sjis_piece(rng):
    p = pools()
    kind = rng.randrange(10)
    if kind == 0:
        return ascii_run(rng)
    if kind == 1:
        return bytes([rng.choice(p.sjis_kana)])
    if kind == 2:
        return two(rng.choice(p.sjis_ibm))
    if kind == 3:
        return two(rng.choice(p.sjis_nec_selected))
    if kind == 4:
        return two(rng.choice(p.sjis_nec13))
    if kind == 5:  # user-defined area
        return bytes([rng.randint(0xF0, 0xF9), rng.choice([0x40, 0x7E, 0x80, 0x9E, 0x9F, 0xFC])])
    if kind == 6:  # lead byte with an unusual second byte, or a lone odd byte
        return bytes([rng.choice([0x81, 0x9F, 0xE0, 0xEA, 0xFC, 0xFA]),
                      rng.choice([0x3F, 0x7F, 0xFD, 0xFF, 0x0A, 0x40, 0xFC])])
    if kind == 7:
        return bytes([rng.choice([0x80, 0xA0, 0xFD, 0xFE, 0xFF])])
    return two(rng.choice(p.sjis_codes))


def euc_piece(rng):
    p = pools()
    kind = rng.randrange(10)
    if kind == 0:
        return ascii_run(rng)
    if kind == 1:
        return bytes([0x8E, rng.randint(0xA1, 0xDF)])
    if kind == 2:
        return b"\x8f" + two(rng.choice(p.jisx0212))
    if kind == 3:  # rows 89-92 (NEC-selected IBM) and row 13
        return bytes([rng.choice([0xAD, 0xF9, 0xFA, 0xFB, 0xFC]), rng.randint(0xA1, 0xFE)])
    if kind == 4:  # user-defined area and unassigned codes
        return bytes([rng.randint(0xF5, 0xFE), rng.randint(0xA1, 0xFE)])
    if kind == 5:  # malformed 0x8E / 0x8F forms
        return rng.choice([b"\x8e", b"\x8f"]) + bytes(rng.choice([0x41, 0x80, 0xA0, 0xE0, 0xFF, 0xA1, 0x0A])
                                                       for _ in range(rng.randint(0, 2)))
    if kind == 6:
        return bytes([rng.choice([0x90, 0x9F, 0xA0, 0xFF, 0x80, 0x8D]), rng.choice([0x41, 0x7F, 0xA1, 0xFE, 0xFF])])
    return two(rng.choice(p.euc_codes))


JIS_STATES = ["ascii", "k2", "k1", "x", "so"]


def jis_piece(rng, katakana=True, x0212=True):
    """A run in some character set, announced in one of the ways a JIS writer may use."""
    p = pools()
    states = ["ascii", "k2"] + (["k1", "so"] if katakana else []) + (["x"] if x0212 else [])
    state = rng.choice(states)
    out = bytearray()
    if state == "ascii":
        out += rng.choice([b"\x1b(B", b"\x1b(J", b"\x0f", b""]) + ascii_run(rng)
    elif state == "k2":
        out += rng.choice([b"\x1b$B", b"\x1b$@"])
        for _ in range(rng.randint(1, 3)):
            code = rng.choice(p.euc_codes)
            out += bytes([(code >> 8) & 0x7F, code & 0x7F]) if code < 0x8E00 or code > 0x8EFF else b"\x24\x22"
        out += rng.choice([b"\x1b(B", b""])
    elif state in ("k1", "so"):
        out += b"\x1b(I" if state == "k1" else b"\x0e"
        for _ in range(rng.randint(1, 4)):
            b = rng.randint(0x21, 0x5F)
            out.append(b)
            if rng.random() < 0.3:
                out.append(rng.choice([0x5E, 0x5F]))
            if rng.random() < 0.05:
                out.append(rng.choice([0x20, 0x0A, 0x60, 0x7F, 0xA1]))
        out += b"\x0f" if state == "so" else rng.choice([b"\x1b(B", b""])
    else:
        out += b"\x1b$(D"
        for _ in range(rng.randint(1, 3)):
            code = rng.choice(p.jisx0212)
            out += bytes([(code >> 8) & 0x7F, code & 0x7F])
        out += rng.choice([b"\x1b(B", b""])
    return bytes(out)


ESCAPE_FRAGMENTS = [b"\x1b", b"\x1b(", b"\x1b$", b"\x1b$(", b"\x1b$(D", b"\x1b$(C", b"\x1b(B", b"\x1b$B",
                    b"\x1b(I", b"\x1b(J", b"\x1b$@", b"\x1b$A", b"\x1b((", b"\x1b\x1b", b"\x0e", b"\x0f",
                    b"\x1b$(\x1b"]


def utf8_piece(rng):
    p = pools()
    kind = rng.randrange(12)
    if kind == 0:
        return ascii_run(rng)
    if kind == 1:  # overlong forms
        return rng.choice([b"\xc0\x80", b"\xc1\xbf", b"\xe0\x80\xaf", b"\xf0\x80\x80\x80", b"\xe0\x81\x81"])
    if kind == 2:  # encoded surrogates
        return chr(rng.choice([0xD800, 0xDBFF, 0xDC00, 0xDFFF])).encode("utf-8", "surrogatepass")
    if kind == 3:  # 5- and 6-byte forms, values above U+10FFFF
        return rng.choice([b"\xf8\x88\x80\x80\x80", b"\xfc\x84\x80\x80\x80\x80", b"\xf4\x90\x80\x80",
                           b"\xf7\xbf\xbf\xbf", b"\xfb\xbf\xbf\xbf\xbf", b"\xfd\xbf\xbf\xbf\xbf\xbf",
                           b"\xf8\x80\x80\x80\xaf"])
    if kind == 4:  # non-BMP
        return chr(rng.choice([0x10000, 0x1F600, 0x20B9F, 0x10FFFF])).encode("utf-8")
    if kind == 5:  # stray and bad continuation bytes
        return rng.choice([b"\x80", b"\xbf", b"\xfe", b"\xff", b"\xe3\x81\x41", b"\xe3\x41\x41", b"\xc3"])
    if kind == 6:
        return b"\xef\xbb\xbf"
    if kind == 7:
        return chr(rng.choice(p.tricky_units)).encode("utf-8", "surrogatepass")
    if kind == 8:
        return chr(0xFF61 + rng.randrange(63)).encode("utf-8")
    if kind == 9:
        return chr(rng.choice(p.jisx0212_only)).encode("utf-8")
    return chr(rng.choice(p.bmp)).encode("utf-8", "surrogatepass")


def units_piece(rng):
    """UTF-16 code units, including lone and paired surrogates."""
    p = pools()
    kind = rng.randrange(9)
    if kind == 0:
        return [ord(c) for c in ascii_run(rng).decode("latin-1")]
    if kind == 1:
        return [rng.choice([0xD800, 0xDBFF]), rng.choice([0xDC00, 0xDFFF])]
    if kind == 2:
        return [rng.choice([0xD800, 0xDBFF, 0xDC00, 0xDFFF])]
    if kind == 3:
        return [0xFEFF]
    if kind == 4:
        return [rng.choice(p.tricky_units)]
    if kind == 5:
        return [0xFF61 + rng.randrange(63)]
    if kind == 6:
        return [rng.choice(p.jisx0212_only)]
    if kind == 7:
        return [rng.randrange(0x10000)]
    return [rng.choice(p.bmp)]


def utf16_text(rng, big_endian):
    units = []
    if rng.random() < 0.3:
        units.append(0xFEFF if rng.random() < 0.7 else 0xFFFE)
    for _ in range(rng.randint(1, 12)):
        units += units_piece(rng)
    out = bytearray()
    for u in units:
        out += bytes([u >> 8, u & 0xFF]) if big_endian else bytes([u & 0xFF, u >> 8])
    if rng.random() < 0.25:
        out.append(rng.randrange(256))
    return bytes(out)


def valid_text(rng, encoding, pieces=None):
    count = pieces if pieces is not None else rng.randint(1, 12)
    if encoding == model.UTF16BE:
        return utf16_text(rng, True)
    if encoding == model.UNICODE:
        return utf16_text(rng, False)
    out = bytearray()
    if encoding == model.UTF8 and rng.random() < 0.2:
        out += b"\xef\xbb\xbf"
    for _ in range(count):
        if encoding == model.SJIS:
            out += sjis_piece(rng)
        elif encoding == model.EUC:
            out += euc_piece(rng)
        elif encoding == model.JIS:
            out += jis_piece(rng)
            if rng.random() < 0.1:
                out += rng.choice(ESCAPE_FRAGMENTS)
        elif encoding == model.ISO2022JP:
            out += jis_piece(rng, katakana=rng.random() < 0.2, x0212=rng.random() < 0.3)
        elif encoding == model.UTF8:
            out += utf8_piece(rng)
        else:  # ansi
            out += ascii_run(rng) if rng.random() < 0.9 else bytes([rng.randint(0x80, 0xFF)])
    return bytes(out)


INTERESTING = list(b"\x00\x0a\x0d\x0e\x0f\x1b$()BID@J^_!~\x7f\x80\x8e\x8f\xa0\xa1\xa4\xdf\xe0\xef"
                   b"\xf0\xfa\xfc\xfd\xfe\xff\x41\xd8\xdc\x30") + [0x82, 0xa2, 0xed, 0xee, 0xf4, 0xf8, 0xc0]


def random_bytes(rng):
    length = rng.choice([0, 1, 2, 3, 4, 5, 7, 8, 16, 33, 64])
    if rng.random() < 0.5:
        return bytes(rng.randrange(256) for _ in range(length))
    return bytes(rng.choice(INTERESTING) for _ in range(length))


def long_text(rng, encoding):
    # Long enough to cross the engines' 1000-unit chunks, several times.
    out = bytearray()
    target = rng.randint(900, 3200)
    while len(out) < target:
        out += valid_text(rng, encoding, pieces=20)
    if rng.random() < 0.5:
        del out[rng.randint(len(out) - 3, len(out)):]
    return bytes(out)


def make_case(rng, from_id):
    kind = rng.randrange(10)
    if kind <= 1:
        return random_bytes(rng)
    if kind == 2:  # valid text cut anywhere (truncated last character)
        text = valid_text(rng, from_id)
        return text[:rng.randint(0, len(text))]
    if kind == 3:  # text of another encoding
        return valid_text(rng, rng.choice(model.CONVERTIBLE))
    if kind == 4:  # valid text with escape fragments and noise spliced in
        text = bytearray(valid_text(rng, from_id))
        for _ in range(rng.randint(1, 3)):
            at = rng.randint(0, len(text))
            noise = rng.choice(ESCAPE_FRAGMENTS) if rng.random() < 0.6 else random_bytes(rng)
            text[at:at] = noise
        return bytes(text)
    if kind == 5:  # ends on an escape fragment or a lone lead byte
        return valid_text(rng, from_id) + rng.choice(ESCAPE_FRAGMENTS + [b"\x82", b"\x8f", b"\x8f\xb0", b"\x8e",
                                                                          b"\xe3\x81", b"\xf0\x90\x80", b"\xd8"])
    if kind == 6 and rng.random() < 0.15:
        return long_text(rng, from_id)
    return valid_text(rng, from_id)


def fixed_texts():
    """Texts every pair gets: examples, and chunk-boundary and hold-back corners."""
    h = bytes.fromhex
    k2_run = b"\x1b$B" + b"\x30\x21" * 500
    kana_run = b"\x1b(I" + b"\x31" * 500
    texts = [b"", b"A", h("82"), h("8f"), h("8fb0"), h("8e"), h("1b"), h("1b24"), h("1b2428"), h("1b242844"),
             h("4182a042"), h("b1"), h("8fb0a1"), h("1b244224221b284241"), h("0e310f41"), h("1b2428443021"),
             h("1b2849365e1b2842"), h("1b28494a5f"), h("1b2849365f"), h("1b284936"), h("1b284920"),
             h("1b24420f"), h("1b24420e"), h("0e0f"), h("0e0e"), h("1b28490f"), h("1b2428440f"),
             h("f0908080f48fbfbf"), h("f4908080"), h("e38141"), h("80"), h("e381"), h("d8000041"), h("d800"),
             h("0041004200"), h("efbbbf41efbbbf"), h("feff0041"), h("fffe4100"), h("fa40fd"), h("817f"),
             h("f040"), h("a1fe"), h("b0fd"), h("7e5c"), h("adf0"), h("fcfb"), h("8fa2b7"), h("8fa2c3"),
             k2_run + h("0f"), k2_run + h("0e"), k2_run + h("31"), k2_run + h("1b"),
             kana_run + h("0f"), kana_run + h("36"), kana_run + h("365e"), kana_run[:-1] + h("0f"),
             b"\x1b$(D" + b"\x30\x21" * 334 + h("0f"), b"A" * 999 + h("82"), b"A" * 1000 + h("82a0"),
             b"\xe3\x81\x82" * 400 + h("e3"), b"\x82\xa0" * 999 + h("82")]
    return texts


def pieces(entries, prefix=b"", size=1200):
    """Joins entries into texts of about `size` bytes, each starting with `prefix`."""
    out, current = [], bytearray(prefix)
    for entry in entries:
        current += entry
        if len(current) >= size:
            out.append(bytes(current))
            current = bytearray(prefix)
    if len(current) > len(prefix):
        out.append(bytes(current))
    return out


def sweep_texts():
    """Every code of every table, as (from, text): each table entry is looked up at least once."""
    sweeps = []
    singles = [bytes([b, 0x41]) for b in range(256)]
    for from_id in model.CONVERTIBLE:
        sweeps += [(from_id, text) for text in pieces(singles)]
    # Every first byte of a two-byte form with every second byte; "A" stops a cascade.
    sjis = [bytes([b, t, 0x41]) for b in range(0x80, 0x100) if model.is_sjis_lead(b) for t in range(256)]
    sweeps += [(model.SJIS, text) for text in pieces(sjis)]
    euc = [bytes([b, t, 0x41]) for b in range(0x80, 0x100) if b != 0x8F for t in range(256)]
    euc += [bytes([0x8F, c, d]) for c in range(0xA1, 0xFF) for d in range(0xA1, 0xFF)]
    euc += [bytes([0x8F, c, d, 0x41]) for c in (0x00, 0x41, 0x80, 0xA0, 0xFF) for d in (0x41, 0xA1, 0xFF)]
    sweeps += [(model.EUC, text) for text in pieces(euc)]
    rows = [bytes([c, d]) for c in range(0x21, 0x7F) for d in range(0x21, 0x7F)]
    kana = [bytes([b]) for b in range(0x20, 0x61)] + [bytes([b, m]) for b in range(0x21, 0x60) for m in (0x5E, 0x5F)]
    for from_id in (model.JIS, model.ISO2022JP):
        sweeps += [(from_id, text) for text in pieces(rows, b"\x1b$B")]
        sweeps += [(from_id, text) for text in pieces(rows, b"\x1b$(D")]
        sweeps += [(from_id, text) for text in pieces(kana, b"\x1b(I")]
        sweeps += [(from_id, text) for text in pieces(kana, b"\x0e")]
    units = [u for u in range(0x80, 0x10000)]
    sweeps += [(model.UTF8, text) for text in pieces([chr(u).encode("utf-8", "surrogatepass") for u in units])]
    sweeps += [(model.UTF16BE, text) for text in pieces([bytes([u >> 8, u & 0xFF]) for u in units])]
    sweeps += [(model.UNICODE, text) for text in pieces([bytes([u & 0xFF, u >> 8]) for u in units])]
    return sweeps


def generate(seed, count, sweep=True):
    rng = random.Random(seed)
    cases = [(f, t, text) for text in fixed_texts() for f, t in PAIRS]
    if sweep:
        cases += [(f, t, text) for f, text in sweep_texts() for t in model.CONVERTIBLE]
    # Identifiers that are never converted copy the text, whatever it holds.
    others = [model.UNKNOWN, model.RESERVED, model.UTF32BE, model.UTF32LE]
    for text in (b"", b"\x82\xa0\x1b$B", b"\xff\xfe\x00", b"\x8f"):
        cases += [(f, t, text) for f in others for t in others + model.CONVERTIBLE]
        cases += [(f, t, text) for f in model.CONVERTIBLE for t in others]
    for index in range(count):
        from_id, to_id = PAIRS[index % len(PAIRS)]
        cases.append((from_id, to_id, make_case(rng, from_id)))
    return cases


# ---------------------------------------------------------------------------
# Running the driver
# ---------------------------------------------------------------------------

def run_driver(driver, cases):
    stream = bytearray()
    for from_id, to_id, text in cases:
        stream += struct.pack("<BBI", from_id, to_id, len(text)) + text
    proc = subprocess.run([driver], input=bytes(stream), stdout=subprocess.PIPE, check=False)
    if proc.returncode != 0:
        raise RuntimeError("translate_driver exited with %d" % proc.returncode)
    data = proc.stdout
    results = []
    pos = 0
    for _ in cases:
        (length,) = struct.unpack_from("<I", data, pos)
        pos += 4
        results.append(data[pos:pos + length])
        pos += length
    return results


def disagrees(driver, case):
    from_id, to_id, text = case
    return run_driver(driver, [case])[0] != model.translate_text(text, from_id, to_id)


def shrink(driver, case):
    """Removes bytes while the two sides still disagree."""
    from_id, to_id, text = case
    text = bytearray(text)
    step = max(1, len(text) // 2)
    while step >= 1:
        i = 0
        changed = False
        while i < len(text):
            candidate = bytes(text[:i] + text[i + step:])
            if disagrees(driver, (from_id, to_id, candidate)):
                text = bytearray(candidate)
                changed = True
            else:
                i += step
        if not changed:
            step //= 2
    return from_id, to_id, bytes(text)


def clip(data, at, width=48):
    """Hex of data, cut to a window around offset `at` when long."""
    if len(data) <= 2 * width:
        return data.hex(" ")
    low = max(0, at - width // 2)
    return "[%d bytes, from %d] %s ..." % (len(data), low, data[low:low + width].hex(" "))


def find_driver():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(os.path.dirname(here))
    found = sorted(glob.glob(os.path.join(root, "build", "*", "tests", "model", "translate_driver")),
                   key=os.path.getmtime)
    return found[-1] if found else None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--driver", help="path of translate_driver")
    parser.add_argument("--seed", type=int, default=20240611)
    parser.add_argument("--count", type=int, default=3000, help="cases, spread evenly over the 64 pairs")
    parser.add_argument("--show", type=int, default=10, help="disagreements to print")
    parser.add_argument("--shrink", action="store_true", help="also print a minimal input per shown case")
    parser.add_argument("--batch", type=int, default=5000)
    parser.add_argument("--no-sweep", action="store_true", help="leave out the table sweeps")
    args = parser.parse_args()

    driver = args.driver or find_driver()
    if not driver or not os.path.exists(driver):
        print("translate_driver not found; build it or pass --driver", file=sys.stderr)
        return 2

    cases = generate(args.seed, args.count, sweep=not args.no_sweep)
    passed = failed = 0
    failed_pairs = {}
    shown = 0
    for start in range(0, len(cases), args.batch):
        batch = cases[start:start + args.batch]
        actual = run_driver(driver, batch)
        for case, got in zip(batch, actual):
            from_id, to_id, text = case
            want = model.translate_text(text, from_id, to_id)
            if got == want:
                passed += 1
                continue
            failed += 1
            key = (model.NAMES.get(from_id, str(from_id)), model.NAMES.get(to_id, str(to_id)))
            failed_pairs[key] = failed_pairs.get(key, 0) + 1
            if shown < args.show:
                shown += 1
                at = next((k for k in range(min(len(got), len(want))) if got[k] != want[k]),
                          min(len(got), len(want)))
                print("DISAGREE %s -> %s (first difference at output byte %d)" % (key[0], key[1], at))
                print("  input    %s" % clip(text, 0))
                print("  model    %s" % clip(want, at))
                print("  library  %s" % clip(got, at))
                if args.shrink:
                    small = shrink(driver, case)[2]
                    print("  minimal  %s -> model %s, library %s" % (
                        small.hex(" "), model.translate_text(small, from_id, to_id).hex(" "),
                        run_driver(driver, [(from_id, to_id, small)])[0].hex(" ")))
    if failed_pairs:
        print("disagreeing pairs: " + ", ".join("%s->%s: %d" % (f, t, n)
                                                for (f, t), n in sorted(failed_pairs.items())))
    print("cases over %d pairs, seed %d" % (len(PAIRS), args.seed))
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
