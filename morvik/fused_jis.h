#pragma once
// Fused kernels that read JIS: to UTF-8 and to Shift_JIS in one pass, where the reference reads
// JIS into EUC-JP, EUC-JP into UTF-16 and writes that. They take ESC ( B, ESC $ B, 7-bit text
// and JIS X 0208 pairs with a flat entry; the reader's state (ASCII or JIS X 0208) comes from
// the chain's first stage and goes back to it. Other escapes, shifts, katakana and JIS X 0212
// runs, and bytes outside 21-7E in a pair are the reference chain's.
#include <cstddef>
#include <cstdint>

#include "morvik/ansi_sjis.h"
#include "morvik/euc.h"
#include "morvik/flat_tables.h"
#include "morvik/fused_engine.h"
#include "morvik/jis.h"
#include "morvik/utf.h"

namespace morvik {

template <class Derived, class Writer>
struct jis_reading_kernel : fused::passes_seven_bit {
  using reference = reference_chain<jis_to_euc_engine, euc_to_unicode_engine, Writer>;
  using state = std::int32_t;

  static bool can_take(const reference& chain) {
    const std::int32_t s = chain.template stage<0>().input_state.current();
    return s == jis_A || s == jis_K2;
  }
  static state take_state(reference& chain) { return chain.template stage<0>().input_state.current(); }
  static void give_state(state s, reference& chain) {
    chain.template stage<0>().input_state.set(static_cast<jis_state>(s));
  }
  static unsigned ascii_run(state s, const char* text) { return s == jis_A ? plain_jis_run(text) : 0; }

  template <bool Checked>
  static bool step(const char*& text, const char* end, char*& out, state& s) {
    const unsigned b = byte_value(text[0]);
    if (b == 0x1B) {
      // ESC ( B and ESC $ B; anything else (or an escape cut short) is the chain's.
      if (!fused::has_bytes<Checked>(text, end, 3) || text[2] != 'B' || (text[1] != '(' && text[1] != '$')) {
        return false;
      }
      s = text[1] == '$' ? jis_K2 : jis_A;
      text += 3;
      return true;
    }
    if (s == jis_A) {
      if (b >= 0x80 || b == 0x0E || b == 0x0F) return false;
      *out++ = static_cast<char>(b);
      text += 1;
      return true;
    }
    if (!fused::has_bytes<Checked>(text, end, 2)) return false;
    if (!Derived::put_pair(flat::pair_index(b, byte_value(text[1]), 0x21), out)) return false;
    text += 2;
    // On to the next escape, line end or pair without an entry.
    fused::put_pair_run<Checked, Derived>(text, end, 0x21, out);
    return true;
  }
};

struct jis_to_utf8_kernel : jis_reading_kernel<jis_to_utf8_kernel, unicode_to_utf8_engine>,
                            fused::writes_pairs_as_utf8 {
  static constexpr std::size_t growth = 2;
};

struct jis_to_sjis_kernel : jis_reading_kernel<jis_to_sjis_kernel, unicode_to_sjis_engine>,
                            fused::writes_pairs_as_sjis {
  static constexpr std::size_t growth = 1;
};

}  // namespace morvik
