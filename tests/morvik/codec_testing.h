#pragma once
// Helpers shared by the morvik tests: byte strings written and printed as hex.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <string_view>

#include "morvik/morvik.h"

namespace codec_testing {

// At most `limit` bytes are shown, then the length.
inline std::string hex(std::string_view bytes, std::size_t limit = std::string_view::npos) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (!text.empty()) text += ' ';
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  if (bytes.size() > limit) text += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return text.empty() ? "(empty)" : text;
}

inline std::string hex(std::u16string_view units) {
  char buffer[8];
  std::string text;
  for (char16_t unit : units) {
    std::snprintf(buffer, sizeof buffer, "%s%04X", text.empty() ? "" : " ", static_cast<unsigned>(unit));
    text += buffer;
  }
  return text.empty() ? "(empty)" : text;
}

// "41 82A0" -> the bytes 41 82 A0; spaces are ignored.
inline std::string bytes(std::string_view hex_text) {
  std::string result;
  int high = -1;
  for (char c : hex_text) {
    int value;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    else continue;
    if (high < 0) {
      high = value;
    } else {
      result += static_cast<char>(high << 4 | value);
      high = -1;
    }
  }
  return result;
}

inline std::string source_path(const std::string& relative) {
  const char* root = std::getenv("KORVEL_SOURCE_DIR");
  return std::string(root ? root : ".") + "/" + relative;
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

inline const char* encoding_name(morvik::encoding_id id) {
  static const char* const names[] = {"unknown", "reserved", "ansi",    "sjis",    "jis",     "euc",
                                      "iso2022jp", "utf8",   "utf16be", "unicode", "utf32be", "utf32le"};
  return id >= 0 && id <= 11 ? names[id] : "?";
}

// Pieces that meet the fast paths' and the fused kernels' edges: 7-bit runs of every length,
// escapes and shifts whole and cut, signatures, rare and unmapped codes, random bytes, and
// stretches of real text.
inline std::string random_text(std::mt19937& random, const std::string& real) {
  static const char* const specials[] = {"\x1B(B", "\x1B$B", "\x1B(I", "\x1B$(D", "\x0E", "\x0F", "\x1B",
                                         "\x1B$", "\x1B$(", "\x1B(", "\x1B(J", "\xEF\xBB\xBF", "\n", "\r\n",
                                         "\x8F\xA2\xB7", "\xF0\x40", "\x87\x90", "\xEE\xF9", "\xFA\x40", "\xA9\xA1"};
  const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 2600)(random);
  std::string text;
  while (text.size() < length) {
    switch (std::uniform_int_distribution<int>(0, 5)(random)) {
      case 0:
      case 1: {
        const std::size_t run = std::uniform_int_distribution<std::size_t>(1, 40)(random);
        for (std::size_t i = 0; i < run; ++i) text += static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(random));
        break;
      }
      case 2:
        text += specials[std::uniform_int_distribution<std::size_t>(0, std::size(specials) - 1)(random)];
        break;
      case 3: {
        const std::size_t run = std::uniform_int_distribution<std::size_t>(1, 6)(random);
        for (std::size_t i = 0; i < run; ++i) text += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        break;
      }
      default: {
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, real.size() - 1)(random);
        text += real.substr(at, std::uniform_int_distribution<std::size_t>(1, 300)(random));
        break;
      }
    }
  }
  return text;
}


}  // namespace codec_testing
