#pragma once
// Guessing the encoding of a text for people and the morvik command. The SAORI functions keep
// `detect_encoding`: its rules are the hosts' contract, this one is free to improve.
#include <string_view>

#include "morvik/morvik.h"

namespace morvik {

struct encoding_guess {
  encoding_id encoding;  // ansi for pure 7-bit text
  bool binary;           // no text at all: NUL bytes outside a UTF-16/32 pattern, many control bytes
  int confidence;        // 0 (a coin toss) to 100 (certain)
};

// Looks at the whole of `text`.
encoding_guess guess_encoding(std::string_view text);

}  // namespace morvik
