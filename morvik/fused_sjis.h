#pragma once
// Fused kernels that read Shift_JIS: to UTF-8 (through the flat pair table) and the faster runs
// of the direct engines to EUC-JP and JIS (the row/cell arithmetic of ansi_sjis.h).
// Lead bytes 87 (NEC row 13), ED-EE (NEC-selected IBM extensions) and F0 up are left to the
// reference engines, which decide what their duplicates become in EUC-JP and JIS.
#include <cstddef>
#include <cstdint>

#include "morvik/ansi_sjis.h"
#include "morvik/flat_tables.h"
#include "morvik/fused_engine.h"
#include "morvik/jis.h"
#include "morvik/utf.h"

namespace morvik {

// A lead byte whose pairs the direct engines map by the row/cell arithmetic alone.
inline bool is_plain_sjis_lead_byte(unsigned lead_byte) {
  return (lead_byte >= 0x81 && lead_byte <= 0x9F && lead_byte != 0x87) || (lead_byte >= 0xE0 && lead_byte <= 0xEC);
}

struct sjis_to_utf8_kernel {
  using reference = reference_chain<sjis_to_unicode_engine, unicode_to_utf8_engine>;
  static constexpr std::size_t growth = 3;  // a half-width katakana byte becomes three

  static bool can_take(const reference&) { return true; }

  static const char* convert(const char* text, const char* end, char*& out_ref, char* limit, reference&) {
    char* out = out_ref;
    while (text != end && out < limit) {
      const unsigned b = byte_value(*text);
      if (b < 0x80) {
        if (!fused::copy_ascii_block(text, end, out)) *out++ = *text++;
        continue;
      }
      if (is_half_width_katakana(b)) {
        fused::put_utf8_three(b + fused::half_width_katakana_offset, out);
        text += 1;
        continue;
      }
      if (!is_sjis_lead_byte(b) || end - text < 2) break;
      const unsigned column = byte_value(text[1]) - 0x40u;
      if (column >= flat::sjis_columns) break;
      const std::uint32_t packed = flat::sjis_pair_utf8[flat::sjis_lead_row(b) * flat::sjis_columns + column];
      if (packed == 0) break;
      fused::put_packed_utf8(packed, out);
      text += 2;
    }
    out_ref = out;
    return text;
  }
};

struct sjis_to_euc_kernel {
  using reference = reference_chain<sjis_to_euc_engine>;
  static constexpr std::size_t growth = 2;

  static bool can_take(const reference&) { return true; }

  static const char* convert(const char* text, const char* end, char*& out_ref, char* limit, reference&) {
    char* out = out_ref;
    while (text != end && out < limit) {
      const unsigned b = byte_value(*text);
      if (b < 0x80) {
        if (!fused::copy_ascii_block(text, end, out)) *out++ = *text++;
        continue;
      }
      if (is_half_width_katakana(b)) {
        out[0] = '\x8E';
        out[1] = static_cast<char>(b);
        out += 2;
        text += 1;
        continue;
      }
      if (!is_plain_sjis_lead_byte(b) || end - text < 2) break;
      const unsigned t = byte_value(text[1]);
      if (!is_sjis_second_byte(t)) break;
      const std::uint32_t euc_code = sjis_to_jisx0208(b, t) | 0x8080;
      out[0] = static_cast<char>(euc_code >> 8);
      out[1] = static_cast<char>(euc_code & 0xFF);
      out += 2;
      text += 2;
    }
    out_ref = out;
    return text;
  }
};

struct sjis_to_jis_kernel {
  using reference = reference_chain<sjis_to_jis_engine>;
  static constexpr std::size_t growth = 4;  // ESC ( B before a single 7-bit byte

  static bool can_take(const reference&) { return true; }

  static const char* convert(const char* text, const char* end, char*& out_ref, char* limit, reference& chain) {
    std::int32_t& state = chain.stage<0>().status;
    char* out = out_ref;
    while (text != end && out < limit) {
      const unsigned b = byte_value(*text);
      if (b < 0x80) {
        fused::announce(state, jis_A, out);
        if (!fused::copy_ascii_block(text, end, out)) *out++ = *text++;
        continue;
      }
      if (is_half_width_katakana(b)) {
        fused::announce(state, jis_K1, out);
        *out++ = static_cast<char>(b - 0x80);
        text += 1;
        continue;
      }
      if (!is_plain_sjis_lead_byte(b) || end - text < 2) break;
      const unsigned t = byte_value(text[1]);
      if (!is_sjis_second_byte(t)) break;
      fused::announce(state, jis_K2, out);
      const std::uint32_t jis_code = sjis_to_jisx0208(b, t);
      out[0] = static_cast<char>(jis_code >> 8);
      out[1] = static_cast<char>(jis_code & 0xFF);
      out += 2;
      text += 2;
    }
    out_ref = out;
    return text;
  }
};

}  // namespace morvik
