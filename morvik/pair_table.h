#pragma once
// The pair table: for every pair of the converted encodings (`ansi` to `unicode`), the chain of
// stages that converts a text, the byte-order-mark stages standing where they run in it, and
// the fused kernel, if any, that converts the text in one pass. translate_text, the other forms
// of the front door and create_engine all read their chains here (front_door.cpp).
#include <cstddef>
#include <string_view>

#include "morvik/engine.h"
#include "morvik/morvik.h"

namespace morvik {

// A fused conversion: a kernel that converts in one pass what it is sure of, with the pair's
// reference chain beside it for everything else (fused_engine.h). Where the kernel stops, the
// chain takes over at that position with the kernel's JIS states handed to it, and the kernel
// goes on once the chain holds nothing back; so the output is the chain's, byte for byte,
// whole or fed in pieces. It writes no byte-order mark: the row's signature stages stand around
// its engine in create_engine, and translate_text writes none.
struct fused_conversion {
  narrow_string (*translate)(std::string_view text);  // a whole text, as translate_text
  translate_engine* (*make)();                         // the conversion stages as one streaming engine
};
using fused_kernel = const fused_conversion*;

// What a stage is and runs: front_door.cpp.
struct stage;

// A stage's name, what it reads > what it writes ("S>U", "E>J"; "+8", "-U" for the signature
// stages), and whether it is a signature stage, for tests that build the chains themselves.
const char* stage_name(const stage& s);
bool is_signature_stage(const stage& s);

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

// create_engine<char, char> without the fused kernels.
engine_handle create_reference_engine(encoding_id from, encoding_id to, bool with_signatures = false);

}  // namespace morvik
