#!/usr/bin/env python3
"""Generates morvik/guess_tables.cpp: the character model of the encoding guesser.

The guesser reads a text in every candidate encoding and asks how likely each reading is as
Japanese text. The model is a class bigram: a character costs -log2 P(class | previous class)
- log2 P(character | class), in 1/64 bit. Counts come from real text in two steps:

  make_guess_tables.py --count   reads the corpus and writes tools/data/guess_counts.txt
  make_guess_tables.py           turns that file into morvik/guess_tables.cpp

Corpus: the Japanese manual pages that Debian packages,
    manpages-ja      0.5.0.0.20221215+dfsg-1   (/usr/share/man/ja/man[1-9]/*.gz)
    manpages-ja-dev  0.5.0.0.20221215+dfsg-1
gzipped roff in UTF-8 or EUC-JP; requests, escapes and comments are stripped, and the code
charts of section 7 (tables of every letter of an alphabet) are left out. Every character is
counted, and every pair of neighbouring character classes. Half-width katakana do not occur
in the pages, yet old Shift_JIS and EUC-JP files are full of them: every eighth page is
counted a second time with its katakana written narrow, at a sixteenth of the weight, so the
model knows them as katakana that are rarer.

Within a run of katakana a letter costs what it costs after the letter before it: pairs of
neighbouring katakana are counted, full-width in the pages and half-width in every page
written narrow, and smoothed towards the letter's own cost (Witten-Bell: a letter followed
by many different letters leaves more room for unseen ones). Short texts where a kanji or
two of EUC-JP read as a few half-width katakana in Shift_JIS (or the other way round) are
told apart by whether the katakana spell anything.

A character seen fewer than MIN_COUNT times costs what an unseen member of its class costs:
the class's singletons (plus one) are its unseen members' share, JIS_SHARE of it for the
members that CP932 writes (Japanese text is made of them) and the rest for the others.
The CP932 share is split between the first 47 rows of the code (symbols, kana and the
first-level kanji, the ones in everyday use: Shift_JIS below 98 9F) and the rest
(second-level kanji, vendor symbols) as the singletons of the class split, plus one each:
the corpus is small for kanji, and a first-level one it lacks is still a common one.

Usage: make_guess_tables.py [--count [--corpus DIR]] [--counts FILE] [--output FILE]
Both steps are deterministic: the same corpus gives the same bytes.
"""
import argparse
import collections
import gzip
import math
import os
import re
import sys

import generate_tables  # the library's own mappings
from japanese_text import half_width_map

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_COUNTS = os.path.join(ROOT, "tools", "data", "guess_counts.txt")
DEFAULT_OUTPUT = os.path.join(ROOT, "morvik", "guess_tables.cpp")
DEFAULT_CORPUS = "/usr/share/man/ja"

# Class names in index order; the C++ side knows them through the generated ranges only,
# except `line_break`, which also stands for the start of the text (index 0).
CLASSES = [
    "line_break", "space", "ascii_letter", "ascii_digit", "ascii_punctuation", "control",
    "hiragana", "katakana", "ideograph", "cjk_punctuation", "full_width_alphanumeric",
    "full_width_punctuation", "half_width_katakana", "symbol", "latin_letter", "other",
    "half_width_punctuation", "greek_cyrillic",
]
CLASS = {name: index for index, name in enumerate(CLASSES)}

