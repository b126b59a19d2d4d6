// The built morvik command: conversions against translate_text, names, exit statuses and
// messages, write failures, and memory on a large input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_samples.h"

namespace {

namespace fs = std::filesystem;
using cli_samples::convertible_encodings;
using cli_samples::hex;

struct run_result {
  int status = -1;  // exit status; 128 + signal when killed
  std::string out;
  std::string err;
  long max_rss_kib = 0;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class MorvikCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    morvik::initialize_library();
    char pattern[] = "/tmp/morvik_command_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
  }
  static void TearDownTestSuite() { fs::remove_all(directory_); }

  static fs::path file(const std::string& name, std::string_view bytes) {
    const fs::path path = directory_ / name;
    write_file(path, bytes);
    return path;
  }

  // Runs the command with `input` on stdin; stdout goes to a file unless `stdout_path` names
  // another target (/dev/full, say).
  static run_result run(const std::vector<std::string>& arguments, std::string_view input = "",
                        const std::string& stdout_path = "") {
    const fs::path in_path = file("stdin", input);
    const fs::path out_path = stdout_path.empty() ? directory_ / "stdout" : fs::path(stdout_path);
    const fs::path err_path = directory_ / "stderr";
    std::vector<char*> argv;
    std::string program = MORVIK_COMMAND_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
      const int in = open(in_path.c_str(), O_RDONLY);
      const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      execv(argv[0], argv.data());
      _exit(127);
    }
    run_result result = finish(child, "", err_path);
    if (stdout_path.empty()) result.out = read_file(out_path);
    return result;
  }

  static run_result finish(pid_t child, std::string out, const fs::path& err_path) {
    run_result result;
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.max_rss_kib = usage.ru_maxrss;
    result.out = std::move(out);
    result.err = read_file(err_path);
    return result;
  }

  static inline fs::path directory_;
};

std::string byte_report(const std::string& expected, const std::string& actual) {
  return "\n  expected: " + hex(expected) + "\n  actual:   " + hex(actual);
}

TEST_F(MorvikCommand, EveryPairEqualsTranslateText) {
  for (const auto& from : convertible_encodings()) {
    const std::string input = cli_samples::sample_in(from.id);
    const fs::path path = file("input", input);
    for (const auto& to : convertible_encodings()) {
      const std::string expected = morvik::translate_text(input, from.id, to.id);
      for (const char* block_size : {"65536", "3"}) {
        const run_result r = run({"--from", from.name, "--to", to.name, "--block-size",
                                  block_size, path.string()});
        const std::string name = std::string(from.name) + " to " + to.name + ", blocks of " +
                                 block_size;
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out, expected) << name << byte_report(expected, r.out);
      }
    }
  }
}

TEST_F(MorvikCommand, NamesAreCaseInsensitiveWithAliases) {
  struct alias_case {
    const char* name;
    morvik::encoding_id id;
  };
  const std::vector<alias_case> cases = {
      {"shift_jis", morvik::sjis},  {"SJIS", morvik::sjis},       {"cp932", morvik::sjis},
      {"WINDOWS-31J", morvik::sjis}, {"euc-jp", morvik::euc},      {"EucJp", morvik::euc},
      {"jis", morvik::jis},         {"iso-2022-jp", morvik::iso2022jp},
      {"utf-8", morvik::utf8},      {"Utf8", morvik::utf8},       {"utf-16be", morvik::utf16be},
      {"utf-16le", morvik::unicode}, {"Unicode", morvik::unicode}, {"ansi", morvik::ansi},
      {"ascii", morvik::ansi},
  };
  const std::string sjis_text = cli_samples::sample_in(morvik::sjis);
  const fs::path sjis_path = file("sjis", sjis_text);
  for (const alias_case& c : cases) {
    // As target, from Shift_JIS; as source, its own text to UTF-8.
    const std::string as_target = morvik::translate_text(sjis_text, morvik::sjis, c.id);
    run_result r = run({"-f", "Shift_JIS", "-t", c.name, sjis_path.string()});
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(r.out, as_target) << c.name << " as target" << byte_report(as_target, r.out);

    const std::string own = cli_samples::sample_in(c.id);
    const std::string as_source = morvik::translate_text(own, c.id, morvik::utf8);
    r = run({std::string("--from=") + c.name, "--to=UTF-8"}, own);
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(r.out, as_source) << c.name << " as source" << byte_report(as_source, r.out);
  }
}

