"""Executable model of morvik's conversions, written independently of the C++ codecs.

Every engine is a plain function over the whole text: the chunk loop's chunking is
invisible, so only what it makes observable is modelled -- characters held back at
the end of the text (they become one "?" per unit at flush, after a JIS writer has
returned to ASCII), state switches of the JIS writers, and the flush steps.

Mapping tables are derived here from Python's cp932 and euc_jp codecs by the same
six rules the library's tables follow, so a table fault in the library shows up as
a disagreement instead of being copied.

Python 3, standard library only.
"""

import codecs
import functools

# Encoding identifiers (fixed values).
UNKNOWN, RESERVED, ANSI, SJIS, JIS, EUC, ISO2022JP, UTF8, UTF16BE, UNICODE, UTF32BE, UTF32LE = range(12)
NAMES = {ANSI: "ansi", SJIS: "sjis", JIS: "jis", EUC: "euc", ISO2022JP: "iso2022jp",
         UTF8: "utf8", UTF16BE: "utf16be", UNICODE: "unicode"}
CONVERTIBLE = [ANSI, SJIS, JIS, EUC, ISO2022JP, UTF8, UTF16BE, UNICODE]

Q = 0x3F  # "?" as a byte and as a unit

ESC_A = b"\x1b(B"
ESC_K2 = b"\x1b$B"
ESC_K1 = b"\x1b(I"
ESC_X = b"\x1b$(D"
JIS_A, JIS_K2, JIS_K1, JIS_X, JIS_S = range(5)
ESCAPE_OF = {JIS_A: ESC_A, JIS_K2: ESC_K2, JIS_K1: ESC_K1, JIS_X: ESC_X}


# ---------------------------------------------------------------------------
# Mapping tables
# ---------------------------------------------------------------------------

def _in(code, low, high):
    return low <= code <= high


def _is_nec_row13(code):
    return _in(code, 0x8740, 0x879C)


def _is_nec_selected(code):
    return _in(code, 0xED40, 0xEEFC)


def _is_ibm_ext(code):
    return _in(code, 0xFA40, 0xFC4B)


def _preference(code):
    # Lower is preferred: JIS X 0208 (and katakana), NEC row 13, NEC-selected IBM; IBM never.
    if _is_ibm_ext(code):
        return 3
    if _is_nec_selected(code):
        return 2
    if _is_nec_row13(code):
        return 1
    return 0


def sjis_arithmetic(b, t):
    """Shift_JIS first/second byte to the two JIS X 0208 bytes."""
    r = b - 0x70 if b < 0xA0 else b - 0xB0
    r = 2 * r
    if t < 0x9F:
        r -= 1
        second = t - 0x1F if t < 0x80 else t - 0x20
    else:
        second = t - 0x7E
    return r, second


def sjis_code_to_euc(code):
    if code < 0x100:
        return 0x8E00 | code
    r, c = sjis_arithmetic(code >> 8, code & 0xFF)
    return ((r + 0x80) << 8) | (c + 0x80)


