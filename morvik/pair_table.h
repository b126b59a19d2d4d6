#pragma once
// The pair table: for every pair of the converted encodings (`ansi` to `unicode`), the chain of
// stages that converts a text, the byte-order-mark stages standing where they run in it, and
// the fused kernel, if any, that converts the text in one pass. translate_text, the other forms
// of the front door and create_engine all read their chains here (front_door.cpp).
#include <cstddef>
#include <string_view>

#include "morvik/morvik.h"

namespace morvik {

// A fused kernel converts, in one pass, the prefix of `input` it is sure of, appends what it
// gives to `output` and returns how many bytes of `input` it consumed. The pair's reference
// chain, started afresh, converts the rest. So a kernel stops only where a fresh chain goes on
// with exactly the bytes the chain fed from the start would give: at a character boundary, with
// nothing held back, with every JIS reader and writer of the chain in ASCII and no sound mark
// pending. Anything it is not sure of (malformed input, an unmapped code, a state switch it does
// not take, the end of the input) it leaves to the chain by stopping there; returning 0 is always
// right. A kernel writes no byte-order mark: translate_text writes none either.
using fused_kernel = std::size_t (*)(std::string_view input, narrow_string& output);

// What a stage is and runs: front_door.cpp.
struct stage;

// Conversion stages and signature stages together, in the order they run.
inline constexpr std::size_t max_chain_length = 5;

struct pair_row {
  encoding_id from;
  encoding_id to;
  const stage* chain[max_chain_length];  // null after the last stage; none at all: a copy
  fused_kernel kernel;                   // null: the chain alone
};

// The row of a pair, or null when either encoding is not one the library converts.
const pair_row* find_pair(encoding_id from, encoding_id to);

// translate_text without the fused kernels: the reference chains alone.
narrow_string translate_text_by_reference(std::string_view text, encoding_id from, encoding_id to);

}  // namespace morvik
