#pragma once
// 7-bit JIS and ISO-2022-JP.
//
// Escape sequences and shift controls select what the following bytes mean:
//   ESC ( B  (1B 28 42)     jis_A   ASCII, one byte per character; SI (0F) too when reading
//   ESC $ B  (1B 24 42)     jis_K2  JIS X 0208, two bytes 21-7E
//   ESC ( I  (1B 28 49)     jis_K1  JIS X 0201 katakana, one byte 21-5F
//   ESC $ ( D (1B 24 28 44) jis_X   JIS X 0212, two bytes
//   SO (0E)                 jis_S   katakana, like jis_K1 (reading only)
// JIS (j1, j2) is EUC-JP (j1|0x80, j2|0x80); JIS X 0212 in EUC-JP adds the prefix 8F; katakana
// byte k is EUC-JP 8E (k+0x80). Writers announce each run once with its escape sequence and
// return to ASCII at the end of the text; they never write SO or SI. ISO-2022-JP has no
// katakana set: half-width katakana become full-width JIS X 0208, a sound mark that follows
// merging into the voiced or semi-voiced kana.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "morvik/ansi_sjis.h"
#include "morvik/ascii_runs.h"
#include "morvik/code_table.h"
#include "morvik/engine.h"
#include "morvik/euc.h"

namespace morvik {

enum jis_state : std::int32_t { jis_A = 0, jis_K2 = 1, jis_K1 = 2, jis_X = 3, jis_S = 4 };

inline constexpr char escape_byte = '\x1B';
inline constexpr char shift_out_byte = '\x0E';
inline constexpr char shift_in_byte = '\x0F';

inline bool is_shift(char byte) { return byte == shift_out_byte || byte == shift_in_byte; }

inline std::string_view escape_sequence(jis_state state) {
  switch (state) {
    case jis_K2: return escape_jisx0208;
    case jis_K1: return escape_katakana;
    case jis_X: return escape_jisx0212;
    default: return escape_ascii;
  }
}

// Full-width JIS X 0208 code of each JIS X 0201 katakana byte 21-5F, indexed by byte - 0x21.
inline constexpr std::uint16_t kana_to_jisx0208[63] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523,  // 21
    0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543, 0x213C,  // 29
    0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F,  // 31
    0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F,  // 39
    0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D,  // 41
    0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F,  // 49
    0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569, 0x256A,  // 51
    0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,          // 59
};

struct kana_pair {
  std::uint8_t kana;
  std::uint16_t code;
};

// The katakana maps are constant data indexed by byte - 0x21 (0 = no entry), so no thread can
// ever see them half filled.
using kana_map = std::array<std::uint16_t, 64>;

template <std::size_t N>
constexpr kana_map make_kana_map(const kana_pair (&pairs)[N]) {
  kana_map map{};
  for (const kana_pair& pair : pairs) map[pair.kana - 0x21] = pair.code;
  return map;
}

inline constexpr kana_pair voiced_kana_pairs[21] = {
    {0x33, 0x2574}, {0x36, 0x252C}, {0x37, 0x252E}, {0x38, 0x2530}, {0x39, 0x2532},
    {0x3A, 0x2534}, {0x3B, 0x2536}, {0x3C, 0x2538}, {0x3D, 0x253A}, {0x3E, 0x253C},
    {0x3F, 0x253E}, {0x40, 0x2540}, {0x41, 0x2542}, {0x42, 0x2545}, {0x43, 0x2547},
    {0x44, 0x2549}, {0x4A, 0x2550}, {0x4B, 0x2553}, {0x4C, 0x2556}, {0x4D, 0x2559},
    {0x4E, 0x255C},
};
inline constexpr kana_pair semi_voiced_kana_pairs[5] = {
    {0x4A, 0x2551}, {0x4B, 0x2554}, {0x4C, 0x2557}, {0x4D, 0x255A}, {0x4E, 0x255D},
};
inline constexpr kana_map voiced_kana = make_kana_map(voiced_kana_pairs);
inline constexpr kana_map semi_voiced_kana = make_kana_map(semi_voiced_kana_pairs);

inline bool is_jis_kana_byte(unsigned byte) { return byte >= 0x21 && byte <= 0x5F; }

inline constexpr unsigned voiced_sound_mark = 0x5E;
inline constexpr unsigned semi_voiced_sound_mark = 0x5F;

