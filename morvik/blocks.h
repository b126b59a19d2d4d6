#pragma once
// Eight units at a time (sixteen bytes for the fused engine's runs): the tests that tell whether
// a whole block may be taken in one go, and the moves that copy, widen or narrow it. The fast runs
// of the engines, the analysis window and the scorers all step over text with these; nothing here
// decides an output byte, it only says that every unit of a block is of a kind the plain step
// would handle one by one the same way.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvik {

inline constexpr std::size_t ascii_block_size = 8;

inline constexpr std::uint64_t block_ones = 0x0101010101010101u;
inline constexpr std::uint64_t block_high_bits = 0x8080808080808080u;

inline std::uint64_t load_block(const char* text) {
  std::uint64_t word;
  std::memcpy(&word, text, sizeof word);
  return word;
}

// The high bit of every byte of `word` that equals `byte`, and maybe of bytes above such a one
// (a borrow): the classic zero-byte test. Whether there is a mark is exact, and so is the lowest.
inline std::uint64_t byte_marks(std::uint64_t word, unsigned byte) {
  const std::uint64_t x = word ^ (block_ones * byte);
  return (x - block_ones) & ~x & block_high_bits;
}

// Some byte of `word` equals `byte`.
inline bool has_byte(std::uint64_t word, unsigned byte) { return byte_marks(word, byte) != 0; }

inline bool is_ascii_block(std::uint64_t word) { return (word & block_high_bits) == 0; }
inline bool is_ascii_block(const char* text) { return is_ascii_block(load_block(text)); }
inline bool is_ascii_block(const char16_t* text) {
  std::uint64_t words[2];
  std::memcpy(words, text, sizeof words);
  return ((words[0] | words[1]) & 0xFF80FF80FF80FF80u) == 0;
}

// Escapes, shift-outs and shift-ins, which a JIS reader does not pass through in its state, marked
// as byte_marks marks them. Setting the low bit of every byte folds SO (0E) onto SI (0F) and
// touches no other byte's way to 0F.
inline std::uint64_t shift_marks(std::uint64_t word) {
  return byte_marks(word, 0x1B) | byte_marks(word | block_ones, 0x0F);
}

inline bool is_shift_free_block(std::uint64_t word) { return shift_marks(word) == 0; }

// ASCII without ESC, SO and SI: what a JIS reader in its ASCII state copies unchanged.
inline bool is_plain_jis_block(const char* text) {
  const std::uint64_t word = load_block(text);
  return is_ascii_block(word) && is_shift_free_block(word);
}

// 7-bit bytes without NUL: no scorer weighs them or counts them as an error.
inline bool is_weightless_block(std::uint64_t word) { return is_ascii_block(word) && !has_byte(word, 0x00); }

// None of `non_plain_bytes` (NUL, SI, ESC, a high byte), the bytes that start the analysis window.
inline bool is_plain_block(const char* text) {
  const std::uint64_t word = load_block(text);
  return is_weightless_block(word) && !has_byte(word, 0x0F) && !has_byte(word, 0x1B);
}

// Eight 7-bit units from `text` to `out`: SSE2 where there is SSE2 (x86-64), else two 64-bit
// words in which a zero byte goes between the bytes or comes out from between them.
inline void copy_block(const char* text, char* out) { std::memcpy(out, text, ascii_block_size); }

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define MORVIK_BLOCK_WORDS 1
inline void widen_block_in_words(const char* text, char16_t* out) {
  const std::uint64_t word = load_block(text);
  auto widen = [](std::uint64_t half) {
    half = (half | half << 16) & 0x0000FFFF0000FFFFu;
    return (half | half << 8) & 0x00FF00FF00FF00FFu;
  };
  const std::uint64_t low = widen(word & 0xFFFFFFFFu);
  const std::uint64_t high = widen(word >> 32);
  std::memcpy(out, &low, sizeof low);
  std::memcpy(out + 4, &high, sizeof high);
}

inline void narrow_block_in_words(const char16_t* text, char* out) {
  auto narrow = [](std::uint64_t units) {
    units = (units | units >> 8) & 0x0000FFFF0000FFFFu;
    return (units | units >> 16) & 0xFFFFFFFFu;
  };
  std::uint64_t low;
  std::uint64_t high;
  std::memcpy(&low, text, sizeof low);
  std::memcpy(&high, text + 4, sizeof high);
  const std::uint64_t word = narrow(low) | narrow(high) << 32;
  std::memcpy(out, &word, sizeof word);
}
#endif