# (first, last, class); what no range covers is `other`. Later ranges win over earlier ones.
RANGES = [
    (0x00, 0x1F, "control"), (0x0A, 0x0A, "line_break"), (0x0D, 0x0D, "line_break"),
    (0x09, 0x09, "space"), (0x0C, 0x0C, "space"), (0x20, 0x20, "space"),
    (0x21, 0x7E, "ascii_punctuation"), (0x30, 0x39, "ascii_digit"),
    (0x41, 0x5A, "ascii_letter"), (0x61, 0x7A, "ascii_letter"), (0x7F, 0x9F, "control"),
    (0xA0, 0xBF, "symbol"), (0xC0, 0x24F, "latin_letter"), (0xD7, 0xD7, "symbol"), (0xF7, 0xF7, "symbol"),
    (0x370, 0x52F, "greek_cyrillic"), (0x1E00, 0x1EFF, "latin_letter"),
    (0x2010, 0x2BFF, "symbol"),
    (0x3000, 0x303F, "cjk_punctuation"), (0x3041, 0x309F, "hiragana"), (0x30A0, 0x30FF, "katakana"),
    (0x31F0, 0x31FF, "katakana"), (0x3200, 0x33FF, "symbol"), (0x3400, 0x4DBF, "ideograph"),
    (0x4E00, 0x9FFF, "ideograph"), (0xF900, 0xFAFF, "ideograph"),
    (0xFF01, 0xFF5E, "full_width_punctuation"), (0xFF10, 0xFF19, "full_width_alphanumeric"),
    (0xFF21, 0xFF3A, "full_width_alphanumeric"), (0xFF41, 0xFF5A, "full_width_alphanumeric"),
    (0xFF61, 0xFF9F, "half_width_katakana"), (0xFF61, 0xFF65, "half_width_punctuation"),
    (0xFFE0, 0xFFEE, "full_width_punctuation"),
]

MIN_COUNT = 2
# The pages hardly use symbols (their glyphs are escapes) and never half-width forms; any
# class of text may follow any other at no worse odds than this.
TRANSITION_CEILING = 12  # bits
TEXT_CLASSES = set(CLASSES) - {"control", "other"}
HALF_WIDTH_EVERY = 8       # every eighth page is counted narrow as well
HALF_WIDTH_WEIGHT = 1 / 16
JIS_SHARE = 0.95
UNIT = 64                  # cost units per bit
# The runs of letters whose pairs are counted: full-width katakana and half-width katakana
# (not the half-width punctuation before them), each a square table from its first code.
PAIR_BLOCKS = [("katakana", 0x30A0, 96), ("half_width_katakana", 0xFF66, 58)]
COMMON_SJIS_END = 0x989F     # Shift_JIS codes below: rows 1-47, the first-level kanji's end
PAIR_WEIGHT = 0.9
MAX_COST = 0xFFFF

# Roff's glyph escapes that stand for a character of the text.
GLYPHS = {"\\-": "-", "\\e": "\\", "\\ ": " ", "\\~": " ", "\\(aq": "'", "\\(dq": '"', "\\(bu": "\u2022",
          "\\[bu]": "\u2022", "\\(co": "\u00A9", "\\(em": "\u2014", "\\(en": "\u2013", "\\(ha": "^",
          "\\(ti": "~", "\\(rs": "\\", "\\(+-": "\u00B1", "\\(lq": "\u201C", "\\(rq": "\u201D",
          "\\(oq": "\u2018", "\\(cq": "\u2019", "\\(hy": "-", "\\(mi": "\u2212", "\\(de": "\u00B0",
          "\\(mu": "\u00D7", "\\(**": "*", "\\(ts": "s"}
GLYPH = re.compile("|".join(re.escape(g) for g in sorted(GLYPHS, key=len, reverse=True)))
COMMENT = re.compile(r'\\".*$|\\#.*$')
ESCAPE = re.compile(r"\\(?:[fFsn*]\([^\s]{2}|[fFsn*]\[[^\]]*\]|[fF].|s[+-]?\d+|\*.|\(..|\[[^\]]*\]|[hvwlLoDbxXZNRuHSk]'[^']*'|.)")
REQUEST = re.compile(r"^[.'][ \t]*\S*")
CODE_CHART = re.compile(r"^(armscii|ascii|charsets|cp125|iso[-_]?8859|koi8|latin|unicode|utf-?8)")


def class_table():
    table = bytearray([CLASS["other"]]) * 0x10000
    for first, last, name in RANGES:
        table[first:last + 1] = bytes([CLASS[name]]) * (last - first + 1)
    return table


def class_of(table, ch):
    code = ord(ch)
    if code > 0xFFFF:
        return CLASS["ideograph"] if 0x20000 <= code <= 0x3FFFF else CLASS["other"]
    return table[code]


def strip_roff(text):
    lines = []
    for line in text.splitlines():
        line = COMMENT.sub("", line)
        line = REQUEST.sub("", line)
        pieces = GLYPH.split(line)
        glyphs = [GLYPHS[g] for g in GLYPH.findall(line)] + [""]
        line = "".join(ESCAPE.sub("", piece) + glyph for piece, glyph in zip(pieces, glyphs)).strip()
        if line:
            lines.append(line)
    return "\n".join(lines)


