#!/usr/bin/env python3
"""Chooses the character-weight list of the encoding scorers by how well it detects short texts.

Corpus: the Japanese manual pages that Debian packages,
    manpages-ja      0.5.0.0.20221215+dfsg-1   (/usr/share/man/ja/man[1-9]/*.gz)
    manpages-ja-dev  0.5.0.0.20221215+dfsg-1   (/usr/share/man/ja/man[23]/*.gz)
gzipped roff, UTF-8 or EUC-JP. Roff requests, escapes and comments are stripped. The code
charts of section 7 (iso_8859-*, koi8-*, cp125*, ...) are left out: a table of every letter
of an alphabet is not text.

The list has 1,691 characters in eight classes with fixed sizes, and these facts are fixed
rather than chosen:
  - the 30 heaviest characters and their weights (they anchor the scale: U+3000 weighs
    exactly one scorer error);
  - the largest weight of each class;
  - U+718A weighs 100 and U+4F73, U+52AA, U+6841, U+8846, U+8CB8 weigh 101, the lightest.
Everything else is chosen in two steps.

1. A start from raw frequencies. Every character of the text that is not 7-bit is counted.
   Per class the most frequent characters that CP932 encodes are taken (ties by Shift_JIS
   code). A member weighs the logarithm of its count, scaled so that the most frequent free
   member takes the class maximum (below the 30th weight where the heaviest members are
   fixed): a sum of such weights is a sum of log-likelihoods, where counts themselves let
   one common character outweigh a run of rarer ones, which is how short texts are lost.
   Half-width katakana, which the text lacks, count as the full-width characters they
   write (a voiced one for its base letter and for the sound mark), the full-width signs
   as their narrow forms.

2. Coordinate ascent on detection. Short pieces are cut from the text (seeded) in byte
   lengths 2-16, 17-64, 65-256 and 257-2048 and written with Python's codecs as Shift_JIS
   (cp932), EUC-JP and UTF-8, plus pieces with their katakana made half-width. Each is read
   as the library's analysis does: the window of at most 256 bytes from the first byte that
   is not plain 7-bit text, fed to the three scorers, whose evaluations are sums of weights
   over the characters each one recognises (keyed by the library's own mappings, which
   tools/generate_tables.py derives) minus 395,578 per rejected byte. A piece counts as
   detected when the scorer of its encoding wins by at least MARGIN. Since every evaluation
   is linear in each weight, the best weight of one character, the others held, is found
   exactly: each piece it occurs in (under any of the three readings) is detected on one
   interval of that weight. The characters are visited heaviest incidence first, pass after
   pass; a weight moves only when that detects at least MIN_GAIN more pieces, to the value
   nearest the old one. Weight 0 means leaving a character out; afterwards each class is
   brought back to its size by leaving out, or taking in at the floor, the characters that
   cost the fewest pieces, and the ascent goes on over the members alone. Where no member
   reaches its class maximum, the member that loses least by it is raised to it.

A UTF-8 text whose only non-ASCII characters are U+FF61-U+FF7F (the half-width brackets,
for one) cannot be won: Shift_JIS reads EF BD as no character and the third byte as the same
half-width character, so the two evaluations are equal and the tie goes to Shift_JIS.

Usage: make_weights.py [--corpus DIR] [--output FILE] [--seed N] [--report]
       (default output: tools/data/character_weights.txt)
The output depends only on the corpus files, the Python codecs and the seed; running it
twice gives the same bytes.
"""
import argparse
import collections
import gzip
import math
import os
import random
import re
import sys
import time
import unicodedata

from japanese_text import HALF_WIDTH_PUNCTUATION, half_width_map, is_japanese

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import generate_tables  # noqa: E402  the library's own mappings

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
TOTAL = 1691
ERROR_PENALTY = 395578

