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

inline bool is_jisx0208_byte(unsigned byte) { return byte >= 0x21 && byte <= 0x7E; }

template <class Derived, class Writer>
struct jis_reading_kernel {
  using reference = reference_chain<jis_to_euc_engine, euc_to_unicode_engine, Writer>;

  static bool can_take(const reference& chain) {
    const std::int32_t state = chain.template stage<0>().status;
    return state == jis_A || state == jis_K2;
  }

  static const char* convert(const char* text, const char* end, char*& out_ref, char* limit, reference& chain) {
    std::int32_t& state = chain.template stage<0>().status;
    char* out = out_ref;
    while (text != end && out < limit) {
      const unsigned b = byte_value(*text);
      if (b == 0x1B) {
        // ESC ( B and ESC $ B; anything else (or an escape cut short) is the chain's.
        if (end - text < 3 || text[2] != 'B' || (text[1] != '(' && text[1] != '$')) break;
        state = text[1] == '$' ? jis_K2 : jis_A;
        text += 3;
        continue;
      }
      if (state == jis_A) {
        if (b >= 0x80 || b == 0x0E || b == 0x0F) break;
        if (!fused::copy_plain_jis_block(text, end, out)) *out++ = *text++;
        continue;
      }
      if (end - text < 2) break;
      const unsigned second = byte_value(text[1]);
      if (!is_jisx0208_byte(b) || !is_jisx0208_byte(second)) break;
      if (!Derived::put_pair(flat::jis_pair_index(b, second), out)) break;
      text += 2;
    }
    out_ref = out;
    return text;
  }
};

struct jis_to_utf8_kernel : jis_reading_kernel<jis_to_utf8_kernel, unicode_to_utf8_engine> {
  static constexpr std::size_t growth = 2;

  static bool put_pair(std::size_t index, char*& out) {
    const std::uint32_t packed = flat::euc_pair_utf8[index];
    if (packed == 0) return false;
    fused::put_packed_utf8(packed, out);
    return true;
  }
};

struct jis_to_sjis_kernel : jis_reading_kernel<jis_to_sjis_kernel, unicode_to_sjis_engine> {
  static constexpr std::size_t growth = 1;

  static bool put_pair(std::size_t index, char*& out) {
    const std::uint32_t code = flat::euc_pair_sjis[index];
    if (code == 0) return false;
    out[0] = static_cast<char>(code >> 8);
    out[1] = static_cast<char>(code & 0xFF);
    out += 2;
    return true;
  }
};

}  // namespace morvik
