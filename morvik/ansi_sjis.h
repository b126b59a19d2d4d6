#pragma once
// 7-bit ASCII and Shift_JIS with the CP932 repertoire.
//
// Shift_JIS bytes: 81-9F and E0-FC lead a two-byte character whose second byte is 40-FC
// except 7F; A1-DF are half-width katakana; every other byte is the character of its value
// (5C and 7E stay ASCII). F0-F9 is the user-defined area: no JIS X 0208 form exists for it.
// FA-FC are the IBM extensions, which reach EUC-JP/JIS only through `ibm_ext_to_euc`; ten NEC
// duplicates reach them through their JIS X 0208 twins (`nec_duplicate_twins`).
//
// Shift_JIS (s1, s2) -> JIS X 0208 (j1, j2), for s1 in 81-9F or E0-EF and a valid s2:
//   j1 = 2 * (s1 - (s1 < 0xA0 ? 0x70 : 0xB0)) - (s2 < 0x9F ? 1 : 0)
//   j2 = s2 < 0x9F ? s2 - (s2 < 0x80 ? 0x1F : 0x20) : s2 - 0x7E
// Invariant: j1 and j2 lie in 21-7E (the 7F gap in s2 is skipped); EUC-JP is j1|0x80, j2|0x80.
#include <cstddef>
#include <cstdint>

#include "morvik/ascii_runs.h"
#include "morvik/code_table.h"
#include "morvik/engine.h"

