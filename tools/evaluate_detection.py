#!/usr/bin/python3
"""Measures encoding detection on labelled Japanese samples, ours against other detectors.

The samples come from Debian's Japanese documentation, a corpus apart from the manual pages
that the character weights were counted in:
    debian-reference-ja, developers-reference-ja, debian-policy-ja, maint-guide-ja
(apt-get install them). HTML markup is stripped; lines that one of the four encodings
cannot carry are dropped. Pieces of the text are written with Python's codecs as Shift_JIS
(cp932), EUC-JP, UTF-8 and ISO-2022-JP in byte-length buckets, plus a slice with the
katakana made half-width (not in ISO-2022-JP, which has none). Each piece holds at least
one Japanese character (kana, ideograph or full-width form). Sampling is seeded: the same corpus gives the same set.

Detectors: ours ("ours", the module's detect_encoding, and "guess", the command's
guess_encoding) through a small driver (tests/tools/detect_driver.cpp, compiled here
against a built libmorvik.a), and, where installed from Debian: nkf (`nkf --guess`),
uchardet (libuchardet), chardet (python3-chardet), charset-normalizer
(python3-charset-normalizer) and ICU (python3-icu). Run with Debian's /usr/bin/python3 so
their modules are found.

--corpus manpages draws the samples from the Japanese manual pages instead (manpages-ja):
the corpus the weights and the guesser's model are counted in, for tuning, never for the
figures we report. --corpus messages draws them from the Japanese message catalogues
installed (/usr/share/locale/ja/LC_MESSAGES/*.mo): short interface texts, held out as well,
though which catalogues there are depends on the machine. --corpus gimp draws them from the
Japanese help of an image editor (gimp-help-ja, HTML): another held-out corpus, with much
katakana in it, which its half-width slice turns narrow.

Usage: evaluate_detection.py --library build/native/morvik-library/libmorvik.a
           [--per-cell 300] [--seed 1] [--dump DIR] [--corpus docs|gimp|manpages|messages] [--peers nkf,ICU]
Prints the accuracy in percent per bucket and encoding for every detector.
"""
import argparse
import ctypes
import ctypes.util
import html.parser
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile

from japanese_text import half_width_map, is_japanese

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

CORPUS = [
    "/usr/share/debian-reference",
    "/usr/share/developers-reference/ja",
    "/usr/share/doc/debian-policy/ja/policy.html",
    "/usr/share/doc/maint-guide-ja/html",
]
GIMP_HELP = "/usr/share/gimp/2.0/help/ja"
SKIPPED_PAGES = re.compile(r"^(genindex|search|index-)")

ENCODINGS = [  # label, Python codec, the id our detector gives
    ("Shift_JIS", "cp932", 3),
    ("EUC-JP", "euc_jp", 5),
    ("UTF-8", "utf-8", 7),
    ("ISO-2022-JP", "iso2022_jp", 4),
]
BUCKETS = [("2-16", 2, 16), ("17-64", 17, 64), ("65-256", 65, 256), ("257-2048", 257, 2048)]
HALF_WIDTH_BUCKET = ("half-width 17-256", 17, 256)

# What other detectors call each encoding.
ALIASES = {
    "Shift_JIS": {"shift_jis", "sjis", "cp932", "windows-31j", "ms932", "shift_jis_2004", "shift_jisx0213", "ms_kanji"},
    "EUC-JP": {"euc-jp", "euc_jp", "eucjp", "euc_jis_2004", "euc_jisx0213", "cp51932", "ujis"},
    "UTF-8": {"utf-8", "utf_8", "utf8"},
    "ISO-2022-JP": {"iso-2022-jp", "iso2022_jp", "iso2022jp", "iso2022_jp_1", "iso2022_jp_2", "iso2022_jp_3",
                    "iso2022_jp_ext", "iso-2022-jp-2", "iso2022_jp_2004", "csiso2022jp"},
}


class text_extractor(html.parser.HTMLParser):
    BLOCKS = {"p", "div", "br", "li", "tr", "td", "th", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "dt", "dd",
              "title", "table", "ul", "ol", "dl", "blockquote", "section"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []
        self.hidden = 0

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "style"):
            self.hidden += 1
        if tag in self.BLOCKS:
            self.parts.append("\n")

    def handle_endtag(self, tag):
        if tag in ("script", "style") and self.hidden:
            self.hidden -= 1
        if tag in self.BLOCKS:
            self.parts.append("\n")

    def handle_data(self, data):
        if not self.hidden:
            self.parts.append(data)


def encodable(line):
    for _, codec, _ in ENCODINGS:
        try:
            line.encode(codec)
        except UnicodeEncodeError:
            return False
    return True


