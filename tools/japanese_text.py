"""What the weight, guess-model and evaluation tools agree on about Japanese text."""
import unicodedata

# Half-width forms of the full-width punctuation that has one.
HALF_WIDTH_PUNCTUATION = "。「」、・"


def half_width_map():
    """Full-width katakana (and the punctuation above) to their half-width spelling; a voiced
    kana becomes its base and the voicing mark."""
    narrow = {}
    for code in range(0xFF61, 0xFFA0):
        narrow[unicodedata.normalize("NFKC", chr(code))] = chr(code)
    result = {}
    for code in range(0x30A0, 0x3100):
        ch = chr(code)
        if ch in narrow:
            result[ch] = narrow[ch]
            continue
        parts = unicodedata.normalize("NFD", ch)
        if len(parts) == 2 and parts[0] in narrow and parts[1] in narrow:
            result[ch] = narrow[parts[0]] + narrow[parts[1]]
    for ch in HALF_WIDTH_PUNCTUATION:
        result[ch] = narrow[ch]
    return result


def is_japanese(ch):
    code = ord(ch)
    return 0x3000 <= code <= 0x30FF or 0x4E00 <= code <= 0x9FFF or 0xFF01 <= code <= 0xFF9F