// Fixed bytes from Python's codecs, so the command is not only checked against itself.
TEST_F(MorvikCommand, KnownConversions) {
  struct known_case {
    const char* name;
    std::vector<std::string> arguments;
    std::string input;
    std::string expected;
  };
  const std::vector<known_case> cases = {
      {"Shift_JIS to UTF-8", {"-f", "sjis", "-t", "utf-8"}, "\x93\xFA\x96\x7B",
       "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"UTF-8 to EUC-JP", {"-f", "utf-8", "-t", "euc-jp"}, "\xE6\x97\xA5\xE6\x9C\xAC",
       "\xC6\xFC\xCB\xDC"},
      {"EUC-JP to ISO-2022-JP", {"-f", "euc-jp", "-t", "iso-2022-jp"}, "a\xC6\xFC\xCB\xDC",
       "a\x1B$BF|K\\\x1B(B"},
      {"UTF-8 to UTF-16LE", {"-f", "utf-8", "-t", "utf-16le"}, "A\xE3\x81\x82",
       std::string("A\0\x42\x30", 4)},
      {"UTF-8 to UTF-8 with a signature", {"-f", "shift_jis", "-t", "utf-8", "--bom"}, "A",
       "\xEF\xBB\xBF" "A"},
      {"signature dropped", {"-f", "utf-8", "-t", "sjis", "--bom"}, "\xEF\xBB\xBF" "A", "A"},
  };
  for (const known_case& c : cases) {
    const run_result r = run(c.arguments, c.input);
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(r.out, c.expected) << c.name << byte_report(c.expected, r.out);
  }
}

TEST_F(MorvikCommand, InputsInTurn) {
  const std::string a = cli_samples::sample_in(morvik::sjis);
  const std::string b = "plain second file\n";
  const fs::path a_path = file("a", a);
  const fs::path b_path = file("b", b);
  const std::string a_out = morvik::translate_text(a, morvik::sjis, morvik::utf8);
  const std::string b_out = morvik::translate_text(b, morvik::sjis, morvik::utf8);
  struct inputs_case {
    const char* name;
    std::vector<std::string> files;
    std::string expected;
  };
  const std::vector<inputs_case> cases = {
      {"stdin when no file", {}, a_out},
      {"dash for stdin", {b_path.string(), "-", b_path.string()}, b_out + a_out + b_out},
      {"after --", {"--", a_path.string()}, a_out},
  };
  for (const inputs_case& c : cases) {
    std::vector<std::string> arguments = {"--from", "sjis", "--to", "utf8"};
    arguments.insert(arguments.end(), c.files.begin(), c.files.end());
    const run_result r = run(arguments, a);
    EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
    EXPECT_EQ(r.out, c.expected) << c.name << byte_report(c.expected, r.out);
  }
}

