// Every input a fuzzer ever found, and every hand-written hard case, kept under
// fuzz/regressions/<target>/ and replayed through the fuzz targets' own checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/targets.h"
#include "tests/reliability/request_samples.h"

namespace korvel::fuzz {
// Test names and failures show the target by name.
inline void PrintTo(const target& t, std::ostream* out) { *out << t.name; }
}  // namespace korvel::fuzz

namespace korvel::reliability {
namespace {

namespace fs = std::filesystem;

struct broken_property : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void throw_broken_property(const std::string& message) { throw broken_property(message); }

fs::path regressions_directory() {
  const char* const source = std::getenv("KORVEL_SOURCE_DIR");
  return fs::path(source != nullptr ? source : ".") / "fuzz" / "regressions";
}

std::string read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class replay_test : public ::testing::TestWithParam<fuzz::target> {};

TEST_P(replay_test, every_committed_input_passes) {
  const fuzz::target& target = GetParam();
  fuzz::set_failure_handler(throw_broken_property);
  const fs::path directory = regressions_directory() / target.name;
  std::vector<fs::path> inputs;
  if (fs::is_directory(directory))
    for (const auto& entry : fs::directory_iterator(directory))
      if (entry.is_regular_file() && entry.path().extension() != ".md") inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& path : inputs) {
    const std::string bytes = read_file(path);
    try {
      target.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const broken_property& error) {
      ADD_FAILURE() << target.name << "/" << path.filename().string() << ": " << error.what() << "\n  input "
                    << hex(bytes);
    }
  }
  fuzz::set_failure_handler(nullptr);
  std::printf("%s: %zu inputs replayed\n", target.name, inputs.size());
}

INSTANTIATE_TEST_SUITE_P(targets, replay_test, ::testing::ValuesIn(fuzz::all_targets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvel::reliability