def read_manual_pages():
    sys.path.insert(0, HERE)
    from make_guess_tables import DEFAULT_CORPUS, read_pages
    if not os.path.isdir(DEFAULT_CORPUS):
        sys.exit(f"missing {DEFAULT_CORPUS}: apt-get install manpages-ja manpages-ja-dev")
    documents = []
    for _, text in read_pages(DEFAULT_CORPUS):
        text = "\n".join(line for line in text.split("\n") if encodable(line))
        if any(ord(ch) > 0x7F for ch in text):
            documents.append(text)
    return documents


def read_messages():
    import gettext
    directory = "/usr/share/locale/ja/LC_MESSAGES"
    documents = []
    for name in sorted(os.listdir(directory)) if os.path.isdir(directory) else []:
        if not name.endswith(".mo"):
            continue
        with open(os.path.join(directory, name), "rb") as stream:
            try:
                catalogue = gettext.GNUTranslations(stream)
            except (OSError, UnicodeDecodeError):
                continue
        texts = [text for key, text in sorted(catalogue._catalog.items(), key=lambda item: str(item[0])) if key]
        lines = [line for text in texts for line in text.split("\n") if line and encodable(line)]
        text = "\n".join(lines)
        if any(ord(ch) > 0x7F for ch in text):
            documents.append(text)
    if not documents:
        sys.exit(f"no Japanese message catalogues in {directory}")
    return documents


def read_html(directories, missing):
    documents = []
    for directory in directories:
        if not os.path.isdir(directory):
            sys.exit(f"missing {directory}: apt-get install {missing}")
        for name in sorted(os.listdir(directory)):
            if not name.endswith(".html") or SKIPPED_PAGES.match(name):
                continue
            with open(os.path.join(directory, name), encoding="utf-8", errors="replace") as stream:
                parser = text_extractor()
                parser.feed(stream.read())
            lines = []
            for line in "".join(parser.parts).split("\n"):
                line = " ".join(line.replace("\u00B6", "").split())  # drop the headings' anchors
                if line and encodable(line):
                    lines.append(line)
            text = "\n".join(lines)
            if any(ord(ch) > 0x7F for ch in text):
                documents.append(text)
    return documents


def read_documents():
    return read_html(CORPUS, "debian-reference-ja developers-reference-ja debian-policy-ja maint-guide-ja")


def read_gimp_help():
    return read_html([GIMP_HELP], "gimp-help-ja")


def draw(documents, random_source, codec, low, high, transform=None):
    """A piece of text whose encoded length lies in [low, high] and that is not 7-bit only."""
    while True:
        text = random_source.choice(documents)
        if transform:
            text = transform(text)
        target = random_source.randint(low, high)
        start = random_source.randrange(len(text))
        end = start
        encoded = b""
        while end < len(text):
            candidate = text[start:end + 1].encode(codec)
            if len(candidate) > target:
                break
            end += 1
            encoded = candidate
        if len(encoded) >= low and any(is_japanese(ch) for ch in text[start:end]):
            return encoded


def make_samples(documents, per_cell, seed):
    random_source = random.Random(seed)
    samples = []  # (bucket, label, bytes)
    for bucket, low, high in BUCKETS:
        for label, codec, _ in ENCODINGS:
            for _ in range(per_cell):
                samples.append((bucket, label, draw(documents, random_source, codec, low, high)))
    narrow = half_width_map()
    narrow_table = str.maketrans(narrow)

    def to_half_width(text):
        return text.translate(narrow_table)

    bucket, low, high = HALF_WIDTH_BUCKET
    half_width_documents = [d for d in documents if any(ch in narrow for ch in d if ch not in "。「」、・")]
    for label, codec, _ in ENCODINGS[:3]:
        for _ in range(per_cell):
            piece = draw(half_width_documents, random_source, codec, low, high, to_half_width)
            samples.append((bucket, label, piece))
    return samples


# --- detectors -------------------------------------------------------------------------------

def ours(samples, library):
    """The module's detect_encoding and the guesser's answers."""
    ids = {code: label for label, _, code in ENCODINGS}
    ids[-1] = "binary"
    driver_source = os.path.join(ROOT, "tests", "tools", "detect_driver.cpp")
    answers = []
    with tempfile.TemporaryDirectory() as scratch:
        driver = os.path.join(scratch, "detect_driver")
        subprocess.run(["g++", "-std=c++17", "-O1", "-I", ROOT, driver_source, library, "-o", driver], check=True)
        records = b"".join(struct.pack("<I", len(data)) + data for _, _, data in samples)
        for options in ([], ["--guess"]):
            output = subprocess.run([driver] + options, input=records, stdout=subprocess.PIPE, check=True).stdout
            answers.append([ids.get(int(line), f"id {int(line)}") for line in output.split()])
    return answers


def nkf_detector():
    if not shutil.which("nkf"):
        return None

    def detect(data):
        output = subprocess.run(["nkf", "--guess"], input=data, stdout=subprocess.PIPE, check=True).stdout
        words = output.decode("ascii", "replace").split()
        return words[0] if words else None
    return detect