// The character set of the output, for every engine that writes JIS. A step that needs
// another one asks the chunk loop for a switch (needs_switch, then switch_state), which
// writes the escape sequence of the new set; a fast run writes it into its chunk itself
// (announce). The text ends in ASCII (close).
class jis_output {
 public:
  jis_state current() const { return state_; }
  // Between calls only: a fused kernel hands back the state it wrote the output into.
  void set(jis_state state) { state_ = state; }

  bool needs_switch(jis_state wanted) {
    if (state_ == wanted) return false;
    requested_ = wanted;
    return true;
  }
  void switch_state(std::string& output) { enter(requested_, output); }

  void enter(jis_state wanted, std::string& output) {
    if (state_ == wanted) return;
    output.append(escape_sequence(wanted));
    state_ = wanted;
  }
  // What switch_state writes, written by a fast run into its chunk instead: the output is the
  // same, the chunk just goes on.
  void announce(jis_state wanted, chunk_writer<char>& out) {
    if (state_ == wanted) return;
    for (char c : escape_sequence(wanted)) out.put(c);
    state_ = wanted;
  }
  void close(std::string& output) { enter(jis_A, output); }
  void reset() {
    state_ = jis_A;
    requested_ = jis_A;
  }

 private:
  jis_state state_ = jis_A;
  jis_state requested_ = jis_A;
};

// Shared by the engines that write JIS from another encoding.
template <class Derived>
class jis_writer : public chunked_engine<Derived, char, char> {
 public:
  using base = chunked_engine<Derived, char, char>;

  void switch_state(std::string& output) { output_state.switch_state(output); }

  void flush() override {
    output_state.close(this->output);
    base::flush();
  }

  void clear() override {
    base::clear();
    output_state.reset();
  }

  jis_output output_state;

 protected:
  bool needs_switch(jis_state wanted) { return output_state.needs_switch(wanted); }
};

template <bool FastPath>
class basic_sjis_to_jis_engine final : public jis_writer<basic_sjis_to_jis_engine<FastPath>> {
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
      if (jis_code != 0) {
        if (this->needs_switch(jis_K2)) return step_result::switch_state;
        buffer.put(static_cast<char>(jis_code >> 8), static_cast<char>(jis_code & 0xFF));
        pos += 2;
        return step_result::converted;
      }
      if (this->needs_switch(jis_A)) return step_result::switch_state;
      append_token(buffer, this->replacement_token());
      pos += 1;
      return step_result::converted;
    }
    if (is_half_width_katakana(b)) {
      if (this->needs_switch(jis_K1)) return step_result::switch_state;
      buffer.put(static_cast<char>(b - 0x80));
    } else {
      if (this->needs_switch(jis_A)) return step_result::switch_state;
      buffer.put(static_cast<char>(b));
    }
    pos += 1;
    return step_result::converted;
  }

 private:
  // 7-bit bytes and JIS X 0208 characters by the arithmetic (not the rows with twins), each
  // run announced by its escape sequence right in the chunk, where the plain step ends the
  // chunk and has the loop switch.
  bool fast_run(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    auto to_jis = [this](unsigned b, unsigned t, chunk_writer<char>& out) {
      if (!is_arithmetic_lead_byte(b) || !is_sjis_second_byte(t)) return false;
      this->output_state.announce(jis_K2, out);
      const std::uint32_t jis_code = sjis_to_jisx0208(b, t);
      out.put(static_cast<char>(jis_code >> 8), static_cast<char>(jis_code & 0xFF));
      return true;
    };
    return pair_run(text, pos, n, buffer, to_jis, [this](chunk_writer<char>& out) { this->output_state.announce(jis_A, out); });
  }
};

