// The library's vocabulary: constant strings, the default encoding and the UTF-16 helpers.
#include <cstdio>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "morvik/morvik.h"
#include "tests/morvik/codec_testing.h"

namespace {

using codec_testing::hex;

TEST(Constants, StringsHoldTheirBytes) {
  const struct {
    const char* name;
    std::string_view actual, expected;
  } cases[] = {
      {"replacement_char", morvik::replacement_char<char>, "?"},
      {"narrow_empty", morvik::narrow_empty, ""},
      {"escape_ascii", morvik::escape_ascii, "\x1B(B"},
      {"escape_jisx0208", morvik::escape_jisx0208, "\x1B$B"},
      {"escape_katakana", morvik::escape_katakana, "\x1B(I"},
      {"escape_jisx0212", morvik::escape_jisx0212, "\x1B$(D"},
      {"shift_out", morvik::shift_out, "\x0E"},
      {"shift_in", morvik::shift_in, "\x0F"},
      {"utf32be_bom", morvik::utf32be_bom, std::string_view("\0\0\xFE\xFF", 4)},
      {"utf32le_bom", morvik::utf32le_bom, std::string_view("\xFF\xFE\0\0", 4)},
      {"utf8_bom", morvik::utf8_bom, "\xEF\xBB\xBF"},
      {"utf16be_bom", morvik::utf16be_bom, "\xFE\xFF"},
      {"utf16le_bom", morvik::utf16le_bom, "\xFF\xFE"},
  };
  for (const auto& c : cases) EXPECT_EQ(hex(c.actual), hex(c.expected)) << c.name;
  EXPECT_EQ(hex(morvik::replacement_char<char16_t>), hex(u"?"));
  EXPECT_EQ(hex(morvik::wide_bom_text), hex(u"\uFEFF"));
  EXPECT_TRUE(morvik::wide_empty.empty());
}

TEST(Constants, NonPlainBytesInOrder) {
  std::string expected("\x00\x0F\x1B", 3);
  for (int byte = 0x80; byte <= 0xFF; ++byte) expected += static_cast<char>(byte);
  ASSERT_EQ(morvik::non_plain_bytes.size(), 131u);
  EXPECT_EQ(hex(morvik::non_plain_bytes), hex(expected));
}

TEST(Constants, DefaultEncodingIsShiftJis) {
  EXPECT_EQ(morvik::default_encoding(), morvik::sjis);
  EXPECT_EQ(static_cast<int>(morvik::default_encoding()), 3);
}

TEST(Utf16Helpers, BytesToUnits) {
  const struct {
    const char* name;
    std::string_view bytes;
    std::u16string_view little, big;  // bytes_to_unicode, swapped_bytes_to_unicode
  } cases[] = {
      {"empty", "", u"", u""},
      {"odd last byte", std::string_view("\x41\x00\x42", 3), std::u16string_view(u"\u0041?", 2),
       std::u16string_view(u"\u4100?", 2)},
      {"one byte", "\x41", u"?", u"?"},
      {"big-endian A", std::string_view("\x00\x41", 2), u"\u4100", u"\u0041"},
      {"hiragana a", "\x42\x30", u"\u3042", u"\u4230"},
      {"NUL units", std::string_view("\0\0\0\0", 4), std::u16string_view(u"\0\0", 2),
       std::u16string_view(u"\0\0", 2)},
      {"high bytes", "\xFF\xFE\x3D\xD8", u"\uFEFF\xD83D", u"\uFFFE\x3DD8"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hex(morvik::bytes_to_unicode(c.bytes)), hex(c.little)) << c.name << ": " << hex(c.bytes);
    EXPECT_EQ(hex(morvik::swapped_bytes_to_unicode(c.bytes)), hex(c.big)) << c.name << ": " << hex(c.bytes);
  }
}

TEST(Utf16Helpers, UnitsToBytes) {
  const struct {
    const char* name;
    std::u16string_view units;
    std::string_view little, big;  // unicode_to_bytes, unicode_to_swapped_bytes
  } cases[] = {
      {"empty", u"", "", ""},
      {"hiragana a", u"\u3042", "\x42\x30", "\x30\x42"},
      {"A", u"A", std::string_view("A\0", 2), std::string_view("\0A", 2)},
      {"NUL", std::u16string_view(u"\0", 1), std::string_view("\0\0", 2), std::string_view("\0\0", 2)},
      {"FFFF and a lone surrogate", u"\uFFFF\xDC00", std::string_view("\xFF\xFF\x00\xDC", 4),
       std::string_view("\xFF\xFF\xDC\x00", 4)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hex(morvik::unicode_to_bytes(c.units)), hex(c.little)) << c.name;
    EXPECT_EQ(hex(morvik::unicode_to_swapped_bytes(c.units)), hex(c.big)) << c.name;
  }
}

TEST(Utf16Helpers, EveryUnitSurvivesBothByteOrders) {
  std::u16string all;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) all += static_cast<char16_t>(unit);
  const std::string little = morvik::unicode_to_bytes(all);
  const std::string big = morvik::unicode_to_swapped_bytes(all);
  ASSERT_EQ(little.size(), 2 * all.size());
  ASSERT_EQ(big.size(), 2 * all.size());
  EXPECT_TRUE(morvik::bytes_to_unicode(little) == all);
  EXPECT_TRUE(morvik::swapped_bytes_to_unicode(big) == all);
  for (std::size_t i = 0; i < all.size(); ++i) {
    ASSERT_EQ(little[2 * i], big[2 * i + 1]) << i;
    ASSERT_EQ(little[2 * i + 1], big[2 * i]) << i;
  }
}

TEST(Utf16Helpers, SwapBytes) {
  const struct {
    std::uint32_t x;
    std::uint16_t swapped;
  } cases[] = {{0x0000, 0x0000}, {0x1234, 0x3412}, {0x00FF, 0xFF00}, {0xFF00, 0x00FF}, {0xFFFF, 0xFFFF}};
  for (const auto& c : cases) EXPECT_EQ(morvik::swap_bytes(c.x), c.swapped) << std::hex << c.x;
}

}  // namespace