def normalise(name):
    if not name:
        return "none"
    lowered = name.lower()
    for label, names in ALIASES.items():
        if lowered in names:
            return label
    return lowered


def uchardet_detector():
    path = ctypes.util.find_library("uchardet")
    if not path:
        return None
    library = ctypes.CDLL(path)
    library.uchardet_new.restype = ctypes.c_void_p
    library.uchardet_handle_data.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t]
    library.uchardet_data_end.argtypes = [ctypes.c_void_p]
    library.uchardet_reset.argtypes = [ctypes.c_void_p]
    library.uchardet_get_charset.argtypes = [ctypes.c_void_p]
    library.uchardet_get_charset.restype = ctypes.c_char_p
    handle = library.uchardet_new()

    def detect(data):
        library.uchardet_reset(handle)
        library.uchardet_handle_data(handle, data, len(data))
        library.uchardet_data_end(handle)
        return library.uchardet_get_charset(handle).decode("ascii")
    return detect


def chardet_detector():
    try:
        import chardet
    except ImportError:
        return None
    return lambda data: chardet.detect(data)["encoding"]


def charset_normalizer_detector():
    try:
        import charset_normalizer
    except ImportError:
        return None

    def detect(data):
        best = charset_normalizer.from_bytes(data).best()
        return best.encoding if best else None
    return detect


def icu_detector():
    try:
        import icu
    except ImportError:
        return None

    def detect(data):
        return icu.CharsetDetector(data).detect().getName()
    return detect


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--library", default=os.path.join(ROOT, "build", "native", "morvik-library", "libmorvik.a"))
    parser.add_argument("--per-cell", type=int, default=300)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--dump", help="write the samples into this directory")
    parser.add_argument("--corpus", choices=["docs", "gimp", "manpages", "messages"], default="docs")
    parser.add_argument("--peers", default="nkf,uchardet,chardet,charset-normalizer,ICU",
                        help="the other detectors to run, comma-separated (none: empty)")
    arguments = parser.parse_args()

    documents = {"docs": read_documents, "gimp": read_gimp_help, "manpages": read_manual_pages, "messages": read_messages}[arguments.corpus]()
    samples = make_samples(documents, arguments.per_cell, arguments.seed)
    if arguments.dump:
        os.makedirs(arguments.dump, exist_ok=True)
        for number, (bucket, label, data) in enumerate(samples):
            with open(os.path.join(arguments.dump, f"{number:05d}_{label}_{bucket}.txt"), "wb") as stream:
                stream.write(data)

    results = dict(zip(("ours", "guess"), ours(samples, arguments.library)))
    for name, make in [("nkf", nkf_detector), ("uchardet", uchardet_detector), ("chardet", chardet_detector),
                       ("charset-normalizer", charset_normalizer_detector), ("ICU", icu_detector)]:
        if name not in arguments.peers.split(","):
            continue
        detect = make()
        if detect is None:
            print(f"# {name}: not installed", file=sys.stderr)
            continue
        results[name] = [normalise(detect(data)) for _, _, data in samples]

    names = list(results)
    cells = []
    for bucket, _, _ in BUCKETS + [HALF_WIDTH_BUCKET]:
        for label, _, _ in ENCODINGS:
            indexes = [i for i, (b, l, _) in enumerate(samples) if b == bucket and l == label]
            if indexes:
                cells.append((bucket, label, indexes))
    print(f"# {len(documents)} documents, {len(samples)} samples, {arguments.per_cell} per cell, seed {arguments.seed}")
    peers = names[2:]  # the margins compare each of ours with the best of the others
    print("| bucket | encoding | " + " | ".join(names) + " | ours - best other | guess - best other |")
    print("|---|---|" + "---|" * len(names) + "---|---|")
    for bucket, label, indexes in cells:
        rates = {n: 100.0 * sum(results[n][i] == label for i in indexes) / len(indexes) for n in names}
        best = max((rates[n] for n in peers), default=0.0)
        print(f"| {bucket} | {label} | " + " | ".join(f"{rates[n]:.1f}" for n in names)
              + f" | {rates['ours'] - best:+.1f} | {rates['guess'] - best:+.1f} |")
    everything = range(len(samples))
    totals = [100.0 * sum(results[n][i] == samples[i][1] for i in everything) / len(samples) for n in names]
    print("| all | all | " + " | ".join(f"{r:.2f}" for r in totals) + " | | |")
    for name in ("ours", "guess"):
        mistakes = [(samples[i][0], samples[i][1], results[name][i]) for i in everything
                    if results[name][i] != samples[i][1]]
        print(f"# {name}: {len(mistakes)} wrong; by (bucket, label, answer):")
        counts = {}
        for key in mistakes:
            counts[key] = counts.get(key, 0) + 1
        for key, count in sorted(counts.items(), key=lambda item: -item[1])[:20]:
            print(f"#   {count:4d}  {key}")


if __name__ == "__main__":
    main()
