// The run counts of the fused engine against their byte-by-byte definitions, in the form this
// machine builds (SSE2 on x86-64) and in eight-byte words, the form of the 32-bit DLL.
#include <gtest/gtest.h>

#include <string>

#include "morvik/blocks.h"

namespace {

using namespace morvik;

unsigned seven_bit_run_by_bytes(const char* text) {
  unsigned at = 0;
  while (at < run_block_size && static_cast<unsigned char>(text[at]) < 0x80) ++at;
  return at;
}

unsigned plain_jis_run_by_bytes(const char* text) {
  unsigned at = 0;
  for (; at < run_block_size; ++at) {
    const unsigned b = static_cast<unsigned char>(text[at]);
    if (b >= 0x80 || b == 0x1B || b == 0x0E || b == 0x0F) break;
  }
  return at;
}

// Every pair of byte values at every place of a block of 7-bit text: a byte just above one
// that ends a run (0x1C after ESC, 0x10 after SI) is where the word form marks a byte falsely.
TEST(blocks, runs_end_at_the_first_byte_that_ends_them) {
  for (unsigned at = 0; at < run_block_size; ++at) {
    for (unsigned first = 0; first < 256; ++first) {
      for (unsigned second = 0; second < 256; ++second) {
        char block[run_block_size];
        for (unsigned i = 0; i < run_block_size; ++i) block[i] = static_cast<char>('a' + i);
        block[at] = static_cast<char>(first);
        if (at + 1 < run_block_size) block[at + 1] = static_cast<char>(second);
        const std::string where = "bytes " + std::to_string(first) + ", " + std::to_string(second) + " at " +
                                  std::to_string(at);
        ASSERT_EQ(seven_bit_run(block), seven_bit_run_by_bytes(block)) << where;
        ASSERT_EQ(plain_jis_run(block), plain_jis_run_by_bytes(block)) << where;
#if defined(MORVIK_BLOCK_WORDS)
        ASSERT_EQ(run_in_words(block, seven_bit_run_ends), seven_bit_run_by_bytes(block)) << where;
        ASSERT_EQ(run_in_words(block, plain_jis_run_ends), plain_jis_run_by_bytes(block)) << where;
#endif
      }
    }
  }
}

}  // namespace