@functools.lru_cache(maxsize=None)
def tables():
    sjis_to_unicode = {}
    for b in range(0xA1, 0xE0):
        sjis_to_unicode[b] = ord(bytes([b]).decode("cp932"))
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        for trail in range(0x40, 0xFD):
            if trail == 0x7F:
                continue
            code = lead * 256 + trail
            if _in(code, 0xF040, 0xF9FC):
                continue
            try:
                text = bytes([lead, trail]).decode("cp932")
            except UnicodeDecodeError:
                continue
            if len(text) == 1:
                sjis_to_unicode[code] = ord(text)

    unicode_to_sjis = {}
    for code, u in sorted(sjis_to_unicode.items()):
        if _is_ibm_ext(code):
            continue
        old = unicode_to_sjis.get(u)
        if old is None or _preference(code) < _preference(old):
            unicode_to_sjis[u] = code

    euc_to_unicode = {sjis_code_to_euc(code): u for u, code in unicode_to_sjis.items()}

    jisx0212_to_unicode = {}
    for c in range(0xA1, 0xFF):
        for d in range(0xA1, 0xFF):
            try:
                text = bytes([0x8F, c, d]).decode("euc_jp")
            except UnicodeDecodeError:
                continue
            if len(text) == 1:
                jisx0212_to_unicode[c * 256 + d] = ord(text)
    # The telling rows of JIS X 0212; applied over whatever the codec says.
    jisx0212_to_unicode.update({0xA2AF: 0x02D8, 0xA2B7: 0x007E, 0xA2C3: 0x00A6,
                                0xA2F1: 0x2116, 0xB0A1: 0x4E02, 0xEDE3: 0x9FA5})

    unicode_to_euc = {u: e for e, u in euc_to_unicode.items()}
    for index, u in jisx0212_to_unicode.items():
        if u not in unicode_to_euc:
            unicode_to_euc[u] = 0x8F0000 + index

    ibm_ext_to_euc = {}
    for code, u in sjis_to_unicode.items():
        if _is_ibm_ext(code) and u in unicode_to_sjis:
            ibm_ext_to_euc[code] = sjis_code_to_euc(unicode_to_sjis[u])

    # Codes below the IBM extensions whose arithmetic EUC-JP code reads as nothing (duplicates
    # of a JIS X 0208 character): the direct writers use the EUC-JP code of the preferred code.
    sjis_twin_to_euc = {}
    for code, u in sjis_to_unicode.items():
        if 0x100 <= code < 0xFA00 and sjis_code_to_euc(code) not in euc_to_unicode and u in unicode_to_sjis:
            sjis_twin_to_euc[code] = sjis_code_to_euc(unicode_to_sjis[u])

    return {
        "sjis_twin_to_euc": sjis_twin_to_euc,
        "sjis_to_unicode": sjis_to_unicode,
        "unicode_to_sjis": unicode_to_sjis,
        "euc_to_unicode": euc_to_unicode,
        "jisx0212_to_unicode": jisx0212_to_unicode,
        "unicode_to_euc": unicode_to_euc,
        "ibm_ext_to_euc": ibm_ext_to_euc,
    }


KANA_TO_JISX0208 = [
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523,
    0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543, 0x213C,
    0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F,
    0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F,
    0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D,
    0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F,
    0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569, 0x256A,
    0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,
]
VOICED_KANA = {0x33: 0x2574, 0x36: 0x252C, 0x37: 0x252E, 0x38: 0x2530, 0x39: 0x2532,
               0x3A: 0x2534, 0x3B: 0x2536, 0x3C: 0x2538, 0x3D: 0x253A, 0x3E: 0x253C,
               0x3F: 0x253E, 0x40: 0x2540, 0x41: 0x2542, 0x42: 0x2545, 0x43: 0x2547,
               0x44: 0x2549, 0x4A: 0x2550, 0x4B: 0x2553, 0x4C: 0x2556, 0x4D: 0x2559,
               0x4E: 0x255C}
SEMI_VOICED_KANA = {0x4A: 0x2551, 0x4B: 0x2554, 0x4C: 0x2557, 0x4D: 0x255A, 0x4E: 0x255D}


# ---------------------------------------------------------------------------
# Byte classes
# ---------------------------------------------------------------------------

def is_sjis_lead(b):
    return 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC


def is_sjis_second(t):
    return 0x40 <= t <= 0xFC and t != 0x7F


def is_euc_lead(b):
    return b == 0x8E or 0x90 <= b <= 0x9F or 0xA1 <= b <= 0xFE


def is_euc_second(t):
    return 0x40 <= t <= 0xFE and t != 0x7F


UTF8_LENGTH = [1] * 0x80 + [0] * 0x40 + [2] * 0x20 + [3] * 0x10 + [4] * 8 + [5] * 4 + [6] * 2 + [0] * 2
UTF8_LEAD_MASK = [0x3F, 0x7F, 0x1F, 0x0F, 0x07, 0x03, 0x01]


