#!/usr/bin/env python3
"""Generates morvik/tables.cpp: the mapping tables, the weight tables and the byte classes.

The character tables come from Python's `cp932` codec (the CP932 mapping) and the JIS X 0212
half of its `euc_jp` codec (bytes 8F xx yy), derived as follows:
  sjis_to_unicode      every CP932 code from A1 up, without the user-defined area F040-F9FC
                       (only A1-DF of the single bytes; the codec's extras for 80, A0 and
                       FD-FF are not part of the CP932 mapping)
  unicode_to_sjis      its inverse; of several codes for one character the JIS X 0208 code
                       wins, then NEC row 13, then the NEC-selected IBM extension; an IBM
                       extension code (FA40-FC4B) is never a value
  euc_to_unicode       the EUC-JP form of every preferred Shift_JIS code
  jisx0212_to_unicode  JIS X 0212, indexed by its code + 0x8080
  unicode_to_euc       the inverse of euc_to_unicode, plus 0x8F0000 + index for every
                       JIS X 0212 character that the two-byte side lacks
  ibm_ext_to_euc       IBM extension code -> EUC-JP form of the character's preferred code;
  euc_to_ibm_ext       and back
The weight tables take tools/data/character_weights.txt ("U+XXXX weight" lines) under the
Shift_JIS, EUC-JP and UTF-16 keys of each character. Without that file they are empty.

Every table is cut into rows of 32 values; all-zero rows are dropped and identical rows and
middle arrays are stored once, across all tables. The output is plain constant data: the
compiler puts it in read-only memory with no start-up code.

Usage: generate_tables.py [--output FILE] [--weights FILE] [--dump]
  --dump prints "table index value" (hexadecimal) for every entry instead of the source.
The output depends only on the Python codecs and the weight list.
"""
import argparse
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUTPUT = os.path.join(ROOT, "morvik", "tables.cpp")
DEFAULT_WEIGHTS = os.path.join(ROOT, "tools", "data", "character_weights.txt")

TABLE_NAMES = [
    "sjis_to_unicode", "unicode_to_sjis", "euc_to_unicode", "jisx0212_to_unicode",
    "unicode_to_euc", "ibm_ext_to_euc", "euc_to_ibm_ext",
    "sjis_frequency", "euc_frequency", "unicode_frequency",
]

# Checked on every run: a codec that changes under us must not slip into the tables.
EXPECTED_ENTRIES = {
    "sjis_to_unicode": 7787, "unicode_to_sjis": 7389, "euc_to_unicode": 7389,
    "jisx0212_to_unicode": 6067, "unicode_to_euc": 13176, "ibm_ext_to_euc": 388,
    "euc_to_ibm_ext": 388,
}


def is_ibm_extension(code):
    return 0xFA40 <= code <= 0xFC4B


def is_nec_row13(code):
    return 0x8740 <= code <= 0x879C


def is_nec_selected(code):
    return 0xED40 <= code <= 0xEEFC


def preference(code):
    """Lower wins: JIS X 0208 (and single bytes), NEC row 13, NEC-selected IBM."""
    if is_nec_selected(code):
        return 2
    if is_nec_row13(code):
        return 1
    return 0


def sjis_to_euc_code(code):
    """Shift_JIS code to EUC-JP: JIS row and cell, each + 0xA0; katakana after 8E.

    The JIS bytes (row and cell + 0x20) come from the lead and trail bytes; EUC-JP sets
    their high bits."""
    if code <= 0xFF:
        return 0x8E00 | code
    lead, trail = code >> 8, code & 0xFF
    row = (lead - (0x70 if lead < 0xA0 else 0xB0)) * 2
    if trail < 0x9F:
        row -= 1
        cell = trail - (0x1F if trail < 0x7F else 0x20)
    else:
        cell = trail - 0x7E
    return ((row | 0x80) << 8) | (cell | 0x80)


def decode_one(data, codec):
    try:
        text = data.decode(codec)
    except UnicodeDecodeError:
        return None
    if len(text) != 1 or ord(text) > 0xFFFF:
        return None
    return ord(text)


