#pragma once
// Texts and helpers shared by the command-line tests.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "morvik/morvik.h"

namespace cli_samples {

struct named_encoding {
  const char* name;  // the command's name for it
  morvik::encoding_id id;
};

inline const std::vector<named_encoding>& convertible_encodings() {
  static const std::vector<named_encoding> encodings = {
      {"ANSI", morvik::ansi},       {"Shift_JIS", morvik::sjis},
      {"JIS", morvik::jis},         {"EUC-JP", morvik::euc},
      {"ISO-2022-JP", morvik::iso2022jp}, {"UTF-8", morvik::utf8},
      {"UTF-16BE", morvik::utf16be}, {"UTF-16LE", morvik::unicode},
  };
  return encodings;
}

// ASCII with CR LF, kanji, kana, full-width and half-width forms (voiced half-width kana
// become one full-width character on the way to ISO-2022-JP), CP932 specials, a JIS X 0212
// kanji and a character outside the BMP: every codec meets multi-byte runs and shifts.
inline constexpr std::string_view mixed_utf8 =
    "Mixed text 123\r\n"
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9"
    "\xE3\x83\x88\xE3\x80\x81\xEF\xBC\xA1\xEF\xBC\xA2\xE3\x80\x82\n"  // 日本語のテキスト、ＡＢ。
    "\xEF\xBD\xB6\xEF\xBE\x9E\xEF\xBD\xB7 \xEF\xBE\x8A\xEF\xBE\x9F x\n"   // ｶﾞｷ ﾊﾟ x
    "\xE2\x91\xA0\xE3\x88\xB1\xEF\xBD\x9E \xE4\xB8\x82 \xF0\x9F\x98\x80 end\n";  // ①㈱～ 丂 😀

inline std::string sample_in(morvik::encoding_id id) {
  if (id == morvik::ansi) return "ASCII text\r\nwith high bytes \x80\xA4\xFF and more\n";
  return morvik::translate_text(mixed_utf8, morvik::utf8, id);
}

// The sample repeated to at least `size` bytes, so that characters and escapes fall across
// every block end of a long stream.
inline std::string repeated_sample(morvik::encoding_id id, std::size_t size) {
  const std::string sample = sample_in(id);
  std::string text;
  while (text.size() < size) text += sample;
  return text;
}

// The same text with a stray lead byte in the middle and its last byte cut off: the
// engines must resolve broken characters in a stream exactly as in a whole text.
inline std::string damaged(std::string text, morvik::encoding_id id) {
  const std::size_t middle = text.size() / 2;
  text.insert(middle, id == morvik::jis || id == morvik::iso2022jp ? "\x1B$" : "\x8E");
  if (!text.empty()) text.pop_back();
  return text;
}

inline std::string hex(std::string_view bytes) {
  std::string text;
  char digits[4];
  for (unsigned char byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", byte);
    text += digits;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

}  // namespace cli_samples
