#pragma once
// EUC-JP with the CP932 repertoire.
//
// Bytes: A1-FE A1-FE is JIS X 0208 (and the NEC and IBM rows) with 0x80 added to row and cell;
// 8E A1-DF is half-width katakana; 8F c d is JIS X 0212 (c, d with 0x80 added). 90-9F count
// as lead bytes too but have no entry: "?" and the next byte is read afresh. A second byte is
// 40-FE except 7F. Every other byte is the character of its value.
// EUC-JP (e1, e2) <-> JIS (j1, j2): e = j | 0x80. Codes are numbers, first byte highest:
// 8F A2 B7 is 0x8FA2B7.
#include <cstddef>
#include <cstdint>

#include "morvik/ascii_runs.h"
#include "morvik/code_table.h"
#include "morvik/engine.h"

namespace morvik {

inline bool is_euc_second_byte(unsigned byte) { return byte >= 0x40 && byte <= 0xFE && byte != 0x7F; }

// A lead byte alone, or 0x8F with fewer than two bytes after it, waits for more input.
inline bool euc_can_start(const char* text, std::size_t pos, std::size_t n) {
  unsigned b = byte_value(text[pos]);
  std::size_t remaining = n - pos;
  if (remaining == 1 && is_euc_lead_byte(b)) return false;
  if (remaining < 3 && is_euc_aux_lead_byte(b)) return false;
  return true;
}

template <bool FastPath>
class basic_euc_to_unicode_engine final
    : public chunked_engine<basic_euc_to_unicode_engine<FastPath>, char, char16_t> {
 public:
  bool can_start(const char* text, std::size_t pos, std::size_t n) const {
    return euc_can_start(text, pos, n);
  }
  step_result step(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char16_t>& buffer) {
    if constexpr (FastPath) {
      if (fast_run(text, pos, n, buffer)) return step_result::converted;
    }
    unsigned b = byte_value(text[pos]);
    if (is_euc_lead_byte(b)) {
      if (pos + 1 == n) return step_result::end_chunk;
      unsigned t = byte_value(text[pos + 1]);
      if (is_euc_second_byte(t)) {
        if (std::uint32_t unit = euc_to_unicode.lookup(static_cast<std::int32_t>(b << 8 | t))) {
          buffer.put(static_cast<char16_t>(unit));
          pos += 2;
          return step_result::converted;
        }
      }
      append_token(buffer, this->replacement_token());
      pos += 1;
      return step_result::converted;
    }
    if (is_euc_aux_lead_byte(b)) {
      if (n - pos < 3) return step_result::end_chunk;
      unsigned c = byte_value(text[pos + 1]);
      unsigned d = byte_value(text[pos + 2]);
      if (std::uint32_t unit = jisx0212_to_unicode.lookup(static_cast<std::int32_t>(c << 8 | d))) {
        buffer.put(static_cast<char16_t>(unit));
        pos += 3;
      } else {
        append_token(buffer, this->replacement_token());
        pos += 1;
      }
      return step_result::converted;
    }
    buffer.put(static_cast<char16_t>(b));
    pos += 1;
    return step_result::converted;
  }

 private:
  bool fast_run(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char16_t>& buffer) {
    return double_byte_decode_run<is_euc_lead_byte, is_euc_second_byte>(euc_to_unicode, text, pos, n, buffer);
  }
};

template <bool FastPath>
class basic_unicode_to_euc_engine final
    : public chunked_engine<basic_unicode_to_euc_engine<FastPath>, char16_t, char> {
 public:
  bool can_start(const char16_t*, std::size_t, std::size_t) const { return true; }
  step_result step(const char16_t* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    if constexpr (FastPath) {
      if (fast_run(text, pos, n, buffer)) return step_result::converted;
    }
    char16_t u = text[pos++];
    if (u < 0x80) {
      // ASCII never reaches the table, which maps U+007E to JIS X 0212 as well.
      buffer.put(static_cast<char>(u));
      return step_result::converted;
    }
    std::uint32_t euc_code = unicode_to_euc.lookup(u);
    MORVIK_ASSERT(euc_code <= 0xFFFFFF, "euc_code <= 0xFFFFFF");
    if (euc_code == 0) {
      append_token(buffer, this->replacement_token());
    } else if (euc_code > 0xFFFF) {
      buffer.put(static_cast<char>(euc_code >> 16));
      buffer.put(static_cast<char>((euc_code >> 8) & 0xFF), static_cast<char>(euc_code & 0xFF));
    } else if (euc_code >= 0x100) {
      buffer.put(static_cast<char>(euc_code >> 8), static_cast<char>(euc_code & 0xFF));
    } else {
      buffer.put(static_cast<char>(euc_code));
    }
    return step_result::converted;
  }

 private:
  bool fast_run(const char16_t* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    return double_byte_encode_run(unicode_to_euc, text, pos, n, buffer);
  }
};

using euc_to_unicode_engine = basic_euc_to_unicode_engine<true>;
using unicode_to_euc_engine = basic_unicode_to_euc_engine<true>;

}  // namespace morvik
