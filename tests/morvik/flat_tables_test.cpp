// The flat tables of the fused kernels, entry by entry: each entry says what the sparse table
// and the plain reference writer say for the same code, and each empty entry stands for a code
// the sparse table lacks (or, for the UTF-16 table, one without a double-byte code on both
// sides). The committed flat_tables.cpp is what its generator makes now.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "morvik/ansi_sjis.h"
#include "morvik/code_table.h"
#include "morvik/euc.h"
#include "morvik/flat_tables.h"
#include "morvik/fused_engine.h"
#include "morvik/utf.h"
#include "tests/morvik/codec_testing.h"

namespace {

using namespace morvik;
using codec_testing::hex;

// What the plain UTF-8 writer makes of one unit.
std::string utf8_of(char16_t unit) {
  basic_unicode_to_utf8_engine<false> writer;
  return writer.translate_all(std::u16string_view(&unit, 1));
}

// What the plain Shift_JIS writer makes of one unit.
std::string sjis_of(char16_t unit) {
  basic_unicode_to_sjis_engine<false> writer;
  return writer.translate_all(std::u16string_view(&unit, 1));
}

// The bytes a packed entry stands for, and how many source bytes.
std::string unpacked(std::uint32_t packed) {
  std::string bytes;
  for (unsigned i = 0; i < flat::packed_length(packed); ++i) bytes += static_cast<char>(packed >> (8 * i));
  return bytes;
}

std::string code_name(unsigned code) {
  char name[16];
  std::snprintf(name, sizeof name, "%X", code);
  return name;
}

TEST(flat_tables, shift_jis_pairs_to_utf8) {
  int entries = 0;
  for (unsigned lead = 0; lead < 256; ++lead) {
    for (unsigned second = 0; second < 256; ++second) {
      const std::uint32_t packed = flat::sjis_pair_utf8[flat::sjis_lead_offset[lead] + second];
      const bool pair = is_sjis_lead_byte(lead) && is_sjis_second_byte(second);
      const std::uint32_t unit = pair ? sjis_to_unicode.lookup(static_cast<std::int32_t>(lead << 8 | second)) : 0;
      const std::string name = "Shift_JIS " + code_name(lead << 8 | second);
      if (unit == 0) {
        EXPECT_EQ(packed, 0u) << name << " has no entry in sjis_to_unicode";
        continue;
      }
      ++entries;
      EXPECT_EQ(flat::packed_source_length(packed), 2u) << name;
      EXPECT_EQ(hex(unpacked(packed)), hex(utf8_of(static_cast<char16_t>(unit)))) << name;
    }
  }
  EXPECT_EQ(entries, 7787 - 63);  // every entry of sjis_to_unicode but the single bytes
}

TEST(flat_tables, shift_jis_single_bytes_to_utf8) {
  for (unsigned byte = 0; byte < 256; ++byte) {
    const std::uint32_t packed = flat::sjis_single_utf8[byte];
    const std::string name = "Shift_JIS byte " + code_name(byte);
    if (byte >= 0x80 && !is_half_width_katakana(byte)) {
      EXPECT_EQ(packed, 0u) << name;
      continue;
    }
    // The reference chain of the pair on the byte alone.
    basic_sjis_to_unicode_engine<false> reader;
    const std::u16string unit = reader.translate_all(std::string(1, static_cast<char>(byte)));
    ASSERT_EQ(unit.size(), 1u) << name;
    EXPECT_EQ(flat::packed_source_length(packed), 1u) << name;
    EXPECT_EQ(hex(unpacked(packed)), hex(utf8_of(unit[0]))) << name;
    // The kernels that write katakana by arithmetic rely on this.
    if (byte >= 0x80) {
      EXPECT_EQ(unit[0], half_width_katakana_unit(byte)) << name;
    }
  }
}

// Every entry of the IBM extensions' rows is what the plain direct engine writes for the pair,
// and every empty one a pair that ibm_ext_to_euc lacks (the engine writes "?" for those).
TEST(flat_tables, shift_jis_ibm_extensions_to_euc) {
  int entries = 0;
  for (unsigned lead = flat::sjis_first_ibm_lead; lead <= 0xFC; ++lead) {
    for (unsigned second = 0; second < 256; ++second) {
      const std::uint32_t packed = flat::sjis_ibm_euc[(lead - flat::sjis_first_ibm_lead) * 256 + second];
      const std::string name = "Shift_JIS " + code_name(lead << 8 | second);
      const bool known = is_sjis_second_byte(second) &&
                         ibm_ext_to_euc.lookup(static_cast<std::int32_t>(lead << 8 | second)) != 0;
      if (!known) {
        EXPECT_EQ(packed, 0u) << name << " has no entry in ibm_ext_to_euc";
        continue;
      }
      ++entries;
      basic_sjis_to_euc_engine<false> writer;
      const std::string pair{static_cast<char>(lead), static_cast<char>(second)};
      EXPECT_EQ(flat::packed_source_length(packed), 2u) << name;
      EXPECT_EQ(hex(unpacked(packed)), hex(writer.translate_all(pair))) << name;
    }
  }
  EXPECT_EQ(entries, 388);
}

TEST(flat_tables, euc_pairs_to_utf8_and_shift_jis) {
  int entries = 0;
  for (unsigned first = 0xA1; first <= 0xFE; ++first) {
    for (unsigned second = 0xA1; second <= 0xFE; ++second) {
      const std::size_t index = flat::pair_index(first, second, 0xA1);
      ASSERT_EQ(index, flat::pair_index(first & 0x7F, second & 0x7F, 0x21));
      const std::uint32_t unit = euc_to_unicode.lookup(static_cast<std::int32_t>(first << 8 | second));
      const std::uint32_t packed = flat::euc_pair_utf8[index];
      const std::uint16_t sjis_code = flat::euc_pair_sjis[index];
      const std::string name = "EUC-JP " + code_name(first << 8 | second);
      if (unit == 0) {
        EXPECT_EQ(packed, 0u) << name;
        EXPECT_EQ(sjis_code, 0u) << name;
        continue;
      }
      ++entries;
      EXPECT_EQ(flat::packed_source_length(packed), 2u) << name;
      EXPECT_EQ(hex(unpacked(packed)), hex(utf8_of(static_cast<char16_t>(unit)))) << name;
      const std::string written = sjis_of(static_cast<char16_t>(unit));
      if (written.size() == 2 && written != "?") {
        EXPECT_EQ(sjis_code, unicode_to_sjis.lookup(static_cast<std::int32_t>(unit))) << name;
        EXPECT_EQ(hex(std::string{static_cast<char>(sjis_code >> 8), static_cast<char>(sjis_code & 0xFF)}),
                  hex(written))
            << name;
      } else {
        EXPECT_EQ(sjis_code, 0u) << name << " has no double-byte Shift_JIS code";
      }
    }
  }
  EXPECT_EQ(entries, 7389 - 63);  // every entry of euc_to_unicode but the 8E katakana
  EXPECT_EQ(flat::euc_pair_utf8[flat::no_pair], 0u);
  EXPECT_EQ(flat::euc_pair_sjis[flat::no_pair], 0u);
  // Bytes outside the pairs land on the empty entry.
  for (unsigned outside : {0x00u, 0x20u, 0x7Fu, 0x80u, 0xA0u, 0xFFu}) {
    EXPECT_EQ(flat::pair_index(outside, 0xA1, 0xA1), flat::no_pair) << code_name(outside);
    EXPECT_EQ(flat::pair_index(0xA1, outside, 0xA1), flat::no_pair) << code_name(outside);
  }
}

// Where a row's Shift_JIS codes are all there from its first cell, the wide blocks write them by
// the arithmetic: each must be the code whose JIS X 0208 bytes are the row and cell, and the
// first cell past the end must have none.
TEST(flat_tables, euc_rows_to_shift_jis_by_arithmetic) {
  for (unsigned row = 0; row < flat::euc_side; ++row) {
    const unsigned end = flat::euc_sjis_row_ends[row];
    ASSERT_LE(end, flat::euc_side);
    for (unsigned cell = 0; cell < end; ++cell) {
      const std::uint16_t code = flat::euc_pair_sjis[row * flat::euc_side + cell];
      ASSERT_NE(code, 0u) << "row " << row + 1 << " cell " << cell + 1;
      EXPECT_EQ(sjis_to_jisx0208(code >> 8, code & 0xFF), (row + 0x21) << 8 | (cell + 0x21))
          << "row " << row + 1 << " cell " << cell + 1;
    }
    if (end < flat::euc_side) {
      EXPECT_EQ(flat::euc_pair_sjis[row * flat::euc_side + end], 0u) << "row " << row + 1;
    }
  }
  for (unsigned row = flat::euc_side; row < 128; ++row) EXPECT_EQ(flat::euc_sjis_row_ends[row], 0u);
}

TEST(flat_tables, euc_katakana_by_arithmetic) {
  for (unsigned byte = 0xA1; byte <= 0xDF; ++byte) {
    const std::uint32_t unit = euc_to_unicode.lookup(static_cast<std::int32_t>(0x8E00 | byte));
    EXPECT_EQ(unit, half_width_katakana_unit(byte)) << "EUC-JP 8E" << code_name(byte);
    EXPECT_EQ(unicode_to_sjis.lookup(static_cast<std::int32_t>(unit)), byte) << "EUC-JP 8E" << code_name(byte);
    EXPECT_EQ(unicode_to_euc.lookup(static_cast<std::int32_t>(unit)), 0x8E00 | byte) << "EUC-JP 8E" << code_name(byte);
  }
}

TEST(flat_tables, utf16_units_to_shift_jis_and_euc) {
  int entries = 0;
  for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
    const std::uint32_t codes = flat::unicode_double_byte_codes(unit);
    const std::uint32_t sjis_code = unit < 0x80 ? 0 : unicode_to_sjis.lookup(static_cast<std::int32_t>(unit));
    const std::uint32_t euc_code = unit < 0x80 ? 0 : unicode_to_euc.lookup(static_cast<std::int32_t>(unit));
    const std::string name = "U+" + code_name(unit);
    if (sjis_code < 0x100 || euc_code < 0x100 || euc_code > 0xFFFF) {
      EXPECT_EQ(codes, 0u) << name;
      continue;
    }
    ++entries;
    EXPECT_EQ(codes & 0xFFFF, sjis_code) << name;
    EXPECT_EQ(codes >> 16, euc_code) << name;
    // The UTF-8 kernels write these codes as the reference writers would.
    EXPECT_EQ(hex(sjis_of(static_cast<char16_t>(unit))),
              hex(std::string{static_cast<char>(sjis_code >> 8), static_cast<char>(sjis_code & 0xFF)}))
        << name;
  }
  EXPECT_EQ(entries, 7389 - 63);
}

