// Every Shift_JIS and EUC-JP code, and every UTF-16 unit written to both, against the results
// that tests/tools/codec_oracle.py derives from Python's cp932 and euc_jp codecs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "morvik/morvik.h"
#include "tests/morvik/codec_testing.h"

namespace {

using codec_testing::bytes;
using codec_testing::hex;

struct oracle_case {
  std::string input;
  std::string expected;
};

struct conversion {
  morvik::encoding_id from;
  morvik::encoding_id to;
  std::size_t cases;  // how many codes the oracle must cover
};

const std::map<std::string, conversion> conversions = {
    // single bytes, then every lead byte with every second byte
    {"sjis-utf16le", {morvik::sjis, morvik::unicode, 256 + 60 * 256}},
    // single bytes, every lead byte with every second byte, 8F with every two bytes
    {"euc-utf16le", {morvik::euc, morvik::unicode, 256 + 111 * 256 + 65536}},
    {"utf16le-sjis", {morvik::unicode, morvik::sjis, 65536}},
    {"utf16le-euc", {morvik::unicode, morvik::euc, 65536}},
};

bool run_oracle(std::map<std::string, std::vector<oracle_case>>& cases) {
  if (std::system("command -v python3 >/dev/null 2>&1") != 0) return false;
  std::string command = "python3 '" + codec_testing::source_path("tests/tools/codec_oracle.py") + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  char line[256];
  while (std::fgets(line, sizeof line, pipe)) {
    char kind[32], input[64], expected[128];
    if (std::sscanf(line, "%31s %63s %127s", kind, input, expected) != 3) continue;
    cases[kind].push_back({bytes(input), bytes(expected)});
  }
  return pclose(pipe) == 0;
}

class conformance : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    oracle_ran_ = run_oracle(cases_);
  }
  void check(const std::string& kind) {
    if (!oracle_ran_) GTEST_SKIP() << "python3 is not on PATH (or the oracle failed): no reference";
    const conversion& pair = conversions.at(kind);
    const std::vector<oracle_case>& list = cases_[kind];
    ASSERT_EQ(list.size(), pair.cases) << kind << ": the oracle does not cover every code";
    int failures = 0;
    for (const oracle_case& c : list) {
      std::string actual = morvik::translate_text(c.input, pair.from, pair.to);
      if (actual == c.expected) continue;
      if (++failures <= 20) {
        ADD_FAILURE() << kind << " " << hex(c.input) << ": expected " << hex(c.expected)
                      << ", got " << hex(actual);
      }
    }
    EXPECT_EQ(failures, 0) << kind << ": codes that differ from the reference";
  }

  static inline bool oracle_ran_ = false;
  static inline std::map<std::string, std::vector<oracle_case>> cases_;
};

TEST_F(conformance, every_shift_jis_code_reads_as_cp932) { check("sjis-utf16le"); }
TEST_F(conformance, every_euc_jp_code_reads_as_the_reference) { check("euc-utf16le"); }
TEST_F(conformance, every_utf16_unit_writes_its_preferred_shift_jis_code) { check("utf16le-sjis"); }
TEST_F(conformance, every_utf16_unit_writes_its_preferred_euc_jp_code) { check("utf16le-euc"); }

}  // namespace
