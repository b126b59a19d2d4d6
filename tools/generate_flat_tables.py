#!/usr/bin/env python3
"""Generates morvik/flat_tables.cpp: one-load tables for the fused conversions.

They are derived from the sparse character tables of tools/generate_tables.py (the same Python
codecs, the same preferences), so each flat entry is exactly what the reference chain writes:
  sjis_pair_utf8    Shift_JIS pair -> UTF-8 bytes of sjis_to_unicode: row 0 is empty (every byte
                    that leads no pair), rows 1-60 the lead bytes 81-9F and E0-FC, a column for
                    every second byte
  sjis_single_utf8  Shift_JIS byte -> UTF-8 bytes, for the 7-bit bytes and half-width katakana
  sjis_ibm_euc      the IBM extensions (lead bytes FA-FC, a row of 256 each) -> EUC-JP bytes of
                    ibm_ext_to_euc, packed as UTF-8 is, for the Shift_JIS -> EUC-JP kernel
  euc_pair_utf8     EUC-JP pair A1-FE A1-FE -> UTF-8 bytes of euc_to_unicode, row and column
                    byte - 0xA1 (so a JIS X 0208 pair, byte - 0x21); one empty entry after them
  euc_pair_sjis     the same pairs -> unicode_to_sjis of their character (double-byte codes only)
  euc_sjis_row_ends for each of those rows, how many cells from its first have an euc_pair_sjis
                    entry (0-94); 0 after row 94, to 128
  unicode_block,    UTF-16 unit -> (unicode_to_euc << 16 | unicode_to_sjis) for characters with a
  unicode_codes     double-byte code on both sides: block unicode_block[unit >> 6], entry
                    unit & 63; blocks are shared, block 0 is empty
  utf8_block        the first two bytes of a three-byte UTF-8 sequence, b0 | (b1 & 3F) << 8 ->
                    where the block of its unit starts in unicode_codes (unicode_block[unit >> 6]
                    << 6), the continuation byte taken unchecked as the reference reader takes
                    it; 0, the empty block, where b0 does not lead three bytes
UTF-8 bytes are packed first byte lowest, their count in bits 24-27 and the count of source
bytes they stand for in bits 28-31; 0 means "no entry": the fused kernel leaves that character
to the reference chain.

Usage: generate_flat_tables.py [--output FILE]
The output depends only on the Python codecs.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate_tables  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUTPUT = os.path.join(ROOT, "morvik", "flat_tables.cpp")

SJIS_LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
SJIS_IBM_LEADS = list(range(0xFA, 0xFD))
EUC_SIDE = 94       # A1-FE


def packed(data, source_length):
    """Target bytes first byte lowest, their count in bits 24-27, the source's in bits 28-31."""
    value = 0
    for i, byte in enumerate(data):
        value |= byte << (8 * i)
    return value | len(data) << 24 | source_length << 28


def packed_utf8(unit, source_length):
    if 0xD800 <= unit <= 0xDFFF:
        return 0  # never in these tables; left to the reference chain if it were
    return packed(chr(unit).encode("utf-8"), source_length)


def is_sjis_second_byte(byte):
    return 0x40 <= byte <= 0xFC and byte != 0x7F


