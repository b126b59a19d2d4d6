#!/usr/bin/env python3
"""Which byte sequences are whole valid characters, from Python's strict codecs.

Prints one line per case: "<encoding> <input hex> <1 if valid, else 0>", encoding one of sjis,
euc, utf8, utf16le, utf16be. A case is valid when Python decodes it strictly (errors="strict")
to characters. Where our repertoire is defined to differ from Python's codecs, no case is
printed (the strict tests state those choices case by case):

Shift_JIS (cp932): the user-defined area (lead bytes 0xF0-0xF9) and the single bytes 0x80,
  0xA0 and 0xFD-0xFF, which Python reads as private-use or control characters, are not ours.
EUC-JP (euc_jp is JIS-flavoured; ours is the EUC-JP form of CP932): row 13 (0xADxx) and rows
  89-92 (0xF9xx-0xFCxx) exist only in ours.
"""
import sys


def valid(data, codec):
    try:
        data.decode(codec)
    except UnicodeDecodeError:
        return False
    return True


def emit(out, kind, data, codec):
    out.append("%s %s %d" % (kind, data.hex().upper(), 1 if valid(data, codec) else 0))


def sjis_cases(out):
    for b in range(256):
        if b in (0x80, 0xA0) or b >= 0xFD:
            continue
        emit(out, "sjis", bytes([b]), "cp932")  # a lead byte alone is cut off
        if 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC:
            if 0xF0 <= b <= 0xF9:
                continue
            for t in range(256):
                emit(out, "sjis", bytes([b, t]), "cp932")


def euc_cases(out):
    for b in range(256):
        emit(out, "euc", bytes([b]), "euc_jp")
        if b == 0x8E or 0xA1 <= b <= 0xFE:
            if b == 0xAD or 0xF9 <= b <= 0xFC:
                continue
            for t in range(0xA0, 0x100):
                emit(out, "euc", bytes([b, t]), "euc_jp")
    for c in range(0xA1, 0xFF):
        for d in range(0xA1, 0xFF):
            emit(out, "euc", bytes([0x8F, c, d]), "euc_jp")


def utf8_cases(out):
    for b in range(256):
        emit(out, "utf8", bytes([b]), "utf-8")
    for b in range(0xC0, 0x100):
        for t in range(256):
            emit(out, "utf8", bytes([b, t]), "utf-8")
    for b in range(0xE0, 0xF0):
        for t in range(0x70, 0xD0):
            for u in (0x41, 0x80, 0xBF, 0xC0):
                emit(out, "utf8", bytes([b, t, u]), "utf-8")
    for b in range(0xF0, 0x100):
        for t in range(0x70, 0xD0):
            for u in (0x41, 0x80, 0xBF):
                emit(out, "utf8", bytes([b, t, u, 0x80]), "utf-8")
                emit(out, "utf8", bytes([b, t, 0x80, u]), "utf-8")


def utf16_cases(out):
    for kind, codec, order in (("utf16le", "utf-16-le", "little"), ("utf16be", "utf-16-be", "big")):
        for unit in range(0x10000):
            emit(out, kind, unit.to_bytes(2, order), codec)
        for high in (0xD800, 0xDBFF):
            for low in (0x0041, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000):
                emit(out, kind, high.to_bytes(2, order) + low.to_bytes(2, order), codec)
        emit(out, kind, b"A", codec)
        emit(out, kind, b"A\x00B", codec)


def main():
    out = []
    sjis_cases(out)
    euc_cases(out)
    utf8_cases(out)
    utf16_cases(out)
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