# The training pieces: per bucket and encoding this many, and the half-width slice.
BUCKETS = [("2-16", 2, 16, 4000), ("17-64", 17, 64, 3000), ("65-256", 65, 256, 1000), ("257-2048", 257, 2048, 300)]
HALF_WIDTH_BUCKET = ("half-width 17-256", 17, 256, 3000)
ENCODINGS = [("Shift_JIS", "cp932"), ("EUC-JP", "euc_jp"), ("UTF-8", "utf-8")]
SJIS, EUC, UTF8 = 0, 1, 2
SEED = 13
MARGIN = 5000      # the winner's lead over the runner-up that counts as detection
MIN_GAIN = 1       # pieces a weight change must win
PASSES = 6         # at most, over all characters and then over the members

# --- corpus -----------------------------------------------------------------------------------

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
    """The pages as text, in path order, and what was read."""
    pages = []
    stats = collections.Counter()
    for root, dirs, files in os.walk(directory):
        dirs.sort()
        for name in sorted(files):
            if not name.endswith(".gz"):
                continue
            path = os.path.join(root, name)
            if os.path.islink(path):
                continue  # the page it points to is read once
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
            pages.append(strip_roff(text))
    return pages, stats


# --- the library's keys -----------------------------------------------------------------------

def class_of(code):
    for index, (_, ranges, _, _) in enumerate(CLASSES):
        if any(lo <= code <= hi for lo, hi in ranges):
            return index
    return None


def candidates(tables):
    """Every character of the eight classes that has a Shift_JIS code and a two-byte EUC-JP
    code under the library's mappings: unit -> (class, Shift_JIS key, EUC-JP key)."""
    result = {}
    for unit, sjis_code in sorted(tables["unicode_to_sjis"].items()):
        euc_code = tables["unicode_to_euc"].get(unit)
        index = class_of(unit)
        if index is None or euc_code is None or euc_code > 0xFFFF or sjis_code < 0x80:
            continue
        result[unit] = (index, sjis_code, euc_code)
    return result


# --- start: raw frequencies --------------------------------------------------------------------

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


def frequency_weights(counts, pool):
    """The list that raw frequencies give: unit -> weight."""
    fixed = dict(FIXED)
    lightest = dict(LIGHTEST)
    below_fixed = min(fixed.values()) - 1
    orders = {"half-width katakana": half_width_counts(counts), "full-width signs": sign_counts(counts)}
    weights = {}
    for index, (name, ranges, size, largest) in enumerate(CLASSES):
        # Classes the text lacks are counted as what they stand for.
        source = orders.get(name, counts)

        def key(code):
            return (-counts[chr(code)], -source[chr(code)], pool[code][1])
        members = sorted((code for code in pool if pool[code][0] == index), key=key)
        chosen = [code for code in members if code in fixed or code in lightest]
        chosen += [code for code in members if code not in fixed and code not in lightest][:size - len(chosen)]
        if len(chosen) != size:
            sys.exit(f"only {len(chosen)} encodable characters for a class of {size}")
        free = sorted((code for code in chosen if code not in fixed and code not in lightest), key=key)
        ceiling = below_fixed if largest is None else largest
        top = max(source[chr(code)] for code in free)
        for position, code in enumerate(free):
            if largest is not None and position == 0:
                weights[code] = largest
            elif top:
                weights[code] = round(FLOOR + (ceiling - FLOOR) * math.log1p(source[chr(code)]) / math.log1p(top))
            else:
                weights[code] = FLOOR
        for code in chosen:
            weights[code] = fixed.get(code, lightest.get(code, weights.get(code)))
    return weights


# --- training pieces ---------------------------------------------------------------------------

def encodable(line):
    for _, codec in ENCODINGS:
        try:
            line.encode(codec)
        except UnicodeEncodeError:
            return False
    return True


def documents_of(pages):
    documents = []
    for page in pages:
        lines = [" ".join(line.split()) for line in page.split("\n")]
        text = "\n".join(line for line in lines if line and encodable(line))
        if any(ord(ch) > 0x7F for ch in text):
            documents.append(text)
    return documents