# ---------------------------------------------------------------------------
# JIS writer output: the state switch on one state field
# ---------------------------------------------------------------------------

class JisWriter:
    def __init__(self):
        self.out = bytearray()
        self.status = JIS_A

    def put(self, state, data):
        if self.status != state:
            self.out += ESCAPE_OF[state]
            self.status = state
        self.out += data

    def close(self):
        if self.status != JIS_A:
            self.out += ESC_A
            self.status = JIS_A


# ---------------------------------------------------------------------------
# Engines: bytes -> wide (list of units), wide -> bytes, bytes -> bytes
# ---------------------------------------------------------------------------

def ansi_to_unicode(data):
    return [b if b < 0x80 else Q for b in data]


def unicode_to_ansi(units):
    return bytes(u if u < 0x80 else Q for u in units)


def sjis_to_unicode(data):
    table = tables()["sjis_to_unicode"]
    out = []
    n = len(data)
    i = 0
    while i < n:
        b = data[i]
        if is_sjis_lead(b):
            if i + 1 >= n:
                out.append(Q)  # held back, flushed
                i += 1
                continue
            t = data[i + 1]
            if not is_sjis_second(t):
                out.append(Q)
                i += 1
                continue
            u = table.get(b * 256 + t, 0)
            if u:
                out.append(u)
                i += 2
            else:
                out.append(Q)
                i += 1
        elif 0xA1 <= b <= 0xDF:
            out.append(table[b])
            i += 1
        else:
            out.append(b)
            i += 1
    return out


def unicode_to_sjis(units):
    table = tables()["unicode_to_sjis"]
    out = bytearray()
    for u in units:
        if u < 0x80:
            out.append(u)
            continue
        code = table.get(u, 0)
        if not code:
            out.append(Q)
        elif code < 0x100:
            out.append(code)
        else:
            out += bytes([code >> 8, code & 0xFF])
    return bytes(out)


def sjis_to_euc(data):
    ibm = tables()["ibm_ext_to_euc"]
    twins = tables()["sjis_twin_to_euc"]
    out = bytearray()
    n = len(data)
    i = 0
    while i < n:
        b = data[i]
        if is_sjis_lead(b):
            if i + 1 >= n:
                out.append(Q)
                i += 1
                continue
            t = data[i + 1]
            if not is_sjis_second(t) or 0xF0 <= b <= 0xF9:
                out.append(Q)
                i += 1
            elif b * 256 + t in twins:
                code = twins[b * 256 + t]
                out += bytes([code >> 8, code & 0xFF])
                i += 2
            elif b < 0xFA:
                r, c = sjis_arithmetic(b, t)
                out += bytes([r + 0x80, c + 0x80])
                i += 2
            else:
                code = ibm.get(b * 256 + t, 0)
                if code:
                    out += bytes([code >> 8, code & 0xFF])
                    i += 2
                else:
                    out.append(Q)
                    i += 1
        elif 0xA1 <= b <= 0xDF:
            out += bytes([0x8E, b])
            i += 1
        else:
            out.append(b)
            i += 1
    return bytes(out)


def euc_to_unicode(data):
    t2 = tables()["euc_to_unicode"]
    t3 = tables()["jisx0212_to_unicode"]
    out = []
    n = len(data)
    i = 0
    while i < n:
        b = data[i]
        if is_euc_lead(b):
            if i + 1 >= n:
                out.append(Q)
                i += 1
                continue
            t = data[i + 1]
            if not is_euc_second(t):
                out.append(Q)
                i += 1
                continue
            u = t2.get(b * 256 + t, 0)
            if u:
                out.append(u)
                i += 2
            else:
                out.append(Q)
                i += 1
        elif b == 0x8F:
            if i + 2 >= n:
                out += [Q] * (n - i)  # the whole held-back tail
                break
            u = t3.get(data[i + 1] * 256 + data[i + 2], 0)
            if u:
                out.append(u)
                i += 3
            else:
                out.append(Q)
                i += 1
        else:
            out.append(b)
            i += 1
    return out