template <bool FastPath>
class basic_euc_to_jis_engine final : public jis_writer<basic_euc_to_jis_engine<FastPath>> {
 public:
  bool can_start(const char* text, std::size_t pos, std::size_t n) const {
    return euc_can_start(text, pos, n);
  }
  step_result step(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    if constexpr (FastPath) {
      if (fast_run(text, pos, n, buffer)) return step_result::converted;
    }
    unsigned b = byte_value(text[pos]);
    if (is_euc_lead_byte(b)) {
      if (pos + 1 == n) return step_result::end_chunk;
      unsigned t = byte_value(text[pos + 1]);
      if (b == 0x8E && is_half_width_katakana(t)) {
        if (this->needs_switch(jis_K1)) return step_result::switch_state;
        buffer.put(static_cast<char>(t - 0x80));
        pos += 2;
        return step_result::converted;
      }
      // 8E before anything but katakana is invalid: its 7-bit form would be SO.
      if (b != 0x8E && t >= 0x80) {
        if (this->needs_switch(jis_K2)) return step_result::switch_state;
        buffer.put(static_cast<char>(b & 0x7F), static_cast<char>(t & 0x7F));
        pos += 2;
        return step_result::converted;
      }
      return invalid(pos, buffer);
    }
    if (is_euc_aux_lead_byte(b)) {
      if (n - pos < 3) return step_result::end_chunk;
      unsigned c = byte_value(text[pos + 1]);
      unsigned d = byte_value(text[pos + 2]);
      if (c < 0x80 || d < 0x80) return invalid(pos, buffer);  // the ASCII after it survives
      if (this->needs_switch(jis_X)) return step_result::switch_state;
      buffer.put(static_cast<char>(c & 0x7F), static_cast<char>(d & 0x7F));
      pos += 3;
      return step_result::converted;
    }
    if (this->needs_switch(jis_A)) return step_result::switch_state;
    buffer.put(static_cast<char>(b));
    pos += 1;
    return step_result::converted;
  }

 private:
  // 7-bit bytes and JIS X 0208 pairs, each run announced by its escape sequence right in the
  // chunk, where the plain step ends the chunk and has the loop switch.
  bool fast_run(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    auto to_jis = [this](unsigned b, unsigned t, chunk_writer<char>& out) {
      if (!is_euc_lead_byte(b) || b == 0x8E || t < 0x80) return false;
      this->output_state.announce(jis_K2, out);
      out.put(static_cast<char>(b & 0x7F), static_cast<char>(t & 0x7F));
      return true;
    };
    return pair_run(text, pos, n, buffer, to_jis, [this](chunk_writer<char>& out) { this->output_state.announce(jis_A, out); });
  }

  step_result invalid(std::size_t& pos, chunk_buffer<char>& buffer) {
    if (this->needs_switch(jis_A)) return step_result::switch_state;
    append_token(buffer, this->replacement_token());
    pos += 1;
    return step_result::converted;
  }
};

// An escape sequence at `pos`: how many bytes it takes and the state it selects (-1 for an
// escape the readers do not know, whose first three bytes are dropped). Length 0: the escape
// is cut off by the end of the input, ESC $ ( without its D included, and waits for more.
struct jis_escape {
  std::size_t length;
  int selected;
};

inline jis_escape parse_escape(const char* text, std::size_t pos, std::size_t n) {
  const std::size_t remaining = n - pos;
  if (remaining < 3) return {0, -1};
  const char first = text[pos + 1];
  const char second = text[pos + 2];
  if (first == '$' && second == '(') {
    if (remaining == 3) return {0, -1};
    if (text[pos + 3] == 'D') return {4, jis_X};
  }
  if (first == '(' && second == 'B') return {3, jis_A};
  if (first == '$' && second == 'B') return {3, jis_K2};
  if (first == '(' && second == 'I') return {3, jis_K1};
  return {3, -1};
}

inline bool is_incomplete_escape(const char* text, std::size_t pos, std::size_t n) {
  return text[pos] == escape_byte && parse_escape(text, pos, n).length == 0;
}

inline bool is_control(char byte) { return byte == escape_byte || is_shift(byte); }
inline bool is_katakana_state(jis_state state) { return state == jis_K1 || state == jis_S; }
inline bool is_two_byte_state(jis_state state) { return state == jis_K2 || state == jis_X; }

// The character set of the input, for every engine that reads JIS: escape sequences and shifts
// change it and nothing else.
class jis_input {
 public:
  jis_state current() const { return state_; }
  void set(jis_state state) { state_ = state; }
  void reset() { state_ = jis_A; }

  // An escape cut off by the end waits; so does a last byte that may need the next one: the
  // second byte of a pair, or, when `kana_waits`, a sound mark after a katakana. A shift is
  // whole on its own, wherever it falls.
  bool can_start(const char* text, std::size_t pos, std::size_t n, bool kana_waits) const {
    if (is_incomplete_escape(text, pos, n)) return false;
    if (n - pos != 1 || is_shift(text[pos])) return true;
    return !(is_two_byte_state(state_) || (kana_waits && is_katakana_state(state_)));
  }

