#!/usr/bin/env python3
"""Builds the fuzzers' seed corpora from the tests: the raw requests of tests/requests/ and the
Japanese samples of tests/data/, written in every encoding with Python's codecs.

usage: make_seeds.py OUTPUT_DIRECTORY   (writes OUTPUT/request, translate, stream, detect, fused, command)
"""
import hashlib
import pathlib
import struct
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

# morvik's identifiers and the Python codec that writes each.
CODECS = {
    2: "ascii",
    3: "cp932",
    4: "iso2022_jp_ext",
    5: "euc_jis_2004",
    6: "iso2022_jp",
    7: "utf-8",
    8: "utf-16-be",
    9: "utf-16-le",
    10: "utf-32-be",
    11: "utf-32-le",
}
NAMES = ["Shift_JIS", "EUC-JP", "UTF-8", "ISO-2022-JP", "JIS"]
NAME_CODECS = {"Shift_JIS": "cp932", "EUC-JP": "euc_jp", "UTF-8": "utf-8", "ISO-2022-JP": "iso2022_jp",
               "JIS": "iso2022_jp_ext"}
FUNCTIONS = ["analyze encoding", "auto translate", "semiauto translate", "translate"]
PIECE = 300  # seeds stay short so that the fuzzers run fast


def samples():
    """Short pieces of every sample text, as Unicode strings."""
    pieces = []
    for path in sorted((ROOT / "tests" / "data").glob("*.txt")):
        text = path.read_text(encoding="utf-8")
        for start in range(0, min(len(text), 3 * PIECE), PIECE):
            pieces.append(text[start:start + PIECE])
    pieces.append("plain ASCII text\r\nwith lines\n")
    return pieces


def encode(text, codec):
    return text.encode(codec, errors="replace")


def request_text(function, arguments, charset=None):
    lines = [b"EXECUTE SAORI/1.0"]
    if charset is not None:
        lines.append(b"Charset: " + charset)
    lines.append(b"Sender: fuzz")
    lines.append(b"Argument0: " + function.encode())
    for number, value in enumerate(arguments, start=1):
        lines.append(b"Argument%d: " % number + value.replace(b"\r", b"").replace(b"\n", b""))
    return b"\r\n".join(lines) + b"\r\n\r\n"


def request_seeds():
    seeds = [b"GET Version SAORI/1.0\r\n\r\n", b"EXECUTE SAORI/1.0\r\n\r\n", b"",
             b"EXECUTE SAORI/1.0\r\nX-Note: a: b\r\n: \r\nArgument0: translate\r\n\r\ntrailing: x\r\n\r\n",
             b"EXECUTE SAORI/1.0\r\nArgument007: x\r\nArgument+3: y\r\nArgument-1: z\r\n\r\n"]
    for path in sorted((ROOT / "tests" / "requests").rglob("*.request")):
        seeds.append(path.read_bytes())
    for index, text in enumerate(samples()[:6]):
        source = NAMES[index % len(NAMES)]
        target = NAMES[(index + 2) % len(NAMES)]
        data = encode(text, NAME_CODECS[source])
        seeds.append(request_text("analyze encoding", [data]))
        seeds.append(request_text("auto translate", [data, target.encode()]))
        seeds.append(request_text("semiauto translate", [data, target.encode()], source.encode()))
        seeds.append(request_text("translate", [data, source.encode(), target.encode()]))
        seeds.append(request_text("translate", [data, source.encode()]))
    return seeds


def pair_seeds(prefix_bytes):
    """One seed per pair of convertible identifiers: the pair byte, `prefix_bytes`, a text."""
    seeds = []
    pieces = samples()
    for source in range(2, 10):
        for target in range(2, 10):
            pair = source * 12 + target
            text = pieces[(source * 7 + target) % len(pieces)]
            seeds.append(bytes([pair]) + prefix_bytes(pair) + encode(text, CODECS[source]))
    for pair in (0 * 12 + 3, 3 * 12 + 10, 11 * 12 + 7):
        seeds.append(bytes([pair]) + prefix_bytes(pair) + b"copied \x82\xa0")
    return seeds


def wide_stream_seeds():
    """Kinds 144 and up: a decoder to wide strings (even) or an encoder from them (odd)."""
    seeds = []
    pieces = samples()
    for identifier in range(2, 10):
        text = pieces[identifier % len(pieces)]
        seeds.append(bytes([144 + 2 * identifier, identifier, 3]) + encode(text, CODECS[identifier]))
        seeds.append(bytes([145 + 2 * identifier, identifier, 5]) + encode(text, "utf-16-le"))
    return seeds


def detect_seeds():
    seeds = []
    for index, text in enumerate(samples()):
        for identifier, codec in CODECS.items():
            limit = 8192 if (index + identifier) % 3 else 64 + index
            data = encode(text, codec)
            if identifier in (7, 8, 9, 10, 11) and index % 2:
                data = encode("\ufeff", codec) + data
            seeds.append(struct.pack("<H", limit) + data)
    return seeds


def command_seeds():
    """The command's pairs (source 0 for auto, 1-8 for ANSI to UTF-16LE; target 0-7) with option bits."""
    seeds = []
    pieces = samples()
    for source in range(0, 9):
        for target in range(0, 8):
            codec = CODECS[source + 1 if source else 7]
            text = pieces[(source * 5 + target) % len(pieces)]
            options = (source * 8 + target) % 64
            seeds.append(bytes([source + 9 * target, options, (source * 31 + target) % 256]) + encode(text, codec))
    return seeds


def write(directory, seeds):
    directory.mkdir(parents=True, exist_ok=True)
    for seed in seeds:
        (directory / hashlib.sha1(seed).hexdigest()).write_bytes(seed)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = pathlib.Path(sys.argv[1])
    write(out / "request", request_seeds())
    write(out / "translate", pair_seeds(lambda pair: b""))
    write(out / "stream", pair_seeds(lambda pair: bytes([pair * 37 % 256, pair % 7])) + wide_stream_seeds())
    write(out / "detect", detect_seeds())
    write(out / "fused", pair_seeds(lambda pair: bytes([pair * 53 % 256, pair % 5])))
    write(out / "command", command_seeds())


if __name__ == "__main__":
    main()
