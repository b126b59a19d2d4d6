#!/usr/bin/env python3
"""Derives the character-weight list of the encoding scorers from real Japanese text.

Corpus: the Japanese manual pages that Debian packages,
    manpages-ja      0.5.0.0.20221215+dfsg-1   (/usr/share/man/ja/man[1-9]/*.gz)
    manpages-ja-dev  0.5.0.0.20221215+dfsg-1   (/usr/share/man/ja/man[23]/*.gz)
gzipped roff, UTF-8 or EUC-JP. Roff requests, escapes and comments are stripped; every
character of the remaining text that is not 7-bit is counted. The code charts of section 7
(iso_8859-*, koi8-*, cp125*, ...) are left out: a table of every letter of an alphabet is
not text.

The list has 1,691 characters in eight classes with fixed sizes. Per class the most
frequent characters that CP932 encodes are taken (ties by Shift_JIS code); a class short
of corpus characters is filled in Shift_JIS order. The scorers compare sums of weights,
so these facts are fixed rather than measured:
  - the 30 heaviest characters and their weights (they anchor the scale: U+3000 weighs
    exactly one scorer error);
  - the largest weight of each class;
  - U+718A weighs 100 and U+4F73, U+52AA, U+6841, U+8846, U+8CB8 weigh 101, the lightest.
Everything else follows the corpus: in the classes whose heaviest members are fixed, a
character weighs its count times the scale of U+306E (its fixed weight over its count),
kept below the 30th weight; in the other classes weights are proportional to the counts,
the most frequent member taking the class maximum. No weight but the six lightest goes
below 102.

Half-width katakana do not occur in the corpus, and they weigh what that says: the class
maximum of 8,524 goes to the first of them, all others weigh the floor. Which one is first,
and the order of the fill, follows what they would stand for: each counts as the
full-width characters it writes (a voiced katakana counts for its base letter and for the
sound mark). Keeping them light matters: Shift_JIS reads the UTF-8 and EUC-JP bytes A1-DF
as half-width katakana, and weights near those of full-width katakana make short UTF-8 and
EUC-JP texts look like Shift_JIS. The three full-width signs are absent as well; their
order follows their narrow forms (U+00AC, U+00AF, U+00A5), then Shift_JIS order.

Usage: make_weights.py [--corpus DIR] [--output FILE]   (default: tools/data/character_weights.txt)
The output depends only on the corpus files; running it twice gives the same bytes.
"""
import argparse
import collections
import gzip
import os
import re
import sys
import unicodedata

CLASSES = [
    # name, code point ranges, count, largest weight (None: set by a fixed character)
    ("CJK symbols and punctuation", [(0x3000, 0x303F)], 19, None),
    ("hiragana", [(0x3040, 0x309F)], 84, None),
    ("katakana", [(0x30A0, 0x30FF)], 84, None),
    ("full-width ASCII", [(0xFF01, 0xFF5E)], 84, None),
    ("symbols", [(0x0391, 0x266A)], 81, 36184),
    ("full-width signs", [(0xFFE2, 0xFFE3), (0xFFE5, 0xFFE5)], 3, 35692),
    ("CJK ideographs", [(0x4E00, 0x9FFF)], 1274, 35408),
    ("half-width katakana", [(0xFF61, 0xFF94), (0xFF96, 0xFF9F)], 62, 8524),
]

FIXED = [  # the 30 heaviest, in rank order
    (0x3000, 395578), (0x306E, 150324), (0x30FC, 122124), (0x3044, 109859),
    (0x3057, 102815), (0x3002, 91442), (0x3067, 90858), (0x3001, 84908),
    (0x3059, 84100), (0x306B, 83196), (0x3066, 82905), (0x306A, 77586),
    (0x308B, 75826), (0x3068, 70988), (0x30F3, 66550), (0x307E, 65673),
    (0x305F, 65549), (0x306F, 63876), (0xFF1A, 62256), (0x3092, 62032),
    (0x3093, 60414), (0x304B, 59498), (0x30B9, 57474), (0x304C, 57420),
    (0x3063, 51786), (0x30C8, 45819), (0x3046, 44623), (0x3089, 43556),
    (0x30EB, 43417), (0x3055, 41715),
]
LIGHTEST = [(0x718A, 100), (0x4F73, 101), (0x52AA, 101), (0x6841, 101), (0x8846, 101), (0x8CB8, 101)]
FLOOR = 102
SCALE_ANCHOR = 0x306E
TOTAL = 1691