  // The escape or shift at `pos` (is_control): read, the state changed, and the chunk ended so
  // that the chunk-start check sees the new state. An escape cut off by the end waits.
  step_result read_control(const char* text, std::size_t& pos, std::size_t n) {
    if (text[pos] != escape_byte) {
      state_ = text[pos] == shift_out_byte ? jis_S : jis_A;
      pos += 1;
      return step_result::end_chunk;
    }
    const jis_escape escape = parse_escape(text, pos, n);
    if (escape.selected >= 0) state_ = static_cast<jis_state>(escape.selected);
    pos += escape.length;
    return step_result::end_chunk;
  }

 private:
  jis_state state_ = jis_A;
};

// JIS X 0208 pairs in blocks of eight bytes, while no byte of the block is an escape or a
// shift; `high_bits` is or-ed into every byte (0x80 each for EUC-JP). False when no block was
// taken.
inline bool copy_jisx0208_blocks(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer,
                                 std::uint64_t high_bits) {
  const std::size_t start = pos;
  chunk_writer<char> out(buffer);
  while (n - pos >= ascii_block_size && out.has_block_room()) {
    const std::uint64_t word = load_block(text + pos);
    if (!is_shift_free_block(word)) break;
    out.put_word(word | high_bits);
    pos += ascii_block_size;
  }
  out.commit(buffer);
  return pos != start;
}

template <bool FastPath>
class basic_jis_to_euc_engine final
    : public chunked_engine<basic_jis_to_euc_engine<FastPath>, char, char> {
  using base = chunked_engine<basic_jis_to_euc_engine<FastPath>, char, char>;

 public:
  bool can_start(const char* text, std::size_t pos, std::size_t n) const {
    return input_state.can_start(text, pos, n, false);
  }
  step_result step(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    if constexpr (FastPath) {
      if (fast_run(text, pos, n, buffer)) return step_result::converted;
    }
    const char b = text[pos];
    if (is_control(b)) return input_state.read_control(text, pos, n);
    const jis_state state = input_state.current();
    switch (state) {
      case jis_K2:
      case jis_X: {
        if (pos + 1 == n) return step_result::end_chunk;
        char first = static_cast<char>(byte_value(b) | 0x80);
        char second = static_cast<char>(byte_value(text[pos + 1]) | 0x80);
        if (state == jis_X) buffer.put('\x8F');
        buffer.put(first, second);
        pos += 2;
        break;
      }
      case jis_K1:
      case jis_S:
        buffer.put('\x8E', static_cast<char>((byte_value(b) + 0x80) & 0xFF));
        pos += 1;
        break;
      default:
        buffer.put(b);
        pos += 1;
        break;
    }
    return step_result::converted;
  }

  void flush() override {
    input_state.reset();
    base::flush();
  }
  void clear() override {
    base::clear();
    input_state.reset();
  }

  jis_input input_state;

 private:
  // 7-bit text, JIS X 0208 pairs, and the two escapes between them, taken without ending the
  // chunk: away from the end of the input the chunk-start check after a complete escape is
  // always true, so going on in the same chunk writes the same bytes. Everything else (other
  // escapes, shifts, the last byte) is left to the plain step.
  bool fast_run(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    const std::size_t start = pos;
    chunk_writer<char> out(buffer);
    while (pos < n && out.has_room()) {
      const char b = text[pos];
      if (b == escape_byte) {
        const jis_escape escape = parse_escape(text, pos, n);
        if (escape.selected != jis_A && escape.selected != jis_K2) break;
        input_state.set(static_cast<jis_state>(escape.selected));
        pos += escape.length;
        continue;
      }
      if (is_shift(b)) break;
      const jis_state state = input_state.current();
      if (state == jis_K2) {
        if (n - pos >= ascii_block_size && out.has_block_room()) {
          const std::uint64_t word = load_block(text + pos);
          if (is_shift_free_block(word)) {
            out.put_word(word | block_high_bits);  // EUC-JP is every byte with its high bit
            pos += ascii_block_size;
            continue;
          }
        }
        if (n - pos < 2) break;
        out.put(static_cast<char>(byte_value(b) | 0x80), static_cast<char>(byte_value(text[pos + 1]) | 0x80));
        pos += 2;
      } else if (state == jis_A) {
        if (n - pos >= ascii_block_size && out.has_block_room() && is_plain_jis_block(text + pos)) {
          out.put_block(text + pos);
          pos += ascii_block_size;
        } else {
          out.put(b);
          pos += 1;
        }
      } else {
        break;
      }
    }
    out.commit(buffer);
    return pos != start;
  }
};

