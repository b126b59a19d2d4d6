#include "cli/large_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using morvik_cli::large_page_pool;

constexpr std::size_t kib = 1024;

TEST(LargePagePool, ServesOnlyLargeInputsOfKnownSize) {
  struct serves_case {
    std::uint64_t input_size;
    bool served;
  };
  const serves_case cases[] = {
      {0, false},
      {large_page_pool::smallest_input - 1, false},
      {large_page_pool::smallest_input, true},
      {UINT64_MAX - 1, true},
      {UINT64_MAX, false},  // a pipe's size is unknown
  };
  for (const serves_case& c : cases) {
    EXPECT_EQ(large_page_pool::serves(c.input_size), c.served) << c.input_size;
    large_page_pool pool;
    pool.prepare(c.input_size);
    if (!c.served) {
      EXPECT_FALSE(pool.active()) << c.input_size;
      EXPECT_EQ(pool.allocate(64 * kib), nullptr) << c.input_size;
    }
    EXPECT_EQ(pool.allocate(64 * kib) != nullptr, pool.active()) << c.input_size;
  }
}

TEST(LargePagePool, TakesTheSystemsSettings) {
  struct setting_case {
    const char* size_setting;  // for 2 MiB pages
    const char* general_setting;
    bool offered;
  };
  const setting_case cases[] = {
      {"", "always [madvise] never\n", true},  // a kernel without settings for each size
      {"", "[always] madvise never\n", true},
      {"", "always madvise [never]\n", false},
      {"", "madvise", false},  // nothing in brackets: no choice in use
      {"", "", false},
      {"always [inherit] madvise never\n", "always [madvise] never\n", true},
      {"always [inherit] madvise never\n", "always madvise [never]\n", false},
      {"always inherit madvise [never]\n", "always [madvise] never\n", false},
      {"[always] inherit madvise never\n", "always madvise [never]\n", true},
      {"always inherit [madvise] never\n", "", true},
  };
  for (const setting_case& c : cases) {
    EXPECT_EQ(morvik_cli::large_pages_offered_by(c.size_setting, c.general_setting), c.offered)
        << c.size_setting << " / " << c.general_setting;
  }
}

#if defined(__linux__)

// The pool's own bookkeeping, where the system offers large pages (elsewhere it stays off).
bool prepared(large_page_pool& pool, std::uint64_t input_size) {
  pool.prepare(input_size);
  return pool.active();
}

TEST(LargePagePool, HandsOutAlignedDisjointBlocksUntilFull) {
  large_page_pool pool;
  if (!prepared(pool, 4 << 20)) GTEST_SKIP() << "this system offers no large pages";
  EXPECT_EQ(pool.allocate(large_page_pool::smallest_allocation - 1), nullptr) << "small requests belong to the heap";

  std::vector<char*> blocks;
  const std::size_t size = 100 * kib + 1;
  while (char* block = static_cast<char*>(pool.allocate(size))) {
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 64, 0u);
    EXPECT_TRUE(pool.owns(block) && pool.owns(block + size - 1));
    std::memset(block, static_cast<int>(blocks.size()), size);
    blocks.push_back(block);
  }
  // A block may wait for its place in a page: at most a page each is left unused.
  EXPECT_GE(blocks.size(), large_page_pool::region_size / (size + 4096));
  for (std::size_t i = 1; i < blocks.size() && i < 4; ++i) {
    const std::uintptr_t distance = reinterpret_cast<std::uintptr_t>(blocks[i]) - reinterpret_cast<std::uintptr_t>(blocks[0]);
    EXPECT_GE((distance + 512) % 4096, 1024u) << "blocks 0 and " << i << " are close to a multiple of 4 KiB apart";
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i][0], static_cast<char>(i)) << "block " << i << " was overwritten";
    EXPECT_EQ(blocks[i][size - 1], static_cast<char>(i)) << "block " << i << " was overwritten";
  }
  EXPECT_EQ(pool.allocate(SIZE_MAX), nullptr);
}

TEST(LargePagePool, StartsOverOnceEverythingCameBack) {
  large_page_pool pool;
  if (!prepared(pool, 1 << 20)) GTEST_SKIP() << "this system offers no large pages";
  void* const first = pool.allocate(64 * kib);
  void* const second = pool.allocate(120 * kib);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);

  int on_the_heap = 0;
  EXPECT_FALSE(pool.release(&on_the_heap));
  EXPECT_TRUE(pool.release(first));
  void* const third = pool.allocate(64 * kib);
  EXPECT_NE(third, first) << "reused while the second block was still out";
  EXPECT_TRUE(pool.release(second));
  EXPECT_TRUE(pool.release(third));
  EXPECT_EQ(pool.allocate(64 * kib), first);
}

TEST(LargePagePool, AnInputItDoesNotServeGoesToTheHeapButOldBlocksComeBack) {
  large_page_pool pool;
  if (!prepared(pool, 1 << 20)) GTEST_SKIP() << "this system offers no large pages";
  void* const first = pool.allocate(64 * kib);
  ASSERT_NE(first, nullptr);
  pool.prepare(1000);  // a small file next
  EXPECT_FALSE(pool.active());
  EXPECT_EQ(pool.allocate(64 * kib), nullptr);
  EXPECT_TRUE(pool.release(first));
  pool.prepare(1 << 20);
  EXPECT_EQ(pool.allocate(64 * kib), first) << "the region starts over when all came back";
}

#endif

}  // namespace
