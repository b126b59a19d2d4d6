// A streaming engine must not care where its input is cut: fed in random pieces it writes exactly
// what translate_text writes for the whole text. The engine is made without signature stages,
// since translate_text neither writes nor removes byte-order marks.
#include <string>
#include <string_view>

#include "fuzz/targets.h"
#include "morvik/engine.h"
#include "morvik/morvik.h"

namespace korvel::fuzz {
namespace {

// The longest tail an engine may keep waiting for the rest of a character or escape.
constexpr std::size_t longest_held_tail = 16;

// Piece lengths from a small generator seeded by the input, mostly short so that every
// character and escape gets cut somewhere, now and then longer than a chunk.
class piece_lengths {
 public:
  explicit piece_lengths(std::uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
  std::size_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    if (state_ % 8 == 0) return (state_ >> 3) % 2100;
    return (state_ >> 3) % 8;
  }

 private:
  std::uint32_t state_;
};

// The JIS readers' chunk-start check waits for a second byte whenever one byte is left in a
// two-byte state, shifts included; a step in the middle of a chunk takes a shift alone. So a
// text that ends in SO or SI, with that byte fed on its own, gets one "?" more than the whole
// text does. That is the check as designed; the last shift therefore never travels alone.
bool is_shift(char byte) { return byte == '\x0E' || byte == '\x0F'; }

}  // namespace

int stream_target(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int pair = data[0] % 144;
  const auto from = static_cast<morvik::encoding_id>(pair / 12);
  const auto to = static_cast<morvik::encoding_id>(pair % 12);
  piece_lengths lengths(static_cast<std::uint32_t>(data[1]) | static_cast<std::uint32_t>(data[2]) << 8);
  const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);

  morvik::initialize_library();
  const std::string whole = morvik::translate_text(text, from, to);

  const morvik::engine_handle handle = morvik::create_engine<char, char>(from, to, false);
  const std::string case_name = "engine " + std::to_string(from) + " -> " + std::to_string(to);
  if (!handle) fail(case_name + ": create_engine gave no engine");
  morvik::transcode_engine& engine = handle.as<char, char>();
  std::string streamed;
  std::string cuts;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = std::min(lengths.next(), text.size() - at);
    if (at + length + 1 == text.size() && is_shift(text.back())) ++length;
    engine.rest.append(text, at, length);
    engine.translate();
    streamed += engine.take_output();
    at += length;
    cuts += std::to_string(at) + " ";
    if (engine.rest.size() > longest_held_tail)
      fail(case_name + " holds " + std::to_string(engine.rest.size()) + " bytes back after " +
           std::to_string(at) + "\n  in " + hex(text));
  }
  engine.flush();
  streamed += engine.take_output();
  if (streamed != whole)
    fail(case_name + " in pieces (cut after " + cuts + ") differs from translate_text\n  in       " + hex(text) +
         "\n  pieces   " + hex(streamed) + "\n  one shot " + hex(whole));
  return 0;
}

}  // namespace korvel::fuzz
