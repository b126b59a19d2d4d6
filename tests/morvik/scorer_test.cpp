// The three encoding scorers, byte by byte, and the weight list they read.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "morvik/code_table.h"
#include "morvik/morvik.h"
#include "morvik/scorer.h"
#include "tests/morvik/codec_testing.h"

namespace {

using codec_testing::hex;
using codec_testing::bytes;
template <class Scorer>
Scorer fed(std::string_view input) {
  Scorer scorer;
  for (unsigned char b : input) scorer.feed(b);
  return scorer;
}

struct expected_state {
  std::int32_t score;
  std::int32_t error_count;
  std::int32_t mode;
};

struct feed_case {
  const char* name;
  const char* input;  // hex
  expected_state sjis, euc, utf8;
};

// Weights used below are fixed ranks of the list: の 150324, U+3000 395578, ー 122124.
constexpr std::int32_t no = 150324;
constexpr std::int32_t space = 395578;
constexpr std::int32_t chouon = 122124;
// A score that depends on weights outside the fixed ranks (half-width katakana, ideographs).
constexpr std::int32_t any = INT32_MIN;

const feed_case feed_cases[] = {
    // name, bytes, {score, errors, mode} for Shift_JIS, EUC-JP, UTF-8
    {"sjis no", "82 CC", {no, 0, 0}, {0, 0, 1}, {0, 1, -1}},
    {"euc no", "A4 CE", {any, 0, 0}, {no, 0, 0}, {0, 1, -1}},
    {"utf8 no", "E3 81 AE", {any, 0, 0}, {0, 0, 1}, {no, 0, 0}},
    {"sjis ideographic space", "81 40", {space, 0, 0}, {0, 0, 0}, {0, 1, 0}},
    {"euc ideographic space", "A1 A1", {any, 0, 0}, {space, 0, 0}, {0, 2, 0}},
    {"utf8 ideographic space", "E3 80 80", {any, 0, 0}, {0, 0, 0}, {space, 0, 0}},
    {"sjis choon", "81 5B", {chouon, 0, 0}, {0, 0, 0}, {0, 1, 0}},
    {"euc choon", "A1 BC", {any, 0, 0}, {chouon, 0, 0}, {0, 2, 0}},
    {"utf8 choon", "E3 83 BC", {any, 0, 0}, {0, 0, 1}, {chouon, 0, 0}},
    {"sjis lead then space: one error, the space consumed", "82 20 82 CC", {no, 1, 0}, {0, 0, 1}, {0, 2, -1}},
    {"euc lead then 7-bit byte: one error, the byte consumed", "A4 41 A4 CE", {any, 0, 0}, {no, 1, 0}, {0, 2, -1}},
    {"utf8 lead then 7-bit byte: one error, the byte consumed", "E3 41 E3 81 AE", {any, 0, 0}, {0, 1, 1}, {no, 1, 0}},
    {"sjis lead then FE", "82 FE", {0, 1, 0}, {0, 0, 1}, {0, 2, 0}},
    {"euc 8F A1 A1: neither weight nor error", "8F A1 A1", {any, 0, 0}, {0, 0, 0}, {0, 3, 0}},
    {"euc 8F skips even 7-bit bytes", "8F 41 42 A4 CE", {any, 0, 0}, {no, 0, 0}, {0, 2, -1}},
    {"euc stray 80 8D A0 FF", "80 8D A0 FF", {any, 1, 0}, {0, 0, 0}, {0, 4, 0}},
    {"single FD", "FD", {0, 1, 0}, {0, 0, 1}, {0, 0, -5}},
    {"single FF", "FF", {0, 1, 0}, {0, 0, 0}, {0, 1, 0}},
    {"7-bit bytes are never errors", "41 7E 0A 0D 1B 0F", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    {"NUL is an error in all three", "00", {0, 1, 0}, {0, 1, 0}, {0, 1, 0}},
    {"NUL after a lead byte", "82 00 A4 00 E3 00", {any, 3, 0}, {0, 3, 0}, {0, 5, 0}},
    {"unfinished sjis character", "82", {0, 0, 1}, {0, 0, 0}, {0, 1, 0}},
    {"unfinished euc character", "A4", {any, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {"unfinished utf8 character", "E3 81", {any, 0, 0}, {0, 0, 0}, {0, 0, -1}},
    {"sjis D5 (no half-width katakana) weighs nothing", "D5", {0, 0, 0}, {0, 0, 1}, {0, 0, -1}},
    {"sjis 80 and A0 weigh nothing", "80 A0", {0, 0, 0}, {0, 0, 0}, {0, 2, 0}},
    {"four-byte UTF-8 weighs its high surrogate (none listed)", "F0 9F 98 80", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
};

TEST(scorer, feed_table) {
  for (const feed_case& c : feed_cases) {
    const std::string input = bytes(c.input);
    const auto check = [&](const char* variant, const morvik::encode_scorer& s, expected_state want) {
      EXPECT_EQ(s.error_count, want.error_count) << c.name << " [" << variant << "] input " << hex(input);
      EXPECT_EQ(s.mode, want.mode) << c.name << " [" << variant << "] input " << hex(input);
      if (want.score == any) return;
      EXPECT_EQ(s.score, want.score) << c.name << " [" << variant << "] input " << hex(input);
      EXPECT_EQ(s.evaluate(), want.score - want.error_count * 395578)
          << c.name << " [" << variant << "] input " << hex(input);
    };
    check("sjis", fed<morvik::sjis_scorer>(input), c.sjis);
    check("euc", fed<morvik::euc_scorer>(input), c.euc);
    check("utf8", fed<morvik::utf8_scorer>(input), c.utf8);
  }
}

TEST(scorer, half_width_katakana_byte) {
  const auto sjis = fed<morvik::sjis_scorer>("\xB1");
  EXPECT_GT(sjis.score, 0);
  EXPECT_LE(sjis.score, 8524);  // never heavier than the heaviest half-width character
  EXPECT_EQ(sjis.error_count, 0);
  EXPECT_EQ(fed<morvik::euc_scorer>("\xB1").mode, morvik::encode_scorer::first_byte);
  EXPECT_EQ(fed<morvik::utf8_scorer>("\xB1").error_count, 1);
  // EUC-JP spells the same character 8E B1.
  EXPECT_EQ(fed<morvik::euc_scorer>("\x8E\xB1").score, sjis.score);
}

TEST(scorer, fresh_and_penalty) {
  const morvik::utf8_scorer fresh;
  EXPECT_EQ(fresh.error_count, 0);
  EXPECT_EQ(fresh.score, 0);
  EXPECT_EQ(fresh.mode, 0);
  EXPECT_EQ(fresh.code, 0u);
  EXPECT_TRUE(fresh.pending().empty());
  EXPECT_EQ(morvik::encode_scorer::error_penalty, 0x6093A);
  morvik::sjis_scorer one;
  one.reject();
  EXPECT_EQ(one.evaluate(), -395578);
}

TEST(scorer, code_and_pending) {
  EXPECT_EQ(fed<morvik::sjis_scorer>("\x82\xCC").code, 0x82CCu);
  EXPECT_EQ(fed<morvik::sjis_scorer>("\x82").code, 0x82u);
  EXPECT_EQ(fed<morvik::euc_scorer>("\xA4\xCE").code, 0xA4CEu);
  EXPECT_EQ(fed<morvik::utf8_scorer>("\xE3\x81\xAE").pending(), "\xE3\x81\xAE");
  EXPECT_EQ(fed<morvik::utf8_scorer>("\xE3\x81\xAE" "A").pending(), "A");
}

// The weight list as committed, read independently of the generated tables.
std::map<char16_t, std::int32_t> weight_list() {
  const char* root = std::getenv("KORVEL_SOURCE_DIR");
  std::ifstream in(std::string(root ? root : ".") + "/tools/data/character_weights.txt");
  std::map<char16_t, std::int32_t> list;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    unsigned code = 0;
    long weight = 0;
    if (std::sscanf(line.c_str(), "U+%x %ld", &code, &weight) == 2) list[static_cast<char16_t>(code)] = weight;
  }
  return list;
}

// Each listed character, written by the library's own encoders, scores its weight in its
// scorer: the three tables hold one list under the codecs' keys.
TEST(scorer, every_listed_character_scores_its_weight) {
  const auto list = weight_list();
  ASSERT_EQ(list.size(), 1691u) << "tools/data/character_weights.txt not found or incomplete";
  for (const auto& [unit, weight] : list) {
    const std::u16string wide(1, unit);
    const std::string sjis = morvik::translate_from_unicode(wide, morvik::sjis);
    const std::string euc = morvik::translate_from_unicode(wide, morvik::euc);
    const std::string utf8 = morvik::translate_from_unicode(wide, morvik::utf8);
    const auto s = fed<morvik::sjis_scorer>(sjis);
    const auto e = fed<morvik::euc_scorer>(euc);
    const auto u = fed<morvik::utf8_scorer>(utf8);
    EXPECT_TRUE(s.score == weight && s.error_count == 0 && s.mode == 0)
        << "U+" << std::hex << unsigned(unit) << std::dec << " sjis " << hex(sjis) << " score " << s.score
        << " want " << weight;
    EXPECT_TRUE(e.score == weight && e.error_count == 0 && e.mode == 0)
        << "U+" << std::hex << unsigned(unit) << std::dec << " euc " << hex(euc) << " score " << e.score
        << " want " << weight;
    EXPECT_TRUE(u.score == weight && u.error_count == 0 && u.mode == 0)
        << "U+" << std::hex << unsigned(unit) << std::dec << " utf8 " << hex(utf8) << " score " << u.score
        << " want " << weight;
  }
}

// What any weight list must keep, whatever it chooses: the 30 heaviest characters with their
// keys and weights, the class sizes and maxima, and the lightest six.
struct ranked_row {
  char16_t unit;
  std::int32_t sjis, euc, weight;
};
const ranked_row heaviest[] = {
    {0x3000, 0x8140, 0xA1A1, 395578}, {0x306E, 0x82CC, 0xA4CE, 150324}, {0x30FC, 0x815B, 0xA1BC, 122124},
    {0x3044, 0x82A2, 0xA4A4, 109859}, {0x3057, 0x82B5, 0xA4B7, 102815}, {0x3002, 0x8142, 0xA1A3, 91442},
    {0x3067, 0x82C5, 0xA4C7, 90858},  {0x3001, 0x8141, 0xA1A2, 84908},  {0x3059, 0x82B7, 0xA4B9, 84100},
    {0x306B, 0x82C9, 0xA4CB, 83196},  {0x3066, 0x82C4, 0xA4C6, 82905},  {0x306A, 0x82C8, 0xA4CA, 77586},
    {0x308B, 0x82E9, 0xA4EB, 75826},  {0x3068, 0x82C6, 0xA4C8, 70988},  {0x30F3, 0x8393, 0xA5F3, 66550},
    {0x307E, 0x82DC, 0xA4DE, 65673},  {0x305F, 0x82BD, 0xA4BF, 65549},  {0x306F, 0x82CD, 0xA4CF, 63876},
    {0xFF1A, 0x8146, 0xA1A7, 62256},  {0x3092, 0x82F0, 0xA4F2, 62032},  {0x3093, 0x82F1, 0xA4F3, 60414},
    {0x304B, 0x82A9, 0xA4AB, 59498},  {0x30B9, 0x8358, 0xA5B9, 57474},  {0x304C, 0x82AA, 0xA4AC, 57420},
    {0x3063, 0x82C1, 0xA4C3, 51786},  {0x30C8, 0x8367, 0xA5C8, 45819},  {0x3046, 0x82A4, 0xA4A6, 44623},
    {0x3089, 0x82E7, 0xA4E9, 43556},  {0x30EB, 0x838B, 0xA5EB, 43417},  {0x3055, 0x82B3, 0xA4B5, 41715},
};

struct weight_class {
  const char* name;
  char16_t first, last;  // U+FF95 is no member of the half-width class
  std::size_t size;
  std::int32_t largest;
};
const weight_class classes[] = {
    {"CJK symbols and punctuation", 0x3000, 0x303F, 19, 395578},
    {"hiragana", 0x3040, 0x309F, 84, 150324},
    {"katakana", 0x30A0, 0x30FF, 84, 122124},
    {"full-width ASCII", 0xFF01, 0xFF5E, 84, 62256},
    {"symbols", 0x0391, 0x266A, 81, 36184},
    {"full-width signs", 0xFFE2, 0xFFE5, 3, 35692},
    {"CJK ideographs", 0x4E00, 0x9FFF, 1274, 35408},
    {"half-width katakana", 0xFF61, 0xFF9F, 62, 8524},
};

TEST(scorer, weight_list_keeps_the_fixed_ranks) {
  const auto list = weight_list();
  ASSERT_EQ(list.size(), 1691u) << "tools/data/character_weights.txt not found or incomplete";
  std::vector<std::pair<std::int32_t, char16_t>> ranked;
  for (const auto& [unit, weight] : list) ranked.emplace_back(-weight, unit);
  std::sort(ranked.begin(), ranked.end());
  for (std::size_t rank = 0; rank < std::size(heaviest); ++rank) {
    const ranked_row& row = heaviest[rank];
    EXPECT_EQ(ranked[rank].second, row.unit) << "rank " << rank + 1;
    EXPECT_EQ(-ranked[rank].first, row.weight) << "rank " << rank + 1;
    EXPECT_EQ(std::int32_t(morvik::sjis_frequency.lookup(row.sjis)), row.weight) << "sjis " << std::hex << row.sjis;
    EXPECT_EQ(std::int32_t(morvik::euc_frequency.lookup(row.euc)), row.weight) << "euc " << std::hex << row.euc;
    EXPECT_EQ(std::int32_t(morvik::unicode_frequency.lookup(row.unit)), row.weight) << "U+" << std::hex << unsigned(row.unit);
  }
  EXPECT_LT(-ranked[std::size(heaviest)].first, 41715) << "rank 31 ties or passes rank 30";

  for (const weight_class& c : classes) {
    std::size_t size = 0;
    std::int32_t largest = 0;
    for (const auto& [unit, weight] : list) {
      if (unit < c.first || unit > c.last) continue;
      ++size;
      largest = std::max(largest, weight);
    }
    EXPECT_EQ(size, c.size) << c.name;
    EXPECT_EQ(largest, c.largest) << c.name;
  }
  std::size_t classified = 0;
  for (const auto& entry : list) {
    const char16_t unit = entry.first;
    for (const weight_class& c : classes) classified += unit >= c.first && unit <= c.last;
  }
  EXPECT_EQ(classified, list.size()) << "a listed character belongs to no class";
  EXPECT_EQ(list.count(0xFF95), 0u);

  const std::map<char16_t, std::int32_t> lightest = {{0x718A, 100}, {0x4F73, 101}, {0x52AA, 101},
                                                     {0x6841, 101}, {0x8846, 101}, {0x8CB8, 101}};
  for (const auto& [unit, weight] : list) {
    const auto fixed = lightest.find(unit);
    if (fixed != lightest.end()) {
      EXPECT_EQ(weight, fixed->second) << "U+" << std::hex << unsigned(unit);
    } else {
      EXPECT_GT(weight, 101) << "U+" << std::hex << unsigned(unit) << " is as light as the lightest";
    }
  }
}

std::size_t entries(const morvik::code_table& table) {
  std::size_t count = 0;
  for (std::int32_t index = 0; index <= 0xFFFF; ++index) count += table.lookup(index) != 0;
  return count;
}

TEST(scorer, weight_tables_hold_nothing_else) {
  EXPECT_EQ(entries(morvik::sjis_frequency), 1691u);
  EXPECT_EQ(entries(morvik::euc_frequency), 1691u);
  EXPECT_EQ(entries(morvik::unicode_frequency), 1691u);
  for (std::int32_t b = 0; b < 0x80; ++b) {
    EXPECT_EQ(morvik::sjis_frequency.lookup(b), 0u) << b;
    EXPECT_EQ(morvik::unicode_frequency.lookup(b), 0u) << b;
  }
  EXPECT_EQ(morvik::unicode_frequency.lookup(0x718A), 100u);
  EXPECT_EQ(morvik::unicode_frequency.lookup(0xFF95), 0u);
}

// The scorer decodes a completed sequence in place; it must give the first unit that
// utf8_to_unicode gives. Every two- and three-byte sequence, every four-byte one, and for
// five and six bytes every lead with every value of each continuation byte in turn plus a
// random sample.
void expect_same_first_unit(const std::string& sequence, int& failures) {
  const std::u16string reference = morvik::utf8_to_unicode(sequence);
  const char16_t want = reference.empty() ? 0 : reference[0];
  const char16_t got = morvik::utf8_first_unit(sequence);
  if (got != want && ++failures <= 10) {
    ADD_FAILURE() << "sequence " << hex(sequence) << ": in place " << std::hex << unsigned(got)
                  << ", utf8_to_unicode " << unsigned(want);
  }
}

TEST(scorer, in_place_decoding_equals_utf8_to_unicode) {
  int failures = 0;
  std::string s;
  for (unsigned lead = 0x01; lead <= 0x7F; ++lead) expect_same_first_unit(std::string(1, char(lead)), failures);
  for (unsigned lead = 0xC0; lead <= 0xDF; ++lead)
    for (unsigned a = 0x80; a <= 0xBF; ++a) expect_same_first_unit({char(lead), char(a)}, failures);
  for (unsigned lead = 0xE0; lead <= 0xEF; ++lead)
    for (unsigned a = 0x80; a <= 0xBF; ++a)
      for (unsigned b = 0x80; b <= 0xBF; ++b) expect_same_first_unit({char(lead), char(a), char(b)}, failures);
  for (unsigned lead = 0xF0; lead <= 0xF7; ++lead)
    for (unsigned a = 0x80; a <= 0xBF; ++a)
      for (unsigned b = 0x80; b <= 0xBF; ++b)
        for (unsigned c = 0x80; c <= 0xBF; c += 1) expect_same_first_unit({char(lead), char(a), char(b), char(c), }, failures);
  std::mt19937 random(20240601);
  for (unsigned lead = 0xF8; lead <= 0xFD; ++lead) {
    const std::size_t length = lead <= 0xFB ? 5 : 6;
    for (std::size_t position = 1; position < length; ++position) {
      for (unsigned value = 0x80; value <= 0xBF; ++value) {
        for (unsigned filler : {0x80u, 0xBFu, 0x8Fu}) {
          std::string sequence(length, char(filler));
          sequence[0] = char(lead);
          sequence[position] = char(value);
          expect_same_first_unit(sequence, failures);
        }
      }
    }
    for (int i = 0; i < 20000; ++i) {
      std::string sequence(1, char(lead));
      for (std::size_t k = 1; k < length; ++k) sequence += char(0x80 + random() % 64);
      expect_same_first_unit(sequence, failures);
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