TEST_F(MorvikCommand, AutoDetectsEachInput) {
  const std::string euc = cli_samples::sample_in(morvik::euc);
  const std::string utf8 = cli_samples::sample_in(morvik::utf8);
  const fs::path euc_path = file("euc", euc);
  const fs::path utf8_path = file("utf8", utf8);
  const std::string expected =
      morvik::translate_text(euc, morvik::detect_encoding(euc, 8192), morvik::sjis) +
      morvik::translate_text(utf8, morvik::detect_encoding(utf8, 8192), morvik::sjis);
  for (const char* block_size : {"65536", "1"}) {
    const run_result r = run({"--from", "AUTO", "--to", "sjis", "--block-size", block_size,
                              euc_path.string(), utf8_path.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected) << "blocks of " << block_size << byte_report(expected, r.out);
  }
  // Without --from the source is detected too.
  const run_result r = run({"--to", "sjis", euc_path.string(), utf8_path.string()});
  EXPECT_EQ(r.out, expected) << byte_report(expected, r.out);
}

std::string name_of(morvik::encoding_id id) {
  for (const auto& e : convertible_encodings()) {
    if (e.id == id) return e.name;
  }
  if (id == morvik::utf32be) return "UTF-32BE";
  if (id == morvik::utf32le) return "UTF-32LE";
  return "unknown";
}

TEST_F(MorvikCommand, Detect) {
  std::vector<std::string> paths;
  std::string several;
  for (const auto& e : convertible_encodings()) {
    const std::string text = cli_samples::sample_in(e.id);
    paths.push_back(file(std::string("detect_") + e.name, text).string());
    const std::string name = name_of(morvik::detect_encoding(text, 8192));
    several += paths.back() + ": " + name + "\n";

    const run_result one = run({"--detect", paths.back()});
    EXPECT_EQ(one.status, 0) << e.name << ": " << one.err;
    EXPECT_EQ(one.out, name + "\n") << e.name;
  }
  // Two marks that the command names but does not convert.
  const run_result utf32 = run({"-d"}, std::string("\xFF\xFE\0\0A\0\0\0", 8));
  EXPECT_EQ(utf32.out, name_of(morvik::detect_encoding(std::string("\xFF\xFE\0\0A\0\0\0", 8),
                                                       8192)) + "\n");

  std::vector<std::string> arguments = {"--detect"};
  arguments.insert(arguments.end(), paths.begin(), paths.end());
  const run_result all = run(arguments);
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, several);
}

TEST_F(MorvikCommand, InformationOptions) {
  run_result r = run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("morvik ") + MORVIK_COMMAND_VERSION + "\n");

  r = run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("usage: morvik --from ENC --to ENC", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");

  r = run({"--list"});
  EXPECT_EQ(r.status, 0);
  for (const char* name : {"Shift_JIS", "SJIS", "CP932", "Windows-31J", "EUC-JP", "EUCJP",
                           "JIS", "ISO-2022-JP", "UTF-8", "UTF8", "UTF-16BE", "UTF-16LE",
                           "UNICODE", "ANSI", "ASCII", "auto"}) {
    EXPECT_NE(r.out.find(name), std::string::npos) << name << " missing from --list:\n" << r.out;
  }
}

TEST_F(MorvikCommand, UsageAndNameErrors) {
  struct error_case {
    const char* name;
    std::vector<std::string> arguments;
    std::string message;  // the first line of stderr
  };
  const std::vector<error_case> cases = {
      {"unknown source", {"--from", "latin1", "--to", "utf-8"},
       "morvik: unknown encoding 'latin1' (see --list)"},
      {"unknown target", {"--from", "sjis", "--to", "UTF-32"},
       "morvik: unknown encoding 'UTF-32' (see --list)"},
      {"empty name", {"--from=", "--to", "utf-8"}, "morvik: unknown encoding '' (see --list)"},
      {"no arguments", {}, "morvik: no target encoding (--to)"},
      {"no target", {"--from", "sjis"}, "morvik: no target encoding (--to)"},
      {"unknown option", {"--frm", "sjis"}, "morvik: unknown option '--frm'"},
      {"missing value", {"--to"}, "morvik: option '--to' needs a value"},
      {"value for a flag", {"--bom=yes", "--to", "utf-8"}, "morvik: option '--bom' takes no value"},
      {"detect with a target", {"--detect", "--to", "utf-8"},
       "morvik: --detect takes no --from or --to"},
      {"bad block size", {"--block-size", "0", "--to", "utf-8"}, "morvik: invalid block size"},
  };
  for (const error_case& c : cases) {
    const run_result r = run(c.arguments, "text");
    EXPECT_EQ(r.status, 2) << c.name;
    EXPECT_EQ(r.out, "") << c.name;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.message) << c.name << ":\n" << r.err;
    const bool is_usage = c.message.find("unknown encoding") == std::string::npos;
    EXPECT_EQ(r.err.find("usage: morvik") != std::string::npos, is_usage) << c.name << ":\n"
                                                                          << r.err;
  }
}