def unicode_to_euc(units):
    table = tables()["unicode_to_euc"]
    out = bytearray()
    for u in units:
        if u < 0x80:
            out.append(u)
            continue
        code = table.get(u, 0)
        if not code:
            out.append(Q)
        elif code > 0xFFFF:
            out += bytes([code >> 16, (code >> 8) & 0xFF, code & 0xFF])
        elif code >= 0x100:
            out += bytes([code >> 8, code & 0xFF])
        else:
            out.append(code)
    return bytes(out)


def sjis_to_jis(data):
    ibm = tables()["ibm_ext_to_euc"]
    twins = tables()["sjis_twin_to_euc"]
    w = JisWriter()
    n = len(data)
    i = 0
    while i < n:
        b = data[i]
        if is_sjis_lead(b):
            if i + 1 >= n:
                break  # held back
            t = data[i + 1]
            if is_sjis_second(t) and not 0xF0 <= b <= 0xF9:
                code = twins.get(b * 256 + t, 0)
                if code:
                    w.put(JIS_K2, bytes([(code >> 8) & 0x7F, code & 0x7F]))
                    i += 2
                    continue
                if b < 0xFA:
                    w.put(JIS_K2, bytes(sjis_arithmetic(b, t)))
                    i += 2
                    continue
                code = ibm.get(b * 256 + t, 0)
                if code:
                    w.put(JIS_K2, bytes([(code >> 8) & 0x7F, code & 0x7F]))
                    i += 2
                    continue
            w.put(JIS_A, b"?")
            i += 1
        elif 0xA1 <= b <= 0xDF:
            w.put(JIS_K1, bytes([b - 0x80]))
            i += 1
        else:
            w.put(JIS_A, bytes([b]))
            i += 1
    w.close()
    w.out += b"?" * (n - i)
    return bytes(w.out)


def euc_to_jis(data):
    w = JisWriter()
    n = len(data)
    i = 0
    while i < n:
        b = data[i]
        if is_euc_lead(b):
            if i + 1 >= n:
                break
            t = data[i + 1]
            if b == 0x8E and 0xA1 <= t <= 0xDF:
                w.put(JIS_K1, bytes([t - 0x80]))
                i += 2
            elif b == 0x8E and t >= 0x80:
                w.put(JIS_A, b"?")
                i += 1
            elif t >= 0x80:
                w.put(JIS_K2, bytes([b & 0x7F, t & 0x7F]))
                i += 2
            else:
                w.put(JIS_A, b"?")
                i += 1
        elif b == 0x8F:
            if i + 2 >= n:
                break
            c, d = data[i + 1], data[i + 2]
            if c >= 0x80 and d >= 0x80:
                w.put(JIS_X, bytes([c & 0x7F, d & 0x7F]))
                i += 3
            else:
                w.put(JIS_A, b"?")
                i += 1
        else:
            w.put(JIS_A, bytes([b]))
            i += 1
    w.close()
    w.out += b"?" * (n - i)
    return bytes(w.out)


def _read_escape(data, i, status):
    """An escape at i. Returns (new status, bytes consumed) or None when it must be held back."""
    n = len(data)
    if n - i < 3:
        return None
    three = bytes(data[i:i + 3])
    if three == ESC_A:
        return JIS_A, 3
    if three == ESC_K2:
        return JIS_K2, 3
    if three == ESC_K1:
        return JIS_K1, 3
    if three == b"\x1b$(":
        if n - i == 3:
            return None
        if data[i + 3] == 0x44:
            return JIS_X, 4
    return status, 3


CHUNK_SIZE = 1000