def sjis_code(ch):
    """The CP932 code of a character that round-trips through CP932, else None."""
    try:
        encoded = ch.encode("cp932")
    except UnicodeEncodeError:
        return None
    if encoded.decode("cp932") != ch or encoded[0] < 0x80:
        return None
    return int.from_bytes(encoded, "big")


# Roff: comments, then escapes, then the name of a request or macro (its arguments are text).
COMMENT = re.compile(r'\\".*$|\\#.*$')
ESCAPE = re.compile(r"\\(?:[fFsn*]\([^\s]{2}|[fFsn*]\[[^\]]*\]|[fF].|s[+-]?\d+|\*.|\(..|\[[^\]]*\]|[hvwlLoDbxXZNRuHSk]'[^']*'|.)")
REQUEST = re.compile(r"^[.'][ \t]*\S*")
CODE_CHART = re.compile(r"^(armscii|ascii|charsets|cp125|iso[-_]?8859|koi8|latin|unicode|utf-?8)")


def strip_roff(text):
    lines = []
    for line in text.splitlines():
        line = COMMENT.sub("", line)
        line = REQUEST.sub("", line)
        lines.append(ESCAPE.sub("", line))
    return "\n".join(lines)


def read_corpus(directory):
    counts = collections.Counter()
    stats = collections.Counter()
    for root, dirs, files in os.walk(directory):
        dirs.sort()
        for name in sorted(files):
            if not name.endswith(".gz"):
                continue
            path = os.path.join(root, name)
            if os.path.islink(path):
                continue  # the page it points to is counted once
            if os.path.basename(root) == "man7" and CODE_CHART.match(name):
                stats["code charts left out"] += 1
                continue
            with gzip.open(path) as stream:
                data = stream.read()
            for encoding in ("utf-8", "euc_jp"):
                try:
                    text = data.decode(encoding)
                    break
                except UnicodeDecodeError:
                    pass
            else:
                stats["undecodable"] += 1
                continue
            stats[encoding] += 1
            counts.update(ch for ch in strip_roff(text) if ord(ch) > 0x7F)
    return counts, stats


def half_width_counts(counts):
    """Counts of half-width katakana as the full-width characters they would stand for."""
    narrow = {}
    for lo, hi in CLASSES[7][1]:
        for code in range(lo, hi + 1):
            narrow[unicodedata.normalize("NFKC", chr(code))] = chr(code)
    narrow["\u309B"] = "\uFF9E"  # the spacing sound marks
    narrow["\u309C"] = "\uFF9F"
    result = collections.Counter()
    for ch, n in counts.items():
        if ch in narrow:
            result[narrow[ch]] += n
            continue
        parts = unicodedata.normalize("NFD", ch)
        if len(parts) == 2 and parts[0] in narrow and parts[1] in narrow:
            result[narrow[parts[0]]] += n
            result[narrow[parts[1]]] += n
    return result


NARROW_SIGNS = {0xFFE2: 0x00AC, 0xFFE3: 0x00AF, 0xFFE5: 0x00A5}


def sign_counts(counts):
    return collections.Counter({chr(wide): counts[chr(wide)] + counts[chr(narrow)] for wide, narrow in NARROW_SIGNS.items()})


def members(ranges):
    for lo, hi in ranges:
        for code in range(lo, hi + 1):
            if sjis_code(chr(code)) is not None:
                yield code


def order_key(counts, fill_order):
    return lambda code: (-counts[chr(code)], -fill_order[chr(code)], sjis_code(chr(code)))