namespace morvik {

constexpr bool is_sjis_second_byte(unsigned byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }
inline bool is_sjis_user_defined(unsigned lead_byte) { return lead_byte >= 0xF0 && lead_byte <= 0xF9; }

// JIS X 0208 row and cell of a Shift_JIS code, both in 21-7E, as j1 << 8 | j2.
constexpr std::uint32_t sjis_to_jisx0208(unsigned lead_byte, unsigned trail_byte) {
  // A second byte from 9F up is the even row of the pair of rows the lead byte stands for.
  const unsigned row = 2 * (lead_byte < 0xA0 ? lead_byte - 0x70 : lead_byte - 0xB0) - (trail_byte < 0x9F ? 1 : 0);
  const unsigned cell = trail_byte >= 0x9F ? trail_byte - 0x7E : trail_byte < 0x80 ? trail_byte - 0x1F : trail_byte - 0x20;
  return row << 8 | cell;
}

// Nine NEC row 13 characters and the NEC-selected ￢ repeat a JIS X 0208 character. EUC-JP
// readers know only the JIS X 0208 code (the character's preferred one), so the direct
// engines write that, as they do for the IBM extensions: through the arithmetic these ten
// would come out as AD F0 ... FC FB, which nothing reads back.
struct sjis_twin {
  std::uint16_t sjis_code;
  std::uint16_t jis_code;
};
inline constexpr sjis_twin nec_duplicate_twins[10] = {
    {0x8790, 0x2262},  // ≒
    {0x8791, 0x2261},  // ≡
    {0x8792, 0x2269},  // ∫
    {0x8795, 0x2265},  // √
    {0x8796, 0x225D},  // ⊥
    {0x8797, 0x225C},  // ∠
    {0x879A, 0x2268},  // ∵
    {0x879B, 0x2241},  // ∩
    {0x879C, 0x2240},  // ∪
    {0xEEF9, 0x224C},  // ￢
};

// Only NEC row 13 and the last NEC-selected row hold twins.
constexpr bool may_have_twin(unsigned lead_byte) { return lead_byte == 0x87 || lead_byte == 0xEE; }

// A lead byte below the user-defined area: its pairs go by the arithmetic and the twins.
constexpr bool is_sjis_lead_byte_below_user_area(unsigned lead_byte) {
  return (lead_byte >= 0x81 && lead_byte <= 0x9F) || (lead_byte >= 0xE0 && lead_byte <= 0xEF);
}

// The lead bytes whose every pair with a valid second byte goes by the arithmetic alone: below
// the user-defined area, not a row with twins.
constexpr bool goes_by_arithmetic(unsigned lead_byte) {
  return is_sjis_lead_byte_below_user_area(lead_byte) && !may_have_twin(lead_byte);
}

// goes_by_arithmetic in one look-up, for the direct engines' fast runs.
struct arithmetic_lead_table {
  bool contains[256] = {};
  constexpr arithmetic_lead_table() {
    for (unsigned b = 0; b < 256; ++b) contains[b] = goes_by_arithmetic(b);
  }
};
inline constexpr arithmetic_lead_table arithmetic_leads{};
inline bool is_arithmetic_lead_byte(unsigned lead_byte) { return arithmetic_leads.contains[lead_byte]; }

// JIS X 0208 code of a Shift_JIS character with a lead byte below the user-defined area and a
// valid second byte: its twin's where it has one, else the arithmetic.
constexpr std::uint32_t sjis_double_byte_to_jis(unsigned lead_byte, unsigned trail_byte) {
  if (may_have_twin(lead_byte)) {
    const unsigned code = lead_byte << 8 | trail_byte;
    for (const sjis_twin& twin : nec_duplicate_twins) {
      if (twin.sjis_code == code) return twin.jis_code;
    }
  }
  return sjis_to_jisx0208(lead_byte, trail_byte);
}

// The JIS X 0208 code (j1 << 8 | j2) of a Shift_JIS double-byte character, or 0 where it has
// none: an invalid second byte, the user-defined area, or an IBM extension without a twin. The
// direct engines write "?" for 0, as the path through Unicode does.
inline std::uint32_t sjis_pair_to_jis(unsigned lead_byte, unsigned trail_byte) {
  if (!is_sjis_second_byte(trail_byte) || is_sjis_user_defined(lead_byte)) return 0;
  if (lead_byte < 0xFA) return sjis_double_byte_to_jis(lead_byte, trail_byte);
  return ibm_ext_to_euc.lookup(static_cast<std::int32_t>(lead_byte << 8 | trail_byte)) & 0x7F7F;
}

// A lead byte alone at the end waits for its second byte.
inline bool sjis_can_start(const char* text, std::size_t pos, std::size_t n) {
  return !(n - pos == 1 && is_sjis_lead_byte(byte_value(text[pos])));
}

template <bool FastPath>
class basic_ansi_to_unicode_engine final
    : public chunked_engine<basic_ansi_to_unicode_engine<FastPath>, char, char16_t> {
 public:
  bool can_start(const char*, std::size_t, std::size_t) const { return true; }
  step_result step(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char16_t>& buffer) {
    if (byte_value(text[pos]) < 0x80) {
      put_ascii<FastPath>(text, pos, n, buffer);
    } else {
      append_token(buffer, this->replacement_token());
      pos += 1;
    }
    return step_result::converted;
  }
};

template <bool FastPath>
class basic_unicode_to_ansi_engine final
    : public chunked_engine<basic_unicode_to_ansi_engine<FastPath>, char16_t, char> {
 public:
  bool can_start(const char16_t*, std::size_t, std::size_t) const { return true; }
  step_result step(const char16_t* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    if (text[pos] < 0x80) {
      put_ascii<FastPath>(text, pos, n, buffer);
    } else {
      append_token(buffer, this->replacement_token());
      pos += 1;
    }
    return step_result::converted;
  }
};

template <bool FastPath>
class basic_sjis_to_unicode_engine final
    : public chunked_engine<basic_sjis_to_unicode_engine<FastPath>, char, char16_t> {
 public:
  bool can_start(const char* text, std::size_t pos, std::size_t n) const {
    return sjis_can_start(text, pos, n);
  }
  step_result step(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char16_t>& buffer) {
    if constexpr (FastPath) {
      if (fast_run(text, pos, n, buffer)) return step_result::converted;
    }
    unsigned b = byte_value(text[pos]);
    if (is_sjis_lead_byte(b)) {
      if (pos + 1 == n) return step_result::end_chunk;
      unsigned t = byte_value(text[pos + 1]);
      if (is_sjis_second_byte(t)) {
        if (std::uint32_t unit = sjis_to_unicode.lookup(static_cast<std::int32_t>(b << 8 | t))) {
          buffer.put(static_cast<char16_t>(unit));
          pos += 2;
          return step_result::converted;
        }
      }
      // The second byte is read afresh: it may be ASCII or start the next character.
      append_token(buffer, this->replacement_token());
      pos += 1;
      return step_result::converted;
    }
    if (is_half_width_katakana(b)) {
      buffer.put(static_cast<char16_t>(sjis_to_unicode.lookup(static_cast<std::int32_t>(b))));
    } else {
      buffer.put(static_cast<char16_t>(b));
    }
    pos += 1;
    return step_result::converted;
  }

 private:
  bool fast_run(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char16_t>& buffer) {
    return double_byte_decode_run<is_sjis_lead_byte, is_sjis_second_byte>(sjis_to_unicode, text, pos, n, buffer);
  }
};

template <bool FastPath>
class basic_unicode_to_sjis_engine final
    : public chunked_engine<basic_unicode_to_sjis_engine<FastPath>, char16_t, char> {
 public:
  bool can_start(const char16_t*, std::size_t, std::size_t) const { return true; }
  step_result step(const char16_t* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    if constexpr (FastPath) {
      if (fast_run(text, pos, n, buffer)) return step_result::converted;
    }
    char16_t u = text[pos++];
    if (u < 0x80) {
      buffer.put(static_cast<char>(u));
      return step_result::converted;
    }
    std::uint32_t code = unicode_to_sjis.lookup(u);
    if (code == 0) {
      append_token(buffer, this->replacement_token());
    } else if (code < 0x100) {
      buffer.put(static_cast<char>(code));
    } else {
      buffer.put(static_cast<char>(code >> 8), static_cast<char>(code & 0xFF));
    }
    return step_result::converted;
  }

 private:
  bool fast_run(const char16_t* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    return double_byte_encode_run(unicode_to_sjis, text, pos, n, buffer);
  }
};

template <bool FastPath>
class basic_sjis_to_euc_engine final : public chunked_engine<basic_sjis_to_euc_engine<FastPath>, char, char> {
 public:
  bool can_start(const char* text, std::size_t pos, std::size_t n) const {
    return sjis_can_start(text, pos, n);
  }
  step_result step(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    if constexpr (FastPath) {
      if (fast_run(text, pos, n, buffer)) return step_result::converted;
    }
    unsigned b = byte_value(text[pos]);
    if (is_sjis_lead_byte(b)) {
      if (pos + 1 == n) return step_result::end_chunk;
      unsigned t = byte_value(text[pos + 1]);
      const std::uint32_t jis_code = sjis_pair_to_jis(b, t);
      const std::uint32_t euc_code = jis_code | 0x8080;
      if (jis_code == 0) {
        append_token(buffer, this->replacement_token());
        pos += 1;
      } else {
        buffer.put(static_cast<char>(euc_code >> 8), static_cast<char>(euc_code & 0xFF));
        pos += 2;
      }
      return step_result::converted;
    }
    if (is_half_width_katakana(b)) {
      buffer.put('\x8E', static_cast<char>(b));
    } else {
      buffer.put(static_cast<char>(b));
    }
    pos += 1;
    return step_result::converted;
  }

 private:
  // 7-bit bytes and JIS X 0208 characters by the arithmetic (lead bytes below the user-defined
  // area, but not the rows with twins).
  bool fast_run(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    auto to_euc = [](unsigned b, unsigned t, chunk_writer<char>& out) {
      if (!is_arithmetic_lead_byte(b) || !is_sjis_second_byte(t)) return false;
      const std::uint32_t euc_code = sjis_to_jisx0208(b, t) | 0x8080;
      out.put(static_cast<char>(euc_code >> 8), static_cast<char>(euc_code & 0xFF));
      return true;
    };
    return pair_run(text, pos, n, buffer, to_euc, nothing_before_ascii);
  }
};

using ansi_to_unicode_engine = basic_ansi_to_unicode_engine<true>;
using unicode_to_ansi_engine = basic_unicode_to_ansi_engine<true>;
using sjis_to_unicode_engine = basic_sjis_to_unicode_engine<true>;
using unicode_to_sjis_engine = basic_unicode_to_sjis_engine<true>;
using sjis_to_euc_engine = basic_sjis_to_euc_engine<true>;

}  // namespace morvik