def jis_to_euc(data):
    # Chunk starts are observable here: the chunk-start check holds back a lone last
    # byte in a two-byte state, but never SO or SI, which are whole on their own.
    out = bytearray()
    status = JIS_A
    n = len(data)
    i = 0
    chunk_start = True
    count = 0
    while i < n:
        if chunk_start:
            if n - i == 1 and status in (JIS_K2, JIS_X) and data[i] not in (0x0E, 0x0F):
                break
            chunk_start = False
            count = 0
        b = data[i]
        before = len(out)
        if b == 0x1B:
            r = _read_escape(data, i, status)
            if r is None:
                break
            status, used = r
            i += used
            chunk_start = True
        elif b in (0x0E, 0x0F):
            status = JIS_S if b == 0x0E else JIS_A
            i += 1
            chunk_start = True
        elif status == JIS_K2:
            if i + 1 >= n:
                break
            out += bytes([b | 0x80, data[i + 1] | 0x80])
            i += 2
        elif status == JIS_X:
            if i + 1 >= n:
                break
            out += bytes([0x8F, b | 0x80, data[i + 1] | 0x80])
            i += 2
        elif status in (JIS_K1, JIS_S):
            out += bytes([0x8E, (b + 0x80) & 0xFF])
            i += 1
        else:
            out.append(b)
            i += 1
        count += len(out) - before
        if count >= CHUNK_SIZE:
            chunk_start = True
    out += b"?" * (n - i)
    return bytes(out)


# Whether a lone last byte in JIS X 0212 state is held back at a chunk start by
# jis_to_iso2022jp_engine, as it is in JIS X 0208 state.
ISO2022JP_HOLDS_X = True


def jis_to_iso2022jp(data):
    out = bytearray()
    to_status = JIS_A
    status = JIS_A  # from_status
    hold_states = (JIS_K2, JIS_K1, JIS_S) + ((JIS_X,) if ISO2022JP_HOLDS_X else ())
    n = len(data)
    i = 0
    chunk_start = True
    count = 0
    while i < n:
        if chunk_start:
            if n - i == 1 and status in hold_states and data[i] not in (0x0E, 0x0F):
                break
            chunk_start = False
            count = 0
        b = data[i]
        if b == 0x1B:
            r = _read_escape(data, i, status)
            if r is None:
                break
            status, used = r
            i += used
            chunk_start = True
            continue
        if b in (0x0E, 0x0F):
            status = JIS_S if b == 0x0E else JIS_A
            i += 1
            chunk_start = True
            continue
        if status == JIS_K2:
            if i + 1 >= n:
                break
            need, write, used = JIS_K2, bytes(data[i:i + 2]), 2
        elif status == JIS_X:
            if i + 1 >= n:
                break
            need, write, used = JIS_A, b"?", 2
        elif status == JIS_A:
            need, write, used = JIS_A, bytes([b]), 1
        elif not 0x21 <= b <= 0x5F:
            need, write, used = JIS_A, b"?", 1
        else:
            used = 1
            code = KANA_TO_JISX0208[b - 0x21]
            if b in VOICED_KANA:
                if i + 1 >= n:
                    break  # a sound mark may follow
                t = data[i + 1]
                if t == 0x5E:
                    code, used = VOICED_KANA[b], 2
                elif t == 0x5F and b in SEMI_VOICED_KANA:
                    code, used = SEMI_VOICED_KANA[b], 2
            need, write = JIS_K2, bytes([code >> 8, code & 0xFF])
        if to_status != need:
            out += ESCAPE_OF[need]
            to_status = need
            chunk_start = True  # the same byte is examined again in a new chunk
            continue
        out += write
        i += used
        count += len(write)
        if count >= CHUNK_SIZE:
            chunk_start = True
    rest = n - i
    if status in (JIS_K1, JIS_S) and rest == 1 and 0x21 <= data[i] <= 0x5F:
        if to_status != JIS_K2:
            out += ESC_K2
            to_status = JIS_K2
        code = KANA_TO_JISX0208[data[i] - 0x21]
        out += bytes([code >> 8, code & 0xFF])
        rest = 0
    if to_status == JIS_K2:
        out += ESC_A
    out += b"?" * rest
    return bytes(out)


