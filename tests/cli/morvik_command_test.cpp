// The built morvik command: conversions against translate_text, names, exit statuses and
// messages, write failures, and memory on a large input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli_samples.h"
#include "morvik/guess.h"

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

  // The command line for execv: the command and `arguments`, whose strings `words` holds.
  static std::vector<char*> command_line(const std::vector<std::string>& arguments, std::vector<std::string>& words) {
    words.assign(1, MORVIK_COMMAND_PATH);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    return argv;
  }

  // Runs the command with `input` on stdin; stdout goes to a file unless `stdout_path` names
  // another target (/dev/full, say).
  static run_result run(const std::vector<std::string>& arguments, std::string_view input = "",
                        const std::string& stdout_path = "") {
    const fs::path in_path = file("stdin", input);
    const fs::path out_path = stdout_path.empty() ? directory_ / "stdout" : fs::path(stdout_path);
    const fs::path err_path = directory_ / "stderr";
    std::vector<std::string> words;
    std::vector<char*> argv = command_line(arguments, words);

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

  // Starts the command with stdout on the write end of `pipe_ends` and stderr in the file
  // "stderr", and closes the write end here: the caller reads the other end, then finish()es.
  static pid_t start_into_pipe(const std::vector<std::string>& arguments, const int pipe_ends[2]) {
    std::vector<std::string> words;
    std::vector<char*> argv = command_line(arguments, words);
    const fs::path err_path = directory_ / "stderr";
    const pid_t child = fork();
    if (child == 0) {
      close(pipe_ends[0]);
      dup2(pipe_ends[1], 1);
      const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(err, 2);
      // The test runner may ignore SIGPIPE itself; the command must not rely on either.
      signal(SIGPIPE, SIG_DFL);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipe_ends[1]);
    return child;
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

// Files around the command's own block sizes, the sample repeated so that characters and
// escapes fall across every block end: a file and the same bytes on standard input give the
// whole text's conversion.
TEST_F(MorvikCommand, FilesAroundTheBlockSizeEqualStandardInput) {
  const std::pair<morvik::encoding_id, morvik::encoding_id> pairs[] = {
      {morvik::sjis, morvik::utf8}, {morvik::utf8, morvik::sjis}, {morvik::euc, morvik::sjis},
      {morvik::sjis, morvik::euc},  {morvik::sjis, morvik::jis},  {morvik::utf8, morvik::euc},
      {morvik::jis, morvik::utf8},  {morvik::euc, morvik::utf8},  {morvik::utf8, morvik::jis},
  };
  const auto name_of_id = [](morvik::encoding_id id) {
    for (const auto& e : convertible_encodings()) {
      if (e.id == id) return std::string(e.name);
    }
    return std::string();
  };
  for (const auto& [from, to] : pairs) {
    const std::string repeated = cli_samples::repeated_sample(from, 2 * 262144 + 2);
    // Files from 64 KiB up are read in the larger blocks where large pages serve them.
    for (std::size_t size : {0, 1, 32768, 65535, 65536, 65537, 131071, 131072, 131073, 196609, 262143, 262144,
                             262145, 524289}) {
      const std::string input = repeated.substr(0, size);
      const fs::path path = file("around the block size", input);
      const std::string expected = morvik::translate_text(input, from, to);
      const std::vector<std::string> names = {"-f", name_of_id(from), "-t", name_of_id(to)};
      std::vector<std::string> with_file = names;
      with_file.push_back(path.string());
      const run_result from_file = run(with_file);
      const run_result from_stdin = run(names, input);
      const std::string where = names[1] + " to " + names[3] + ", " + std::to_string(size) + " bytes";
      EXPECT_EQ(from_file.status, 0) << where << ": " << from_file.err;
      EXPECT_EQ(from_stdin.status, 0) << where << ": " << from_stdin.err;
      EXPECT_TRUE(from_file.out == expected) << where << ", file" << byte_report(expected, from_file.out);
      EXPECT_TRUE(from_stdin.out == expected) << where << ", standard input" << byte_report(expected, from_stdin.out);
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
      {"WINDOWS-31J", morvik::sjis}, {"MS932", morvik::sjis},     {"SHIFT-JIS", morvik::sjis},
      {"Shift_JIS", morvik::sjis},  {"ms_kanji", morvik::sjis},   {"euc-jp", morvik::euc},
      {"EucJp", morvik::euc},       {"EUC_JP", morvik::euc},      {"eucjp-ms", morvik::euc},
      {"jis", morvik::jis},         {"iso-2022-jp", morvik::iso2022jp},
      {"ISO2022JP", morvik::iso2022jp}, {"iso_2022_jp", morvik::iso2022jp},
      {"utf-8", morvik::utf8},      {"Utf8", morvik::utf8},       {"UTF_8", morvik::utf8},
      {"utf-16be", morvik::utf16be}, {"UTF16BE", morvik::utf16be}, {"utf-16le", morvik::unicode},
      {"utf16le", morvik::unicode}, {"Unicode", morvik::unicode}, {"ansi", morvik::ansi},
      {"ascii", morvik::ansi},      {"US-ASCII", morvik::ansi},
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

morvik::encoding_id guessed(std::string_view text) { return morvik::guess_encoding(text).encoding; }

TEST_F(MorvikCommand, AutoDetectsEachInput) {
  const std::string euc = cli_samples::sample_in(morvik::euc);
  const std::string utf8 = cli_samples::sample_in(morvik::utf8);
  const fs::path euc_path = file("euc", euc);
  const fs::path utf8_path = file("utf8", utf8);
  const std::string expected = morvik::translate_text(euc, guessed(euc), morvik::sjis) +
                               morvik::translate_text(utf8, guessed(utf8), morvik::sjis);
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

// Large files take their buffers from the command's pool of large pages, small ones from the
// heap; one run mixes them, with the guess's held text, the strict check's and the plain
// conversion's buffers, so that each input reuses memory the one before gave back.
TEST_F(MorvikCommand, LargeAndSmallInputsInTurn) {
  const std::string large_sjis = cli_samples::repeated_sample(morvik::sjis, 700 * 1024);
  const std::string large_euc = cli_samples::repeated_sample(morvik::euc, 1500 * 1024);
  const std::string small_utf8 = cli_samples::sample_in(morvik::utf8);
  const std::vector<std::string> paths = {file("large sjis", large_sjis).string(), file("small", small_utf8).string(),
                                          file("large euc", large_euc).string(), file("large sjis", large_sjis).string()};
  const std::string expected = morvik::translate_text(large_sjis, guessed(large_sjis), morvik::utf8) +
                               morvik::translate_text(small_utf8, guessed(small_utf8), morvik::utf8) +
                               morvik::translate_text(large_euc, guessed(large_euc), morvik::utf8) +
                               morvik::translate_text(large_sjis, guessed(large_sjis), morvik::utf8);
  for (const char* checking : {"--from=auto", "--strict"}) {
    std::vector<std::string> arguments = {checking, "-t", "utf-8"};
    arguments.insert(arguments.end(), paths.begin(), paths.end());
    const run_result r = run(arguments);
    EXPECT_EQ(r.status, 0) << checking << ": " << r.err;
    EXPECT_TRUE(r.out == expected) << checking << byte_report(expected, r.out);
  }
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
    const std::string name = name_of(guessed(text));
    several += paths.back() + ": " + name + "\n";

    const run_result one = run({"--detect", paths.back()});
    EXPECT_EQ(one.status, 0) << e.name << ": " << one.err;
    EXPECT_EQ(one.out, name + "\n") << e.name;
  }
  // Two marks that the command names but does not convert.
  const run_result utf32 = run({"-d"}, std::string("\xFF\xFE\0\0A\0\0\0", 8));
  const morvik::encoding_guess utf32_guess =
      morvik::guess_encoding(std::string("\xFF\xFE\0\0A\0\0\0", 8));
  EXPECT_EQ(utf32.out, (utf32_guess.binary ? "binary" : name_of(utf32_guess.encoding)) + "\n");

  std::vector<std::string> arguments = {"--detect"};
  arguments.insert(arguments.end(), paths.begin(), paths.end());
  const run_result all = run(arguments);
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, several);
}

// nkf's letters name the encodings, alone or together, and agree with --from and --to or are
// refused beside them; -g and --guess are --detect; iconv's and nkf's long names for --from
// and --to.
TEST_F(MorvikCommand, NkfAndIconvSpellings) {
  using morvik::euc;
  using morvik::iso2022jp;
  using morvik::jis;
  using morvik::sjis;
  using morvik::utf8;
  struct letter_case {
    std::vector<std::string> arguments;
    morvik::encoding_id from, to;
  };
  const std::vector<letter_case> cases = {
      {{"-w"}, sjis, utf8},
      {{"-s"}, utf8, sjis},
      {{"-e"}, sjis, euc},
      {{"-j"}, euc, iso2022jp},
      {{"-Sw"}, sjis, utf8},
      {{"-wS"}, sjis, utf8},
      {{"-E", "-s"}, euc, sjis},
      {{"-Jw"}, jis, utf8},
      {{"-W", "-t", "euc-jp"}, utf8, euc},
      {{"-s", "--to", "CP932//TRANSLIT"}, utf8, sjis},
      {{"-Ew", "--from", "eucjp"}, euc, utf8},
      {{"--from-code=CP932", "--to-code=UTF-8"}, sjis, utf8},
      {{"--ic=EUC-JP", "--oc", "Shift_JIS"}, euc, sjis},
  };
  for (const letter_case& c : cases) {
    std::string where;
    for (const std::string& argument : c.arguments) where += argument + " ";
    const std::string input = cli_samples::sample_in(c.from);
    const std::string expected = morvik::translate_text(input, c.from, c.to);
    const run_result r = run(c.arguments, input);
    EXPECT_EQ(r.status, 0) << where << r.err;
    EXPECT_EQ(r.out, expected) << where << byte_report(expected, r.out);
  }
  // nkf's signatures: -w8 and -w16 write one whatever the source, once; a 0 at the end writes none.
  struct signature_case {
    std::vector<std::string> arguments;
    std::string input;
    std::string expected;
  };
  const std::string a_utf8 = "\xE3\x81\x82\n";  // あ
  const std::vector<signature_case> signatures = {
      {{"-Ww8"}, a_utf8, "\xEF\xBB\xBF" + a_utf8},
      {{"-Ww8"}, "\xEF\xBB\xBF" + a_utf8, "\xEF\xBB\xBF" + a_utf8},
      {{"-Sw8"}, "\x82\xA0\n", "\xEF\xBB\xBF" + a_utf8},
      {{"-w8"}, "ok\n", "\xEF\xBB\xBFok\n"},
      {{"-w8"}, "", ""},
      {{"-Ww80"}, a_utf8, a_utf8},
      {{"-Ww16L"}, a_utf8, std::string("\xFF\xFE\x42\x30\x0A\x00", 6)},
      {{"-W", "-w16"}, a_utf8, std::string("\xFE\xFF\x30\x42\x00\x0A", 6)},
      {{"-Ew16B0"}, "\xA4\xA2\n", std::string("\x30\x42\x00\x0A", 4)},
      {{"-W16Ls"}, std::string("\x42\x30\x0A\x00", 4), "\x82\xA0\n"},
  };
  for (const signature_case& c : signatures) {
    std::string where;
    for (const std::string& argument : c.arguments) where += argument + " ";
    const run_result r = run(c.arguments, c.input);
    EXPECT_EQ(r.status, 0) << where << r.err;
    EXPECT_EQ(r.out, c.expected) << where << byte_report(c.expected, r.out);
  }

  const fs::path path = file("guess_me", cli_samples::sample_in(euc));
  for (const char* option : {"-g", "--guess"}) {
    const run_result r = run({option, path.string()});
    EXPECT_EQ(r.status, 0) << option << ": " << r.err;
    EXPECT_EQ(r.out, run({"--detect", path.string()}).out) << option;
  }
}

// What an nkf user types gives what nkf writes, byte for byte, on real text (when nkf is there).
TEST_F(MorvikCommand, NkfSpellingsWriteWhatNkfWrites) {
  if (std::system("nkf --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "nkf is not installed";
  const char* root = std::getenv("KORVEL_SOURCE_DIR");
  const std::string utf8 = read_file(fs::path(root ? root : ".") / "tests/data/ja_manual.txt");
  ASSERT_GT(utf8.size(), 1000u);
  const fs::path in_utf8 = file("nkf_utf8.txt", utf8);
  const fs::path in_sjis = file("nkf_sjis.txt", morvik::translate_text(utf8, morvik::utf8, morvik::sjis));
  const fs::path in_euc = file("nkf_euc.txt", morvik::translate_text(utf8, morvik::utf8, morvik::euc));
  const fs::path from_nkf = directory_ / "from_nkf";
  struct nkf_case {
    const char* source;
    const char* target;
    const fs::path& input;
  };
  for (const nkf_case& c : {nkf_case{"-W", "-s", in_utf8}, nkf_case{"-W", "-e", in_utf8}, nkf_case{"-W", "-j", in_utf8},
                            nkf_case{"-S", "-w", in_sjis}, nkf_case{"-S", "-w8", in_sjis}, nkf_case{"-S", "-w16", in_sjis},
                            nkf_case{"-S", "-w16L", in_sjis}, nkf_case{"-S", "-w16B0", in_sjis},
                            nkf_case{"-E", "-w", in_euc}, nkf_case{"-E", "-s", in_euc}}) {
    const std::string where = std::string(c.source) + " " + c.target;
    const std::string command = std::string("nkf ") + c.source + " " + c.target + " '" + c.input.string() + "' > '" +
                                from_nkf.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << where;
    const std::string expected = read_file(from_nkf);
    const run_result r = run({c.source, c.target, c.input.string()});
    EXPECT_EQ(r.status, 0) << where << ": " << r.err;
    EXPECT_TRUE(r.out == expected) << where << ": " << r.out.size() << " bytes, nkf " << expected.size();
  }
}

TEST_F(MorvikCommand, InformationOptions) {
  run_result r = run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("morvik ") + MORVIK_COMMAND_VERSION + "\n");

  r = run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("usage: morvik [--from ENC] --to ENC", 0), 0u) << r.out;
  EXPECT_EQ(r.err, "");

  r = run({"--list"});
  EXPECT_EQ(r.status, 0);
  for (const char* name : {"Shift_JIS", "SJIS", "CP932", "Windows-31J", "EUC-JP", "EUCJP",
                           "JIS", "ISO-2022-JP", "UTF-8", "UTF8", "UTF-16BE", "UTF-16LE",
                           "UNICODE", "ANSI", "ASCII", "auto", "MS932", "SHIFT-JIS", "EUC_JP",
                           "ISO2022JP", "UTF16LE", "UTF16BE"}) {
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
       "morvik: unknown source encoding 'latin1' (see --list)"},
      {"unknown target", {"--from", "sjis", "--to", "UTF-32"},
       "morvik: unknown target encoding 'UTF-32' (see --list)"},
      {"unknown target after an auto source", {"--to", "latin1"},
       "morvik: unknown target encoding 'latin1' (see --list)"},
      {"empty name", {"--from=", "--to", "utf-8"},
       "morvik: unknown source encoding '' (see --list)"},
      {"auto as a target", {"--from", "sjis", "--to", "auto"},
       "morvik: 'auto' is a source only; name the target encoding (see --list)"},
      {"unknown line end", {"--to", "utf-8", "--eol=dos"},
       "morvik: unknown line end 'dos' (lf, crlf or cr)"},
      {"-o without a file", {"--to", "utf-8", "-o"}, "morvik: option '-o' needs a value"},
      {"detect with --strict", {"--detect", "--strict"},
       "morvik: --detect takes no --strict, --translit or --eol"},
      {"detect with -c", {"--detect", "-c"}, "morvik: --detect takes no -c"},
      {"unknown suffix", {"--to", "sjis//FOO"}, "morvik: unknown target encoding 'sjis//FOO' (see --list)"},
      {"suffix on an unknown name", {"--to", "latin1//TRANSLIT"},
       "morvik: unknown target encoding 'latin1//TRANSLIT' (see --list)"},
      {"--strict with -c", {"--to", "sjis", "--strict", "-c"},
       "morvik: --strict and -c (//IGNORE) exclude each other"},
      {"--strict with //IGNORE", {"--to", "sjis//IGNORE", "--strict"},
       "morvik: --strict and -c (//IGNORE) exclude each other"},
      {"nkf letter against --to", {"-s", "-t", "utf-8"},
       "morvik: -s and --to name two encodings ('Shift_JIS' and 'utf-8')"},
      {"nkf letter against --from", {"-Ew", "--from", "sjis"},
       "morvik: -E and --from name two encodings ('EUC-JP' and 'sjis')"},
      {"two nkf targets", {"-sw"}, "morvik: unknown option '-sw'"},
      {"nkf letter with --detect", {"--detect", "-S"}, "morvik: --detect takes no --from or --to"},
      {"--overwrite without files", {"-w", "--overwrite"},
       "morvik: --overwrite and --in-place need files, not standard input"},
      {"--in-place on standard input", {"-w", "--in-place", "a", "-"},
       "morvik: --overwrite and --in-place need files, not standard input"},
      {"--overwrite with -o", {"-w", "--overwrite", "-o", "x", "a"}, "morvik: --overwrite and --in-place take no -o"},
      {"--overwrite with --detect", {"--detect", "--overwrite", "a"},
       "morvik: --detect takes no --overwrite or --in-place"},
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
    const bool is_usage = c.message.find(" encoding '") == std::string::npos &&
                          c.message.find("'auto'") == std::string::npos;
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
       good.string() + ": " + name_of(guessed(text)) + "\n",
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

// As iconv and nkf: a reader that went away ends the command, quietly.
TEST_F(MorvikCommand, ClosedPipeIsQuiet) {
  const fs::path big = file("big", std::string(4 << 20, 'a'));
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  const pid_t child = start_into_pipe({"--from", "ansi", "--to", "utf-8", big.string()}, pipe_ends);
  char byte;
  ASSERT_EQ(read(pipe_ends[0], &byte, 1), 1);
  close(pipe_ends[0]);
  const run_result r = finish(child, "", directory_ / "stderr");
  EXPECT_TRUE(r.status == 128 + SIGPIPE || r.status == 0) << "status " << r.status;
  EXPECT_EQ(r.err, "");
}

// Output longer than a pipe holds widens the pipe, once, where the system allows; a short one
// leaves it as it was. Either way the reader gets every byte.
TEST_F(MorvikCommand, LongOutputWidensThePipe) {
  int limit = 0;
  std::ifstream("/proc/sys/fs/pipe-max-size") >> limit;
  if (geteuid() != 0 && limit < 1 << 20) GTEST_SKIP() << "pipes here may not grow to 1 MiB";
  struct pipe_case {
    std::size_t input_size;
    int expected_capacity;
  };
  for (const pipe_case& c : {pipe_case{4 << 10, 64 << 10}, pipe_case{1 << 20, 1 << 20}}) {
    const std::string input = cli_samples::repeated_sample(morvik::sjis, c.input_size);
    const fs::path path = file("pipe_input", input);
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    ASSERT_EQ(fcntl(pipe_ends[0], F_GETPIPE_SZ), 64 << 10);
    const pid_t child = start_into_pipe({"--from", "sjis", "--to", "utf-8", path.string()}, pipe_ends);
    std::string out;
    char buffer[65536];
    for (long count; (count = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) out.append(buffer, count);
    const int capacity = fcntl(pipe_ends[0], F_GETPIPE_SZ);
    close(pipe_ends[0]);
    const run_result r = finish(child, std::move(out), directory_ / "stderr");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == morvik::translate_text(input, morvik::sjis, morvik::utf8)) << c.input_size;
    EXPECT_EQ(capacity, c.expected_capacity) << c.input_size << " bytes in";
  }
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

// The buffers' pages are taken ahead of their first use, but not the whole of a huge block.
TEST_F(MorvikCommand, AHugeBlockSizeTakesOnlyThePagesItUses) {
  const std::string input = cli_samples::sample_in(morvik::sjis);
  const fs::path path = file("small", input);
  const run_result baseline = run({"--from", "sjis", "--to", "utf-8", path.string()});
  const run_result r = run({"--from", "sjis", "--to", "utf-8", "--block-size", "200000000", path.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, morvik::translate_text(input, morvik::sjis, morvik::utf8));
#ifndef __SANITIZE_ADDRESS__  // the sanitizer writes the shadow of the whole block: 25 MB
  EXPECT_LT(r.max_rss_kib - baseline.max_rss_kib, 8 * 1024)
      << baseline.max_rss_kib << " KiB with the default blocks, " << r.max_rss_kib << " KiB with 200 MB";
#endif
}

// --strict writes everything before the first offending sequence, names it and exits 1.
TEST_F(MorvikCommand, StrictStopsWithTheOffset) {
  struct strict_case {
    const char* name;
    const char* from;
    const char* to;
    std::string input;
    std::string expected_out;
    std::string failure;  // "OFFSET (0xHH ...)", empty when everything converts
  };
  const std::string wave_dash = "\xE3\x80\x9C";
  const std::vector<strict_case> cases = {
      {"valid Shift_JIS", "sjis", "utf-8", "A\x82\xA0", "A\xE3\x81\x82", ""},
      {"Shift_JIS lead byte at the end", "sjis", "utf-8", "AB\x82\xA0\x82", "AB\xE3\x81\x82",
       "4 (0x82)"},
      {"Shift_JIS user-defined code", "sjis", "euc-jp", "A\xF0\x40z", "A", "1 (0xF0 0x40)"},
      {"Shift_JIS kanji into ASCII", "sjis", "ascii", "ok\x88\x9F", "ok", "2 (0x88 0x9F)"},
      {"EUC-JP without a character", "euc-jp", "sjis", "\xA4\xA2\xA9\xA1", "\x82\xA0",
       "2 (0xA9 0xA1)"},
      {"EUC-JP JIS X 0212 into Shift_JIS", "euc-jp", "sjis", "a\x8F\xB0\xA1", "a",
       "1 (0x8F 0xB0 0xA1)"},
      {"UTF-8 overlong", "utf-8", "utf-16le", std::string("A\xC0\x80", 3), std::string("A\0", 2),
       "1 (0xC0 0x80)"},
      {"UTF-8 surrogate", "utf-8", "sjis", "x\xED\xA0\x80", "x", "1 (0xED 0xA0 0x80)"},
      {"UTF-8 wave dash into CP932", "utf-8", "cp932", "A" + wave_dash + "B", "A",
       "1 (0xE3 0x80 0x9C)"},
      {"UTF-8 cut at the end", "utf-8", "euc-jp", "\xE3\x81\x82\xE3\x81", "\xA4\xA2",
       "3 (0xE3 0x81)"},
      {"UTF-16LE lone surrogate", "utf-16le", "utf-8", std::string("A\0\0\xDC", 4), "A",
       "2 (0x00 0xDC)"},
      {"JIS unknown escape", "jis", "utf-8", "\x1B$B$\"\x1B(Jx", "\xE3\x81\x82",
       "5 (0x1B 0x28 0x4A)"},
      {"JIS line end inside kanji", "iso-2022-jp", "sjis", "\x1B$B$\"\n", "\x82\xA0", "5 (0x0A)"},
      {"JIS X 0212 into ISO-2022-JP", "euc-jp", "iso-2022-jp", "\xA4\xA2\x8F\xB0\xA1",
       "\x1B$B$\"\x1B(B", "2 (0x8F 0xB0 0xA1)"},
      {"ASCII high byte", "ascii", "utf-8", "abc\xFF", "abc", "3 (0xFF)"},
  };
  const fs::path named = directory_ / "named input";
  for (const strict_case& c : cases) {
    for (const char* block_size : {"65536", "1"}) {
      const std::string where = std::string(c.name) + ", blocks of " + block_size;
      run_result r = run({"-f", c.from, "-t", c.to, "--strict", "--block-size", block_size}, c.input);
      EXPECT_EQ(r.out, c.expected_out) << where << byte_report(c.expected_out, r.out);
      if (c.failure.empty()) {
        EXPECT_EQ(r.status, 0) << where << ": " << r.err;
        EXPECT_EQ(r.err, "") << where;
        // Without --strict the same input converts as before.
        const run_result lenient = run({"-f", c.from, "-t", c.to}, c.input);
        EXPECT_EQ(lenient.out, r.out) << where;
      } else {
        EXPECT_EQ(r.status, 1) << where;
        EXPECT_EQ(r.err, "morvik: (standard input): cannot convert byte " + c.failure + "\n") << where;
      }
    }
    if (c.failure.empty() || (&c - cases.data()) % 4 != 1) continue;
    // A file is named, and the files after it are not converted.
    write_file(named, c.input);
    const fs::path after = file("after", "after");
    const run_result r = run({"-f", c.from, "-t", c.to, "--strict", named.string(), after.string()});
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(r.out, c.expected_out) << c.name << byte_report(c.expected_out, r.out);
    EXPECT_EQ(r.err, "morvik: " + named.string() + ": cannot convert byte " + c.failure + "\n")
        << c.name;
  }
  // Lenient by default: the same bytes become "?" and the command succeeds.
  const run_result lenient = run({"-f", "utf-8", "-t", "sjis"}, "A" + wave_dash);
  EXPECT_EQ(lenient.status, 0);
  EXPECT_EQ(lenient.out, "A?");
}

// -c leaves out each sequence that --strict would stop at and converts the rest, as iconv -c
// does; a JIS shift before a left-out sequence still sets the state of what follows it.
TEST_F(MorvikCommand, OmitInvalidLeavesOutWhatStrictStopsAt) {
  struct omit_case {
    const char* name;
    std::vector<std::string> options;
    std::string input;
    std::string expected_out;
  };
  const std::string wave_dash = "\xE3\x80\x9C";
  const std::vector<omit_case> cases = {
      {"nothing to leave out", {"-f", "sjis", "-t", "utf-8", "-c"}, "A\x82\xA0", "A\xE3\x81\x82"},
      {"Shift_JIS bytes without a character", {"-f", "sjis", "-t", "utf-8", "-c"},
       "a\xFF\x82\xA0\xF0\x40" "b\x80", "a\xE3\x81\x82" "b"},
      {"Shift_JIS lead byte at the end", {"-f", "sjis", "-t", "euc-jp", "--omit-invalid"}, "AB\x82\xA0\x82",
       "AB\xA4\xA2"},
      {"kanji into ASCII", {"-f", "sjis", "-t", "ascii", "-c"}, "ok\x88\x9F!", "ok!"},
      {"JIS X 0212 into Shift_JIS", {"-f", "euc-jp", "-t", "sjis", "-c"}, "a\x8F\xB0\xA1\xA4\xA2",
       "a\x82\xA0"},
      {"UTF-8 overlong and surrogate", {"-f", "utf-8", "-t", "sjis", "-c"}, "x\xC0\x80y\xED\xA0\x80z", "xyz"},
      {"wave dash into CP932", {"-f", "utf-8", "-t", "cp932", "-c"}, "A" + wave_dash + "B", "AB"},
      {"wave dash with //IGNORE", {"-f", "utf-8", "-t", "CP932//IGNORE"}, "A" + wave_dash + "B", "AB"},
      {"wave dash with //TRANSLIT//IGNORE", {"-f", "utf-8", "-t", "cp932//translit//ignore"},
       "A" + wave_dash + "\xE2\x91\xA0\xF0\x9F\x98\x80" "B", "A\x81\x60\x87\x40" "B"},
      {"JIS pair left out inside a kanji run", {"-f", "jis", "-t", "utf-8", "-c"},
       "a\x1B$B$\"\x7F\x7F$\"\x1B(Bb", "a\xE3\x81\x82\xE3\x81\x82" "b"},
      {"JIS unknown escape after a shift", {"-f", "iso-2022-jp", "-t", "euc-jp", "-c"},
       "\x1B$B\x1B(J$\"\x1B(Bx", "\xA4\xA2x"},
      {"UTF-16LE lone surrogate", {"-f", "utf-16le", "-t", "utf-8", "-c"}, std::string("A\0\0\xDC" "B\0", 6),
       "AB"},
  };
  for (const omit_case& c : cases) {
    for (const char* block_size : {"65536", "1"}) {
      const std::string where = std::string(c.name) + ", blocks of " + block_size;
      std::vector<std::string> arguments = c.options;
      arguments.insert(arguments.end(), {"--block-size", block_size});
      const run_result r = run(arguments, c.input);
      EXPECT_EQ(r.status, 0) << where << ": " << r.err;
      EXPECT_EQ(r.err, "") << where;
      EXPECT_EQ(r.out, c.expected_out) << where << byte_report(c.expected_out, r.out);
    }
  }
}

// iconv's //TRANSLIT and nkf write these look-alikes where CP932 and EUC-JP lack the character.
TEST_F(MorvikCommand, TranslitWritesLookAlikes) {
  struct translit_case {
    const char* name;
    std::string utf8;
    std::string sjis;
    std::string euc;
  };
  const std::vector<translit_case> cases = {
      {"wave dash", "\xE3\x80\x9C", "\x81\x60", "\xA1\xC1"},
      {"double vertical line", "\xE2\x80\x96", "\x81\x61", "\xA1\xC2"},
      {"minus sign", "\xE2\x88\x92", "\x81\x7C", "\xA1\xDD"},
      {"cent sign", "\xC2\xA2", "\x81\x91", "\xA1\xF1"},
      {"pound sign", "\xC2\xA3", "\x81\x92", "\xA1\xF2"},
      {"not sign", "\xC2\xAC", "\x81\xCA", "\xA2\xCC"},
      {"em dash", "\xE2\x80\x94", "\x81\x5C", "\xA1\xBD"},
  };
  std::string input = "a";
  std::string sjis = "a";
  std::string euc = "a";
  for (const translit_case& c : cases) {
    input += c.utf8 + "b";
    sjis += c.sjis + "b";
    euc += c.euc + "b";
  }
  const std::string utf16 = morvik::translate_text(input, morvik::utf8, morvik::unicode);
  struct target_case {
    const char* to;
    std::string expected;
  };
  const std::vector<target_case> targets = {
      {"sjis", sjis},
      {"euc-jp", euc},
      {"jis", morvik::translate_text(euc, morvik::euc, morvik::jis)},
      {"iso-2022-jp", morvik::translate_text(euc, morvik::euc, morvik::iso2022jp)},
      {"utf-8", input},  // nothing lacking: unchanged
  };
  for (const target_case& t : targets) {
    for (const char* block_size : {"65536", "1"}) {
      const std::string where = std::string("to ") + t.to + ", blocks of " + block_size;
      run_result r = run({"-f", "utf-8", "-t", t.to, "--translit", "--block-size", block_size}, input);
      EXPECT_EQ(r.status, 0) << where << ": " << r.err;
      EXPECT_EQ(r.out, t.expected) << where << byte_report(t.expected, r.out);
      r = run({"-f", "utf-16le", "-t", t.to, "--translit", "--strict", "--block-size", block_size},
              utf16);
      EXPECT_EQ(r.status, 0) << where << " from UTF-16LE: " << r.err;
      EXPECT_EQ(r.out, t.expected) << where << " from UTF-16LE" << byte_report(t.expected, r.out);
      // iconv's spelling.
      r = run({"-f", "utf-8", "-t", std::string(t.to) + "//TRANSLIT", "--block-size", block_size}, input);
      EXPECT_EQ(r.status, 0) << where << " as //TRANSLIT: " << r.err;
      EXPECT_EQ(r.out, t.expected) << where << " as //TRANSLIT" << byte_report(t.expected, r.out);
    }
  }
  // Without --translit the module's conversion: "?".
  const run_result plain = run({"-f", "utf-8", "-t", "sjis"}, input);
  EXPECT_EQ(plain.out, "a?b?b?b?b?b?b?b");
}

std::string with_line_ends(std::string_view text, std::string_view line_end) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.append(line_end);
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      out.append(line_end);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// Line ends rewritten in every target, with CR LF pairs cut by block boundaries.
TEST_F(MorvikCommand, LineEndsInEveryTarget) {
  const std::string utf8 = "one\r\ntwo\rthree\n\xE6\x97\xA5\xE6\x9C\xAC\r\n\r\n\n\r\rend\r";
  const std::string sjis = morvik::translate_text(utf8, morvik::utf8, morvik::sjis);
  const fs::path path = file("lines", sjis);
  for (const auto& [style, line_end] : std::vector<std::pair<std::string, std::string>>{
           {"lf", "\n"}, {"crlf", "\r\n"}, {"cr", "\r"}}) {
    for (const auto& to : convertible_encodings()) {
      if (to.id == morvik::ansi) continue;
      const std::string expected =
          morvik::translate_text(with_line_ends(utf8, line_end), morvik::utf8, to.id);
      for (const char* block_size : {"3"}) {
        const run_result r = run({"-f", "sjis", "-t", to.name, "--eol=" + style, "--block-size",
                                  block_size, path.string()});
        const std::string where = style + " to " + to.name + ", blocks of " + block_size;
        EXPECT_EQ(r.status, 0) << where << ": " << r.err;
        EXPECT_EQ(r.out, expected) << where << byte_report(expected, r.out);
      }
    }
  }
  // nkf's spellings.
  EXPECT_EQ(run({"-f", "ascii", "-t", "ascii", "-Lw"}, "a\nb\r").out, "a\r\nb\r\n");
  EXPECT_EQ(run({"-f", "ascii", "-t", "ascii", "-Lu"}, "a\r\nb\r").out, "a\nb\n");
  EXPECT_EQ(run({"-f", "ascii", "-t", "ascii", "-Lm"}, "a\r\nb\n").out, "a\rb\r");
}

TEST_F(MorvikCommand, OutputFile) {
  const std::string text = cli_samples::sample_in(morvik::sjis);
  const fs::path input = file("for -o", text);
  const fs::path output = directory_ / "out.txt";
  const std::string expected = morvik::translate_text(text, morvik::sjis, morvik::euc);
  write_file(output, "old content that is longer than nothing at all, to be truncated");
  for (const std::vector<std::string>& spelling :
       {std::vector<std::string>{"-o", output.string()},
        std::vector<std::string>{"--output", output.string()},
        std::vector<std::string>{"--output=" + output.string()}}) {
    std::vector<std::string> arguments = {"-f", "sjis", "-t", "euc-jp", input.string()};
    arguments.insert(arguments.begin(), spelling.begin(), spelling.end());
    const run_result r = run(arguments);
    EXPECT_EQ(r.status, 0) << spelling[0] << ": " << r.err;
    EXPECT_EQ(r.out, "") << spelling[0];
    EXPECT_EQ(read_file(output), expected) << spelling[0];
  }
  // --detect writes there too.
  run_result r = run({"--detect", "-o", output.string(), input.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(output), name_of(guessed(text)) + "\n");

  // An input named as the output is left alone.
  r = run({"-f", "sjis", "-t", "utf-8", "-o", input.string(), input.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "morvik: " + input.string() + ": is also an input; not overwritten\n");
  EXPECT_EQ(read_file(input), text);

  // A file that cannot be created.
  const std::string nowhere = (directory_ / "no such directory" / "out").string();
  r = run({"-f", "sjis", "-t", "utf-8", "-o", nowhere, input.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "morvik: " + nowhere + ": No such file or directory\n");

  // An unknown name is reported before the output is touched.
  write_file(output, "kept");
  r = run({"-f", "sjis", "-t", "latin1", "-o", output.string(), input.string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(read_file(output), "kept");
}

// --overwrite and --in-place replace each file by its conversion, with its mode, through a link,
// keeping a backup when asked; a file whose conversion fails stays as it was, and no temporary
// file is left behind.
TEST_F(MorvikCommand, OverwriteReplacesEachFile) {
  const fs::path place = directory_ / "overwrite";
  fs::create_directory(place);
  const std::string text = cli_samples::sample_in(morvik::sjis);
  const std::string converted = morvik::translate_text(text, morvik::sjis, morvik::utf8);
  const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  struct overwrite_case {
    const char* option;
    const char* backup;  // the suffix, empty for none
    bool keeps_time;
  };
  for (const overwrite_case& c : {overwrite_case{"--overwrite", "", true}, overwrite_case{"--in-place", "", false},
                                  overwrite_case{"--overwrite=.orig", ".orig", true},
                                  overwrite_case{"--in-place=~", "~", false}}) {
    const fs::path first = place / "first.txt";
    const fs::path second = place / "second.txt";
    const fs::path link = place / "link.txt";
    for (const fs::path& path : {first, second}) {
      write_file(path, text);
      fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
      fs::last_write_time(path, old_time);
    }
    fs::create_symlink(second.filename(), link);
    const run_result r = run({"-f", "sjis", "-t", "utf-8", c.option, first.string(), link.string()});
    EXPECT_EQ(r.status, 0) << c.option << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.option;
    for (const fs::path& path : {first, second}) {
      EXPECT_EQ(read_file(path), converted) << c.option << ", " << path.filename();
      EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
                fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
          << c.option << ", " << path.filename();
      EXPECT_EQ(fs::last_write_time(path) == old_time, c.keeps_time) << c.option << ", " << path.filename();
      const fs::path backup = path.string() + c.backup;
      if (*c.backup != '\0') {
        EXPECT_EQ(read_file(backup), text) << c.option << ", " << path.filename();
      }
    }
    EXPECT_TRUE(fs::is_symlink(link)) << c.option;
    fs::remove_all(place);
    fs::create_directory(place);
  }

  // Where the conversion stops, the file stays, and so do the files before it.
  const fs::path good = place / "good.txt";
  const fs::path bad = place / "bad.txt";
  write_file(good, text);
  write_file(bad, "a\xFF");
  const run_result r = run({"-f", "sjis", "-t", "utf-8", "--strict", "--overwrite", good.string(), bad.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "morvik: " + bad.string() + ": cannot convert byte 1 (0xFF)\n");
  EXPECT_EQ(read_file(good), converted);
  EXPECT_EQ(read_file(bad), "a\xFF");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(place)) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"bad.txt", "good.txt"}));
  fs::remove_all(place);

  // Only a regular file is replaced.
  const run_result device = run({"-f", "sjis", "-t", "utf-8", "--overwrite", "/dev/null"});
  EXPECT_EQ(device.status, 1);
  EXPECT_EQ(device.err, "morvik: /dev/null: not a regular file; not replaced\n");
}

// The source is decided at the first byte that is not plain ASCII, however far in it is.
TEST_F(MorvikCommand, AutoDecidesAfterALongAsciiPrefix) {
  const std::string japanese = cli_samples::sample_in(morvik::sjis);
  for (std::size_t prefix_size : {std::size_t{100}, std::size_t{70000}, std::size_t{300000}}) {
    std::string prefix;
    while (prefix.size() < prefix_size) prefix += "plain ascii line\r\n";
    const std::string input = prefix + japanese + prefix + japanese;
    const fs::path path = file("ascii prefix", input);
    const morvik::encoding_id source = guessed(japanese + prefix.substr(0, 60000) + japanese);
    ASSERT_NE(source, morvik::ansi);
    for (const auto& to : convertible_encodings()) {
      if (to.id == morvik::ansi || to.id == morvik::jis || to.id == morvik::utf16be) continue;
      const std::string expected = morvik::translate_text(input, source, to.id);
      for (const char* block_size : {"65536", "1000"}) {
        if (prefix_size != 70000 && block_size[0] == '1') continue;
        const run_result r = run({"-t", to.name, "--block-size", block_size, path.string()});
        const std::string where = std::to_string(prefix.size()) + " bytes of ASCII to " + to.name +
                                  ", blocks of " + block_size;
        EXPECT_EQ(r.status, 0) << where << ": " << r.err;
        EXPECT_TRUE(r.out == expected) << where << ": " << r.out.size() << " bytes, expected "
                                       << expected.size();
      }
    }
    const run_result detected = run({"--detect", path.string()});
    EXPECT_EQ(detected.out, name_of(source) + "\n") << prefix.size();
  }
}

TEST_F(MorvikCommand, BinaryInputIsRefused) {
  std::string data;
  for (int i = 0; i < 4096; ++i) data.push_back(static_cast<char>((i * 37) % 7 == 0 ? 0 : i * 13));
  if (!morvik::guess_encoding(data).binary) GTEST_SKIP() << "the guesser does not call this binary";
  const fs::path path = file("binary", data);
  const fs::path text = file("text after", "text\n");
  run_result r = run({"-t", "utf-8", path.string(), text.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "text\n");
  EXPECT_EQ(r.err, "morvik: " + path.string() + ": binary data, not converted (name --from to convert it)\n");
  r = run({"--detect", path.string()});
  EXPECT_EQ(r.out, "binary\n");
  // Named, the source is converted as told.
  r = run({"-f", "utf-16le", "-t", "utf-8", path.string()});
  EXPECT_EQ(r.status, 0);
}

}  // namespace
