#pragma once
// Fused kernels that read EUC-JP: to UTF-8 and to Shift_JIS through the flat pair tables, without
// the UTF-16 text between the reference stages. JIS X 0212 (8F) and every byte without a flat
// entry are left to the reference chain.
#include <cstddef>
#include <cstdint>

#include "morvik/ansi_sjis.h"
#include "morvik/euc.h"
#include "morvik/flat_tables.h"
#include "morvik/fused_engine.h"
#include "morvik/utf.h"
#include "morvik/wide_blocks.h"

namespace morvik {

// 7-bit bytes, 8E katakana and JIS X 0208 pairs; `Derived::put_pair(index, out)` writes a pair
// (false: no flat entry) and `Derived::put_katakana(byte, out)` a katakana byte.
template <class Derived>
struct euc_reading_kernel : fused::stateless {
  template <bool Checked>
  static bool step(const char*& text, const char* end, char*& out, state&) {
    const unsigned b = byte_value(text[0]);
    if (b < 0x80) {
      *out++ = static_cast<char>(b);
      text += 1;
      return true;
    }
    if (!fused::has_bytes<Checked>(text, end, 2)) return false;
    const unsigned t = byte_value(text[1]);
    if (b == 0x8E) {
      if (!is_half_width_katakana(t)) return false;
      Derived::put_katakana(t, out);
    } else if (!Derived::put_pair(flat::pair_index(b, t, 0xA1), out)) {
      return false;
    }
    text += 2;
    // On to the next 7-bit byte, katakana or pair without an entry.
    fused::put_pair_run<Checked, Derived>(text, end, 0xA1, out);
    return true;
  }
};

struct euc_to_utf8_kernel : euc_reading_kernel<euc_to_utf8_kernel>, fused::writes_pairs_as_utf8 {
  using reference = reference_chain<euc_to_unicode_engine, unicode_to_utf8_engine>;
  static constexpr std::size_t growth = 2;  // three bytes for two

  static void put_katakana(unsigned t, char*& out) { fused::put_utf8_three(half_width_katakana_unit(t), out); }
  static constexpr bool takes_wide_blocks = true;
  static bool wide_run(const char*& text, const char* stop, char*& out) {
    return wide::lead_byte_run<wide::euc_to_utf8_lanes>(text, stop, out);
  }
};

struct euc_to_sjis_kernel : euc_reading_kernel<euc_to_sjis_kernel>, fused::writes_pairs_as_sjis {
  using reference = reference_chain<euc_to_unicode_engine, unicode_to_sjis_engine>;
  static constexpr std::size_t growth = 1;

  static void put_katakana(unsigned t, char*& out) { *out++ = static_cast<char>(t); }
  static constexpr bool takes_wide_blocks = true;
  static bool wide_run(const char*& text, const char* stop, char*& out) {
    return wide::lead_byte_run<wide::euc_to_sjis_lanes>(text, stop, out);
  }
};

}  // namespace morvik
