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

// The UTF-8 signature remover deletes only whole signatures within one call; a signature split
// between two calls stays, as designed. Streams that must drop marks keep them in one piece.
bool is_mark_byte(char byte) { return byte == '\xEF' || byte == '\xBB' || byte == '\xBF'; }

// Feeds `text` to the engine in pieces and returns everything it wrote, flush included.
// With `keep_marks_whole`, no cut falls between two bytes of a run of EF, BB and BF bytes.
template <class InputUnit, class OutputUnit>
std::basic_string<OutputUnit> feed_in_pieces(morvik::basic_engine<InputUnit, OutputUnit>& engine,
                                             const std::basic_string<InputUnit>& text, piece_lengths& lengths,
                                             const std::string& case_name, std::string& cuts,
                                             bool keep_marks_whole = false) {
  std::basic_string<OutputUnit> streamed;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = std::min(lengths.next(), text.size() - at);
    while (keep_marks_whole && at + length < text.size() && at + length > 0 &&
           is_mark_byte(static_cast<char>(text[at + length - 1])) && is_mark_byte(static_cast<char>(text[at + length])))
      ++length;
    engine.rest.append(text, at, length);
    engine.translate();
    streamed += engine.take_output();
    at += length;
    cuts += std::to_string(at) + " ";
    if (engine.rest.size() > longest_held_tail)
      fail(case_name + " holds " + std::to_string(engine.rest.size()) + " units back after " + std::to_string(at));
  }
  engine.flush();
  streamed += engine.take_output();
  return streamed;
}

std::string as_bytes(const std::u16string& units) { return morvik::unicode_to_bytes(units); }

}  // namespace

// The first byte picks the kind: below 144 a byte-to-byte pair (against translate_text), above
// it a decoder to wide strings (against translate_to_unicode) or an encoder from them (against
// translate_from_unicode, the text read as little-endian units).
int stream_target(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  piece_lengths lengths(static_cast<std::uint32_t>(data[1]) | static_cast<std::uint32_t>(data[2]) << 8);
  const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);
  morvik::initialize_library();
  std::string cuts;

  if (data[0] < 144) {
    const auto from = static_cast<morvik::encoding_id>(data[0] / 12);
    const auto to = static_cast<morvik::encoding_id>(data[0] % 12);
    const std::string case_name = "engine " + std::to_string(from) + " -> " + std::to_string(to);
    const morvik::engine_handle handle = morvik::create_engine<char, char>(from, to, false);
    if (!handle) fail(case_name + ": create_engine gave no engine");
    const std::string whole = morvik::translate_text(text, from, to);
    const std::string streamed = feed_in_pieces(handle.as<char, char>(), text, lengths, case_name, cuts);
    if (streamed != whole)
      fail(case_name + " in pieces (cut after " + cuts + ") differs from translate_text\n  in       " + hex(text) +
           "\n  pieces   " + hex(streamed) + "\n  one shot " + hex(whole));

    // With the signature stages running, the pieces must still not matter: a mark cut between
    // two pieces is written or removed as if it had come whole.
    const morvik::engine_handle marked = morvik::create_engine<char, char>(from, to, true);
    const morvik::engine_handle marked_whole = morvik::create_engine<char, char>(from, to, true);
    if (!marked || !marked_whole) fail(case_name + " with signatures: create_engine gave no engine");
    const std::string marked_one_shot = marked_whole.as<char, char>().translate_all(text);
    piece_lengths same_lengths(static_cast<std::uint32_t>(data[1]) | static_cast<std::uint32_t>(data[2]) << 8);
    std::string marked_cuts;
    const std::string marked_streamed =
        feed_in_pieces(marked.as<char, char>(), text, same_lengths, case_name + " with signatures", marked_cuts,
                       from == morvik::utf8);
    if (marked_streamed != marked_one_shot)
      fail(case_name + " with signatures in pieces (cut after " + marked_cuts + ") differs from one call\n  in       " +
           hex(text) + "\n  pieces   " + hex(marked_streamed) + "\n  one call " + hex(marked_one_shot));
    return 0;
  }

  const int kind = data[0] - 144;
  const auto encoding = static_cast<morvik::encoding_id>(kind / 2 % 12);
  if (kind % 2 == 0) {
    const std::string case_name = "engine " + std::to_string(encoding) + " -> wide";
    const morvik::engine_handle handle = morvik::create_engine<char, char16_t>(encoding, morvik::unicode, false);
    if (!handle) fail(case_name + ": create_engine gave no engine");
    const std::u16string whole = morvik::translate_to_unicode(text, encoding);
    const std::u16string streamed = feed_in_pieces(handle.as<char, char16_t>(), text, lengths, case_name, cuts);
    if (streamed != whole)
      fail(case_name + " in pieces (cut after " + cuts + ") differs from translate_to_unicode\n  in       " +
           hex(text) + "\n  pieces   " + hex(as_bytes(streamed)) + "\n  one shot " + hex(as_bytes(whole)));
  } else {
    const std::string case_name = "engine wide -> " + std::to_string(encoding);
    const morvik::engine_handle handle = morvik::create_engine<char16_t, char>(morvik::unicode, encoding, false);
    if (!handle) fail(case_name + ": create_engine gave no engine");
    const std::u16string units = morvik::bytes_to_unicode(text.substr(0, text.size() & ~std::size_t{1}));
    const std::string whole = morvik::translate_from_unicode(units, encoding);
    const std::string streamed = feed_in_pieces(handle.as<char16_t, char>(), units, lengths, case_name, cuts);
    if (streamed != whole)
      fail(case_name + " in pieces (cut after " + cuts + ") differs from translate_from_unicode\n  in       " +
           hex(text) + "\n  pieces   " + hex(streamed) + "\n  one shot " + hex(whole));
  }
  return 0;
}

}  // namespace korvel::fuzz
