#pragma once
// Fused kernels that read Shift_JIS: to UTF-8 through the flat pair table, to EUC-JP through a
// table made from what the direct engine writes (the row/cell arithmetic of ansi_sjis.h and the
// twins of NEC row 13 and the NEC-selected rows) and the generated one of the IBM extensions, and
// to JIS by the arithmetic itself. The user-defined area (F0-F9), and for JIS the rows with twins
// and the IBM extensions, are left to the direct engines.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "morvik/ansi_sjis.h"
#include "morvik/flat_tables.h"
#include "morvik/fused_engine.h"
#include "morvik/jis.h"
#include "morvik/pair_blocks.h"
#include "morvik/utf.h"
#include "morvik/wide_blocks.h"

namespace morvik {

// 81-9F and E0-FC, by arithmetic rather than a load.
inline bool is_sjis_lead_byte_by_range(unsigned byte) { return byte - 0x81 < 0x1F || byte - 0xE0 < 0x1D; }

// Shift_JIS through two packed tables (flat_tables.h's packing): `Derived::pair_entry(lead,
// second)` and `Derived::single_entry(byte)`. Every pair row is empty for a byte that leads no
// pair and every single entry for a lead byte, so one of the two is 0 and a character is looked
// up without branching on its kind, which in prose changes every two or three characters.
template <class Derived>
struct sjis_packed_kernel : fused::stateless {
  static constexpr bool ascii_runs_from_blocks = true;

  static std::uint32_t packed(unsigned b, unsigned next) {
    return Derived::pair_entry(b, next) | Derived::single_entry(b);
  }

  // The character whose first byte is `b`; false where there is no entry.
  static bool put_entry(unsigned b, unsigned next, char*& out) {
    const std::uint32_t entry = packed(b, next);
    if (entry == 0) return false;
    fused::put_packed(entry, out);
    return true;
  }

  static bool put_character(const char* text, char*& out) {
    return put_entry(byte_value(text[0]), byte_value(text[1]), out);
  }

  // A block where the sixteen bytes and one more are there, else one character, moving on by
  // what the lead byte alone says, so that the next step need not wait for the table.
  template <bool Checked>
  static bool step(const char*& text, const char* end, char*& out, state&) {
    if (end - text >= static_cast<std::ptrdiff_t>(pair_block_reach)) {
      return convert_pair_block<Derived>(text, out, sjis_lead_bits(text));
    }
    const unsigned b = byte_value(text[0]);
    const unsigned next = fused::has_bytes<Checked>(text, end, 2) ? byte_value(text[1]) : 0;
    if (!put_entry(b, next, out)) return false;
    text += 1 + static_cast<unsigned>(is_sjis_lead_byte_by_range(b));
    return true;
  }
};

struct sjis_to_utf8_kernel : sjis_packed_kernel<sjis_to_utf8_kernel> {
  using reference = reference_chain<sjis_to_unicode_engine, unicode_to_utf8_engine>;
  static constexpr std::size_t growth = 3;  // a half-width katakana byte becomes three

  static constexpr bool takes_wide_blocks = true;
  static bool wide_run(const char*& text, const char* stop, char*& out) {
    return wide::lead_byte_run<wide::sjis_to_utf8_lanes>(text, stop, out);
  }