def draw(documents, random_source, codec, low, high):
    """A piece whose encoded length lies in [low, high] and that holds a Japanese character:
    from a random offset, the longest run of characters that fits a random length."""
    while True:
        text = random_source.choice(documents)
        target = random_source.randint(low, high)
        start = random_source.randrange(len(text))
        shortest, longest = start, min(len(text), start + target)  # every character takes a byte
        while shortest < longest:
            middle = (shortest + longest + 1) // 2
            if len(text[start:middle].encode(codec)) <= target:
                shortest = middle
            else:
                longest = middle - 1
        encoded = text[start:shortest].encode(codec)
        if len(encoded) >= low and any(is_japanese(ch) for ch in text[start:shortest]):
            return encoded


def make_pieces(documents, seed):
    random_source = random.Random(seed)
    pieces = []  # (cell, label, bytes)
    for bucket, low, high, count in BUCKETS:
        for label, (_, codec) in enumerate(ENCODINGS):
            pieces += [(bucket, label, draw(documents, random_source, codec, low, high)) for _ in range(count)]
    narrow = str.maketrans(half_width_map())
    kana = set(half_width_map()) - set(HALF_WIDTH_PUNCTUATION)
    half_width_documents = [d.translate(narrow) for d in documents if any(ch in kana for ch in d)]
    bucket, low, high, count = HALF_WIDTH_BUCKET
    for label, (_, codec) in enumerate(ENCODINGS):
        pieces += [(bucket, label, draw(half_width_documents, random_source, codec, low, high)) for _ in range(count)]
    return pieces


# --- the library's analysis, as far as the weights reach ----------------------------------------

SJIS_LEAD = set(range(0x81, 0xA0)) | set(range(0xE0, 0xFD))
SJIS_TRAIL = set(range(0x40, 0x7F)) | set(range(0x80, 0xFD))
EUC_LEAD = {0x8E} | set(range(0x90, 0xA0)) | set(range(0xA1, 0xFF))
NON_PLAIN = {0x00, 0x0F, 0x1B} | set(range(0x80, 0x100))
UTF8_LENGTH = [1] * 0x80 + [0] * 0x40 + [2] * 0x20 + [3] * 0x10 + [4] * 8 + [5] * 4 + [6] * 2 + [0] * 2
UTF8_MASK = [0x3F, 0x7F, 0x1F, 0x0F, 0x07, 0x03, 0x01]
SIGNATURES = [b"\x00\x00\xfe\xff", b"\xff\xfe\x00\x00", b"\xef\xbb\xbf", b"\xfe\xff", b"\xff\xfe"]
ESCAPES = [b"\x1b$B", b"\x1b(I", b"\x1b$(D"]


def first_unit(sequence):
    length = UTF8_LENGTH[sequence[0]]
    code_point = sequence[0] & UTF8_MASK[length]
    for b in sequence[1:]:
        code_point = code_point << 6 | (b & 0x3F)
    if code_point <= 0xFFFF:
        return code_point
    if code_point <= 0x10FFFF:
        return 0xD800 + ((code_point - 0x10000) >> 10)
    return 0x3F


