// The compiled tables: their shape walked from the structure itself, the rows that tell
// one vendor mapping from another, the inverse relations between the tables and the byte
// classes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "morvik/code_table.h"
#include "morvik/euc.h"

namespace {

using morvik::code_middle;
using morvik::code_row;
using morvik::code_table;

struct named_table {
  const char* name;
  const code_table* table;
};

const named_table all_tables[] = {
    {"sjis_to_unicode", &morvik::sjis_to_unicode},
    {"unicode_to_sjis", &morvik::unicode_to_sjis},
    {"euc_to_unicode", &morvik::euc_to_unicode},
    {"jisx0212_to_unicode", &morvik::jisx0212_to_unicode},
    {"unicode_to_euc", &morvik::unicode_to_euc},
    {"ibm_ext_to_euc", &morvik::ibm_ext_to_euc},
    {"euc_to_ibm_ext", &morvik::euc_to_ibm_ext},
    {"sjis_frequency", &morvik::sjis_frequency},
    {"euc_frequency", &morvik::euc_frequency},
    {"unicode_frequency", &morvik::unicode_frequency},
};

std::string hex(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(value));
  return buffer;
}

struct shape {
  int entries = 0;
  int top_entries = 0;
  int rows = 0;
  int empty_rows = 0;     // a row without any value: the structure is not minimal
  int empty_middles = 0;  // a middle array without any row
};

shape walk(const code_table& table, std::set<const code_row*>* rows = nullptr,
           std::set<const code_middle*>* middles = nullptr) {
  shape result;
  for (int high = 0; high < 256; ++high) {
    const code_middle* middle = table.top[high];
    if (!middle) continue;
    ++result.top_entries;
    if (middles) middles->insert(middle);
    int rows_here = 0;
    for (int slot = 0; slot < 8; ++slot) {
      const code_row* row = (*middle)[slot];
      if (!row) continue;
      ++rows_here;
      ++result.rows;
      if (rows) rows->insert(row);
      int values = 0;
      for (std::uint32_t value : *row) values += value != 0;
      result.entries += values;
      if (values == 0) ++result.empty_rows;
    }
    if (rows_here == 0) ++result.empty_middles;
  }
  return result;
}

TEST(CodeTableShape, CountsWalkedFromTheStructure) {
  struct expected_shape {
    const char* name;
    int entries, top_entries, rows;  // top entries and rows < 0: depend on the weight list
  };
  const expected_shape expected[] = {
      {"sjis_to_unicode", 7787, 46, 257},   {"unicode_to_sjis", 7389, 98, 689},
      {"euc_to_unicode", 7389, 83, 243},    {"jisx0212_to_unicode", 6067, 68, 200},
      {"unicode_to_euc", 13176, 100, 698},  {"ibm_ext_to_euc", 388, 3, 13},
      {"euc_to_ibm_ext", 388, 6, 16},       {"sjis_frequency", 1691, -1, -1},
      {"euc_frequency", 1691, -1, -1},      {"unicode_frequency", 1691, -1, -1},
  };
  std::set<const code_row*> distinct_rows;
  std::set<const code_middle*> distinct_middles;
  int row_references = 0, middle_references = 0;
  for (std::size_t i = 0; i < std::size(all_tables); ++i) {
    const named_table& table = all_tables[i];
    ASSERT_STREQ(table.name, expected[i].name);
    shape s = walk(*table.table, &distinct_rows, &distinct_middles);
    std::printf("%-20s entries %5d  top entries %3d  rows %3d\n", table.name, s.entries,
                s.top_entries, s.rows);
    row_references += s.rows;
    middle_references += s.top_entries;
    EXPECT_EQ(s.entries, expected[i].entries) << table.name;
    if (expected[i].top_entries >= 0) {
      EXPECT_EQ(s.top_entries, expected[i].top_entries) << table.name;
      EXPECT_EQ(s.rows, expected[i].rows) << table.name;
    }
    EXPECT_EQ(s.empty_rows, 0) << table.name;
    EXPECT_EQ(s.empty_middles, 0) << table.name;
  }
  std::printf("%d row references to %zu distinct rows (%zu bytes), %d middle references to %zu "
              "distinct middle arrays\n",
              row_references, distinct_rows.size(), distinct_rows.size() * sizeof(code_row),
              middle_references, distinct_middles.size());
  // Sharing is real: the half-width katakana row serves Shift_JIS and EUC-JP alike.
  EXPECT_EQ((*morvik::sjis_to_unicode.top[0x00])[5], (*morvik::euc_to_unicode.top[0x8E])[5]);
  EXPECT_LT(distinct_rows.size(), static_cast<std::size_t>(row_references));
}