// The kernels look a three-byte sequence up by its bytes: every first and second byte, and
// every third byte's low six bits and a few of its high ones, as the reference reader's unit.
TEST(flat_tables, three_byte_utf8_as_the_unit) {
  for (std::uint32_t lead = 0; lead < 256; ++lead) {
    for (std::uint32_t second = 0; second < 256; ++second) {
      for (std::uint32_t third = 0; third < 256; third += third < 0x80 || third >= 0xC0 ? 13 : 1) {
        const std::uint32_t bytes = lead | second << 8 | third << 16 | 0xA5000000u;
        const std::uint32_t unit = (lead & utf8_lead_mask[3]) << 12 | (second & utf8_lead_mask[0]) << 6 |
                                   (third & utf8_lead_mask[0]);
        const std::uint32_t want = utf8_sequence_length(lead) == 3 ? flat::unicode_double_byte_codes(unit) : 0;
        if (flat::three_byte_double_byte_codes(bytes) != want) {
          ADD_FAILURE() << "UTF-8 " << code_name(lead) << " " << code_name(second) << " " << code_name(third);
          return;
        }
      }
    }
  }
}

bool have_python() { return std::system("python3 -c pass >/dev/null 2>&1") == 0; }

TEST(flat_tables, committed_source_is_the_generators_output) {
  if (!have_python()) GTEST_SKIP() << "python3 is missing: the generator cannot run";
  const std::string output = testing::TempDir() + "korvel_" + std::to_string(getpid()) + "_flat_tables.cpp";
  const std::string command = "python3 '" + codec_testing::source_path("tools/generate_flat_tables.py") +
                              "' --output '" + output + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string fresh = codec_testing::read_file(output);
  const std::string committed = codec_testing::read_file(codec_testing::source_path("morvik/flat_tables.cpp"));
  std::remove(output.c_str());
  ASSERT_FALSE(fresh.empty());
  EXPECT_TRUE(fresh == committed) << "morvik/flat_tables.cpp is stale: run tools/generate_flat_tables.py";
}

}  // namespace