template <bool FastPath>
class basic_jis_to_iso2022jp_engine final
    : public chunked_engine<basic_jis_to_iso2022jp_engine<FastPath>, char, char> {
  using base = chunked_engine<basic_jis_to_iso2022jp_engine<FastPath>, char, char>;

 public:
  bool can_start(const char* text, std::size_t pos, std::size_t n) const {
    return input_state.can_start(text, pos, n, true);
  }
  step_result step(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char>& buffer) {
    const char b = text[pos];
    if (is_control(b)) return input_state.read_control(text, pos, n);
    switch (input_state.current()) {
      case jis_K2:
        if constexpr (FastPath) {
          if (output_state.current() == jis_K2 && copy_jisx0208_blocks(text, pos, n, buffer, 0)) {
            return step_result::converted;
          }
        }
        if (pos + 1 == n) return step_result::end_chunk;
        if (needs_switch(jis_K2)) return step_result::switch_state;
        buffer.put(b, text[pos + 1]);
        pos += 2;
        return step_result::converted;
      case jis_X:
        // ISO-2022-JP has no JIS X 0212: each character becomes "?".
        if (pos + 1 == n) return step_result::end_chunk;
        if (needs_switch(jis_A)) return step_result::switch_state;
        append_token(buffer, this->replacement_token());
        pos += 2;
        return step_result::converted;
      case jis_K1:
      case jis_S:
        return katakana_step(text, pos, n, buffer);
      default:
        if (needs_switch(jis_A)) return step_result::switch_state;
        put_jis_ascii<FastPath>(text, pos, n, buffer);
        return step_result::converted;
    }
  }

  void switch_state(std::string& output) { output_state.switch_state(output); }

  // A katakana held back for its sound mark has none coming.
  void flush() override {
    if (is_katakana_state(input_state.current()) && this->rest.size() == 1 &&
        is_jis_kana_byte(byte_value(this->rest[0]))) {
      output_state.enter(jis_K2, this->output);
      std::uint16_t code = kana_to_jisx0208[byte_value(this->rest[0]) - 0x21];
      this->output.push_back(static_cast<char>(code >> 8));
      this->output.push_back(static_cast<char>(code & 0xFF));
      this->rest.clear();
    }
    input_state.reset();
    output_state.close(this->output);
    base::flush();
  }

  void clear() override {
    base::clear();
    input_state.reset();
    output_state.reset();
  }

  jis_input input_state;
  jis_output output_state;  // only ever jis_A or jis_K2

 private:
  bool needs_switch(jis_state wanted) { return output_state.needs_switch(wanted); }

  step_result katakana_step(const char* text, std::size_t& pos, std::size_t n,
                            chunk_buffer<char>& buffer) {
    unsigned b = byte_value(text[pos]);
    if (!is_jis_kana_byte(b)) {
      if (needs_switch(jis_A)) return step_result::switch_state;
      append_token(buffer, this->replacement_token());
      pos += 1;
      return step_result::converted;
    }
    std::uint16_t code = kana_to_jisx0208[b - 0x21];
    std::size_t used = 1;
    if (std::uint16_t voiced = voiced_kana[b - 0x21]) {
      if (pos + 1 == n) return step_result::end_chunk;  // the mark may come with the next call
      unsigned mark = byte_value(text[pos + 1]);
      std::uint16_t semi_voiced = semi_voiced_kana[b - 0x21];
      if (mark == voiced_sound_mark) {
        code = voiced;
        used = 2;
      } else if (mark == semi_voiced_sound_mark && semi_voiced != 0) {
        code = semi_voiced;
        used = 2;
      }
    }
    // Switch before consuming: the kana and its mark are examined again after ESC $ B.
    if (needs_switch(jis_K2)) return step_result::switch_state;
    buffer.put(static_cast<char>(code >> 8), static_cast<char>(code & 0xFF));
    pos += used;
    return step_result::converted;
  }
};

using sjis_to_jis_engine = basic_sjis_to_jis_engine<true>;
using euc_to_jis_engine = basic_euc_to_jis_engine<true>;
using jis_to_euc_engine = basic_jis_to_euc_engine<true>;
using jis_to_iso2022jp_engine = basic_jis_to_iso2022jp_engine<true>;

}  // namespace morvik