TEST(CodeTableLookup, ZeroAndTopIndexHaveNoEntryAnywhere) {
  for (const named_table& table : all_tables) {
    EXPECT_EQ(table.table->lookup(0), 0u) << table.name;
    EXPECT_EQ(table.table->lookup(0xFFFF), 0u) << table.name;
  }
}

struct telling_row {
  const char* table;
  std::int32_t index;
  std::uint32_t value;  // 0: no entry
};

const named_table& find_table(const char* name) {
  for (const named_table& table : all_tables)
    if (std::string(table.name) == name) return table;
  std::abort();
}

TEST(CodeTableLookup, TellingRows) {
  const telling_row rows[] = {
      // CP932's choices where JIS X 0208 mappings disagree.
      {"sjis_to_unicode", 0x8160, 0xFF5E}, {"sjis_to_unicode", 0x8161, 0x2225},
      {"sjis_to_unicode", 0x815C, 0x2015}, {"sjis_to_unicode", 0x815F, 0xFF3C},
      {"sjis_to_unicode", 0x817C, 0xFF0D}, {"sjis_to_unicode", 0x8191, 0xFFE0},
      {"sjis_to_unicode", 0x8192, 0xFFE1}, {"sjis_to_unicode", 0x81CA, 0xFFE2},
      {"sjis_to_unicode", 0x8790, 0x2252}, {"sjis_to_unicode", 0x879A, 0x2235},
      {"sjis_to_unicode", 0xEEEF, 0x2170}, {"sjis_to_unicode", 0xEEF9, 0xFFE2},
      {"sjis_to_unicode", 0xFA40, 0x2170}, {"sjis_to_unicode", 0xFA5B, 0x2235},
      {"sjis_to_unicode", 0xFC4B, 0x9ED1}, {"sjis_to_unicode", 0x889E, 0},
      {"sjis_to_unicode", 0xEAA5, 0},
      // Of duplicates the JIS X 0208 code wins, then NEC row 13, then NEC-selected IBM.
      {"unicode_to_sjis", 0x2252, 0x81E0}, {"unicode_to_sjis", 0x2235, 0x81E6},
      {"unicode_to_sjis", 0x2160, 0x8754}, {"unicode_to_sjis", 0x2170, 0xEEEF},
      {"unicode_to_sjis", 0xFFE2, 0x81CA}, {"unicode_to_sjis", 0xFFE4, 0xEEFA},
      {"unicode_to_sjis", 0xFF5E, 0x8160}, {"unicode_to_sjis", 0x301C, 0},
      {"unicode_to_sjis", 0x2212, 0},      {"unicode_to_sjis", 0x00A5, 0},
      {"unicode_to_sjis", 0x00A2, 0},      {"unicode_to_sjis", 0x00A3, 0},
      {"unicode_to_sjis", 0x00AC, 0},      {"unicode_to_sjis", 0x2014, 0},
      {"unicode_to_sjis", 0x2016, 0},      {"unicode_to_sjis", 0x203E, 0},
      {"unicode_to_sjis", 0x0041, 0},
      {"euc_to_unicode", 0xA1A1, 0x3000},  {"euc_to_unicode", 0xA1C1, 0xFF5E},
      {"euc_to_unicode", 0xA1C2, 0x2225},  {"euc_to_unicode", 0xA1DD, 0xFF0D},
      {"euc_to_unicode", 0xADB5, 0x2160},  {"euc_to_unicode", 0xF9A1, 0x7E8A},
      {"euc_to_unicode", 0xFCF1, 0x2170},  {"euc_to_unicode", 0xFCFC, 0xFFE4},
      {"euc_to_unicode", 0x8EA1, 0xFF61},  {"euc_to_unicode", 0xADF0, 0},
      {"euc_to_unicode", 0xFCFB, 0},
      {"jisx0212_to_unicode", 0xA2AF, 0x02D8}, {"jisx0212_to_unicode", 0xA2B7, 0x007E},
      {"jisx0212_to_unicode", 0xA2C3, 0x00A6}, {"jisx0212_to_unicode", 0xA2F1, 0x2116},
      {"jisx0212_to_unicode", 0xB0A1, 0x4E02}, {"jisx0212_to_unicode", 0xEDE3, 0x9FA5},
      {"unicode_to_euc", 0x007E, 0x8FA2B7}, {"unicode_to_euc", 0x00A6, 0x8FA2C3},
      {"unicode_to_euc", 0x2116, 0xADE2},   {"unicode_to_euc", 0x4E28, 0xF9AD},
      {"unicode_to_euc", 0x2170, 0xFCF1},   {"unicode_to_euc", 0xFF61, 0x8EA1},
      {"unicode_to_euc", 0xFF5E, 0xA1C1},   {"unicode_to_euc", 0x301C, 0},
      {"ibm_ext_to_euc", 0xFA40, 0xFCF1}, {"ibm_ext_to_euc", 0xFA4A, 0xADB5},
      {"ibm_ext_to_euc", 0xFA54, 0xA2CC}, {"ibm_ext_to_euc", 0xFA5B, 0xA2E8},
      {"ibm_ext_to_euc", 0xFA5C, 0xF9A1}, {"ibm_ext_to_euc", 0xFB40, 0xFAE3},
      {"ibm_ext_to_euc", 0xFC4B, 0xFCEE},
      {"euc_to_ibm_ext", 0xFCF1, 0xFA40}, {"euc_to_ibm_ext", 0xA2CC, 0xFA54},
  };
  for (const telling_row& row : rows) {
    EXPECT_EQ(hex(find_table(row.table).table->lookup(row.index)), hex(row.value))
        << row.table << "[" << hex(static_cast<std::uint32_t>(row.index)) << "]";
  }
}

