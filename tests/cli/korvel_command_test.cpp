// The built korvel command: --help and --version, and the exit status that follows the
// module's answer (0 for 2xx, 1 for any other, the answer still printed, the message on stderr).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct run_result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

run_result run_korvel(const std::vector<std::string>& arguments, const std::string& input = "") {
  const fs::path directory = fs::temp_directory_path();
  const fs::path in_path = directory / ("korvel_test_in_" + std::to_string(getpid()));
  const fs::path out_path = directory / ("korvel_test_out_" + std::to_string(getpid()));
  const fs::path err_path = directory / ("korvel_test_err_" + std::to_string(getpid()));
  std::ofstream(in_path, std::ios::binary) << input;
  std::vector<std::string> copies = arguments;
  std::string program = KORVEL_COMMAND_PATH;
  std::vector<char*> argv = {program.data()};
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(open(in_path.c_str(), O_RDONLY), 0);
    dup2(open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  run_result result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  fs::remove(in_path);
  fs::remove(out_path);
  fs::remove(err_path);
  return result;
}

TEST(KorvelCommand, ExitStatusFollowsTheAnswer) {
  struct answer_case {
    const char* name;
    std::vector<std::string> arguments;
    std::string input;
    int status;
    std::string first_line;  // of the answer on stdout
    std::string message;     // stderr
  };
  const std::string module = KORVEL_MODULE_PATH;
  const std::vector<answer_case> cases = {
      {"a function that answers", {"--module", module, "call", "analyze encoding", "text"}, "", 0,
       "SAORI/1.0 200 OK", ""},
      {"an unknown function", {"--module", module, "call", "no such function"}, "", 1,
       "SAORI/1.0 400 Bad Request", "korvel: the module answered SAORI/1.0 400 Bad Request\n"},
      {"a bad encoding name", {"--module", module, "call", "translate", "x", "latin1"}, "", 1,
       "SAORI/1.0 400 Bad Request", "korvel: the module answered SAORI/1.0 400 Bad Request\n"},
      {"the version probe", {"--module", module, "raw", "-"}, "GET Version SAORI/1.0\r\n\r\n", 0,
       "SAORI/1.0 200 OK", ""},
      {"a request that does not parse", {"--module", module, "raw", "-"}, "nonsense\r\n\r\n", 1,
       "SAORI/1.0 400 Bad Request", "korvel: the module answered SAORI/1.0 400 Bad Request\n"},
      {"a module that is not there", {"--module", "/nonexistent/KORVEL.so", "call", "x"}, "", 1, "",
       ""},
      {"a usage error", {"call"}, "", 2, "", ""},
  };
  for (const answer_case& c : cases) {
    const run_result r = run_korvel(c.arguments, c.input);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\r')), c.first_line) << c.name;
    if (!c.message.empty()) {
      EXPECT_EQ(r.err, c.message) << c.name;
    } else if (c.status != 0) {
      EXPECT_NE(r.err, "") << c.name;
    } else {
      EXPECT_EQ(r.err, "") << c.name;
    }
  }
}

TEST(KorvelCommand, HelpAndVersion) {
  for (const char* option : {"--help", "-h"}) {
    const run_result r = run_korvel({option});
    EXPECT_EQ(r.status, 0) << option;
    EXPECT_EQ(r.out.rfind("usage: korvel", 0), 0u) << option << ":\n" << r.out;
    EXPECT_NE(r.out.find("--version"), std::string::npos) << option;
    EXPECT_EQ(r.err, "") << option;
  }
  for (const char* option : {"--version", "-V"}) {
    const run_result r = run_korvel({option});
    EXPECT_EQ(r.status, 0) << option;
    EXPECT_EQ(r.out, std::string("korvel ") + KORVEL_COMMAND_VERSION + "\n") << option;
  }
  // Without arguments the usage goes to stderr, as an error.
  const run_result r = run_korvel({});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("usage: korvel", 0), 0u) << r.err;
}

}  // namespace