def build_character_tables():
    sjis_to_unicode = {}
    for byte in range(0xA1, 0xE0):
        unit = decode_one(bytes([byte]), "cp932")
        if unit is not None:
            sjis_to_unicode[byte] = unit
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD)):
            code = (lead << 8) | trail
            if 0xF040 <= code <= 0xF9FC:
                continue  # user-defined area
            unit = decode_one(bytes([lead, trail]), "cp932")
            if unit is not None:
                sjis_to_unicode[code] = unit

    unicode_to_sjis = {}
    for code in sorted(sjis_to_unicode):
        if is_ibm_extension(code):
            continue
        unit = sjis_to_unicode[code]
        known = unicode_to_sjis.get(unit)
        if known is None or preference(code) < preference(known):
            unicode_to_sjis[unit] = code

    euc_to_unicode = {sjis_to_euc_code(code): unit for unit, code in unicode_to_sjis.items()}

    # Python's euc_jp carries JIS X 0212 after 8F, including 0x2237 -> U+007E.
    jisx0212_to_unicode = {}
    for first in range(0xA1, 0xFF):
        for second in range(0xA1, 0xFF):
            unit = decode_one(bytes([0x8F, first, second]), "euc_jp")
            if unit is not None:
                jisx0212_to_unicode[(first << 8) | second] = unit

    unicode_to_euc = {unit: code for code, unit in euc_to_unicode.items()}
    for code in sorted(jisx0212_to_unicode):
        unit = jisx0212_to_unicode[code]
        if unit not in unicode_to_euc:
            unicode_to_euc[unit] = 0x8F0000 | code

    ibm_ext_to_euc = {}
    for code, unit in sjis_to_unicode.items():
        if is_ibm_extension(code):
            ibm_ext_to_euc[code] = sjis_to_euc_code(unicode_to_sjis[unit])
    euc_to_ibm_ext = {euc: code for code, euc in ibm_ext_to_euc.items()}

    tables = {
        "sjis_to_unicode": sjis_to_unicode,
        "unicode_to_sjis": unicode_to_sjis,
        "euc_to_unicode": euc_to_unicode,
        "jisx0212_to_unicode": jisx0212_to_unicode,
        "unicode_to_euc": unicode_to_euc,
        "ibm_ext_to_euc": ibm_ext_to_euc,
        "euc_to_ibm_ext": euc_to_ibm_ext,
    }
    for name, expected in EXPECTED_ENTRIES.items():
        if len(tables[name]) != expected:
            sys.exit("%s: %d entries, expected %d" % (name, len(tables[name]), expected))
    if len(euc_to_ibm_ext) != len(ibm_ext_to_euc):
        sys.exit("euc_to_ibm_ext is not the inverse of ibm_ext_to_euc")
    return tables