TEST_F(MorvikCommand, UnreadableFilesAreReportedAndSkipped) {
  const std::string text = cli_samples::sample_in(morvik::sjis);
  const fs::path good = file("good", text);
  const std::string converted = morvik::translate_text(text, morvik::sjis, morvik::utf8);
  const std::string missing = (directory_ / "missing").string();
  const std::string folder = directory_.string();
  struct unreadable_case {
    const char* name;
    std::vector<std::string> arguments;
    std::string expected_out;
    std::string expected_err;
  };
  const std::vector<unreadable_case> cases = {
      {"missing file between two good ones",
       {"--from", "sjis", "--to", "utf-8", "--bom", good.string(), missing, good.string()},
       "\xEF\xBB\xBF" + converted + "\xEF\xBB\xBF" + converted,
       "morvik: " + missing + ": No such file or directory\n"},
      {"a directory", {"--from", "sjis", "--to", "utf-8", "--bom", folder, good.string()},
       "\xEF\xBB\xBF" + converted, "morvik: " + folder + ": Is a directory\n"},
      {"a directory, detecting", {"--to", "utf-8", folder}, "",
       "morvik: " + folder + ": Is a directory\n"},
      {"detect a missing file", {"--detect", missing, good.string()},
       good.string() + ": " + name_of(morvik::detect_encoding(text, 8192)) + "\n",
       "morvik: " + missing + ": No such file or directory\n"},
  };
  for (const unreadable_case& c : cases) {
    const run_result r = run(c.arguments);
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.out, c.expected_out) << c.name << byte_report(c.expected_out, r.out);
    EXPECT_EQ(r.err, c.expected_err) << c.name;
  }
}

TEST_F(MorvikCommand, FullDiskStopsWithAMessage) {
  const fs::path big = file("big", std::string(300000, 'a'));
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--from", "ansi", "--to", "utf-16le", big.string(), big.string()},
        std::vector<std::string>{"--detect", big.string()},
        std::vector<std::string>{"--list"}}) {
    const run_result r = run(arguments, "", "/dev/full");
    EXPECT_EQ(r.status, 1) << arguments[0];
    EXPECT_EQ(r.err, "morvik: write error: No space left on device\n") << arguments[0];
  }
}

TEST_F(MorvikCommand, ClosedPipeIsAWriteError) {
  const fs::path big = file("big", std::string(4 << 20, 'a'));
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  const fs::path err_path = directory_ / "stderr";
  std::string program = MORVIK_COMMAND_PATH;
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    dup2(pipe_ends[1], 1);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    // The test runner may ignore SIGPIPE itself; the command must not rely on either.
    signal(SIGPIPE, SIG_DFL);
    execl(program.c_str(), program.c_str(), "--from", "ansi", "--to", "utf-8", big.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_ends[1]);
  char byte;
  ASSERT_EQ(read(pipe_ends[0], &byte, 1), 1);
  close(pipe_ends[0]);
  const run_result r = finish(child, "", err_path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "morvik: write error: Broken pipe\n");
}

// A whole-file approach would need the input and output in memory: 24 MB and more. A
// forked child starts with the parent's resident size as its peak, so the test holds no
// large buffer while the command runs, and a run on a small input gives the baseline.
TEST_F(MorvikCommand, MemoryStaysBoundedOnALargeFile) {
  const std::string unit = cli_samples::sample_in(morvik::sjis);
  const fs::path small = file("small", unit);
  const fs::path big = directory_ / "large";
  {
    std::ofstream out(big, std::ios::binary);
    for (std::size_t size = 0; size < (24u << 20); size += unit.size()) out << unit;
  }
  const run_result baseline = run({"--from", "sjis", "--to", "utf-8", small.string()});
  run_result r = run({"--from", "sjis", "--to", "utf-8", big.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  std::printf("peak resident size: %ld KiB for a small file, %ld KiB for 24 MiB\n",
              baseline.max_rss_kib, r.max_rss_kib);
  EXPECT_LT(r.max_rss_kib - baseline.max_rss_kib, 8 * 1024);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's own memory is larger than the bound
  EXPECT_LT(r.max_rss_kib, 16 * 1024);
#endif
  const std::string expected =
      morvik::translate_text(read_file(big), morvik::sjis, morvik::utf8);
  EXPECT_EQ(r.out.size(), expected.size());
  EXPECT_TRUE(r.out == expected) << "the large output differs";
  fs::remove(big);
}

}  // namespace
