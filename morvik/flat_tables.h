#pragma once
// One-load tables for the fused conversions, derived from the sparse character tables by
// tools/generate_flat_tables.py (flat_tables.cpp). A 0 entry means "no entry here": the kernel
// leaves the character to the reference chain, which knows what to write for it.
// UTF-8 bytes are packed first byte lowest with their count in the top byte, so that a kernel
// stores the word and moves on by the count.
#include <cstddef>
#include <cstdint>

namespace morvik {
namespace flat {

inline constexpr std::size_t sjis_columns = 192;  // second bytes 40-FF
inline constexpr std::size_t euc_side = 94;       // A1-FE, or 21-7E in JIS

extern const std::uint32_t sjis_pair_utf8[60 * sjis_columns];
extern const std::uint32_t euc_pair_utf8[euc_side * euc_side];
extern const std::uint16_t euc_pair_sjis[euc_side * euc_side];
extern const std::uint16_t unicode_block[1024];
extern const std::uint32_t unicode_codes[];

// Row of a Shift_JIS lead byte (81-9F, E0-FC) in sjis_pair_utf8.
constexpr unsigned sjis_lead_row(unsigned lead_byte) { return lead_byte < 0xA0 ? lead_byte - 0x81 : lead_byte - 0xC1; }

// Entry of a JIS X 0208 pair (rows and cells 21-7E; EUC-JP bytes with the high bit dropped).
constexpr std::size_t jis_pair_index(unsigned first, unsigned second) {
  return (first - 0x21) * euc_side + (second - 0x21);
}

// unicode_to_euc << 16 | unicode_to_sjis of a unit whose codes both have two bytes, else 0.
inline std::uint32_t unicode_double_byte_codes(std::uint32_t unit) {
  return unicode_codes[std::size_t{unicode_block[unit >> 6]} << 6 | (unit & 63)];
}

inline std::size_t packed_length(std::uint32_t packed) { return packed >> 24; }

}  // namespace flat
}  // namespace morvik