def read_weights(path):
    weights = []
    if not os.path.exists(path):
        return weights
    with open(path, encoding="ascii") as lines:
        for number, line in enumerate(lines, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = line.split()
            if len(fields) != 2 or not fields[0].startswith("U+"):
                sys.exit("%s:%d: expected 'U+XXXX weight'" % (path, number))
            weights.append((int(fields[0][2:], 16), int(fields[1])))
    return weights


def build_weight_tables(weights, tables):
    sjis, euc, unicode = {}, {}, {}
    for unit, weight in weights:
        if not 0 < weight < 2**31:
            sys.exit("U+%04X: weight %d out of range" % (unit, weight))
        sjis_code = tables["unicode_to_sjis"].get(unit)
        euc_code = tables["unicode_to_euc"].get(unit)
        if sjis_code is None or euc_code is None or euc_code > 0xFFFF:
            sys.exit("U+%04X has no Shift_JIS or two-byte EUC-JP code" % unit)
        if unit in unicode:
            sys.exit("U+%04X is listed twice" % unit)
        sjis[sjis_code] = weight
        euc[euc_code] = weight
        unicode[unit] = weight
    return {"sjis_frequency": sjis, "euc_frequency": euc, "unicode_frequency": unicode}


class layout:
    """Rows and middle arrays shared across all tables, numbered in order of first use."""

    def __init__(self):
        self.rows = {}      # tuple of 32 values -> number
        self.middles = {}   # tuple of 8 row numbers (None for no row) -> number
        self.tops = {}      # table name -> list of 256 middle numbers (None for no middle)
        self.row_references = 0
        self.middle_references = 0

    def add(self, name, table):
        top = []
        for high in range(256):
            middle = []
            for slot in range(8):
                base = (high << 8) | (slot << 5)
                row = tuple(table.get(base + low, 0) for low in range(32))
                if any(row):
                    middle.append(self.rows.setdefault(row, len(self.rows)))
                    self.row_references += 1
                else:
                    middle.append(None)
            if any(number is not None for number in middle):
                top.append(self.middles.setdefault(tuple(middle), len(self.middles)))
                self.middle_references += 1
            else:
                top.append(None)
        self.tops[name] = top


def byte_class(ranges):
    return [1 if any(low <= byte <= high for low, high in ranges) else 0 for byte in range(256)]


def utf8_lengths():
    lengths = []
    for byte in range(256):
        if byte < 0x80:
            lengths.append(1)
        elif byte < 0xC0:
            lengths.append(0)
        elif byte < 0xE0:
            lengths.append(2)
        elif byte < 0xF0:
            lengths.append(3)
        elif byte < 0xF8:
            lengths.append(4)
        elif byte < 0xFC:
            lengths.append(5)
        elif byte < 0xFE:
            lengths.append(6)
        else:
            lengths.append(0)
    return lengths


def format_values(values, per_line, width=None, indent="    "):
    """Hexadecimal of `width` digits, or decimal without a width."""
    lines = []
    for start in range(0, len(values), per_line):
        chunk = values[start:start + per_line]
        text = [("0x%0*X" % (width, value)) if width else str(value) for value in chunk]
        lines.append(indent + ", ".join(text) + ",")
    return lines


def render(tables, weights_present):
    plan = layout()
    for name in TABLE_NAMES:
        plan.add(name, tables[name])

    out = []
    out.append("// generated by tools/generate_tables.py, do not edit")
    out.append("// Rows of 32 values, middle arrays of 8 rows and top arrays of 256 middles, shared")
    out.append("// across all tables. %d row references to %d distinct rows, %d middle references"
               % (plan.row_references, len(plan.rows), plan.middle_references))
    out.append("// to %d distinct middle arrays. Constant data only: no start-up code." % len(plan.middles))
    if not weights_present:
        out.append("// No weight list was found: the weight tables are empty.")
    out.append("#include <cstdint>")
    out.append("")
    out.append('#include "morvik/code_table.h"')
    out.append("")
    out.append("namespace morvik {")
    out.append("namespace {")
    out.append("")
    for row, number in sorted(plan.rows.items(), key=lambda item: item[1]):
        out.append("constexpr code_row row_%d = {" % number)
        out.extend(format_values(list(row), 8, 8))
        out.append("};")
    out.append("")
    for middle, number in sorted(plan.middles.items(), key=lambda item: item[1]):
        slots = ", ".join("nullptr" if row is None else "&row_%d" % row for row in middle)
        out.append("constexpr code_middle middle_%d = {%s};" % (number, slots))
    out.append("")
    for name in TABLE_NAMES:
        out.append("constexpr const code_middle* top_%s[256] = {" % name)
        top = plan.tops[name]
        for start in range(0, 256, 8):
            entries = ", ".join("nullptr" if middle is None else "&middle_%d" % middle
                                for middle in top[start:start + 8])
            out.append("    %s,  // %02X" % (entries, start))
        out.append("};")
    out.append("")
    out.append("}  // namespace")
    out.append("")
    for name in TABLE_NAMES:
        out.append("const code_table %s{top_%s};" % (name, name))
    out.append("")
    classes = [
        ("sjis_lead_bytes", [(0x81, 0x9F), (0xE0, 0xFC)]),
        ("sjis_trail_bytes", [(0x40, 0x7E), (0x80, 0xFC)]),
        ("euc_lead_bytes", [(0x8E, 0x8E), (0x90, 0x9F), (0xA1, 0xFE)]),
    ]
    for name, ranges in classes:
        out.append("const std::uint8_t %s[256] = {" % name)
        out.extend(format_values(byte_class(ranges), 16))
        out.append("};")
    out.append("const std::uint32_t utf8_length[256] = {")
    out.extend(format_values(utf8_lengths(), 16))
    out.append("};")
    out.append("// Entry 0 is the payload mask of a continuation byte.")
    out.append("const std::uint32_t utf8_lead_mask[7] = {0x3F, 0x7F, 0x1F, 0x0F, 0x07, 0x03, 0x01};")
    out.append("")
    out.append("}  // namespace morvik")
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=DEFAULT_OUTPUT)
    parser.add_argument("--weights", default=DEFAULT_WEIGHTS)
    parser.add_argument("--dump", action="store_true")
    options = parser.parse_args()

    tables = build_character_tables()
    weights = read_weights(options.weights)
    tables.update(build_weight_tables(weights, tables))

    if options.dump:
        out = sys.stdout
        for name in TABLE_NAMES:
            for index in sorted(tables[name]):
                out.write("%s %X %X\n" % (name, index, tables[name][index]))
        return
    text = render(tables, bool(weights))
    with open(options.output, "w", encoding="ascii", newline="\n") as output:
        output.write(text)


if __name__ == "__main__":
    main()