def utf8_to_unicode(data):
    out = []
    n = len(data)
    i = 0
    while i < n:
        b = data[i]
        length = UTF8_LENGTH[b]
        if length == 0:
            out.append(Q)
            i += 1
            continue
        if n - i < length:
            out += [Q] * (n - i)
            break
        cp = b & UTF8_LEAD_MASK[length]
        for k in range(1, length):
            cp = (cp << 6) | (data[i + k] & 0x3F)
        if cp <= 0xFFFF:
            out.append(cp)
        elif cp <= 0x10FFFF:
            out += [0xD800 + ((cp - 0x10000) >> 10), 0xDC00 + (cp & 0x3FF)]
        else:
            out.append(Q)
        i += length
    return out


def unicode_to_utf8(units):
    out = bytearray()
    n = len(units)
    i = 0
    while i < n:
        u = units[i]
        if 0xD800 <= u <= 0xDBFF:
            if i + 1 >= n:
                out.append(Q)  # held back, flushed
                break
            v = units[i + 1]
            if 0xDC00 <= v <= 0xDFFF:
                cp = ((u - 0xD800) << 10) + (v - 0xDC00) + 0x10000
                i += 2
            else:
                cp = u
                i += 1
        else:
            cp = u
            i += 1
        if cp < 0x80:
            out.append(cp)
        elif cp < 0x800:
            out += bytes([0xC0 | (cp >> 6), 0x80 | (cp & 0x3F)])
        elif cp < 0x10000:
            out += bytes([0xE0 | (cp >> 12), 0x80 | ((cp >> 6) & 0x3F), 0x80 | (cp & 0x3F)])
        else:
            out += bytes([0xF0 | (cp >> 18), 0x80 | ((cp >> 12) & 0x3F),
                          0x80 | ((cp >> 6) & 0x3F), 0x80 | (cp & 0x3F)])
    return bytes(out)


def utf16le_to_unicode(data):
    out = [data[k] | (data[k + 1] << 8) for k in range(0, len(data) - 1, 2)]
    if len(data) % 2:
        out.append(Q)
    return out


def utf16be_to_unicode(data):
    out = [(data[k] << 8) | data[k + 1] for k in range(0, len(data) - 1, 2)]
    if len(data) % 2:
        out.append(Q)
    return out


def unicode_to_utf16le(units):
    out = bytearray()
    for u in units:
        out += bytes([u & 0xFF, u >> 8])
    return bytes(out)


def unicode_to_utf16be(units):
    out = bytearray()
    for u in units:
        out += bytes([u >> 8, u & 0xFF])
    return bytes(out)


# ---------------------------------------------------------------------------
# Front door
# ---------------------------------------------------------------------------

STAGES = {
    "A>U": ansi_to_unicode, "U>A": unicode_to_ansi,
    "S>U": sjis_to_unicode, "U>S": unicode_to_sjis,
    "E>U": euc_to_unicode, "U>E": unicode_to_euc,
    "8>U": utf8_to_unicode, "U>8": unicode_to_utf8,
    "B>U": utf16be_to_unicode, "U>B": unicode_to_utf16be,
    "L>U": utf16le_to_unicode, "U>L": unicode_to_utf16le,
    "S>J": sjis_to_jis, "S>E": sjis_to_euc, "J>E": jis_to_euc,
    "E>J": euc_to_jis, "J>I": jis_to_iso2022jp,
}

_READ = {ANSI: ["A>U"], SJIS: ["S>U"], JIS: ["J>E", "E>U"], EUC: ["E>U"],
         ISO2022JP: ["J>E", "E>U"], UTF8: ["8>U"], UTF16BE: ["B>U"], UNICODE: ["L>U"]}
_WRITE = {ANSI: ["U>A"], SJIS: ["U>S"], JIS: ["U>E", "E>J"], EUC: ["U>E"],
          ISO2022JP: ["U>E", "E>J", "J>I"], UTF8: ["U>8"], UTF16BE: ["U>B"], UNICODE: ["U>L"]}