def read_window(window):
    """What the three scorers see: per reading, the keys it weighs and its rejected bytes."""
    keys = ([], [], [])
    errors = [0, 0, 0]
    mode, code = 0, 0
    for b in window:  # Shift_JIS
        if b == 0 or b >= 0xFD:
            mode, errors[SJIS] = 0, errors[SJIS] + 1
        elif mode == 0:
            code = b
            if b in SJIS_LEAD:
                mode = 1
            elif b >= 0x80:
                keys[SJIS].append(b)
        elif b in SJIS_TRAIL:
            keys[SJIS].append(code * 256 + b)
            mode = 0
        else:
            mode, errors[SJIS] = 0, errors[SJIS] + 1
    mode = 0
    for b in window:  # EUC-JP
        if b == 0:
            mode, errors[EUC] = 0, errors[EUC] + 1
        elif mode == 0:
            code = b
            if b in EUC_LEAD:
                mode = 1
            elif b == 0x8F:
                mode = -2
        elif mode == 1:
            if b >= 0x80:
                keys[EUC].append(code * 256 + b)
                mode = 0
            else:
                mode, errors[EUC] = 0, errors[EUC] + 1
        else:
            mode += 1
    mode = 0
    pending = []
    for b in window:  # UTF-8
        if b == 0:
            mode, errors[UTF8] = 0, errors[UTF8] + 1
        elif mode == 0:
            length = UTF8_LENGTH[b]
            if length == 0:
                errors[UTF8] += 1
            else:
                pending = [b]
                mode = 1 - length
        elif 0x80 <= b <= 0xBF:
            pending.append(b)
            mode += 1
            if mode == 0:
                keys[UTF8].append(first_unit(pending))
        else:
            mode, errors[UTF8] = 0, errors[UTF8] + 1
    return keys, errors


def tie_answer(text):
    """What equal evaluations give: the line breaks, else the names written in the text."""
    if b"\n" in text:
        return SJIS if (b"\r\n" in text or b"\n\r" in text) else EUC
    if b"\r" in text:
        return SJIS
    none = len(text) + 1
    u = text.find(b"UTF-8") % none if b"UTF-8" in text else none
    s = min([text.find(n) for n in (b"Shift_JIS", b"shift_jis", b"sjis", b"Shift-JIS", b"shift-jis", b"SJIS")
             if n in text] or [none])
    e = min([text.find(n) for n in (b"EUC", b"euc") if n in text] or [none])
    if u < none and u < s and u < e:
        return UTF8
    if s < none and s < e:
        return SJIS
    if e < none:
        return EUC
    return SJIS


def scoring_window(text):
    """The window the scorers read, or None when analysis decides before scoring."""
    text = text[:8192]
    if not text or any(text.startswith(mark) for mark in SIGNATURES):
        return None
    pair = text.find(b"\0\0")
    if pair >= 0 and pair % 2 == 0:
        return None
    if any(escape in text for escape in ESCAPES):
        return None
    first = next((i for i, b in enumerate(text) if b in NON_PLAIN), None)
    if first is None:
        return None
    window = text[first - first % 4:first - first % 4 + 256]
    if 0 in window or max(window) < 0x80:
        return None
    return window


class problem:
    """The pieces as linear functions of the weights: per piece and reading, the rejected
    bytes and how often each candidate character is weighed."""

    def __init__(self, pieces, pool):
        by_key = ({info[1]: unit for unit, info in pool.items()},
                  {info[2]: unit for unit, info in pool.items()},
                  {unit: unit for unit in pool})
        self.labels, self.cells, self.ties, self.fixed_answers = [], [], [], []
        self.base = []  # per piece: [S, E, U] without weights, that is minus the penalties
        self.incidence = collections.defaultdict(list)  # unit -> [(piece, nS, nE, nU)]
        for cell, label, text in pieces:
            number = len(self.labels)
            self.labels.append(label)
            self.cells.append(cell)
            self.ties.append(tie_answer(text[:8192]))
            window = scoring_window(text)
            if window is None:
                self.fixed_answers.append(True)  # decided before scoring: no weight changes it
                self.base.append([0, 0, 0])
                continue
            self.fixed_answers.append(None)
            keys, errors = read_window(window)
            self.base.append([-n * ERROR_PENALTY for n in errors])
            counts = collections.defaultdict(lambda: [0, 0, 0])
            for reading in (SJIS, EUC, UTF8):
                for key in keys[reading]:
                    unit = by_key[reading].get(key)
                    if unit is not None:
                        counts[unit][reading] += 1
            for unit in sorted(counts):
                self.incidence[unit].append((number,) + tuple(counts[unit]))

    def scores(self, weights):
        result = [list(base) for base in self.base]
        for unit, rows in self.incidence.items():
            w = weights.get(unit, 0)
            if w:
                for number, ns, ne, nu in rows:
                    score = result[number]
                    score[0] += ns * w
                    score[1] += ne * w
                    score[2] += nu * w
        return result

    def answer(self, number, score):
        s, e, u = score
        if s == e == u:
            return self.ties[number]
        if e < s:
            return UTF8 if u > s else SJIS
        return UTF8 if u > e else EUC

    def correct(self, weights):
        scores = self.scores(weights)
        return [self.fixed_answers[i] or self.answer(i, scores[i]) == self.labels[i] for i in range(len(scores))]


