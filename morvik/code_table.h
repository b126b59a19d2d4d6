#pragma once
// Constant three-level sparse tables from a 16-bit code to a 32-bit value:
// top (index >> 8, 256 entries) -> middle ((index >> 5) & 7, 8 entries) -> row (index & 0x1F,
// 32 values). A null pointer or a 0 value means no entry. The data is generated
// (tables.cpp) and lives in read-only memory; there is no start-up code.
#include <cstdint>

#include "morvik/assertion.h"

namespace morvik {

using code_row = std::uint32_t[32];
using code_middle = const code_row* const[8];

struct code_table {
  const code_middle* const* top;  // 256 entries

  std::uint32_t lookup(std::int32_t index) const {
    MORVIK_ASSERT(0 <= index, "0 <= index");
    MORVIK_ASSERT(index <= 0xFFFF, "index <= 0xFFFF");
    const code_middle* middle = top[index >> 8];
    if (!middle) return 0;
    const code_row* row = (*middle)[(index >> 5) & 7];
    if (!row) return 0;
    return (*row)[index & 0x1F];
  }
};

// Character mappings.
extern const code_table sjis_to_unicode;
extern const code_table unicode_to_sjis;
extern const code_table euc_to_unicode;
extern const code_table jisx0212_to_unicode;
extern const code_table unicode_to_euc;
extern const code_table ibm_ext_to_euc;
extern const code_table euc_to_ibm_ext;
// Character weights for analysis: one list under three keys.
extern const code_table sjis_frequency;
extern const code_table euc_frequency;
extern const code_table unicode_frequency;

// A byte of a text as the byte classes below take it.
inline unsigned byte_value(char unit) { return static_cast<unsigned char>(unit); }

// Byte classes, 256 entries each.
extern const std::uint8_t sjis_lead_bytes[256];
extern const std::uint8_t sjis_trail_bytes[256];
extern const std::uint8_t euc_lead_bytes[256];
extern const std::uint32_t utf8_length[256];
extern const std::uint32_t utf8_lead_mask[7];

inline bool is_sjis_lead_byte(unsigned lead_byte) {
  MORVIK_ASSERT(lead_byte <= 0xFF, "lead_byte <= 0xFF");
  return sjis_lead_bytes[lead_byte] != 0;
}
inline bool is_sjis_trail_byte(unsigned trail_byte) {
  MORVIK_ASSERT(trail_byte <= 0xFF, "trail_byte <= 0xFF");
  return sjis_trail_bytes[trail_byte] != 0;
}
inline bool is_euc_lead_byte(unsigned lead_byte) {
  MORVIK_ASSERT(lead_byte <= 0xFF, "lead_byte <= 0xFF");
  return euc_lead_bytes[lead_byte] != 0;
}
inline bool is_euc_aux_lead_byte(unsigned aux_lead_byte) {
  MORVIK_ASSERT(aux_lead_byte <= 0xFF, "aux_lead_byte <= 0xFF");
  return aux_lead_byte == 0x8F;
}
// 80-FF. The EUC-JP reader takes more after a lead byte (`is_euc_second_byte`: 40-FE but 7F);
// the scorer counts only a high byte there as EUC-JP.
inline bool is_high_byte(unsigned byte) {
  MORVIK_ASSERT(byte <= 0xFF, "byte <= 0xFF");
  return byte >= 0x80;
}
constexpr bool is_half_width_katakana(unsigned byte) { return byte >= 0xA1 && byte <= 0xDF; }
// Half-width katakana keep their order everywhere: Shift_JIS A1-DF, EUC-JP 8E A1-DF, JIS ESC ( I
// 21-5F and U+FF61-U+FF9F.
inline constexpr std::uint32_t half_width_katakana_offset = 0xFF61 - 0xA1;
constexpr std::uint32_t half_width_katakana_unit(unsigned sjis_byte) { return sjis_byte + half_width_katakana_offset; }
constexpr bool is_half_width_katakana_unit(std::uint32_t unit) { return unit >= 0xFF61 && unit <= 0xFF9F; }
inline std::uint32_t utf8_sequence_length(unsigned lead_byte) {
  MORVIK_ASSERT(lead_byte <= 0xFF, "lead_byte <= 0xFF");
  return utf8_length[lead_byte];
}

}  // namespace morvik
