// The sixteen-byte classification of the Shift_JIS readers: the lead bytes of a block against
// their byte-by-byte definitions, and the pairs' second bytes for every mask of leads (and for
// 64-byte masks of the wide blocks) against a walk over the block one character after the other.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "morvik/ansi_sjis.h"
#include "morvik/pair_blocks.h"

namespace {

using namespace morvik;

// Every byte value at every position of a block, among neighbours that change with it.
TEST(pair_blocks, lead_bits_byte_by_byte) {
  for (unsigned value = 0; value < 256; ++value) {
    char block[pair_block_size];
    for (std::size_t i = 0; i < pair_block_size; ++i) block[i] = static_cast<char>(value + 37 * i);
    std::uint32_t sjis = 0;
    for (std::size_t i = 0; i < pair_block_size; ++i) {
      const unsigned byte = static_cast<unsigned char>(block[i]);
      sjis |= std::uint32_t{is_sjis_lead_byte(byte)} << i;
    }
    EXPECT_EQ(sjis_lead_bits(block), sjis) << "block from " << value;
  }
}

// The Shift_JIS ranges and the edges of the signed comparison, at once and byte by byte (the
// 32-bit build without SSE2 takes the second), on blocks of every byte value.
TEST(pair_blocks, byte_ranges_at_once_and_byte_by_byte) {
  const unsigned ranges[][2] = {{0x81, 0x1F}, {0xE0, 0x1D}, {0x80, 0x80}, {0x00, 0x80}, {0xA1, 0x5E}, {0xFF, 1}};
  for (const auto& range : ranges) {
    for (unsigned value = 0; value < 256; ++value) {
      char block[pair_block_size];
      for (std::size_t i = 0; i < pair_block_size; ++i) block[i] = static_cast<char>(value + 17 * i);
      EXPECT_EQ(byte_range_bits(block, range[0], range[1]), byte_range_bits_by_bytes(block, range[0], range[1]))
          << "range from " << range[0] << ", block from " << value;
    }
  }
}

// A lead takes the next byte with it, whatever that is; bit 16 is the byte after the block.
std::uint32_t seconds_by_walking(std::uint32_t leads) {
  std::uint32_t seconds = 0;
  for (unsigned at = 0; at < pair_block_size;) {
    if (leads >> at & 1) {
      seconds |= std::uint32_t{1} << (at + 1);
      at += 2;
    } else {
      at += 1;
    }
  }
  return seconds;
}

TEST(pair_blocks, second_bytes_of_every_lead_mask) {
  for (std::uint32_t leads = 0; leads < 0x10000; ++leads) {
    ASSERT_EQ(pair_second_bytes(leads), seconds_by_walking(leads)) << "leads " << std::hex << leads;
  }
}

// The wide blocks' 64 bytes: random masks, dense and sparse, and runs of leads across the middle.
TEST(pair_blocks, second_bytes_of_64_bytes) {
  auto walked = [](std::uint64_t leads) {
    std::uint64_t seconds = 0;
    for (unsigned at = 0; at < 64; at += (leads >> at & 1) ? 2 : 1) {
      if ((leads >> at & 1) && at + 1 < 64) seconds |= std::uint64_t{1} << (at + 1);
    }
    return seconds;
  };
  std::mt19937_64 random(9);
  for (int i = 0; i < 100000; ++i) {
    std::uint64_t leads = random();
    if (i % 3 == 1) leads &= random();
    if (i % 3 == 2) leads |= random();
    ASSERT_EQ(pair_second_bytes(leads), walked(leads)) << "leads " << std::hex << leads;
  }
  for (unsigned from = 0; from < 64; ++from) {
    for (unsigned to = from; to <= 64; ++to) {
      const std::uint64_t run = (to == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << to) - 1) & ~((std::uint64_t{1} << from) - 1);
      ASSERT_EQ(pair_second_bytes(run), walked(run)) << "run " << from << "-" << to;
    }
  }
}

}  // namespace