# --- the ascent --------------------------------------------------------------------------------

def interval(score, coefficients, current, label):
    """The weights w of one character, its current one `current`, for which the piece's
    reading `label` wins by MARGIN: (low, high), high None for unbounded, or None."""
    low, high = float("-inf"), float("inf")
    for other in (SJIS, EUC, UTF8):
        if other == label:
            continue
        d0 = (score[label] - score[other]) - (coefficients[label] - coefficients[other]) * current
        d1 = coefficients[label] - coefficients[other]
        # d0 + d1 * w >= MARGIN
        if d1 == 0:
            if d0 < MARGIN:
                return None
        elif d1 > 0:
            low = max(low, -((d0 - MARGIN) // d1))
        else:
            high = min(high, (d0 - MARGIN) // -d1)
    if low > high:
        return None
    return low, high


def best_weight(rows, scores, labels, current, low_bound, high_bound, allow_zero):
    """The weight in [low_bound, high_bound] (or 0) that detects the most pieces, nearest to
    `current` among equals, and how many pieces that is beside how many `current` gives."""
    events = []
    always = 0
    zero = 0
    at_current = 0
    for number, ns, ne, nu in rows:
        span = interval(scores[number], (ns, ne, nu), current, labels[number])
        if span is None:
            continue
        low, high = span
        if low <= 0 <= high:
            zero += 1
        if low <= current <= high:
            at_current += 1
        low, high = max(low, low_bound), min(high, high_bound)
        if low > high:
            continue
        if low == low_bound and high == high_bound:
            always += 1
            continue
        events.append((low, 1))
        events.append((high + 1, -1))
    events.sort()
    best_count, best_value = -1, current
    count = always
    position = 0
    # Sweep the breakpoints: between two of them the count is constant.
    points = [low_bound] + [point for point, _ in events if low_bound <= point <= high_bound]
    points = sorted(set(points))
    for index, point in enumerate(points):
        while position < len(events) and events[position][0] <= point:
            count += events[position][1]
            position += 1
        end = points[index + 1] - 1 if index + 1 < len(points) else high_bound
        value = min(max(current, point), end)  # nearest to current within [point, end]
        if count > best_count or (count == best_count and abs(value - current) < abs(best_value - current)):
            best_count, best_value = count, value
    if allow_zero and zero > best_count:
        best_count, best_value = zero, 0
    return best_value, best_count, at_current


def bounds(unit, pool):
    index = pool[unit][0]
    largest = CLASSES[index][3]
    return FLOOR, (largest if largest is not None else FIXED[-1][1] - 1)


def ascend(data, pool, weights, units, allow_zero, log):
    scores = data.scores(weights)
    labels = data.labels
    order = sorted(units, key=lambda unit: (-len(data.incidence.get(unit, ())), unit))
    for number in range(PASSES):
        moved = 0
        for unit in order:
            rows = data.incidence.get(unit)
            if not rows:
                continue
            current = weights.get(unit, 0)
            low, high = bounds(unit, pool)
            value, count, at_current = best_weight(rows, scores, labels, current, low, high, allow_zero)
            if value == current or count < at_current + MIN_GAIN:
                continue
            delta = value - current
            for piece, ns, ne, nu in rows:
                score = scores[piece]
                score[0] += ns * delta
                score[1] += ne * delta
                score[2] += nu * delta
            if value:
                weights[unit] = value
            else:
                weights.pop(unit, None)
            moved += 1
        log(f"pass {number + 1}: {moved} weights moved, {accuracy(data, weights)}")
        if not moved:
            break


def accuracy(data, weights):
    right = sum(data.correct(weights))
    return f"{right}/{len(data.labels)} pieces detected ({100.0 * right / len(data.labels):.2f} %)"


def piece_losses(data, weights, unit, value):
    """How many more pieces are detected with `unit` at `value` than now (negative: fewer)."""
    rows = data.incidence.get(unit, ())
    if not rows:
        return 0
    scores = data.scores_cache
    current = weights.get(unit, 0)
    delta = value - current
    change = 0
    for piece, ns, ne, nu in rows:
        before = scores[piece]
        after = [before[0] + ns * delta, before[1] + ne * delta, before[2] + nu * delta]
        label = data.labels[piece]
        change += (data.answer(piece, after) == label) - (data.answer(piece, before) == label)
    return change


def fit_classes(data, pool, weights, locked, log):
    """Brings each class back to its size: leaves out the members, or takes in at the floor
    the outsiders, that cost the fewest pieces (ties: the old frequency order)."""
    data.scores_cache = data.scores(weights)
    for index, (name, _, size, _) in enumerate(CLASSES):
        members = [unit for unit in weights if pool[unit][0] == index]
        if len(members) > size:
            removable = [unit for unit in members if unit not in locked]
            removable.sort(key=lambda unit: (-piece_losses(data, weights, unit, 0), weights[unit], unit))
            for unit in removable[:len(members) - size]:
                del weights[unit]
            log(f"{name}: {len(members) - size} left out")
        elif len(members) < size:
            outsiders = [unit for unit in pool if pool[unit][0] == index and unit not in weights]
            outsiders.sort(key=lambda unit: (-piece_losses(data, weights, unit, FLOOR), data.order[unit]))
            for unit in outsiders[:size - len(members)]:
                weights[unit] = FLOOR
            log(f"{name}: {size - len(members)} taken in at the floor")
        data.scores_cache = data.scores(weights)


def reach_maxima(data, pool, weights, locked, log):
    data.scores_cache = data.scores(weights)
    for index, (name, _, _, largest) in enumerate(CLASSES):
        members = [unit for unit in weights if pool[unit][0] == index and unit not in locked]
        if largest is None or any(weights[unit] == largest for unit in members):
            continue
        unit = max(members, key=lambda unit: (piece_losses(data, weights, unit, largest), weights[unit], -unit))
        weights[unit] = largest
        data.scores_cache = data.scores(weights)
        log(f"{name}: U+{unit:04X} raised to the class maximum {largest}")


def optimise(data, pool, start, log):
    weights = dict(start)
    locked = set(dict(FIXED)) | set(dict(LIGHTEST))
    free = [unit for unit in pool if unit not in locked]
    log(f"start: {accuracy(data, weights)}")
    ascend(data, pool, weights, free, True, log)
    fit_classes(data, pool, weights, locked, log)
    log(f"classes fitted: {accuracy(data, weights)}")
    members = [unit for unit in weights if unit not in locked]
    ascend(data, pool, weights, members, False, log)
    reach_maxima(data, pool, weights, locked, log)
    log(f"end: {accuracy(data, weights)}")
    return weights


def cell_table(data, weights):
    right = data.correct(weights)
    cells = collections.OrderedDict()
    for number, cell in enumerate(data.cells):
        key = (cell, ENCODINGS[data.labels[number]][0])
        cells.setdefault(key, [0, 0])
        cells[key][0] += right[number]
        cells[key][1] += 1
    return [f"{cell} {label}: {100.0 * good / total:.2f} %" for (cell, label), (good, total) in cells.items()]


# --- output ------------------------------------------------------------------------------------

def check(weights, pool):
    assert len(weights) == TOTAL, len(weights)
    ranked = sorted(weights.items(), key=lambda item: (-item[1], item[0]))
    assert ranked[:30] == FIXED, ranked[:30]
    assert ranked[30][1] < FIXED[-1][1]
    assert min(weights.values()) == 100 and max(weights.values()) == 395578
    assert all(weights[code] == weight for code, weight in LIGHTEST)
    assert all(weight >= FLOOR for code, weight in weights.items() if code not in dict(LIGHTEST))
    assert all(code in pool for code in weights)
    for index, (name, ranges, size, largest) in enumerate(CLASSES):
        chosen = [code for code in weights if pool[code][0] == index]
        assert len(chosen) == size, (name, len(chosen))
        if largest is not None:
            assert max(weights[code] for code in chosen) == largest, name


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--corpus", default="/usr/share/man/ja")
    parser.add_argument("--output", default=os.path.join(HERE, "data", "character_weights.txt"))
    parser.add_argument("--seed", type=int, default=SEED)
    parser.add_argument("--report", action="store_true", help="print the progress and the accuracy per cell")
    arguments = parser.parse_args()
    began = time.monotonic()

    def log(line):
        if arguments.report:
            print(f"[{time.monotonic() - began:6.1f} s] {line}", file=sys.stderr)

    pages, stats = read_corpus(arguments.corpus)
    if not pages:
        sys.exit(f"no text under {arguments.corpus} (apt-get install manpages-ja manpages-ja-dev)")
    counts = collections.Counter(ch for page in pages for ch in page if ord(ch) > 0x7F)
    pool = candidates(generate_tables.build_character_tables())
    start = frequency_weights(counts, pool)
    check(start, pool)
    log(f"{len(pages)} pages, {sum(counts.values())} characters above 7 bits")
    pieces = make_pieces(documents_of(pages), arguments.seed)
    log(f"{len(pieces)} pieces")
    data = problem(pieces, pool)
    data.order = {unit: (-counts[chr(unit)], pool[unit][1]) for unit in pool}
    log(f"{len(data.incidence)} characters occur in them")
    if arguments.report:
        for line in cell_table(data, start):
            log(f"  before: {line}")
    weights = optimise(data, pool, start, log)
    check(weights, pool)
    if arguments.report:
        for line in cell_table(data, weights):
            log(f"  after: {line}")

    changed = sum(1 for unit in weights if start.get(unit) != weights[unit])
    lines = [
        "# Character weights of the encoding scorers: one list, keyed by the tables as Shift_JIS,",
        "# EUC-JP and UTF-16 codes. Generated by tools/make_weights.py; do not edit by hand.",
        "# Corpus: manpages-ja and manpages-ja-dev 0.5.0.0.20221215+dfsg-1, "
        + ", ".join(f"{n} pages in {e}" for e, n in sorted(stats.items()))
        + f", {sum(counts.values())} characters above 7 bits.",
        f"# Trained on {len(pieces)} pieces (seed {arguments.seed}, margin {MARGIN}, gain {MIN_GAIN}): "
        f"{accuracy(data, start)} by raw frequencies, {accuracy(data, weights)} by this list;",
        f"# {changed} of its weights differ from the raw frequencies'.",
    ]
    for index, (name, _, size, _) in enumerate(CLASSES):
        chosen = [unit for unit in weights if pool[unit][0] == index]
        lines.append(f"# {name}: {size}, largest {max(weights[unit] for unit in chosen)}")
    lines += [f"U+{unit:04X} {weights[unit]}" for unit in sorted(weights)]
    os.makedirs(os.path.dirname(arguments.output), exist_ok=True)
    with open(arguments.output, "w", encoding="ascii", newline="\n") as stream:
        stream.write("\n".join(lines) + "\n")
    print(f"{arguments.output}: {len(weights)} characters")


if __name__ == "__main__":
    main()
