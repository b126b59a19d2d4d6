// Real Japanese text (tests/data) survives the round trips between the encodings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "morvik/code_table.h"
#include "morvik/morvik.h"
#include "tests/morvik/codec_testing.h"

namespace {

using namespace morvik;
using codec_testing::encoding_name;
using codec_testing::hex;

std::string sample(const char* name) {
  std::string text = codec_testing::read_file(codec_testing::source_path(std::string("tests/data/") + name));
  EXPECT_GT(text.size(), 50u) << name << " is missing";
  return text;
}

// Where two texts first differ, in hex, for a readable failure.
std::string first_difference(const std::string& expected, const std::string& actual) {
  std::size_t at = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
                   expected.begin();
  std::size_t from = at < 8 ? 0 : at - 8;
  return "at byte " + std::to_string(at) + ": expected " + hex(expected.substr(from, 24)) + ", got " +
         hex(actual.substr(from, 24));
}

struct round_trip {
  const char* sample;
  encoding_id start;   // the sample (UTF-8) is first written in this encoding
  encoding_id middle;
};

TEST(round_trips, keep_every_byte) {
  const round_trip cases[] = {
      {"ja_manual.txt", sjis, utf8},      {"ja_halfwidth.txt", sjis, utf8},
      {"ja_manual.txt", euc, utf8},       {"ja_halfwidth.txt", euc, utf8},
      {"ja_jisx0212.txt", euc, utf8},     {"ja_manual.txt", sjis, jis},
      {"ja_halfwidth.txt", sjis, jis},    {"ja_manual.txt", utf8, iso2022jp},
      {"ja_jisx0212.txt", euc, jis},      {"ja_manual.txt", sjis, unicode},
      {"ja_halfwidth.txt", euc, utf16be}, {"ja_manual.txt", jis, euc},
      {"ja_halfwidth.txt", jis, sjis},    {"ja_manual.txt", utf8, euc},
  };
  for (const round_trip& c : cases) {
    std::string text = sample(c.sample);
    std::string start = translate_text(text, utf8, c.start);
    ASSERT_EQ(translate_text(start, c.start, utf8), text)
        << c.sample << ": every character must have a code in " << encoding_name(c.start);
    std::string there = translate_text(start, c.start, c.middle);
    std::string back = translate_text(there, c.middle, c.start);
    EXPECT_EQ(back, start) << c.sample << ": " << encoding_name(c.start) << " to " << encoding_name(c.middle)
                           << " and back, " << first_difference(start, back);
  }
}

// The direct Shift_JIS writers give codes the EUC-JP reader knows: every CP932 character, with
// an ASCII byte after it that a stray byte would garble, reads through EUC-JP and through JIS as
// it reads from Shift_JIS.
TEST(round_trips, every_cp932_code_reads_alike_through_euc_and_jis) {
  int failures = 0;
  for (unsigned code = 0x80; code <= 0xFFFF && failures < 10; ++code) {
    if (code > 0xFF && !is_sjis_lead_byte(code >> 8)) continue;
    std::string text = code > 0xFF ? std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)}
                                   : std::string(1, static_cast<char>(code));
    if (sjis_to_unicode.lookup(static_cast<std::int32_t>(code)) == 0) continue;
    text += "A";
    const std::string expected = translate_text(text, sjis, utf8);
    for (encoding_id middle : {euc, jis}) {
      const std::string there = translate_text(text, sjis, middle);
      const std::string read = translate_text(there, middle, utf8);
      if (read != expected) {
        ++failures;
        ADD_FAILURE() << "Shift_JIS " << hex(text) << " through " << encoding_name(middle) << " (" << hex(there)
                      << ") reads " << hex(read) << ", from Shift_JIS " << hex(expected);
      }
    }
  }
}

TEST(round_trips, iso2022jp_never_shifts_to_katakana) {
  for (const char* name : {"ja_manual.txt", "ja_halfwidth.txt"}) {
    std::string text = translate_text(sample(name), utf8, sjis);
    std::string iso = translate_text(text, sjis, iso2022jp);
    EXPECT_EQ(iso.find("\x1B(I"), std::string::npos) << name;
    EXPECT_EQ(iso.find('\x0E'), std::string::npos) << name;
    EXPECT_EQ(iso.find('\x0F'), std::string::npos) << name;
    std::string jis_text = translate_text(text, sjis, jis);
    EXPECT_EQ(translate_text(jis_text, jis, iso2022jp), iso) << name << ": JIS and Shift_JIS agree";
  }
}

// Half-width katakana come back full-width: what ISO-2022-JP does to them, checked against
// the full-width forms of Unicode's compatibility decomposition (written out here).
TEST(round_trips, iso2022jp_makes_katakana_full_width) {
  const std::string half = "\xEF\xBD\xBA\xEF\xBE\x9D\xEF\xBE\x8B\xEF\xBE\x9F\xEF\xBD\xAD\xEF\xBD\xB0"
                           "\xEF\xBE\x80\xEF\xBD\xB0 \xEF\xBD\xB3\xEF\xBE\x9E";  // ｺﾝﾋﾟｭｰﾀｰ ｳﾞ
  const std::string full = "\xE3\x82\xB3\xE3\x83\xB3\xE3\x83\x94\xE3\x83\xA5\xE3\x83\xBC"
                           "\xE3\x82\xBF\xE3\x83\xBC \xE3\x83\xB4";  // コンピューター ヴ
  EXPECT_EQ(hex(translate_text(translate_text(half, utf8, iso2022jp), iso2022jp, utf8)), hex(full));
}

}  // namespace
