#pragma once
// Sixty-four bytes at a time, where the processor has AVX-512 (with VBMI and VBMI2), for the
// kernels that read Shift_JIS and EUC-JP into UTF-8 and EUC-JP into Shift_JIS: 7-bit runs copied
// a register at a time, and in a mixed block the next 32 characters at once, in lanes of
// sixteen, each entry looked up in the kernel's own flat table (or, EUC-JP to Shift_JIS, made by
// the row/cell arithmetic where the table says it holds). Nothing here decides an output byte: a
// block writes the entries the plain kernel step would write, character by character, and stops
// where that step would stop, so that the step takes over at the same byte. Built only for
// x86-64; the processor is asked once, and `wide_blocks` can be turned off (the tests hold both
// forms to the reference chain). The JIS readers' runs of pairs are about a dozen long, too short
// for the blocks. Reading UTF-8 takes two dependent look-ups a character, which in lanes came out
// slower than the plain step's loop.
#include <cstddef>
#include <cstdint>

#include "morvik/flat_tables.h"
#include "morvik/pair_blocks.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define MORVIK_WIDE_BLOCKS 1
#include <immintrin.h>
#define MORVIK_WIDE_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))
#endif

namespace morvik {

// Whether the kernels may take 64-byte blocks, where the processor has them; the tests turn them
// off to hold the plain steps to the reference too.
extern bool wide_blocks;
bool processor_has_wide_blocks();
inline bool wide_blocks_on() { return wide_blocks && processor_has_wide_blocks(); }

#if defined(MORVIK_WIDE_BLOCKS)
namespace wide {

// GCC 12 warns of the undefined vector that its own intrinsics pass as the unused source of the
// unmasked forms (fixed in GCC 13).
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// Bytes a wide run needs ahead of it: a block and a cut pair's second byte.
inline constexpr std::ptrdiff_t reach = 65;

MORVIK_WIDE_TARGET inline __m512i lanes_of(std::uint32_t value) { return _mm512_set1_epi32(static_cast<int>(value)); }

MORVIK_WIDE_TARGET inline __m512i byte_indices() {
  alignas(64) static constexpr std::uint8_t indices[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  return _mm512_load_si512(indices);
}

// Bytes in [low, low + count).
MORVIK_WIDE_TARGET inline __mmask64 byte_range(__m512i bytes, unsigned low, unsigned count) {
  return _mm512_cmplt_epu8_mask(_mm512_sub_epi8(bytes, _mm512_set1_epi8(static_cast<char>(low))),
                                _mm512_set1_epi8(static_cast<char>(count)));
}

// Writes the packed entries (flat_tables.h's packing) of the first `count` lanes one after
// the other, and moves `out` past them.
MORVIK_WIDE_TARGET inline void put_packed_lanes(__m512i entries, unsigned count, char*& out) {
  const __mmask16 lanes = static_cast<__mmask16>((1u << count) - 1);
  const __m512i lengths = _mm512_maskz_and_epi32(lanes, _mm512_srli_epi32(entries, 24), lanes_of(0xF));
  // Each lane's length in each of its bytes, beside each byte's place in its lane.
  const __m512i spread = _mm512_mullo_epi32(lengths, lanes_of(0x01010101));
  const __mmask64 kept = _mm512_cmplt_epu8_mask(lanes_of(0x03020100), spread);
  _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(kept, entries));
  out += _mm_popcnt_u64(kept);
}

// The entries before the first empty one, put as put_packed_lanes puts them; how many.
MORVIK_WIDE_TARGET inline unsigned put_entries_to_empty(__m512i entries, char*& out) {
  const unsigned empty = _mm512_cmpeq_epi32_mask(entries, _mm512_setzero_si512());
  const unsigned count = empty == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(empty));
  put_packed_lanes(entries, count, out);
  return count;
}

// table[index] for each lane. Sixteen loads and a store of the sixteen are faster here than
// the gather instruction (5.3 against 7.7 ns a block on the machine measured).
MORVIK_WIDE_TARGET inline __m512i look_up(__m512i index, const std::uint32_t* table) {
  alignas(64) std::uint32_t at[16];
  alignas(64) std::uint32_t entries[16];
  _mm512_store_si512(at, index);
  // Read back from memory, not taken apart lane by lane in registers, which is slower.
  __asm__("" : "+m"(at));
#pragma GCC unroll 16
  for (int lane = 0; lane < 16; ++lane) entries[lane] = table[at[lane]];
  return _mm512_load_si512(entries);
}

// Lanes in [low, low + count).
MORVIK_WIDE_TARGET inline __mmask16 lane_range(__m512i values, unsigned low, unsigned count) {
  return _mm512_cmplt_epu32_mask(_mm512_sub_epi32(values, lanes_of(low)), lanes_of(count));
}

// 7-bit bytes as themselves, packed.
MORVIK_WIDE_TARGET inline __m512i seven_bit_entries(__m512i firsts) {
  return _mm512_maskz_or_epi32(_mm512_cmplt_epu32_mask(firsts, lanes_of(0x80)), firsts, lanes_of(0x11000000));
}

// flat::pair_index for each lane.
MORVIK_WIDE_TARGET inline __m512i pair_indices(__m512i firsts, __m512i seconds, unsigned low) {
  const __m512i rows = _mm512_sub_epi32(firsts, lanes_of(low));
  const __m512i cells = _mm512_sub_epi32(seconds, lanes_of(low));
  const __mmask16 inside = _mm512_cmplt_epu32_mask(rows, lanes_of(flat::euc_side)) &
                           _mm512_cmplt_epu32_mask(cells, lanes_of(flat::euc_side));
  return _mm512_mask_add_epi32(lanes_of(flat::no_pair), inside, _mm512_mullo_epi32(rows, lanes_of(flat::euc_side)), cells);
}

// Readers whose characters start where the lead bytes say: `leads(bytes)` marks the bytes that
// lead a pair, and `entries(firsts, nexts)` gives the packed entries of sixteen characters from
// their first bytes and the bytes after them, one to a lane (0: none).
struct sjis_to_utf8_lanes {
  MORVIK_WIDE_TARGET static std::uint64_t leads(__m512i bytes) {
    return byte_range(bytes, 0x81, 0x1F) | byte_range(bytes, 0xE0, 0x1D);
  }
  // 7-bit bytes as themselves, pairs through flat::sjis_pair_utf8 (rows as flat::sjis_lead_offset
  // places them, 81-9F from 1 and E0-FC from 32; the empty row 0 for the rest), the other single
  // bytes through flat::sjis_single_utf8.
  MORVIK_WIDE_TARGET static __m512i entries(__m128i first_bytes, __m128i next_bytes) {
    const __m512i firsts = _mm512_cvtepu8_epi32(first_bytes);
    const __m512i seconds = _mm512_cvtepu8_epi32(next_bytes);
    const __mmask16 pairs = lane_range(firsts, 0x81, 0x1F) | lane_range(firsts, 0xE0, 0x1D);
    const __mmask16 upper = _mm512_cmpge_epu32_mask(firsts, lanes_of(0xA0));
    const __m512i rows = _mm512_sub_epi32(firsts, _mm512_mask_blend_epi32(upper, lanes_of(0x80), lanes_of(0xC0)));
    const __m512i index = _mm512_maskz_or_epi32(pairs, _mm512_slli_epi32(rows, 8), seconds);
    __m512i entries = _mm512_or_si512(look_up(index, flat::sjis_pair_utf8), seven_bit_entries(firsts));
    const __mmask16 others = static_cast<__mmask16>(~pairs) & _mm512_cmpge_epu32_mask(firsts, lanes_of(0x80));
    if (others != 0) entries = _mm512_mask_i32gather_epi32(entries, others, firsts, flat::sjis_single_utf8, 4);
    return entries;
  }
};

// What the EUC-JP readers share: every high byte leads two.
struct euc_lanes {
  MORVIK_WIDE_TARGET static std::uint64_t leads(__m512i bytes) { return _mm512_movepi8_mask(bytes); }
  // Half-width katakana: 8E and a byte A1-DF.
  MORVIK_WIDE_TARGET static __mmask16 katakana(__m512i firsts, __m512i seconds) {
    return _mm512_cmpeq_epi32_mask(firsts, lanes_of(0x8E)) & lane_range(seconds, 0xA1, 0x3F);
  }
};

// EUC-JP to UTF-8: a JIS X 0208 pair (A1-FE twice) through flat::euc_pair_utf8, half-width
// katakana (the UTF-8 of the Shift_JIS byte), or nothing the kernel takes.
struct euc_to_utf8_lanes : euc_lanes {
  MORVIK_WIDE_TARGET static __m512i entries(__m128i first_bytes, __m128i next_bytes) {
    const __m512i firsts = _mm512_cvtepu8_epi32(first_bytes);
    const __m512i seconds = _mm512_cvtepu8_epi32(next_bytes);
    __m512i entries = _mm512_or_si512(look_up(pair_indices(firsts, seconds, 0xA1), flat::euc_pair_utf8),
                                      seven_bit_entries(firsts));
    const __mmask16 kana = katakana(firsts, seconds);
    if (kana != 0) entries = _mm512_mask_i32gather_epi32(entries, kana, seconds, flat::sjis_single_utf8, 4);
    return entries;
  }
};

// EUC-JP to Shift_JIS by the row/cell arithmetic, without a look-up: a pair whose cell lies
// within flat::euc_sjis_row_ends of its row (where the Shift_JIS code is the arithmetic's),
// 7-bit bytes, and half-width katakana after 8E as its Shift_JIS byte; nothing for the rest
// (the rows with gaps among them), which the step takes.
struct euc_to_sjis_lanes : euc_lanes {
  MORVIK_WIDE_TARGET static __m512i entries(__m128i first_bytes, __m128i next_bytes) {
    const __m128i rows = _mm_sub_epi8(first_bytes, _mm_set1_epi8(static_cast<char>(0xA1)));
    const __m128i cells = _mm_sub_epi8(next_bytes, _mm_set1_epi8(static_cast<char>(0xA1)));
    const __m128i row_ends = _mm512_castsi512_si128(
        _mm512_permutex2var_epi8(_mm512_loadu_si512(flat::euc_sjis_row_ends), _mm512_castsi128_si512(rows),
                                 _mm512_loadu_si512(flat::euc_sjis_row_ends + 64)));
    const __mmask16 pairs = _mm_cmplt_epu8_mask(rows, _mm_set1_epi8(static_cast<char>(flat::euc_side))) &
                            _mm_cmplt_epu8_mask(cells, row_ends);
    // The JIS X 0208 bytes, and sjis_to_jisx0208's inverse.
    const __m512i firsts = _mm512_cvtepu8_epi32(first_bytes);
    const __m512i seconds = _mm512_cvtepu8_epi32(next_bytes);
    const __m512i j1 = _mm512_sub_epi32(firsts, lanes_of(0x80));
    const __m512i j2 = _mm512_sub_epi32(seconds, lanes_of(0x80));
    const __m512i lead = _mm512_add_epi32(
        _mm512_srli_epi32(_mm512_add_epi32(j1, lanes_of(1)), 1),
        _mm512_mask_blend_epi32(_mm512_cmple_epu32_mask(j1, lanes_of(0x5E)), lanes_of(0xB0), lanes_of(0x70)));
    const __m512i odd_shift = _mm512_mask_blend_epi32(_mm512_cmplt_epu32_mask(j2, lanes_of(0x60)), lanes_of(0x20), lanes_of(0x1F));
    const __m512i trail = _mm512_add_epi32(
        j2, _mm512_mask_blend_epi32(_mm512_test_epi32_mask(j1, lanes_of(1)), lanes_of(0x7E), odd_shift));
    const __m512i pair_entries = _mm512_or_si512(_mm512_or_si512(lead, _mm512_slli_epi32(trail, 8)), lanes_of(0x22000000));
    __m512i entries = _mm512_mask_mov_epi32(seven_bit_entries(firsts), pairs, pair_entries);
    return _mm512_mask_or_epi32(entries, katakana(firsts, seconds), seconds, lanes_of(0x11000000));
  }
};

// From `text` while a block and its next byte lie before `stop`, as the reader's kernel step
// would: 7-bit runs as they are, and elsewhere the next 32 characters (all of them start in the
// block), in two lanes of sixteen. Stops before the first character without an entry, and there
// and at the end leaves the rest to the step. False where it took nothing. `out` has room for
// the kernel's growth over every byte before `stop` (at least one a byte): for a block, 64
// bytes and more.
template <class Lanes>
MORVIK_WIDE_TARGET inline bool lead_byte_run(const char*& from, const char* stop, char*& to) {
  const char* text = from;
  char* out = to;
  const __m512i indices = byte_indices();
  while (stop - text >= reach) {
    const __m512i bytes = _mm512_loadu_si512(text);
    const std::uint64_t high = _mm512_movepi8_mask(bytes);
    // A whole block moves on by a constant, so that the next load need not wait for the count.
    if (high == 0) {
      _mm512_storeu_si512(out, bytes);
      text += 64;
      out += 64;
      continue;
    }
    const unsigned seven_bit = static_cast<unsigned>(__builtin_ctzll(high));
    if (seven_bit >= 16) {
      _mm512_storeu_si512(out, bytes);
      text += seven_bit;
      out += seven_bit;
      continue;
    }
    const std::uint64_t starts = ~pair_second_bytes<std::uint64_t>(Lanes::leads(bytes));
    const __m512i at = _mm512_maskz_compress_epi8(starts, indices);
    const __m512i firsts = _mm512_permutexvar_epi8(at, bytes);
    const __m512i nexts = _mm512_permutexvar_epi8(at, _mm512_loadu_si512(text + 1));
    const __m512i low = Lanes::entries(_mm512_castsi512_si128(firsts), _mm512_castsi512_si128(nexts));
    const __m512i high_half = Lanes::entries(_mm512_extracti32x4_epi32(firsts, 1), _mm512_extracti32x4_epi32(nexts, 1));
    unsigned count = put_entries_to_empty(low, out);
    if (count == 16) count += put_entries_to_empty(high_half, out);
    // The 33rd character starts at byte 64 at the latest, where pdep finds no bit and gives 64.
    text += _tzcnt_u64(_pdep_u64(std::uint64_t{1} << count, starts));
    if (count < 32) break;
  }
  to = out;
  const bool took = text != from;
  from = text;
  return took;
}

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace wide
#else
namespace wide {
struct sjis_to_utf8_lanes;
struct euc_to_utf8_lanes;
struct euc_to_sjis_lanes;
template <class Lanes>
inline bool lead_byte_run(const char*&, const char*, char*&) {
  return false;
}
}  // namespace wide
#endif

}  // namespace morvik
