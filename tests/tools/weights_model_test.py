#!/usr/bin/env python3
"""tools/make_weights.py chooses the weights against its own reading of detect_encoding: the
window, the three scorers and the comparison of their evaluations. This runs that reading and
the built detect_encoding (through detect_driver) side by side, with the committed weight list,
on Japanese pieces in the three scored encodings and on random bytes, and fails on any piece
where they answer differently. Pieces that analysis decides before scoring are left out: the
generator never needs them.

Usage: weights_model_test.py --driver PATH [--count N] [--seed N]
"""
import argparse
import os
import random
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import make_weights  # noqa: E402
import generate_tables  # noqa: E402

IDS = {make_weights.SJIS: 3, make_weights.EUC: 5, make_weights.UTF8: 7}


def read_weights(path):
    return {unit: weight for unit, weight in generate_tables.read_weights(path)}


def japanese_pieces(random_source, count):
    texts = []
    for name in ("ja_manual.txt", "ja_halfwidth.txt"):
        with open(os.path.join(ROOT, "tests", "data", name), encoding="utf-8") as stream:
            texts.append(stream.read())
    pieces = []
    for number in range(count):
        text = random_source.choice(texts)
        start = random_source.randrange(len(text))
        piece = text[start:start + random_source.choice([1, 2, 3, 5, 8, 20, 60, 200])]
        label, (_, codec) = random_source.choice(list(enumerate(make_weights.ENCODINGS)))
        data = piece.encode(codec, errors="ignore")
        if random_source.random() < 0.3:  # cut at any byte, not only between characters
            data = data[:random_source.randrange(len(data) + 1)]
        pieces.append((f"japanese {number}", label, data))
    return pieces


def random_pieces(random_source, count):
    pieces = []
    for number in range(count):
        length = random_source.choice([1, 2, 3, 4, 6, 9, 17, 64, 300])
        high = random_source.random()
        data = bytes(random_source.randrange(0x80, 0x100) if random_source.random() < high
                     else random_source.randrange(0x01, 0x80) for _ in range(length))
        pieces.append((f"random {number}", make_weights.SJIS, data))
    return pieces


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--driver", required=True)
    parser.add_argument("--weights", default=os.path.join(ROOT, "tools", "data", "character_weights.txt"))
    parser.add_argument("--count", type=int, default=3000)
    parser.add_argument("--seed", type=int, default=1)
    arguments = parser.parse_args()

    random_source = random.Random(arguments.seed)
    pieces = japanese_pieces(random_source, arguments.count) + random_pieces(random_source, arguments.count)
    pieces = [piece for piece in pieces if make_weights.scoring_window(piece[2]) is not None]
    pool = make_weights.candidates(generate_tables.build_character_tables())
    data = make_weights.problem([(name, label, text) for name, label, text in pieces], pool)
    scores = data.scores(read_weights(arguments.weights))
    records = b"".join(struct.pack("<I", len(text)) + text for _, _, text in pieces)
    output = subprocess.run([arguments.driver], input=records, stdout=subprocess.PIPE, check=True).stdout
    built = [int(line) for line in output.split()]
    if len(built) != len(pieces):
        sys.exit(f"the driver answered {len(built)} of {len(pieces)} pieces")
    failures = 0
    for number, (name, _, text) in enumerate(pieces):
        model = IDS[data.answer(number, scores[number])]
        if model != built[number]:
            failures += 1
            if failures <= 10:
                print(f"{name}: generator's reading {model}, detect_encoding {built[number]}, "
                      f"scores {scores[number]}, bytes {text.hex(' ')}")
    print(f"{len(pieces)} pieces scored, {failures} answered differently")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
