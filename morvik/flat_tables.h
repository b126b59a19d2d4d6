#pragma once
// One-load tables for the fused conversions, derived from the sparse character tables by
// tools/generate_flat_tables.py (flat_tables.cpp). A 0 entry means "no entry here": the kernel
// leaves the character to the reference chain, which knows what to write for it.
// UTF-8 bytes are packed first byte lowest, their count in bits 24-27 and the count of source
// bytes they stand for in bits 28-31, so that a kernel stores the word and moves on by the counts.
#include <array>
#include <cstddef>
#include <cstdint>

namespace morvik {
namespace flat {

inline constexpr std::size_t sjis_rows = 61;  // the empty row, then lead bytes 81-9F and E0-FC
inline constexpr std::size_t euc_side = 94;   // A1-FE, or 21-7E in JIS
inline constexpr std::size_t no_pair = euc_side * euc_side;  // the empty entry after the pairs

extern const std::uint32_t sjis_pair_utf8[sjis_rows * 256];
extern const std::uint32_t sjis_single_utf8[256];
// The IBM extensions, rows FA-FC of 256: EUC-JP bytes of their characters' preferred codes.
inline constexpr unsigned sjis_first_ibm_lead = 0xFA;
extern const std::uint32_t sjis_ibm_euc[3 * 256];
extern const std::uint32_t euc_pair_utf8[no_pair + 1];
extern const std::uint16_t euc_pair_sjis[no_pair + 1];
// For each EUC-JP row (first byte - A1), how many cells from its first have an euc_pair_sjis
// entry, which there is the row/cell arithmetic's code; 0 past the last row, to 128.
extern const std::uint8_t euc_sjis_row_ends[128];
extern const std::uint16_t unicode_block[1024];
extern const std::uint32_t unicode_codes[];
extern const std::uint16_t utf8_block[0x4000];

// Where each byte's row starts in sjis_pair_utf8: 0, the empty row, for a byte that leads no pair.
inline constexpr std::array<std::uint16_t, 256> sjis_lead_offset = [] {
  std::array<std::uint16_t, 256> offsets{};
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead < 0xA0) offsets[lead] = static_cast<std::uint16_t>((lead - 0x80) * 256);
    if (lead >= 0xE0) offsets[lead] = static_cast<std::uint16_t>((lead - 0xC0) * 256);
  }
  return offsets;
}();

// Entry of a pair whose bytes both lie in [low, low + 94) (A1 for EUC-JP, 21 for JIS), or the
// empty entry.
constexpr std::size_t pair_index(unsigned first, unsigned second, unsigned low) {
  const unsigned row = first - low;
  const unsigned cell = second - low;
  return row < euc_side && cell < euc_side ? row * euc_side + cell : no_pair;
}

// unicode_to_euc << 16 | unicode_to_sjis of a unit whose codes both have two bytes, else 0.
inline std::uint32_t unicode_double_byte_codes(std::uint32_t unit) {
  return unicode_codes[std::size_t{unicode_block[unit >> 6]} << 6 | (unit & 63)];
}

// The same for a three-byte UTF-8 sequence, from its bytes as b0 | b1 << 8 | b2 << 16 (higher
// bits ignored), without the unit: 0 also where b0 does not lead three bytes.
inline std::uint32_t three_byte_double_byte_codes(std::uint32_t bytes) {
  return unicode_codes[std::size_t{utf8_block[bytes & 0x3FFF]} + ((bytes >> 16) & 63)];
}

constexpr unsigned packed_length(std::uint32_t packed) { return (packed >> 24) & 0xF; }
constexpr unsigned packed_source_length(std::uint32_t packed) { return packed >> 28; }

}  // namespace flat
}  // namespace morvik