def choose(counts, fill_order, ranges, size, forced):
    """The `size` most frequent encodable characters, `forced` always among them."""
    candidates = sorted(members(ranges), key=order_key(counts, fill_order))
    chosen = [code for code in candidates if code in forced]
    for code in candidates:
        if len(chosen) == size:
            break
        if code not in forced:
            chosen.append(code)
    if len(chosen) != size:
        sys.exit(f"only {len(chosen)} encodable characters for a class of {size}")
    return chosen


def make_weights(counts):
    fixed = dict(FIXED)
    lightest = dict(LIGHTEST)
    scale = fixed[SCALE_ANCHOR] / counts[chr(SCALE_ANCHOR)]
    below_fixed = min(fixed.values()) - 1
    half_width = half_width_counts(counts)
    signs = sign_counts(counts)
    weights = {}
    report = []
    for name, ranges, size, largest in CLASSES:
        source = counts
        fill_order = {"half-width katakana": half_width, "full-width signs": signs}.get(name, collections.Counter())
        chosen = choose(source, fill_order, ranges, size, set(fixed) | set(lightest))
        free = [code for code in chosen if code not in fixed and code not in lightest]
        free.sort(key=order_key(source, fill_order))
        if largest is None:
            ceiling, factor = below_fixed, scale
        else:
            top = source[chr(free[0])]
            ceiling, factor = largest, (largest / top if top else 0.0)
        previous = None
        for position, code in enumerate(free):
            weight = round(source[chr(code)] * factor)
            if largest is not None and position == 0:
                weight = largest
            if weight > ceiling:
                # Keep the corpus order among the few that the fixed ranks push down.
                weight = ceiling if previous is None else min(ceiling, previous - 1)
            weights[code] = max(FLOOR, weight)
            previous = weights[code]
        for code in chosen:
            if code in fixed:
                weights[code] = fixed[code]
            elif code in lightest:
                weights[code] = lightest[code]
        in_corpus = sum(1 for code in chosen if source[chr(code)] > 0)
        report.append(f"{name}: {size} ({in_corpus} from the corpus), largest {max(weights[c] for c in chosen)}")
    return weights, report


def check(weights):
    assert len(weights) == TOTAL, len(weights)
    ranked = sorted(weights.items(), key=lambda item: (-item[1], item[0]))
    assert ranked[:30] == FIXED, ranked[:30]
    assert ranked[30][1] < FIXED[-1][1]
    assert min(weights.values()) == 100 and max(weights.values()) == 395578
    assert all(weights[code] == weight for code, weight in LIGHTEST)
    assert all(weight >= FLOOR for code, weight in weights.items() if code not in dict(LIGHTEST))
    for name, ranges, size, largest in CLASSES:
        chosen = [code for code in weights if any(lo <= code <= hi for lo, hi in ranges)]
        assert len(chosen) == size, (name, len(chosen))
        if largest is not None:
            assert max(weights[code] for code in chosen) == largest, name


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", default="/usr/share/man/ja")
    parser.add_argument("--output", default=os.path.join(here, "data", "character_weights.txt"))
    arguments = parser.parse_args()
    counts, stats = read_corpus(arguments.corpus)
    if not counts:
        sys.exit(f"no text under {arguments.corpus} (apt-get install manpages-ja manpages-ja-dev)")
    weights, report = make_weights(counts)
    check(weights)
    lines = [
        "# Character weights of the encoding scorers: one list, keyed by the tables as Shift_JIS,",
        "# EUC-JP and UTF-16 codes. Generated by tools/make_weights.py; do not edit by hand.",
        "# Corpus: manpages-ja and manpages-ja-dev 0.5.0.0.20221215+dfsg-1, "
        + ", ".join(f"{n} pages in {e}" for e, n in sorted(stats.items()))
        + f", {sum(counts.values())} characters above 7 bits.",
    ]
    lines += [f"# {line}" for line in report]
    lines += [f"U+{code:04X} {weights[code]}" for code in sorted(weights)]
    os.makedirs(os.path.dirname(arguments.output), exist_ok=True)
    with open(arguments.output, "w", encoding="ascii", newline="\n") as stream:
        stream.write("\n".join(lines) + "\n")
    print(f"{arguments.output}: {len(weights)} characters")


if __name__ == "__main__":
    main()