def _pair_table():
    table = {}
    for f in CONVERTIBLE:
        for t in CONVERTIBLE:
            if f != t:
                table[(f, t)] = _READ[f] + _WRITE[t]
    # Direct byte-to-byte routes among the Japanese encodings.
    table[(SJIS, JIS)] = ["S>J"]
    table[(SJIS, EUC)] = ["S>E"]
    table[(SJIS, ISO2022JP)] = ["S>J", "J>I"]
    table[(JIS, EUC)] = ["J>E"]
    table[(JIS, ISO2022JP)] = ["J>I"]
    table[(EUC, JIS)] = ["E>J"]
    table[(EUC, ISO2022JP)] = ["E>J", "J>I"]
    table[(ISO2022JP, EUC)] = ["J>E"]
    # 7-bit text is already valid in every ASCII-compatible target.
    for t in (SJIS, JIS, EUC, ISO2022JP, UTF8):
        del table[(ANSI, t)]
    del table[(ISO2022JP, JIS)]
    # iso2022jp to ansi converts as jis to ansi does (J>E, E>U, U>A): already so above.
    return table


PAIR_TABLE = _pair_table()


def translate_text(text, from_id, to_id):
    stages = PAIR_TABLE.get((from_id, to_id))
    if stages is None:
        return bytes(text)
    value = bytes(text)
    for name in stages:
        value = STAGES[name](value)
    return value


# ---------------------------------------------------------------------------
# Self-check of the examples the library is built to
# ---------------------------------------------------------------------------

