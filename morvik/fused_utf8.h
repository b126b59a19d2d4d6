#pragma once
// Fused kernels that read UTF-8: to Shift_JIS, EUC-JP and JIS through the flat UTF-16 table,
// without the UTF-16 text between the reference stages. Like the reference reader, they take
// continuation bytes unchecked; sequences of four bytes and more, stray continuation bytes,
// characters without a double-byte code (JIS X 0212 among them) and the overlong forms of 7-bit
// characters are left to the reference chain.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "morvik/ansi_sjis.h"
#include "morvik/euc.h"
#include "morvik/flat_tables.h"
#include "morvik/fused_engine.h"
#include "morvik/jis.h"
#include "morvik/utf.h"

namespace morvik {

// The first bytes at `text` as b0 | b1 << 8 | b2 << 16 | b3 << 24, in one load where it can.
inline std::uint32_t load_utf8_word(const char* text) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::uint32_t word;
  std::memcpy(&word, text, sizeof word);
  return word;
#else
  return byte_value(text[0]) | byte_value(text[1]) << 8 | byte_value(text[2]) << 16 |
         static_cast<std::uint32_t>(byte_value(text[3])) << 24;
#endif
}

// `Derived::before_ascii(state, out)`, `put_katakana(shift_jis_byte, state, out)`,
// `before_double_bytes(state, out)` and `put_double_byte(euc << 16 | sjis, out)` write the
// target's bytes.
template <class Derived>
struct utf8_reading_kernel {
  template <bool Checked, class State>
  static bool step(const char*& text, const char* end, char*& out, State& state) {
    const unsigned b = byte_value(text[0]);
    if (b < 0x80) {
      Derived::before_ascii(state, out);
      *out++ = static_cast<char>(b);
      text += 1;
      return true;
    }
    if (b >= 0xE0 && b < 0xF0) {
      if constexpr (!Checked) {
        if (three_byte_run(text, end - fused_lookahead, out, state)) return true;
      }
      if (!fused::has_bytes<Checked>(text, end, 3)) return false;
      const std::uint32_t unit = (b & 0x0F) << 12 | (byte_value(text[1]) & 0x3F) << 6 | (byte_value(text[2]) & 0x3F);
      if (!put_unit(unit, state, out)) return false;
      text += 3;
      return true;
    }
    if (b >= 0xC0 && b < 0xE0) {
      if (!fused::has_bytes<Checked>(text, end, 2)) return false;
      const std::uint32_t unit = (b & 0x1F) << 6 | (byte_value(text[1]) & 0x3F);
      if (!put_unit(unit, state, out)) return false;
      text += 2;
      return true;
    }
    return false;
  }

 private:
  // Japanese prose is mostly three-byte characters with a double-byte code: they go in a loop
  // of their own while they start before `stop`. False if the first is not one of them.
  template <class State>
  static bool three_byte_run(const char*& text, const char* stop, char*& out, State& state) {
    const char* at = text;
    std::uint32_t codes = flat::three_byte_double_byte_codes(load_utf8_word(at));
    if (codes == 0) return false;
    Derived::before_double_bytes(state, out);
    char* to = out;
    do {
      Derived::put_double_byte(codes, to);
      at += 3;
      if (at >= stop) break;
      const std::uint32_t word = load_utf8_word(at);
      if ((word & 0xF0) != 0xE0) break;
      codes = flat::three_byte_double_byte_codes(word);
    } while (codes != 0);
    text = at;
    out = to;
    return true;
  }

  template <class State>
  static bool put_unit(std::uint32_t unit, State& state, char*& out) {
    if (const std::uint32_t codes = flat::unicode_double_byte_codes(unit)) {
      Derived::before_double_bytes(state, out);
      Derived::put_double_byte(codes, out);
      return true;
    }
    if (!is_half_width_katakana_unit(unit)) return false;
    Derived::put_katakana(unit - half_width_katakana_offset, state, out);
    return true;
  }
};

// For the kernels without a state.
struct stateless_target : fused::stateless {
  static void before_double_bytes(state, char*&) {}
};

struct utf8_to_sjis_kernel : stateless_target, utf8_reading_kernel<utf8_to_sjis_kernel> {
  using reference = reference_chain<utf8_to_unicode_engine, unicode_to_sjis_engine>;
  static constexpr std::size_t growth = 1;

  static void put_katakana(unsigned sjis_byte, state, char*& out) { *out++ = static_cast<char>(sjis_byte); }
  static void put_double_byte(std::uint32_t codes, char*& out) {
    out[0] = static_cast<char>((codes >> 8) & 0xFF);
    out[1] = static_cast<char>(codes & 0xFF);
    out += 2;
  }
};

struct utf8_to_euc_kernel : stateless_target, utf8_reading_kernel<utf8_to_euc_kernel> {
  using reference = reference_chain<utf8_to_unicode_engine, unicode_to_euc_engine>;
  static constexpr std::size_t growth = 1;

  static void put_katakana(unsigned sjis_byte, state, char*& out) {
    out[0] = '\x8E';
    out[1] = static_cast<char>(sjis_byte);
    out += 2;
  }
  static void put_double_byte(std::uint32_t codes, char*& out) {
    out[0] = static_cast<char>(codes >> 24);
    out[1] = static_cast<char>((codes >> 16) & 0xFF);
    out += 2;
  }
};

// The JIS writer's output state travels with the kernel and goes back to the last stage.
struct utf8_to_jis_kernel : fused::passes_seven_bit, utf8_reading_kernel<utf8_to_jis_kernel> {
  using reference = reference_chain<utf8_to_unicode_engine, unicode_to_euc_engine, euc_to_jis_engine>;
  static constexpr std::size_t growth = 4;  // ESC ( B before a single 7-bit byte
  using state = std::int32_t;

  static bool can_take(const reference&) { return true; }
  static state take_state(reference& chain) { return chain.stage<2>().output_state.current(); }
  static void give_state(state s, reference& chain) { chain.stage<2>().output_state.set(static_cast<jis_state>(s)); }
  static void before_ascii(state& s, char*& out) { fused::announce(s, jis_A, out); }

  static void put_katakana(unsigned sjis_byte, state& s, char*& out) {
    fused::announce(s, jis_K1, out);
    *out++ = static_cast<char>(sjis_byte - 0x80);
  }
  static void before_double_bytes(state& s, char*& out) { fused::announce(s, jis_K2, out); }
  static void put_double_byte(std::uint32_t codes, char*& out) {
    out[0] = static_cast<char>((codes >> 24) & 0x7F);
    out[1] = static_cast<char>((codes >> 16) & 0x7F);
    out += 2;
  }
};

}  // namespace morvik
