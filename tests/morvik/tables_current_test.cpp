// The committed tables are what the generator makes now, and the compiled structure holds,
// at every one of the 65,536 indexes of every table, exactly the generator's value.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "morvik/code_table.h"

namespace {

std::string source_root() {
  const char* root = std::getenv("KORVEL_SOURCE_DIR");
  return root ? root : ".";
}

bool have_python() { return std::system("python3 -c pass >/dev/null 2>&1") == 0; }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string temporary_path(const char* name) {
  return (testing::TempDir() + "korvel_" + std::to_string(getpid()) + "_" + name);
}

std::string generator() { return "python3 '" + source_root() + "/tools/generate_tables.py'"; }

TEST(TablesCurrent, CommittedSourceIsTheGeneratorsOutput) {
  if (!have_python()) GTEST_SKIP() << "python3 is missing: the generator cannot run";
  const std::string output = temporary_path("tables.cpp");
  ASSERT_EQ(std::system((generator() + " --output '" + output + "'").c_str()), 0);
  const std::string fresh = read_file(output);
  const std::string committed = read_file(source_root() + "/morvik/tables.cpp");
  std::remove(output.c_str());
  ASSERT_FALSE(fresh.empty());
  EXPECT_TRUE(fresh == committed)
      << "morvik/tables.cpp is stale: run tools/generate_tables.py (" << fresh.size()
      << " bytes generated, " << committed.size() << " committed)";
}

TEST(TablesCurrent, EveryIndexOfEveryTableMatchesTheGenerator) {
  if (!have_python()) GTEST_SKIP() << "python3 is missing: the generator cannot run";
  const std::string dump = temporary_path("tables.dump");
  ASSERT_EQ(std::system((generator() + " --dump > '" + dump + "'").c_str()), 0);
  std::map<std::string, std::map<std::int32_t, std::uint32_t>> expected;
  {
    std::ifstream in(dump);
    std::string name, index, value;
    while (in >> name >> index >> value)
      expected[name][static_cast<std::int32_t>(std::stoul(index, nullptr, 16))] =
          static_cast<std::uint32_t>(std::stoul(value, nullptr, 16));
  }
  std::remove(dump.c_str());

  const struct {
    const char* name;
    const morvik::code_table* table;
  } tables[] = {
      {"sjis_to_unicode", &morvik::sjis_to_unicode},
      {"unicode_to_sjis", &morvik::unicode_to_sjis},
      {"euc_to_unicode", &morvik::euc_to_unicode},
      {"jisx0212_to_unicode", &morvik::jisx0212_to_unicode},
      {"unicode_to_euc", &morvik::unicode_to_euc},
      {"ibm_ext_to_euc", &morvik::ibm_ext_to_euc},
      {"euc_to_ibm_ext", &morvik::euc_to_ibm_ext},
      {"sjis_frequency", &morvik::sjis_frequency},
      {"euc_frequency", &morvik::euc_frequency},
      {"unicode_frequency", &morvik::unicode_frequency},
  };
  ASSERT_EQ(expected.size(), std::size(tables)) << "the dump names other tables";
  for (const auto& table : tables) {
    const auto& values = expected[table.name];
    int mismatches = 0;
    for (std::int32_t index = 0; index <= 0xFFFF; ++index) {
      const auto found = values.find(index);
      const std::uint32_t want = found == values.end() ? 0 : found->second;
      const std::uint32_t got = table.table->lookup(index);
      if (got != want && ++mismatches <= 10) {
        ADD_FAILURE() << table.name << "[" << std::hex << std::uppercase << index << "]: compiled "
                      << got << ", generator " << want;
      }
    }
    EXPECT_EQ(mismatches, 0) << table.name;
    std::printf("%-20s %5zu entries match\n", table.name, values.size());
  }
}

}  // namespace
