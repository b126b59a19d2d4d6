#pragma once
// Fast runs for the codecs' steps. Every codec writes a 7-bit unit as itself (the JIS readers
// only outside escapes and shifts), so a step may take whole blocks of eight such units at a
// time; a fast run also takes the common double-byte characters without going back to the
// chunk loop. The plain steps stay the definition: each engine is a template on `FastPath`,
// false runs the plain step alone, and the fast-path test holds both to the same output.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "morvik/blocks.h"
#include "morvik/code_table.h"
#include "morvik/engine.h"

namespace morvik {

static_assert(ascii_block_size <= margin_size, "a block must fit the chunk's margin");

// A fast run writes through a pointer of its own, so that the count does not go back to
// memory after every store; `commit` hands the count back to the chunk.
template <class Unit>
class chunk_writer {
 public:
  explicit chunk_writer(chunk_buffer<Unit>& buffer)
      : out_(buffer.units + buffer.count), limit_(buffer.units + chunk_size) {}

  bool has_room() const { return out_ < limit_; }
  bool has_block_room() const { return static_cast<std::size_t>(limit_ - out_) >= ascii_block_size; }
  void put(Unit unit) { *out_++ = unit; }
  void put(Unit first, Unit second) {
    out_[0] = first;
    out_[1] = second;
    out_ += 2;
  }
  template <class InputUnit>
  void put_block(const InputUnit* text) {
    copy_block(text, out_);
    out_ += ascii_block_size;
  }
  void put_word(std::uint64_t word) {
    static_assert(sizeof(Unit) == 1, "eight bytes");
    std::memcpy(out_, &word, sizeof word);
    out_ += ascii_block_size;
  }
  // Three bytes in one four-byte store; the fourth lands in the chunk's margin and is
  // overwritten by whatever comes next.
  void put_three(std::uint32_t first, std::uint32_t second, std::uint32_t third) {
    static_assert(sizeof(Unit) == 1, "bytes");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    const std::uint32_t word = first | second << 8 | third << 16;
    std::memcpy(out_, &word, sizeof word);
    out_ += 3;
#else
    put(static_cast<Unit>(first));
    put(static_cast<Unit>(second), static_cast<Unit>(third));
#endif
  }
  void commit(chunk_buffer<Unit>& buffer) const { buffer.count = static_cast<std::size_t>(out_ - buffer.units); }

 private:
  Unit* out_;
  Unit* const limit_;
};

// Copies the whole 7-bit blocks at `pos` as long as they fit in the chunk.
template <class InputUnit, class OutputUnit, class IsPlainBlock>
inline void copy_ascii_blocks(const InputUnit* text, std::size_t& pos, std::size_t n,
                              chunk_buffer<OutputUnit>& buffer, IsPlainBlock is_plain_block) {
  chunk_writer<OutputUnit> out(buffer);
  while (n - pos >= ascii_block_size && out.has_block_room() && is_plain_block(text + pos)) {
    out.put_block(text + pos);
    pos += ascii_block_size;
  }
  out.commit(buffer);
}

// In a codec's fast run: the 7-bit unit at `pos`, or the whole block that starts there.
template <class InputUnit, class OutputUnit>
inline void put_ascii_unit_or_block(const InputUnit* text, std::size_t& pos, std::size_t n,
                                    chunk_writer<OutputUnit>& out) {
  if (n - pos >= ascii_block_size && out.has_block_room() && is_ascii_block(text + pos)) {
    out.put_block(text + pos);
    pos += ascii_block_size;
  } else {
    out.put(static_cast<OutputUnit>(text[pos]));
    pos += 1;
  }
}

// The fast run of the engines that read a two-byte encoding: 7-bit bytes, and double-byte
// characters that `convert_pair(lead, second, out)` writes (false leaves the character, and the
// rest of the run, to the plain step), as long as they come. `before_ascii(out)` lets the JIS
// writers announce an ASCII run inside the chunk. True when anything was converted.
template <class OutputUnit, class ConvertPair, class BeforeAscii>
inline bool pair_run(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<OutputUnit>& buffer,
                     ConvertPair convert_pair, BeforeAscii before_ascii) {
  const std::size_t start = pos;
  chunk_writer<OutputUnit> out(buffer);
  while (n - pos >= 2 && out.has_room()) {
    const unsigned b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
      before_ascii(out);
      put_ascii_unit_or_block(text, pos, n, out);
      continue;
    }
    if (!convert_pair(b, static_cast<unsigned char>(text[pos + 1]), out)) break;
    pos += 2;
  }
  out.commit(buffer);
  return pos != start;
}

inline constexpr auto nothing_before_ascii = [](auto&) {};

// The two-byte decoders: a pair converts when it is well formed and `table` maps it.
template <bool (*is_lead_byte)(unsigned), bool (*is_second_byte)(unsigned)>
inline bool double_byte_decode_run(const code_table& table, const char* text, std::size_t& pos, std::size_t n,
                                   chunk_buffer<char16_t>& buffer) {
  auto decode = [&table](unsigned b, unsigned t, chunk_writer<char16_t>& out) {
    if (!is_lead_byte(b) || !is_second_byte(t)) return false;
    const std::uint32_t unit = table.lookup(static_cast<std::int32_t>(b << 8 | t));
    if (unit == 0) return false;
    out.put(static_cast<char16_t>(unit));
    return true;
  };
  return pair_run(text, pos, n, buffer, decode, nothing_before_ascii);
}

// The fast run of the two-byte encoders: 7-bit units and characters whose code has exactly two
// bytes (`table` values 0x100-0xFFFF), as long as they come.
inline bool double_byte_encode_run(const code_table& table, const char16_t* text, std::size_t& pos, std::size_t n,
                                   chunk_buffer<char>& buffer) {
  const std::size_t start = pos;
  chunk_writer<char> out(buffer);
  while (pos < n && out.has_room()) {
    const char16_t u = text[pos];
    if (u < 0x80) {
      put_ascii_unit_or_block(text, pos, n, out);
      continue;
    }
    const std::uint32_t code = table.lookup(u);
    if (code < 0x100 || code > 0xFFFF) break;
    out.put(static_cast<char>(code >> 8), static_cast<char>(code & 0xFF));
    pos += 1;
  }
  out.commit(buffer);
  return pos != start;
}

// The step's own 7-bit unit at `pos`, then, on the fast path, the 7-bit blocks after it.
template <bool FastPath, class InputUnit, class OutputUnit>
inline void put_ascii(const InputUnit* text, std::size_t& pos, std::size_t n, chunk_buffer<OutputUnit>& buffer) {
  buffer.put(static_cast<OutputUnit>(text[pos]));
  pos += 1;
  if constexpr (FastPath) {
    copy_ascii_blocks(text, pos, n, buffer, [](const InputUnit* block) { return is_ascii_block(block); });
  }
}

// The same for the JIS readers, which stop at escapes and shifts.
template <bool FastPath, class OutputUnit>
inline void put_jis_ascii(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<OutputUnit>& buffer) {
  buffer.put(static_cast<OutputUnit>(text[pos]));
  pos += 1;
  if constexpr (FastPath) copy_ascii_blocks(text, pos, n, buffer, is_plain_jis_block);
}

}  // namespace morvik