TEST(CodeTableLookup, ShiftJisCodesWithoutEntry) {
  const std::int32_t singles[] = {0x00, 0x41, 0x5C, 0x7E, 0x7F, 0x80, 0xA0, 0xE0, 0xFD, 0xFE, 0xFF};
  for (std::int32_t code : singles)
    EXPECT_EQ(morvik::sjis_to_unicode.lookup(code), 0u) << hex(code);
  for (std::int32_t code = 0xF040; code <= 0xF9FC; ++code)
    ASSERT_EQ(morvik::sjis_to_unicode.lookup(code), 0u) << "user-defined " << hex(code);
  for (std::int32_t code = 0xA1; code <= 0xDF; ++code)
    EXPECT_EQ(morvik::sjis_to_unicode.lookup(code), 0xFF61u + (code - 0xA1)) << hex(code);
}

// The relations between the tables, index by index.
TEST(CodeTableRelations, InversesAndPreferences) {
  using morvik::euc_to_unicode;
  using morvik::sjis_to_unicode;
  using morvik::unicode_to_euc;
  using morvik::unicode_to_sjis;
  for (std::int32_t unit = 0; unit <= 0xFFFF; ++unit) {
    const std::uint32_t sjis = unicode_to_sjis.lookup(unit);
    if (sjis != 0) {
      ASSERT_EQ(sjis_to_unicode.lookup(static_cast<std::int32_t>(sjis)), static_cast<std::uint32_t>(unit))
          << "U+" << hex(unit) << " -> " << hex(sjis);
      ASSERT_FALSE(sjis >= 0xFA40 && sjis <= 0xFC4B) << "IBM extension value for U+" << hex(unit);
    }
    const std::uint32_t euc = unicode_to_euc.lookup(unit);
    if (euc > 0xFFFF) {
      ASSERT_EQ(euc >> 16, 0x8Fu) << "U+" << hex(unit);
      ASSERT_EQ(morvik::jisx0212_to_unicode.lookup(static_cast<std::int32_t>(euc & 0xFFFF)),
                static_cast<std::uint32_t>(unit))
          << "U+" << hex(unit);
      ASSERT_EQ(sjis, 0u) << "a JIS X 0212 code for a Shift_JIS character U+" << hex(unit);
    } else if (euc != 0) {
      ASSERT_EQ(euc_to_unicode.lookup(static_cast<std::int32_t>(euc)), static_cast<std::uint32_t>(unit))
          << "U+" << hex(unit);
    }
    // The two-byte EUC-JP side holds exactly the Shift_JIS repertoire.
    ASSERT_EQ(sjis != 0, euc != 0 && euc <= 0xFFFF) << "U+" << hex(unit);
  }
  for (std::int32_t code = 0; code <= 0xFFFF; ++code) {
    const std::uint32_t unit = sjis_to_unicode.lookup(code);
    if (unit != 0) {
      // Every decodable code has a way back, possibly through a preferred duplicate.
      ASSERT_NE(unicode_to_sjis.lookup(static_cast<std::int32_t>(unit)), 0u) << hex(code);
    }
    const std::uint32_t euc_unit = euc_to_unicode.lookup(code);
    if (euc_unit != 0) {
      ASSERT_EQ(unicode_to_euc.lookup(static_cast<std::int32_t>(euc_unit)), static_cast<std::uint32_t>(code))
          << hex(code);
    }
    const std::uint32_t ibm = morvik::ibm_ext_to_euc.lookup(code);
    ASSERT_EQ(ibm != 0, code >= 0xFA40 && code <= 0xFC4B && unit != 0) << hex(code);
    if (ibm != 0) {
      ASSERT_EQ(euc_to_unicode.lookup(static_cast<std::int32_t>(ibm)), unit) << hex(code);
      ASSERT_EQ(morvik::euc_to_ibm_ext.lookup(static_cast<std::int32_t>(ibm)), static_cast<std::uint32_t>(code))
          << hex(code);
    }
  }
}

