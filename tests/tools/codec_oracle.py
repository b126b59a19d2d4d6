#!/usr/bin/env python3
"""Expected results of morvik's Shift_JIS and EUC-JP codecs, from Python's own codecs.

Prints one line per case: "<from>-<to> <input hex> <expected output hex>", with from/to one of
sjis, euc, utf16le. The character data comes only from Python's cp932 and euc_jp codecs; what
this script adds is the byte framing of the readers (what a rejected byte turns into, which
byte is read next) and the ways our repertoire is defined to differ from Python's codecs:

Shift_JIS (cp932):
  - 0xA0 and 0xFD-0xFF read as the characters of their value (Python: U+F8F0-U+F8F3).
  - The user-defined area, lead bytes 0xF0-0xF9, has no characters (Python: private use).
EUC-JP (euc_jp is JIS-flavoured; ours is the EUC-JP form of CP932):
  - rows 1-2: six symbols decode as CP932 decodes the same row and cell (A1C1 U+FF5E, not
    U+301C; A1C2, A1DD, A1F1, A1F2, A2CC likewise);
  - row 13 (0xADxx) and rows 89-92 (0xF9xx-0xFCxx, the NEC-selected IBM extensions) exist,
    as CP932 has them at the same row and cell (Python's euc_jp has neither);
  - ten codes have no character, because CP932 prefers another code for it (below);
  - single bytes 0x80-0x8D, 0xA0 and 0xFF read as their own value (Python rejects them).
Writing (every UTF-16 unit): the preferred Shift_JIS code of the character: the JIS X 0208
code, else the NEC row 13 code, else the NEC-selected IBM code; never an IBM code (FA-FC).
EUC-JP writes the EUC form of that code, else the JIS X 0212 code of Python's euc_jp, else "?".
"""
import sys

CP932_SYMBOLS = {0xA1C1, 0xA1C2, 0xA1DD, 0xA1F1, 0xA1F2, 0xA2CC}
EUC_WITHOUT_ENTRY = {0xADF0, 0xADF1, 0xADF2, 0xADF5, 0xADF6, 0xADF7, 0xADFA, 0xADFB, 0xADFC,
                     0xFCFB}


def decode(data, codec):
    try:
        text = data.decode(codec)
    except UnicodeDecodeError:
        return None
    return text if len(text) == 1 else None


def is_sjis_lead(b):
    return 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC


def is_sjis_second(b):
    return 0x40 <= b <= 0xFC and b != 0x7F


def is_euc_lead(b):
    return b == 0x8E or 0x90 <= b <= 0x9F or 0xA1 <= b <= 0xFE


def is_euc_second(b):
    return 0x40 <= b <= 0xFE and b != 0x7F


def sjis_char(code):
    if 0xF040 <= code <= 0xF9FC:
        return None
    if code < 0x100:
        return decode(bytes([code]), 'cp932') if 0xA1 <= code <= 0xDF else None
    return decode(code.to_bytes(2, 'big'), 'cp932')


def euc_to_sjis(e1, e2):
    j1, j2 = e1 - 0x80, e2 - 0x80
    s1 = (j1 + 1) // 2 + (0x70 if j1 <= 0x5E else 0xB0)
    if j1 % 2:
        s2 = j2 + (0x1F if j2 <= 0x5F else 0x20)
    else:
        s2 = j2 + 0x7E
    return s1 << 8 | s2


def sjis_to_euc(code):
    if code < 0x100:
        return 0x8E00 | code
    s1, s2 = code >> 8, code & 0xFF
    row = 2 * (s1 - (0x70 if s1 < 0xA0 else 0xB0))
    if s2 < 0x9F:
        row -= 1
        cell = s2 - (0x1F if s2 < 0x80 else 0x20)
    else:
        cell = s2 - 0x7E
    return (row << 8 | cell) | 0x8080


def euc_char(code):
    if code in EUC_WITHOUT_ENTRY:
        return None
    e1, e2 = code >> 8, code & 0xFF
    if e1 == 0x8E:
        return decode(bytes([e1, e2]), 'euc_jp') if 0xA1 <= e2 <= 0xDF else None
    if not (0xA1 <= e1 <= 0xFE and 0xA1 <= e2 <= 0xFE):
        return None
    if code in CP932_SYMBOLS or e1 == 0xAD or 0xF9 <= e1 <= 0xFC:
        return decode(euc_to_sjis(e1, e2).to_bytes(2, 'big'), 'cp932')
    return decode(bytes([e1, e2]), 'euc_jp')


