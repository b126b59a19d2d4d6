// The guesser's model is what its generator makes of the committed counts, and the counts are
// what the generator reads in the named corpus when that corpus is installed.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "morvik/code_table.h"
#include "morvik/guess_tables.h"
#include "tests/morvik/codec_testing.h"

namespace {

using codec_testing::read_file;
using codec_testing::source_path;

bool have_python() { return std::system("python3 -c pass >/dev/null 2>&1") == 0; }

std::string temporary_path(const char* name) {
  return testing::TempDir() + "korvel_" + std::to_string(getpid()) + "_" + name;
}

std::string generator() { return "python3 '" + source_path("tools/make_guess_tables.py") + "'"; }

TEST(GuessTablesCurrent, CommittedModelIsTheGeneratorsOutput) {
  if (!have_python()) GTEST_SKIP() << "python3 is missing: the generator cannot run";
  const std::string output = temporary_path("guess_tables.cpp");
  ASSERT_EQ(std::system((generator() + " --output '" + output + "'").c_str()), 0);
  const std::string fresh = read_file(output);
  const std::string committed = read_file(source_path("morvik/guess_tables.cpp"));
  std::remove(output.c_str());
  ASSERT_FALSE(fresh.empty());
  EXPECT_TRUE(fresh == committed) << "morvik/guess_tables.cpp is stale: run tools/make_guess_tables.py ("
                                  << fresh.size() << " bytes generated, " << committed.size() << " committed)";
}

// The flat model the guesser reads, entry by entry against what its parts say: the class runs,
// a character's own cost, or its class's unseen cost for the group of its code in the library's
// Shift_JIS table.
TEST(GuessTablesCurrent, FlatModelIsTheRunsAndTheCosts) {
  std::size_t run = 0;
  std::size_t own = 0;
  for (std::uint32_t code = 0; code < 0x10000; ++code) {
    if (run + 1 < morvik::guess_class_run_count && morvik::guess_class_runs[run + 1].first == code) ++run;
    const unsigned character_class = morvik::guess_class_runs[run].character_class;
    ASSERT_EQ(morvik::guess_bmp_class[code], character_class) << std::hex << "U+" << code;
    std::uint16_t cost;
    if (own < morvik::guess_character_count && morvik::guess_character_costs[own].code == code) {
      cost = morvik::guess_character_costs[own++].cost;
    } else {
      const std::uint32_t sjis_code = morvik::unicode_to_sjis.lookup(static_cast<std::int32_t>(code));
      const int group = sjis_code == 0 ? 2 : sjis_code < morvik::guess_common_sjis_end ? 0 : 1;
      cost = morvik::guess_unseen_cost[character_class][group];
    }
    ASSERT_EQ(morvik::guess_bmp_cost[code], cost) << std::hex << "U+" << code;
  }
  EXPECT_EQ(own, morvik::guess_character_count);
}

TEST(GuessTablesCurrent, CommittedCountsAreTheCorpusCounts) {
  if (!have_python()) GTEST_SKIP() << "python3 is missing: the generator cannot run";
  // The counts name one version of the manual pages; another version counts differently.
  if (std::system("dpkg-query -W -f='${Version}' manpages-ja manpages-ja-dev 2>/dev/null | "
                  "grep -qx '0.5.0.0.20221215+dfsg-10.5.0.0.20221215+dfsg-1'") != 0)
    GTEST_SKIP() << "manpages-ja and manpages-ja-dev 0.5.0.0.20221215+dfsg-1 are not installed";
  const std::string counts = temporary_path("guess_counts.txt");
  ASSERT_EQ(std::system((generator() + " --count --counts '" + counts + "'").c_str()), 0);
  const std::string fresh = read_file(counts);
  const std::string committed = read_file(source_path("tools/data/guess_counts.txt"));
  std::remove(counts.c_str());
  ASSERT_FALSE(fresh.empty());
  EXPECT_TRUE(fresh == committed) << "tools/data/guess_counts.txt is stale: run tools/make_guess_tables.py --count";
}

}  // namespace