// Sixteen bytes at a time: how many of the 16 bytes at `text` come before the first that ends a
// run (16: none does). The runs of the fused engine are counted so and copied 16 at a time.
inline constexpr std::size_t run_block_size = 16;

#if defined(MORVIK_BLOCK_WORDS)
// The bytes that end a run of 7-bit bytes, and of a JIS reader's ASCII text. Each kind's lowest
// mark is exact, so the lowest of all is.
inline std::uint64_t seven_bit_run_ends(std::uint64_t word) { return word & block_high_bits; }
inline std::uint64_t plain_jis_run_ends(std::uint64_t word) { return (word & block_high_bits) | shift_marks(word); }

// The first byte of 16 that `ends` marks, eight bytes at a time (little-endian).
inline unsigned run_in_words(const char* text, std::uint64_t (*ends)(std::uint64_t)) {
  for (unsigned at = 0; at < run_block_size; at += ascii_block_size) {
    const std::uint64_t marked = ends(load_block(text + at));
    if (marked != 0) return at + static_cast<unsigned>(__builtin_ctzll(marked)) / 8;
  }
  return run_block_size;
}
#endif

// Bit i set where byte i of the block lies in [low, low + count), byte by byte.
inline std::uint32_t byte_range_bits_by_bytes(const char* text, unsigned low, unsigned count) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < run_block_size; ++i) {
    bits |= std::uint32_t{static_cast<unsigned char>(text[i]) - low < count} << i;
  }
  return bits;
}

// The same at once where there is SSE2; count at most 128.
inline std::uint32_t byte_range_bits(const char* text, unsigned low, unsigned count) {
#if defined(__SSE2__)
  // Moving `low` to -128 makes the range one signed comparison.
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i moved = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - low)));
  const __m128i below = _mm_set1_epi8(static_cast<char>(0x80 + count));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmplt_epi8(moved, below)));
#else
  return byte_range_bits_by_bytes(text, low, count);
#endif
}

// The lowest bit set in `bits`, which is not 0.
inline unsigned lowest_bit(std::uint32_t bits) { return static_cast<unsigned>(__builtin_ctz(bits)); }

// 7-bit bytes.
inline unsigned seven_bit_run(const char* text) {
#if defined(__SSE2__)
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  return static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(_mm_movemask_epi8(bytes)) | 0x10000u));
#elif defined(MORVIK_BLOCK_WORDS)
  return run_in_words(text, seven_bit_run_ends);
#else
  unsigned at = 0;
  while (at < run_block_size && static_cast<unsigned char>(text[at]) < 0x80) ++at;
  return at;
#endif
}

// 7-bit bytes but ESC, SO and SI: what a JIS reader in its ASCII state copies unchanged.
inline unsigned plain_jis_run(const char* text) {
#if defined(__SSE2__)
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i escapes = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x1B));
  const __m128i shifts = _mm_cmpeq_epi8(_mm_or_si128(bytes, _mm_set1_epi8(1)), _mm_set1_epi8(0x0F));
  const unsigned stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(bytes, _mm_or_si128(escapes, shifts))));
  return static_cast<unsigned>(__builtin_ctz(stops | 0x10000u));
#elif defined(MORVIK_BLOCK_WORDS)
  return run_in_words(text, plain_jis_run_ends);
#else
  unsigned at = 0;
  while (at < run_block_size) {
    const unsigned b = static_cast<unsigned char>(text[at]);
    if (b >= 0x80 || b == 0x1B || b == 0x0E || b == 0x0F) break;
    ++at;
  }
  return at;
#endif
}

inline void copy_block(const char* text, char16_t* out) {
#if defined(__SSE2__)
  const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, _mm_setzero_si128()));
#elif defined(MORVIK_BLOCK_WORDS)
  widen_block_in_words(text, out);
#else
  for (std::size_t i = 0; i < ascii_block_size; ++i) out[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
#endif
}

inline void copy_block(const char16_t* text, char* out) {
#if defined(__SSE2__)
  const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
#elif defined(MORVIK_BLOCK_WORDS)
  narrow_block_in_words(text, out);
#else
  for (std::size_t i = 0; i < ascii_block_size; ++i) out[i] = static_cast<char>(text[i]);
#endif
}

}  // namespace morvik
