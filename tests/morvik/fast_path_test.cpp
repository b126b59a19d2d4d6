// The ASCII fast paths copy eight units at a time only where the plain step would copy each of
// them itself. An engine fed one byte per call never holds eight units, so it runs the plain
// steps alone: it is the reference for every pair, on texts built to put ASCII blocks against
// multi-byte characters, escapes, shifts, cut sequences and malformed bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "morvik/engine.h"
#include "morvik/morvik.h"
#include "tests/morvik/codec_testing.h"

namespace {

using codec_testing::encoding_name;
using codec_testing::hex;
using namespace morvik;

const encoding_id converted[] = {ansi, sjis, jis, euc, iso2022jp, utf8, utf16be, unicode};

// Pieces that meet an ASCII block at every offset: runs of ASCII of every length up to 17,
// characters of every encoding, escapes and shifts, and bytes that end or break a sequence.
const char* const pieces[] = {
    "a", "abcdefg", "abcdefgh", "abcdefghi", "0123456789abcdefg", " \t\r\n~\\",
    "\x82\xA0", "\xA4\xA2", "\xE3\x81\x82", "\xF0\x9F\x98\x80", "\xB1", "\x8E\xB1", "\x8F\xB0\xA1",
    "\x1B$B", "\x1B(B", "\x1B(I", "\x1B$(D", "\x0E", "\x0F", "\x1B", "\x82", "\xE3\x81", "\x80",
    "\xFF", "\x00", "\x30\x21", "\xEF\xBB\xBF", "\xFF\xFE",
};

std::string random_text(std::mt19937& random) {
  std::uniform_int_distribution<std::size_t> count(1, 40), which(0, std::size(pieces) - 1);
  std::string text;
  for (std::size_t i = count(random); i > 0; --i) {
    const char* piece = pieces[which(random)];
    text += piece[0] == '\0' ? std::string(1, '\0') : std::string(piece);
  }
  return text;
}

std::string plain_steps(encoding_id from, encoding_id to, const std::string& text) {
  engine_handle handle = create_engine<char, char>(from, to);
  auto& engine = handle.as<char, char>();
  std::string result;
  for (char byte : text) {
    engine.rest += byte;
    engine.translate();
    result += engine.take_output();
  }
  engine.flush();
  return result + engine.take_output();
}

TEST(fast_path, equals_the_plain_steps_for_every_pair) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    const std::string text = random_text(random);
    for (encoding_id from : converted) {
      for (encoding_id to : converted) {
        ASSERT_EQ(hex(translate_text(text, from, to)), hex(plain_steps(from, to, text)))
            << encoding_name(from) << " to " << encoding_name(to) << " of " << hex(text);
      }
    }
  }
}

TEST(fast_path, blocks_across_chunk_ends) {
  // ASCII blocks reaching past the 1000th output unit, after a character of each width.
  for (const char* lead : {"", "\x82\xA0", "\xE3\x81\x82", "\x1B$B\x30\x21\x1B(B"}) {
    for (std::size_t length = 990; length <= 1010; ++length) {
      const std::string text = lead + std::string(length, 'x') + "\x82\xA0" + std::string(20, 'y');
      for (encoding_id from : converted) {
        for (encoding_id to : {sjis, euc, jis, utf8, unicode}) {
          ASSERT_EQ(hex(translate_text(text, from, to)), hex(plain_steps(from, to, text)))
              << encoding_name(from) << " to " << encoding_name(to) << ", " << length << " ASCII bytes";
        }
      }
    }
  }
}

}  // namespace