def _self_check():
    t = tables()
    counts = {name: len(v) for name, v in t.items()}
    assert counts == {"sjis_to_unicode": 7787, "unicode_to_sjis": 7389, "euc_to_unicode": 7389,
                      "jisx0212_to_unicode": 6067, "unicode_to_euc": 13176,
                      "ibm_ext_to_euc": 388, "sjis_twin_to_euc": 10}, counts
    s2u, u2s, e2u, x2u, u2e, ibm = (t[k] for k in ("sjis_to_unicode", "unicode_to_sjis", "euc_to_unicode",
                                                    "jisx0212_to_unicode", "unicode_to_euc",
                                                    "ibm_ext_to_euc"))
    assert sorted(t["sjis_twin_to_euc"]) == [0x8790, 0x8791, 0x8792, 0x8795, 0x8796, 0x8797,
                                             0x879A, 0x879B, 0x879C, 0xEEF9]
    for code, u in [(0x8160, 0xFF5E), (0x8161, 0x2225), (0x815C, 0x2015), (0x815F, 0xFF3C),
                    (0x817C, 0xFF0D), (0x8191, 0xFFE0), (0x8192, 0xFFE1), (0x81CA, 0xFFE2),
                    (0x8790, 0x2252), (0x879A, 0x2235), (0xEEEF, 0x2170), (0xEEF9, 0xFFE2),
                    (0xFA40, 0x2170), (0xFA5B, 0x2235), (0xFC4B, 0x9ED1)]:
        assert s2u[code] == u, hex(code)
    assert 0x889E not in s2u and 0xEAA5 not in s2u
    for u, code in [(0x2252, 0x81E0), (0x2235, 0x81E6), (0x2160, 0x8754), (0x2170, 0xEEEF),
                    (0xFFE2, 0x81CA), (0xFFE4, 0xEEFA), (0xFF5E, 0x8160)]:
        assert u2s[u] == code, hex(u)
    assert 0x301C not in u2s and 0x2212 not in u2s and 0xA5 not in u2s
    for code, u in [(0xA1A1, 0x3000), (0xA1C1, 0xFF5E), (0xA1C2, 0x2225), (0xA1DD, 0xFF0D),
                    (0xADB5, 0x2160), (0xF9A1, 0x7E8A), (0xFCF1, 0x2170), (0xFCFC, 0xFFE4),
                    (0x8EA1, 0xFF61)]:
        assert e2u[code] == u, hex(code)
    missing = [c for c in (0xADF0, 0xADF1, 0xADF2, 0xADF5, 0xADF6, 0xADF7, 0xADFA, 0xADFB, 0xADFC, 0xFCFB)]
    assert all(c not in e2u for c in missing)
    assert x2u[0xA2B7] == 0x7E and x2u[0xEDE3] == 0x9FA5
    for u, code in [(0x7E, 0x8FA2B7), (0xA6, 0x8FA2C3), (0x2116, 0xADE2), (0x4E28, 0xF9AD),
                    (0x2170, 0xFCF1), (0xFF61, 0x8EA1)]:
        assert u2e[u] == code, hex(u)
    for code, e in [(0xFA40, 0xFCF1), (0xFA4A, 0xADB5), (0xFA54, 0xA2CC), (0xFA5B, 0xA2E8),
                    (0xFA5C, 0xF9A1), (0xFB40, 0xFAE3), (0xFC4B, 0xFCEE)]:
        assert ibm[code] == e, hex(code)
    assert sum(1 for u in x2u.values() if u in set(e2u.values())) == 280

    h = bytes.fromhex
    cases = [
        (SJIS, JIS, h("4182A042"), h("411B244224221B284242")),
        (SJIS, JIS, h("B1"), h("1B2849311B2842")),
        (EUC, JIS, h("8FB0A1"), h("1B2428443021" "1B2842")),
        (JIS, EUC, h("1B244224221B284241"), h("A4A241")),
        (JIS, EUC, h("0E310F41"), h("8EB141")),
        (JIS, EUC, h("1B2428443021"), h("8FB0A1")),
        (JIS, ISO2022JP, h("1B2849365E1B2842"), h("1B2442252C1B2842")),
        (JIS, ISO2022JP, h("1B28494A5F"), h("1B244225511B2842")),
        (JIS, ISO2022JP, h("1B2849365F"), h("1B2442252B212C1B2842")),
        (JIS, ISO2022JP, h("1B284936"), h("1B2442252B1B2842")),
        (JIS, ISO2022JP, h("1B284920"), h("3F")),
        (SJIS, EUC, h("B182A0FA40FD"), h("8EB1A4A2FCF1FD")),
        (SJIS, EUC, h("879041EEF9"), h("A2E241A2CC")),
        (SJIS, JIS, h("879C"), h("1B244222401B2842")),
        (SJIS, UNICODE, h("817F"), h("3F007F00")),
        (SJIS, UNICODE, h("F040"), h("3F004000")),
        (SJIS, UNICODE, h("82"), h("3F00")),
        (EUC, UNICODE, h("8F41"), h("3F003F00")),
        (EUC, UNICODE, h("A1FEB0FD"), h("C725E480")),
        (UTF8, UTF16BE, h("F0908080F48FBFBF"), h("D800DC00DBFFDFFF")),
        (UTF8, UTF16BE, h("F4908080E38141"), h("003F3041")),
        (UTF8, UTF16BE, h("80E381"), h("003F003F003F")),
        (UTF16BE, UTF8, h("D8000041"), h("EDA08041")),
        (UTF16BE, UTF8, h("D800"), h("3F")),
        (UNICODE, UTF16BE, h("4100420043"), h("00410042003F")),
        (ANSI, UNICODE, h("4180"), h("41003F00")),
        (ANSI, EUC, h("4180"), h("4180")),
        (ISO2022JP, JIS, h("1B2849"), h("1B2849")),
        (JIS, EUC, h("1B24420F"), h("")),
        (JIS, EUC, h("1B244224220F"), h("A4A2")),
        (JIS, ISO2022JP, h("0E0F"), h("")),
        (JIS, ISO2022JP, h("0E310F"), h("1B244225221B2842")),
        (JIS, ISO2022JP, h("1B242844302131"), h("3F3F")),
        (JIS, ISO2022JP, h("1B2428"), h("3F3F3F")),
    ]
    for f, to, text, want in cases:
        got = translate_text(text, f, to)
        assert got == want, (NAMES[f], NAMES[to], text.hex(), got.hex(), want.hex())


if __name__ == "__main__":
    _self_check()
    print("model self-check passed")
