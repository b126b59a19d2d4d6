// The fused conversions against the reference chains on arbitrary bytes, for every pair of the
// converted encodings: translate_text against translate_text_by_reference, the engine of
// create_engine fed in random pieces against the same, and, with the signature stages, against
// the reference engine fed the same pieces. Input: the pair byte (source * 12 + target), two
// bytes that seed the piece lengths (the lowest bit: without the kernels' 64-byte blocks), the
// text.
#include <string>
#include <string_view>

#include "fuzz/targets.h"
#include "morvik/engine.h"
#include "morvik/morvik.h"
#include "morvik/pair_table.h"
#include "morvik/wide_blocks.h"

namespace korvel::fuzz {
namespace {

// Mostly short pieces so that every character and escape is cut somewhere; now and then one
// longer than a chunk or the kernels' lookahead.
class fused_piece_lengths {
 public:
  explicit fused_piece_lengths(std::uint32_t seed) : state_(seed * 2654435761u + 0x7F4A7C15u) {}
  std::size_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    if (state_ % 4 == 0) return (state_ >> 2) % 3000;
    return 1 + (state_ >> 2) % 12;
  }

 private:
  std::uint32_t state_;
};

std::string fed_in_pieces(morvik::engine_handle handle, const std::string& text, std::uint32_t seed) {
  auto& engine = handle.as<char, char>();
  fused_piece_lengths lengths(seed);
  std::string output;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = std::min(lengths.next(), text.size() - at);
    engine.rest.append(text, at, length);
    engine.translate();
    output += engine.take_output();
    at += length;
  }
  engine.flush();
  return output + engine.take_output();
}

void expect_same(const std::string& what, const std::string& text, const std::string& fused,
                 const std::string& reference) {
  if (fused == reference) return;
  std::size_t at = 0;
  while (at < fused.size() && at < reference.size() && fused[at] == reference[at]) ++at;
  fail(what + " differs from the reference chain at byte " + std::to_string(at) + "\n  in        " + hex(text) +
       "\n  fused     " + hex(fused) + "\n  reference " + hex(reference));
}

}  // namespace

int fused_target(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int pair = data[0] % 144;
  const auto from = static_cast<morvik::encoding_id>(pair / 12);
  const auto to = static_cast<morvik::encoding_id>(pair % 12);
  const std::uint32_t seed = static_cast<std::uint32_t>(data[1]) | static_cast<std::uint32_t>(data[2]) << 8;
  const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);
  const std::string case_name = std::to_string(from) + " -> " + std::to_string(to);

  morvik::initialize_library();
  morvik::wide_blocks = (seed & 1) == 0;
  const std::string reference = morvik::translate_text_by_reference(text, from, to);
  expect_same("translate_text " + case_name, text, morvik::translate_text(text, from, to), reference);
  if (morvik::find_pair(from, to) == nullptr) return 0;
  expect_same("engine in pieces " + case_name, text,
              fed_in_pieces(morvik::create_engine<char, char>(from, to), text, seed), reference);
  expect_same("engine with signatures in pieces " + case_name, text,
              fed_in_pieces(morvik::create_engine<char, char>(from, to, true), text, seed),
              fed_in_pieces(morvik::create_reference_engine(from, to, true), text, seed));
  return 0;
}

}  // namespace korvel::fuzz