def narrow_map():
    return str.maketrans(half_width_map())


def read_pages(directory):
    for root, dirs, files in os.walk(directory):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(root, name)
            if not name.endswith(".gz") or os.path.islink(path):
                continue
            if os.path.basename(root) == "man7" and CODE_CHART.match(name):
                continue
            with gzip.open(path) as stream:
                data = stream.read()
            for encoding in ("utf-8", "euc_jp"):
                try:
                    yield os.path.relpath(path, directory), strip_roff(data.decode(encoding))
                    break
                except UnicodeDecodeError:
                    pass


def count(directory):
    table = class_table()
    characters = collections.Counter()
    pairs = collections.Counter()
    letter_pairs = collections.Counter()
    narrow = narrow_map()
    pages = 0
    for number, (_, text) in enumerate(read_pages(directory)):
        pages += 1
        for version in (text, text.translate(narrow)):
            for a, b in zip(version, version[1:]):
                if pair_block(ord(a)) is not None and pair_block(ord(a)) == pair_block(ord(b)):
                    letter_pairs[ord(a), ord(b)] += 16
        versions = [(text, 16)]  # whole weights are counted in sixteenths
        if number % HALF_WIDTH_EVERY == 0:
            versions.append((text.translate(narrow), int(16 * HALF_WIDTH_WEIGHT)))
        for version, weight in versions:
            page_characters = collections.Counter(version)
            for ch, n in page_characters.items():
                characters[ch] += n * weight
            classes = bytes(class_of(table, ch) for ch in version)
            page_pairs = collections.Counter(zip(b"\0" + classes, classes + b"\0"))
            for pair, n in page_pairs.items():
                pairs[pair] += n * weight
    return pages, characters, pairs, letter_pairs


def pair_block(code):
    for index, (_, first, size) in enumerate(PAIR_BLOCKS):
        if first <= code < first + size:
            return index
    return None


def write_counts(path, pages, characters, pairs, letter_pairs):
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write("# Counts (in sixteenths) for tools/make_guess_tables.py, made by its --count step from\n")
        out.write("# manpages-ja and manpages-ja-dev 0.5.0.0.20221215+dfsg-1; %d pages.\n" % pages)
        out.write("# 'pair A B n': class B follows class A; 'U+XXXX n': one character;\n")
        out.write("# 'letters U+XXXX U+YYYY n': katakana Y follows katakana X (every page, and every page narrow).\n")
        for (a, b), n in sorted(pairs.items()):
            out.write(f"pair {CLASSES[a]} {CLASSES[b]} {n}\n")
        for (a, b), n in sorted(letter_pairs.items()):
            out.write(f"letters U+{a:04X} U+{b:04X} {n}\n")
        for ch, n in sorted(characters.items(), key=lambda item: ord(item[0])):
            out.write(f"U+{ord(ch):04X} {n}\n")


def read_counts(path):
    characters = {}
    pairs = collections.Counter()
    letter_pairs = collections.Counter()
    with open(path, encoding="ascii") as stream:
        for line in stream:
            if line.startswith("#"):
                continue
            fields = line.split()
            if fields[0] == "pair":
                pairs[CLASS[fields[1]], CLASS[fields[2]]] = int(fields[3])
            elif fields[0] == "letters":
                letter_pairs[int(fields[1][2:], 16), int(fields[2][2:], 16)] = int(fields[3])
            else:
                characters[int(fields[0][2:], 16)] = int(fields[1])
    return characters, pairs, letter_pairs


def cost(probability):
    return min(MAX_COST, int(round(-math.log2(probability) * UNIT)))


def cp932_characters():
    """What the library's Shift_JIS mapping reads: every CP932 code but the user-defined area."""
    result = set()
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            if 0xF0 <= lead <= 0xF9:
                continue
            try:
                result.add(ord(bytes([lead, trail]).decode("cp932")))
            except UnicodeDecodeError:
                pass
    result.update(range(0xFF61, 0xFFA0))
    return result


def unseen_group(code, sjis):
    """0: rows 1-47 of CP932 (with the half-width katakana), 1: the rest of CP932, 2: the others."""
    if code not in sjis:
        return 2
    return 0 if sjis[code] < COMMON_SJIS_END else 1