// One weight list under three keys: the same character weighs the same in every table.
TEST(CodeTableRelations, WeightsAgreeUnderTheirThreeKeys) {
  int weighted = 0;
  for (std::int32_t unit = 0; unit <= 0xFFFF; ++unit) {
    const std::uint32_t weight = morvik::unicode_frequency.lookup(unit);
    if (weight == 0) continue;
    ++weighted;
    const std::uint32_t sjis = morvik::unicode_to_sjis.lookup(unit);
    const std::uint32_t euc = morvik::unicode_to_euc.lookup(unit);
    ASSERT_NE(sjis, 0u) << "U+" << hex(unit);
    ASSERT_TRUE(euc != 0 && euc <= 0xFFFF) << "U+" << hex(unit);
    EXPECT_EQ(morvik::sjis_frequency.lookup(static_cast<std::int32_t>(sjis)), weight) << "U+" << hex(unit);
    EXPECT_EQ(morvik::euc_frequency.lookup(static_cast<std::int32_t>(euc)), weight) << "U+" << hex(unit);
    EXPECT_GE(unit, 0x80) << "a 7-bit character has a weight";
  }
  EXPECT_EQ(weighted, 1691);
}

TEST(ByteClasses, AgreeWithTheirRanges) {
  for (unsigned byte = 0; byte < 256; ++byte) {
    const bool sjis_lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    const bool sjis_trail = (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
    const bool euc_lead = byte == 0x8E || (byte >= 0x90 && byte <= 0x9F) || (byte >= 0xA1 && byte <= 0xFE);
    EXPECT_EQ(morvik::is_sjis_lead_byte(byte), sjis_lead) << hex(byte);
    EXPECT_EQ(morvik::is_sjis_trail_byte(byte), sjis_trail) << hex(byte);
    EXPECT_EQ(morvik::is_euc_lead_byte(byte), euc_lead) << hex(byte);
    EXPECT_EQ(morvik::is_euc_aux_lead_byte(byte), byte == 0x8F) << hex(byte);
    EXPECT_EQ(morvik::is_high_byte(byte), byte >= 0x80) << hex(byte);
    // The reader's second byte is a wider set than the scorer's high byte.
    EXPECT_EQ(morvik::is_euc_second_byte(byte), byte >= 0x40 && byte <= 0xFE && byte != 0x7F) << hex(byte);
  }
}

TEST(ByteClasses, Utf8SequenceLengthsAndMasks) {
  const struct {
    unsigned first, last, length;
  } ranges[] = {{0x00, 0x7F, 1}, {0x80, 0xBF, 0}, {0xC0, 0xDF, 2}, {0xE0, 0xEF, 3},
                {0xF0, 0xF7, 4}, {0xF8, 0xFB, 5}, {0xFC, 0xFD, 6}, {0xFE, 0xFF, 0}};
  for (const auto& range : ranges)
    for (unsigned byte = range.first; byte <= range.last; ++byte)
      EXPECT_EQ(morvik::utf8_sequence_length(byte), range.length) << hex(byte);
  // The mask keeps exactly the payload bits of a lead byte of that length.
  for (unsigned length = 2; length <= 6; ++length)
    EXPECT_EQ(morvik::utf8_lead_mask[length], (1u << (7 - length)) - 1) << length;
  EXPECT_EQ(morvik::utf8_lead_mask[0], 0x3Fu);
  EXPECT_EQ(morvik::utf8_lead_mask[1], 0x7Fu);
}

}  // namespace