def build(tables):
    sjis_to_unicode = tables["sjis_to_unicode"]
    euc_to_unicode = tables["euc_to_unicode"]
    unicode_to_sjis = tables["unicode_to_sjis"]
    unicode_to_euc = tables["unicode_to_euc"]

    sjis_pair_utf8 = [0] * 256
    for lead in SJIS_LEADS:
        for second in range(0x100):
            unit = sjis_to_unicode.get(lead << 8 | second, 0) if is_sjis_second_byte(second) else 0
            sjis_pair_utf8.append(packed_utf8(unit, 2) if unit else 0)
    sjis_ibm_euc = []
    for lead in SJIS_IBM_LEADS:
        for second in range(0x100):
            euc = tables["ibm_ext_to_euc"].get(lead << 8 | second, 0)
            sjis_ibm_euc.append(packed(euc.to_bytes(2, "big"), 2) if euc else 0)
    sjis_single_utf8 = []
    for byte in range(0x100):
        unit = byte if byte < 0x80 else sjis_to_unicode.get(byte, 0) if 0xA1 <= byte <= 0xDF else 0
        sjis_single_utf8.append(packed_utf8(unit, 1) if unit or byte == 0 else 0)

    euc_pair_utf8 = []
    euc_pair_sjis = []
    for first in range(0xA1, 0xFF):
        for second in range(0xA1, 0xFF):
            unit = euc_to_unicode.get(first << 8 | second, 0)
            euc_pair_utf8.append(packed_utf8(unit, 2) if unit else 0)
            code = unicode_to_sjis.get(unit, 0) if unit else 0
            euc_pair_sjis.append(code if code > 0xFF else 0)
    euc_pair_utf8.append(0)
    euc_pair_sjis.append(0)
    euc_sjis_row_ends = []
    for row in range(94):
        cells = euc_pair_sjis[row * 94:(row + 1) * 94]
        euc_sjis_row_ends.append(cells.index(0) if 0 in cells else 94)
    euc_sjis_row_ends.extend([0] * (128 - 94))

    blocks = {(0,) * 64: 0}
    unicode_block = []
    for top in range(1024):
        block = []
        for unit in range(top << 6, (top + 1) << 6):
            sjis = unicode_to_sjis.get(unit, 0) if unit >= 0x80 else 0
            euc = unicode_to_euc.get(unit, 0) if unit >= 0x80 else 0
            if sjis > 0xFF and 0x100 <= euc <= 0xFFFF:
                block.append(euc << 16 | sjis)
            else:
                block.append(0)
        block = tuple(block)
        if block not in blocks:
            blocks[block] = len(blocks)
        unicode_block.append(blocks[block])
    unicode_codes = []
    for block, _ in sorted(blocks.items(), key=lambda item: item[1]):
        unicode_codes.extend(block)
    assert len(unicode_codes) <= 0x10000
    utf8_block = []
    for continuation in range(0x40):
        for lead in range(0x100):
            top = (lead & 0x0F) << 6 | continuation
            utf8_block.append(unicode_block[top] << 6 if 0xE0 <= lead <= 0xEF else 0)
    return {
        "sjis_pair_utf8": sjis_pair_utf8,
        "sjis_single_utf8": sjis_single_utf8,
        "sjis_ibm_euc": sjis_ibm_euc,
        "euc_pair_utf8": euc_pair_utf8,
        "euc_pair_sjis": euc_pair_sjis,
        "euc_sjis_row_ends": euc_sjis_row_ends,
        "unicode_block": unicode_block,
        "unicode_codes": unicode_codes,
        "utf8_block": utf8_block,
    }


def render(flat):
    out = []
    out.append("// generated by tools/generate_flat_tables.py, do not edit")
    out.append("// Flat tables of the fused conversions, derived from the sparse character tables;")
    out.append("// %d shared blocks of 64 UTF-16 units. Constant data only: no start-up code."
               % (len(flat["unicode_codes"]) // 64))
    out.append("#include <cstdint>")
    out.append("")
    out.append('#include "morvik/flat_tables.h"')
    out.append("")
    out.append("namespace morvik {")
    out.append("namespace flat {")
    out.append("")
    shapes = [
        ("std::uint32_t", "sjis_pair_utf8", 8, 8),
        ("std::uint32_t", "sjis_single_utf8", 8, 8),
        ("std::uint32_t", "sjis_ibm_euc", 8, 8),
        ("std::uint32_t", "euc_pair_utf8", 8, 8),
        ("std::uint16_t", "euc_pair_sjis", 12, 4),
        ("std::uint8_t", "euc_sjis_row_ends", 16, None),
        ("std::uint16_t", "unicode_block", 16, None),
        ("std::uint32_t", "unicode_codes", 8, 8),
        ("std::uint16_t", "utf8_block", 16, None),
    ]
    for kind, name, per_line, width in shapes:
        values = flat[name]
        out.append("const %s %s[%d] = {" % (kind, name, len(values)))
        out.extend(generate_tables.format_values(values, per_line, width))
        out.append("};")
    out.append("")
    out.append("}  // namespace flat")
    out.append("}  // namespace morvik")
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=DEFAULT_OUTPUT)
    options = parser.parse_args()
    text = render(build(generate_tables.build_character_tables()))
    with open(options.output, "w", encoding="ascii", newline="\n") as output:
        output.write(text)


if __name__ == "__main__":
    main()
