#pragma once
// Sixteen bytes at a time for the kernels that read Shift_JIS: which bytes may lead a pair, and
// from that where every character of the block starts. A kernel then converts the characters
// of a block each on its own, instead of finding the next one from the length of the last,
// which would make every character wait for the table loads of the one before.
#include <cstddef>
#include <cstdint>

#include "morvik/blocks.h"

namespace morvik {

inline constexpr std::size_t pair_block_size = run_block_size;

// Shift_JIS lead bytes 81-9F and E0-FC.
inline std::uint32_t sjis_lead_bits(const char* text) {
  return byte_range_bits(text, 0x81, 0x1F) | byte_range_bits(text, 0xE0, 0x1D);
}

// The second bytes of the pairs, given the bytes that would lead a pair where a character starts
// and a character starting at bit 0. A byte after one that is no lead starts a character, so
// in every run of leads the pairs start at the run's first byte and every other byte after it;
// an odd run takes the byte after it as a second byte. Adding a run's lowest bit clears the run
// and sets the bit after it, so that (leads + start) ^ leads is the run and the byte after:
// of those, the bits of the other parity than the start's are the second bytes. Bit 16 is a
// second byte past a block of 16 in 32 bits; in 64 bits (the wide blocks) bit 64 is lost.
template <class Word>
constexpr Word pair_second_bytes(Word leads) {
  constexpr Word even = static_cast<Word>(0x5555555555555555u);
  const Word run_starts = leads & ~(leads << 1);
  const Word from_even = ((leads + (run_starts & even)) ^ leads) & ~even;
  const Word from_odd = ((leads + (run_starts & ~even)) ^ leads) & even;
  return from_even | from_odd;
}

// Bytes a kernel must have at `text` for convert_pair_block: the block and a cut pair's second.
inline constexpr std::size_t pair_block_reach = pair_block_size + 1;

// Converts the first eight characters of the block at `text` whose pair leads are `leads`.
// There are always eight, all of them in the first fifteen bytes or ending at the sixteenth,
// since none is longer than two: a loop that always runs eight times is never mispredicted at
// its end. `Kernel::put_character(at, out)` writes the character at `at`, or returns false
// where the kernel stops. False, with `text` unmoved, where the first character is one to stop at.
template <class Kernel>
inline bool convert_pair_block(const char*& text, char*& out, std::uint32_t leads) {
  // Bit 16 is set unless a pair is cut there, and then the eight characters end before it.
  std::uint32_t starts = ~pair_second_bytes(leads);
#if defined(__GNUC__)
#pragma GCC unroll 8
#endif
  for (int i = 0; i < 8; ++i) {
    const unsigned at = lowest_bit(starts);
    starts &= starts - 1;
    if (!Kernel::put_character(text + at, out)) {
      text += at;
      return at != 0;
    }
  }
  text += lowest_bit(starts);
  return true;
}

}  // namespace morvik