  static std::uint32_t pair_entry(unsigned lead, unsigned second) {
    return flat::sjis_pair_utf8[flat::sjis_lead_offset[lead] + second];
  }
  static std::uint32_t single_entry(unsigned byte) { return flat::sjis_single_utf8[byte]; }
};

// The EUC-JP bytes of every pair below the user-defined area, packed as flat_tables.h packs
// UTF-8, in the rows of flat::sjis_lead_offset up to EF (0: none); made at compile time from what
// the direct engines write. The rows from F0 up are sjis_euc_rows' business.
inline constexpr std::size_t sjis_pair_euc_size = flat::sjis_lead_offset[0xEF] + 256;
inline constexpr std::array<std::uint32_t, sjis_pair_euc_size> sjis_pair_euc = [] {
  std::array<std::uint32_t, sjis_pair_euc_size> entries{};
  for (unsigned lead = 0; lead < 256; ++lead) {
    if (!is_sjis_lead_byte_below_user_area(lead)) continue;
    for (unsigned second = 0; second < 256; ++second) {
      if (!is_sjis_second_byte(second)) continue;
      const std::uint32_t jis_code = sjis_double_byte_to_jis(lead, second);
      entries[flat::sjis_lead_offset[lead] + second] = (jis_code >> 8 | 0x80) | ((jis_code & 0xFF) | 0x80) << 8 | 0x22000000u;
    }
  }
  return entries;
}();

// The JIS X 0208 code of a pair the direct engines map by the arithmetic alone (not the rows
// with twins), or 0: what the JIS kernel takes. A search for the twins in its step, or a table
// load for them, made Shift_JIS to JIS of prose 8-13 % slower.
constexpr std::uint32_t plain_sjis_pair_to_jis(unsigned lead_byte, unsigned second_byte) {
  if (!goes_by_arithmetic(lead_byte) || !is_sjis_second_byte(second_byte)) return 0;
  return sjis_to_jisx0208(lead_byte, second_byte);
}

// A 7-bit byte as itself and a half-width katakana byte after 8E, packed the same way; 0 for
// every other byte.
inline constexpr std::array<std::uint32_t, 256> sjis_single_euc = [] {
  std::array<std::uint32_t, 256> entries{};
  for (unsigned byte = 0; byte < 0x80; ++byte) entries[byte] = byte | 0x11000000u;
  for (unsigned byte = 0xA1; byte <= 0xDF; ++byte) entries[byte] = 0x8E | byte << 8 | 0x12000000u;
  return entries;
}();

// Each byte's row of EUC-JP entries: the rows of sjis_pair_euc, the empty one for every byte that
// leads no pair there (the user-defined area among them: the chain writes what its pairs become),
// and for the IBM extensions the rows of the generated table. Text written on Windows spells 髙
// and 﨑 with them; left to the chain, one on every line made the conversion twice as slow. A row
// by its address costs the step no more than one by its offset, where a test for the IBM rows
// cost a fifth more instructions.
inline constexpr std::array<const std::uint32_t*, 256> sjis_euc_rows = [] {
  std::array<const std::uint32_t*, 256> rows{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    rows[byte] = sjis_pair_euc.data() + (is_sjis_lead_byte_below_user_area(byte) ? flat::sjis_lead_offset[byte] : 0);
  }
  for (unsigned lead = flat::sjis_first_ibm_lead; lead <= 0xFC; ++lead) {
    rows[lead] = flat::sjis_ibm_euc + (lead - flat::sjis_first_ibm_lead) * 256;
  }
  return rows;
}();

struct sjis_to_euc_kernel : sjis_packed_kernel<sjis_to_euc_kernel> {
  using reference = reference_chain<sjis_to_euc_engine>;
  static constexpr std::size_t growth = 2;

  static std::uint32_t pair_entry(unsigned lead, unsigned second) { return sjis_euc_rows[lead][second]; }
  static std::uint32_t single_entry(unsigned byte) { return sjis_single_euc[byte]; }
};

// The JIS writer's output state travels with the kernel.
struct sjis_to_jis_kernel : fused::passes_seven_bit {
  using reference = reference_chain<sjis_to_jis_engine>;
  using state = std::int32_t;
  static constexpr std::size_t growth = 4;  // ESC ( B before a single 7-bit byte

  static bool can_take(const reference&) { return true; }
  static state take_state(reference& chain) { return chain.stage<0>().output_state.current(); }
  static void give_state(state s, reference& chain) { chain.stage<0>().output_state.set(static_cast<jis_state>(s)); }
  static void before_ascii(state& s, char*& out) { fused::announce(s, jis_A, out); }

  template <bool Checked>
  static bool step(const char*& text, const char* end, char*& out, state& s) {
    const unsigned b = byte_value(text[0]);
    if (b < 0x80) {
      fused::announce(s, jis_A, out);
      *out++ = static_cast<char>(b);
      text += 1;
    } else if (is_half_width_katakana(b)) {
      fused::announce(s, jis_K1, out);
      *out++ = static_cast<char>(b - 0x80);
      text += 1;
    } else {
      if (!fused::has_bytes<Checked>(text, end, 2)) return false;
      const std::uint32_t jis_code = plain_sjis_pair_to_jis(b, byte_value(text[1]));
      if (jis_code == 0) return false;
      fused::announce(s, jis_K2, out);
      out[0] = static_cast<char>(jis_code >> 8);
      out[1] = static_cast<char>(jis_code & 0xFF);
      out += 2;
      text += 2;
    }
    return true;
  }
};

}  // namespace morvik
