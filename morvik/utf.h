#pragma once
// UTF-8 and UTF-16, and the byte-order signature stages.
//
// UTF-8: the first byte announces the length (`utf8_length`: 1-6, 0 for 80-BF and FE-FF) and
// carries the top bits of the code point (`utf8_lead_mask`); each following byte adds six
// bits. Continuation bytes are not checked, overlong forms and encoded surrogates are kept:
// only a bad first byte or a value above 10FFFF becomes "?".
// UTF-16: code points above FFFF are the pair D800 + (cp - 10000) >> 10, DC00 + (cp & 3FF).
// As bytes, `unicode` is little-endian, `utf16be` big-endian; an odd last byte is "?".
// Signatures: EF BB BF in UTF-8, U+FEFF in UTF-16.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "morvik/ascii_runs.h"
#include "morvik/code_table.h"
#include "morvik/engine.h"

namespace morvik {

inline bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

template <bool FastPath>
class basic_utf8_to_unicode_engine final
    : public chunked_engine<basic_utf8_to_unicode_engine<FastPath>, char, char16_t> {
 public:
  bool can_start(const char* text, std::size_t pos, std::size_t n) const {
    return utf8_sequence_length(byte_value(text[pos])) <= n - pos;
  }
  step_result step(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char16_t>& buffer) {
    if constexpr (FastPath) {
      if (fast_run(text, pos, n, buffer)) return step_result::converted;
    }
    unsigned b = byte_value(text[pos]);
    std::uint32_t length = utf8_sequence_length(b);
    if (length == 0) {
      append_token(buffer, this->replacement_token());
      pos += 1;
      return step_result::converted;
    }
    if (length > n - pos) return step_result::end_chunk;
    std::uint32_t code_point = b & utf8_lead_mask[length];
    for (std::uint32_t i = 1; i < length; ++i) {
      code_point = code_point << 6 | (byte_value(text[pos + i]) & utf8_lead_mask[0]);
    }
    if (code_point <= 0xFFFF) {
      buffer.put(static_cast<char16_t>(code_point));
    } else if (code_point <= 0x10FFFF) {
      code_point -= 0x10000;
      buffer.put(static_cast<char16_t>(0xD800 + (code_point >> 10)),
                 static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
    } else {
      append_token(buffer, this->replacement_token());
    }
    pos += length;
    return step_result::converted;
  }

 private:
  // 7-bit bytes and two- and three-byte sequences (all of them inside the BMP), as long as
  // they come; like the plain step, continuation bytes are taken unchecked.
  bool fast_run(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char16_t>& buffer) {
    const std::size_t start = pos;
    chunk_writer<char16_t> out(buffer);
    while (pos < n && out.has_room()) {
      const unsigned b = byte_value(text[pos]);
      if (b < 0x80) {
        put_ascii_unit_or_block(text, pos, n, out);
        continue;
      }
      const std::uint32_t length = utf8_sequence_length(b);
      if (length == 3 && n - pos >= 3) {
        out.put(static_cast<char16_t>((b & utf8_lead_mask[3]) << 12 |
                                      (byte_value(text[pos + 1]) & utf8_lead_mask[0]) << 6 |
                                      (byte_value(text[pos + 2]) & utf8_lead_mask[0])));
        pos += 3;
      } else if (length == 2 && n - pos >= 2) {
        out.put(static_cast<char16_t>((b & utf8_lead_mask[2]) << 6 |
                                      (byte_value(text[pos + 1]) & utf8_lead_mask[0])));
        pos += 2;
      } else {
        break;
      }
    }
    out.commit(buffer);
    return pos != start;
  }
};

template <bool FastPath>
class basic_unicode_to_utf8_engine final
    : public chunked_engine<basic_unicode_to_utf8_engine<FastPath>, char16_t, char> {
 public:
  bool can_start(const char16_t* text, std::size_t pos, std::size_t n) const {
    return !(n - pos == 1 && is_high_surrogate(text[pos]));
  }
  step_result step(const char16_t* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    if constexpr (FastPath) {
      if (fast_run(text, pos, n, buffer)) return step_result::converted;
    }
    char16_t unit = text[pos];
    std::uint32_t code_point = unit;
    if (is_high_surrogate(unit)) {
      if (pos + 1 == n) return step_result::end_chunk;
      char16_t next = text[pos + 1];
      if (is_low_surrogate(next)) {
        code_point = ((code_point - 0xD800) << 10) + (next - 0xDC00u) + 0x10000;
        pos += 1;
      }
    }
    pos += 1;
    // Lone surrogates are written as ordinary three-byte sequences.
    if (code_point < 0x80) {
      buffer.put(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
      buffer.put(static_cast<char>(0xC0 | code_point >> 6), static_cast<char>(0x80 | (code_point & 0x3F)));
    } else if (code_point < 0x10000) {
      buffer.put(static_cast<char>(0xE0 | code_point >> 12));
      buffer.put(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
      buffer.put(static_cast<char>(0xF0 | code_point >> 18),
                 static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
      buffer.put(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (code_point & 0x3F)));
    }
    return step_result::converted;
  }

 private:
  // 7-bit units and every other unit but a high surrogate, as long as they come (a lone low
  // surrogate is written like any BMP character).
  bool fast_run(const char16_t* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    const std::size_t start = pos;
    chunk_writer<char> out(buffer);
    while (pos < n && out.has_room()) {
      const std::uint32_t unit = text[pos];
      if (unit < 0x80) {
        put_ascii_unit_or_block(text, pos, n, out);
        continue;
      }
      if (unit < 0x800) {
        out.put(static_cast<char>(0xC0 | unit >> 6), static_cast<char>(0x80 | (unit & 0x3F)));
      } else if (!is_high_surrogate(static_cast<char16_t>(unit))) {
        out.put_three(0xE0 | unit >> 12, 0x80 | ((unit >> 6) & 0x3F), 0x80 | (unit & 0x3F));
      } else {
        break;
      }
      pos += 1;
    }
    out.commit(buffer);
    return pos != start;
  }
};

using utf8_to_unicode_engine = basic_utf8_to_unicode_engine<true>;
using unicode_to_utf8_engine = basic_unicode_to_utf8_engine<true>;

// UTF-16 byte pairs: all complete units at once, no chunks; an odd byte waits for its partner.
template <bool BigEndian>
class utf16_to_unicode_engine final : public to_unicode_engine {
 public:
  void translate() override {
    std::size_t even = rest.size() & ~std::size_t{1};
    append_units(even);
    rest.erase(0, even);
  }
  void flush() override {
    std::size_t even = rest.size() & ~std::size_t{1};
    append_units(even);
    if (rest.size() != even) output.append(replacement_token());
    rest.clear();
  }

 private:
  void append_units(std::size_t even) {
    std::size_t start = output.size();
    output.resize(start + even / 2);
    for (std::size_t i = 0; i < even; i += 2) {
      unsigned first = byte_value(rest[i]);
      unsigned second = byte_value(rest[i + 1]);
      output[start + i / 2] = static_cast<char16_t>(BigEndian ? first << 8 | second : second << 8 | first);
    }
  }
};

template <bool BigEndian>
class unicode_to_utf16_engine final : public from_unicode_engine {
 public:
  void translate() override {
    std::size_t start = output.size();
    output.resize(start + 2 * rest.size());
    char* bytes = &output[start];
    for (char16_t unit : rest) {
      char low = static_cast<char>(unit & 0xFF);
      char high = static_cast<char>(unit >> 8);
      *bytes++ = BigEndian ? high : low;
      *bytes++ = BigEndian ? low : high;
    }
    rest.clear();
  }
  void flush() override { translate(); }
};

using utf16le_to_unicode_engine = utf16_to_unicode_engine<false>;
using utf16be_to_unicode_engine = utf16_to_unicode_engine<true>;
using unicode_to_utf16le_engine = unicode_to_utf16_engine<false>;
using unicode_to_utf16be_engine = unicode_to_utf16_engine<true>;

// The signature precedes the first text taken from a writer, also after clear().
class utf8_bom_writer_engine final : public basic_pass_through_engine<char> {
 public:
  utf8_bom_writer_engine() { output.append(utf8_bom); }
  void clear() override {
    basic_pass_through_engine::clear();
    output.append(utf8_bom);
  }
};

class unicode_bom_writer_engine final : public basic_pass_through_engine<char16_t> {
 public:
  unicode_bom_writer_engine() { output.append(wide_bom_text); }
  void clear() override {
    basic_pass_through_engine::clear();
    output.append(wide_bom_text);
  }
};

// Removes `signature` from `text` until none is left. The signatures do not overlap
// themselves, so one pass that drops a signature as soon as it completes at the end of the
// kept text gives the same result as searching again and again.
template <class Unit>
void remove_signatures(std::basic_string<Unit>& text, std::basic_string_view<Unit> signature) {
  const std::size_t size = signature.size();
  std::size_t kept = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[kept++] = text[i];
    if (kept >= size && text[kept - 1] == signature[size - 1] &&
        std::basic_string_view<Unit>(text.data() + kept - size, size) == signature) {
      kept -= size;
    }
  }
  text.resize(kept);
}

class utf8_bom_remover_engine final : public basic_pass_through_engine<char> {
 public:
  void translate() override {
    remove_signatures(rest, utf8_bom);
    basic_pass_through_engine::translate();
  }
};

class unicode_bom_remover_engine final : public basic_pass_through_engine<char16_t> {
 public:
  void translate() override {
    remove_signatures(rest, wide_bom_text);
    basic_pass_through_engine::translate();
  }
};

}  // namespace morvik