def jisx0212_char(c, d):
    return decode(bytes([0x8F, c, d]), 'euc_jp')


def read_sjis(data):
    out, i = [], 0
    while i < len(data):
        b = data[i]
        if is_sjis_lead(b):
            if i + 1 == len(data):
                out.append('?')  # held back, then one "?" at the end
                i += 1
                continue
            t = data[i + 1]
            ch = sjis_char(b << 8 | t) if is_sjis_second(t) else None
            out.append(ch or '?')
            i += 2 if ch else 1
        else:
            out.append(sjis_char(b) if 0xA1 <= b <= 0xDF else chr(b))
            i += 1
    return ''.join(out)


def read_euc(data):
    out, i = [], 0
    while i < len(data):
        b = data[i]
        if is_euc_lead(b):
            if i + 1 == len(data):
                out.append('?')
                i += 1
                continue
            t = data[i + 1]
            ch = euc_char(b << 8 | t) if is_euc_second(t) else None
            out.append(ch or '?')
            i += 2 if ch else 1
        elif b == 0x8F:
            if len(data) - i < 3:
                out.append('?' * (len(data) - i))  # held back, one "?" per byte at the end
                break
            ch = jisx0212_char(data[i + 1], data[i + 2])
            out.append(ch or '?')
            i += 3 if ch else 1
        else:
            out.append(chr(b))
            i += 1
    return ''.join(out)


def utf16le(text):
    return text.encode('utf-16-le', 'surrogatepass')


def main():
    write = sys.stdout.write
    sjis_codes = list(range(0x100)) + [lead << 8 | trail for lead in range(0x100)
                                       if is_sjis_lead(lead) for trail in range(0x100)]
    preferred_sjis = {}
    for code in sjis_codes:
        data = code.to_bytes(2 if code > 0xFF else 1, 'big')
        write('sjis-utf16le %s %s\n' % (data.hex(), utf16le(read_sjis(data)).hex()))
        ch = sjis_char(code)
        if ch is None or code < 0x80 or 0xFA00 <= code:
            continue
        lead = code >> 8
        rank = 2 if lead in (0xED, 0xEE) else 1 if lead == 0x87 else 0
        if ch not in preferred_sjis or rank < preferred_sjis[ch][0]:
            preferred_sjis[ch] = (rank, code)

    for lead in range(0x100):
        write('euc-utf16le %02x %s\n' % (lead, utf16le(read_euc(bytes([lead]))).hex()))
        if is_euc_lead(lead):
            for trail in range(0x100):
                data = bytes([lead, trail])
                write('euc-utf16le %s %s\n' % (data.hex(), utf16le(read_euc(data)).hex()))
    for c in range(0x100):
        for d in range(0x100):
            data = bytes([0x8F, c, d])
            write('euc-utf16le %s %s\n' % (data.hex(), utf16le(read_euc(data)).hex()))

    # The ten codes without an entry are exactly the row 13 and rows 89-92 duplicates.
    derived = set()
    for e1 in [0xAD] + list(range(0xF9, 0xFD)):
        for e2 in range(0xA1, 0xFF):
            ch = decode(euc_to_sjis(e1, e2).to_bytes(2, 'big'), 'cp932')
            if ch is not None and sjis_to_euc(preferred_sjis[ch][1]) != (e1 << 8 | e2):
                derived.add(e1 << 8 | e2)
    assert derived == EUC_WITHOUT_ENTRY, sorted(map(hex, derived ^ EUC_WITHOUT_ENTRY))

    jisx0212 = {}
    for c in range(0xA1, 0xFF):
        for d in range(0xA1, 0xFF):
            ch = jisx0212_char(c, d)
            if ch is not None:
                jisx0212.setdefault(ch, 0x8F0000 | c << 8 | d)
    for unit in range(0x10000):
        ch = chr(unit)
        data = utf16le(ch)
        if unit < 0x80:
            sjis = euc = bytes([unit])
        else:
            code = preferred_sjis.get(ch, (0, 0))[1]
            sjis = code.to_bytes(2 if code > 0xFF else 1, 'big') if code else b'?'
            if code:
                euc = sjis_to_euc(code).to_bytes(2, 'big')
            elif ch in jisx0212:
                euc = jisx0212[ch].to_bytes(3, 'big')
            else:
                euc = b'?'
        write('utf16le-sjis %s %s\n' % (data.hex(), sjis.hex()))
        write('utf16le-euc %s %s\n' % (data.hex(), euc.hex()))


if __name__ == '__main__':
    main()