def sjis_codes():
    """Each character's Shift_JIS code under the library's own mapping."""
    return generate_tables.build_character_tables()["unicode_to_sjis"]


def make_model(characters, pairs, letter_pairs):
    table = class_table()
    jis = cp932_characters()
    sjis = sjis_codes()
    assert set(sjis) - set(range(0x80)) == jis
    members = collections.Counter((table[code], unseen_group(code, sjis)) for code in range(0x10000))
    class_totals = collections.Counter()
    singletons = collections.Counter()
    seen = collections.Counter()
    for code, n in characters.items():
        if code > 0xFFFF:
            continue
        c = table[code]
        class_totals[c] += n
        if n >= MIN_COUNT * 16:
            seen[c, unseen_group(code, sjis)] += 1
        else:
            singletons[c, unseen_group(code, sjis)] += n
    unseen_cost = []
    for c in range(len(CLASSES)):
        total = class_totals[c] + 16
        unseen_mass = (sum(singletons[c, g] for g in range(3)) + 16) / total
        unseen = [members[c, g] - seen[c, g] for g in range(3)]
        in_cp932 = unseen[0] + unseen[1]
        share = JIS_SHARE if in_cp932 and unseen[2] else 1.0 if in_cp932 else 0.0
        # The CP932 share goes to its two groups as the singletons do, plus one each.
        weights = [singletons[c, g] + 16 if unseen[g] else 0 for g in range(2)]
        shares = [share * w / max(1, sum(weights)) for w in weights] + [1 - share]
        unseen_cost.append([cost(unseen_mass * shares[g] / unseen[g]) if shares[g] and unseen[g] else MAX_COST
                            for g in range(3)])
    character_costs = []
    unigram = {}
    for code, n in sorted(characters.items()):
        if code <= 0xFFFF and n >= MIN_COUNT * 16:
            c = table[code]
            character_costs.append((code, cost(n / (class_totals[c] + 16))))
            unigram[code] = n / (class_totals[c] + 16)

    def letter_probability(code):
        if code in unigram:
            return unigram[code]
        return 2 ** (-unseen_cost[table[code]][unseen_group(code, sjis)] / UNIT)
    letter_costs = []
    for _, first, size in PAIR_BLOCKS:
        block = []
        for a in range(first, first + size):
            followers = {b: letter_pairs[a, b] for b in range(first, first + size) if letter_pairs[a, b]}
            n = sum(followers.values())
            block.append([cost(PAIR_WEIGHT * followers.get(b, 0) / n + (1 - PAIR_WEIGHT) * letter_probability(b))
                          if n else cost(letter_probability(b)) for b in range(first, first + size)])
        letter_costs.append(block)
    transitions = []
    for a in range(len(CLASSES)):
        row_total = sum(pairs[a, b] for b in range(len(CLASSES)))
        row = [cost((pairs[a, b] + 16) / (row_total + 16 * len(CLASSES))) for b in range(len(CLASSES))]
        for b, name in enumerate(CLASSES):
            if CLASSES[a] in TEXT_CLASSES and name in TEXT_CLASSES:
                row[b] = min(row[b], TRANSITION_CEILING * UNIT)
        transitions.append(row)
    # Every BMP character's cost as the guesser charges it: its own, or its class's unseen cost
    # for its group.
    own = dict(character_costs)
    costs = [own[code] if code in own else unseen_cost[table[code]][unseen_group(code, sjis)]
             for code in range(0x10000)]
    return table, unseen_cost, character_costs, transitions, letter_costs, costs


def code_pairs(declaration, pairs):
    """A C++ array of {code point, value} pairs, six to a line."""
    lines = [declaration + " = {"]
    for i in range(0, len(pairs), 6):
        lines.append("    " + " ".join(f"{{0x{code:04X}, {value}}}," for code, value in pairs[i:i + 6]))
    return lines + ["};"]


