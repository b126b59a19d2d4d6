#pragma once
// Guessing the encoding of a text for people and the morvik command. The SAORI functions keep
// `detect_encoding`: its rules are the hosts' contract, this one is free to improve.
#include <string_view>

#include "morvik/morvik.h"

namespace morvik {

struct encoding_guess {
  encoding_id encoding;  // ansi for pure 7-bit text (and the empty text); unknown_encoding when binary
  bool binary;           // no text at all: NUL bytes outside a UTF-16/32 pattern, many control bytes
  int confidence;        // 0 (a coin toss) to 100 (certain)
};

// Looks at the whole of `text`: Shift_JIS, EUC-JP, UTF-8, JIS (named `jis`, whether
// ISO-2022-JP or with 8-bit katakana), UTF-16 and UTF-32 of either byte order. A window cut
// inside a character costs one bad sequence, which a long window outweighs. Allocates nothing;
// the first call builds a 192 KB model once, safely under threads. Never throws.
encoding_guess guess_encoding(std::string_view text);

}  // namespace morvik