def render(table, unseen_cost, character_costs, transitions, letter_costs, costs):
    lines = ["// generated by tools/make_guess_tables.py from tools/data/guess_counts.txt, do not edit",
             "// The guesser's character model: costs in 1/64 bit of a character given its class and of",
             "// a class given the one before it.",
             "#include <array>", "#include <cstddef>", "#include <cstdint>", "", '#include "morvik/guess_tables.h"', "",
             "namespace morvik {", ""]
    runs = []
    for code in range(0x10000):
        if not runs or runs[-1][1] != table[code]:
            runs.append((code, table[code]))
    lines.append("// constexpr, so that the compiler can lay the runs out flat below.")
    lines += code_pairs(f"constexpr class_run guess_class_runs[{len(runs)}]", runs)
    lines.append("")
    lines.append(f"const std::uint16_t guess_unseen_cost[guess_class_count][3] = {{")
    for a, group in enumerate(unseen_cost):
        lines.append(f"    {{{group[0]}, {group[1]}, {group[2]}}},  // {CLASSES[a]}")
    lines.append("};")
    lines.append("")
    lines.append("const std::uint16_t guess_transition_cost[guess_class_count][guess_class_count] = {")
    for a, row in enumerate(transitions):
        lines.append("    {" + ", ".join(str(v) for v in row) + f"}},  // after {CLASSES[a]}")
    lines.append("};")
    lines.append("")
    for (name, first, size), block in zip(PAIR_BLOCKS, letter_costs):
        lines.append(f"const std::uint16_t guess_{name}_pair_cost[{size}][{size}] = {{  // from U+{first:04X}")
        for row in block:
            lines.append("    {" + ", ".join(str(v) for v in row) + "},")
        lines.append("};")
        lines.append("")
    lines += code_pairs(f"const character_cost guess_character_costs[{len(character_costs)}]", character_costs)
    lines.append(f"const std::size_t guess_character_count = {len(character_costs)};")
    lines.append(f"const std::size_t guess_class_run_count = {len(runs)};")
    lines.append("")
    cost_runs = [(code, costs[code]) for code in range(0x10000) if code == 0 or costs[code] != costs[code - 1]]
    lines.append("namespace {")
    lines.append("")
    lines.append("// Every BMP character's cost as runs: a run lasts up to the next run's first code point.")
    lines.append("struct cost_run {")
    lines.append("  std::uint16_t first;")
    lines.append("  std::uint16_t cost;")
    lines.append("};")
    lines += code_pairs(f"constexpr cost_run cost_runs[{len(cost_runs)}]", cost_runs)
    lines.append("")
    lines.append("// The runs laid out flat by the compiler: constant data, nothing to fill at start-up.")
    lines.append("template <class Value, class Run, std::size_t N, class Field>")
    lines.append("constexpr std::array<Value, 0x10000> flat(const Run (&runs)[N], Field field) {")
    lines.append("  std::array<Value, 0x10000> values{};")
    lines.append("  std::size_t run = 0;")
    lines.append("  for (std::size_t code = 0; code < 0x10000; ++code) {")
    lines.append("    if (run + 1 < N && runs[run + 1].first == code) ++run;")
    lines.append("    values[code] = static_cast<Value>(field(runs[run]));")
    lines.append("  }")
    lines.append("  return values;")
    lines.append("}")
    lines.append("")
    lines.append("}  // namespace")
    lines.append("")
    lines.append("const std::array<std::uint16_t, 0x10000> guess_bmp_cost =")
    lines.append("    flat<std::uint16_t>(cost_runs, [](const cost_run& run) { return run.cost; });")
    lines.append("const std::array<std::uint8_t, 0x10000> guess_bmp_class =")
    lines.append("    flat<std::uint8_t>(guess_class_runs, [](const class_run& run) { return run.character_class; });")
    lines.append("")
    lines.append("}  // namespace morvik")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--count", action="store_true", help="count the corpus into the counts file")
    parser.add_argument("--corpus", default=DEFAULT_CORPUS)
    parser.add_argument("--counts", default=DEFAULT_COUNTS)
    parser.add_argument("--output", default=DEFAULT_OUTPUT)
    arguments = parser.parse_args()
    if arguments.count:
        if not os.path.isdir(arguments.corpus):
            sys.exit(f"missing {arguments.corpus}: apt-get install manpages-ja manpages-ja-dev")
        write_counts(arguments.counts, *count(arguments.corpus))
        return
    source = render(*make_model(*read_counts(arguments.counts)))
    with open(arguments.output, "w", encoding="ascii", newline="\n") as out:
        out.write(source)


if __name__ == "__main__":
    main()
