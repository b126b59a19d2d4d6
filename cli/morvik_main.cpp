// morvik: convert and detect Japanese encodings on the command line, in streams.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <string>
#include <string_view>
#include <vector>

#include "cli/large_pages.h"
#include "cli/stream_convert.h"
#include "morvik/morvik.h"

#ifdef _WIN32
#include <io.h>
#include <sys/utime.h>
#include <windows.h>
#else
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

// The command's large buffers come from a pool of large pages (see large_pages.h) through its
// own operator new. Not under the sanitizers, which keep their own account of the heap.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define MORVIK_LARGE_PAGES 1
#include <new>
#endif

#ifndef MORVIK_COMMAND_VERSION
#define MORVIK_COMMAND_VERSION "unknown"
#endif

namespace {

using morvik_cli::stream_outcome;

#ifdef MORVIK_LARGE_PAGES
// Made at the first input and kept for the process: operator new consults it from the first
// allocation of the C++ runtime's start to the last of its end. It maps nothing until an input
// it serves comes.
morvik_cli::large_page_pool* large_pages = nullptr;
#endif

// Before each input: its buffers go to the pool of large pages if it is large enough. Returns
// the block to read it in: the one asked for, else a larger one in large pages.
std::size_t prepare_memory(std::uint64_t input_size, std::size_t block_size_asked) {
  bool in_large_pages = false;
#ifdef MORVIK_LARGE_PAGES
  if (large_pages == nullptr) large_pages = new morvik_cli::large_page_pool;
  large_pages->prepare(input_size);
  in_large_pages = large_pages->active();
#else
  (void)input_size;
#endif
  if (block_size_asked != 0) return block_size_asked;
  return in_large_pages ? morvik_cli::large_page_block_size : morvik_cli::default_block_size;
}

struct encoding_name {
  std::string_view name;
  morvik::encoding_id id;
  std::vector<std::string_view> aliases;
};

const std::vector<encoding_name>& encoding_names() {
  static const std::vector<encoding_name> names = {
      {"Shift_JIS", morvik::sjis,
       {"SJIS", "SHIFT-JIS", "CP932", "MS932", "Windows-31J", "MS_Kanji", "x-sjis"}},
      {"EUC-JP", morvik::euc, {"EUCJP", "EUC_JP", "eucJP-ms", "EUC-JP-MS", "UJIS"}},
      {"JIS", morvik::jis, {}},
      {"ISO-2022-JP", morvik::iso2022jp, {"ISO2022JP", "ISO_2022_JP", "csISO2022JP"}},
      {"UTF-8", morvik::utf8, {"UTF8", "UTF_8"}},
      {"UTF-16BE", morvik::utf16be, {"UTF16BE", "UTF_16BE"}},
      {"UTF-16LE", morvik::unicode, {"UTF16LE", "UTF_16LE", "UNICODE"}},
      {"ANSI", morvik::ansi, {"ASCII", "US-ASCII"}},
  };
  return names;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

const encoding_name* find_encoding(std::string_view name) {
  for (const encoding_name& entry : encoding_names()) {
    if (same_name(name, entry.name)) return &entry;
    for (std::string_view alias : entry.aliases) {
      if (same_name(name, alias)) return &entry;
    }
  }
  return nullptr;
}

// Analysis can also name encodings that the command does not convert.
std::string_view detected_name(morvik::encoding_id id) {
  for (const encoding_name& entry : encoding_names()) {
    if (entry.id == id) return entry.name;
  }
  if (id == morvik::utf32be) return "UTF-32BE";
  if (id == morvik::utf32le) return "UTF-32LE";
  return "unknown";
}

constexpr std::string_view usage_text =
    "usage: morvik [--from ENC] --to ENC [--strict | -c] [--translit] [--eol=lf|crlf|cr]\n"
    "              [--bom] [-o FILE | --overwrite[=SUFFIX]] [FILE...]\n"
    "       morvik --detect [-o FILE] [FILE...]\n"
    "       morvik --list | --help | --version\n";

constexpr std::string_view help_text =
    "Converts Japanese text between encodings, or names the encoding of a text.\n"
    "Reads the FILEs in turn (standard input when none is given, or for \"-\") and\n"
    "writes to standard output or to the -o FILE.\n"
    "\n"
    "  -f, --from ENC     source encoding, or \"auto\" (the default) to guess it from\n"
    "                     the first bytes of each input that are not plain ASCII\n"
    "                     (also --from-code=ENC as iconv, --ic=ENC as nkf)\n"
    "  -t, --to ENC       target encoding; ENC//TRANSLIT adds --translit and\n"
    "                     ENC//IGNORE adds -c, as iconv spells them\n"
    "                     (also --to-code=ENC as iconv, --oc=ENC as nkf)\n"
    "  -s, -e, -j, -w     as nkf: --to Shift_JIS, EUC-JP, ISO-2022-JP or UTF-8; -w8\n"
    "                     UTF-8 with a signature, -w16 (-w16B, -w16L) UTF-16BE (LE) with\n"
    "                     one, -w80, -w16B0, -w16L0 without\n"
    "  -S, -E, -J, -W     as nkf: --from Shift_JIS, EUC-JP, JIS or UTF-8; -W16 (-W16B,\n"
    "                     -W16L) UTF-16BE (LE); a source and a target together: -Sw\n"
    "  -o, --output FILE  write to FILE instead of standard output\n"
    "      --overwrite[=SUFFIX], --in-place[=SUFFIX]\n"
    "                     replace each FILE by its conversion, as nkf does; the\n"
    "                     original is kept as FILE SUFFIX when one is given, and\n"
    "                     stays as it was where the conversion fails; --overwrite\n"
    "                     keeps the file's modification time\n"
    "      --strict       stop at the first byte sequence that is not valid in the\n"
    "                     source or that the target cannot write, instead of \"?\"\n"
    "  -c, --omit-invalid leave out every such sequence instead of writing \"?\"\n"
    "      --translit     write look-alikes for characters the target lacks\n"
    "                     (U+301C WAVE DASH as the full-width tilde, and the like)\n"
    "      --eol=STYLE    write every line end as lf, crlf or cr (-Lu, -Lw, -Lm)\n"
    "      --bom          write a signature when converting to UTF-8 or UTF-16 from a\n"
    "                     Japanese encoding; drop signatures when converting back\n"
    "  -d, -g, --detect   print the guessed encoding (\"FILE: NAME\" for several\n"
    "                     files), \"binary\" for data that is no text (also --guess)\n"
    "  -l, --list         list the encodings and their aliases\n"
    "  -h, --help         show this help\n"
    "  -V, --version      show the version\n"
    "\n"
    "Names are case-insensitive. Exit status: 0 on success; 1 when a file could not be\n"
    "read or replaced, was binary under --from auto, or stopped --strict, or the output\n"
    "could not be written; 2 for a usage error or an unknown encoding name.\n";

constexpr int exit_trouble = 1;
constexpr int exit_usage = 2;

struct options {
  bool help = false;
  bool version = false;
  bool list = false;
  bool detect = false;
  bool with_signatures = false;
  bool signature_first = false;  // nkf's -w8 and -w16: a signature whatever the source
  bool strict = false;
  bool omit_invalid = false;
  bool transliterate = false;
  morvik_cli::line_ends eol = morvik_cli::line_ends::keep;
  bool eol_given = false;
  std::string output;  // empty: standard output
  bool output_given = false;
  bool overwrite = false;     // each FILE replaced by its conversion
  bool keep_time = false;     // --overwrite keeps its modification time; --in-place does not
  std::string backup_suffix;  // the original kept as FILE + this, when not empty
  std::string from = "auto";
  bool from_given = false;
  std::string to;
  bool to_given = false;
  std::string nkf_from;  // nkf's spelling of the source (S, E, J, W, W16L...), empty when none was given
  std::string nkf_to;    // and of the target (s, e, j, w, w8, w16L0...)
  std::size_t block_size = 0;  // --block-size, 0 when not given
  std::vector<std::string> files;
};

void say(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void say_error(std::string_view subject, int error_number) {
  std::string line = "morvik: ";
  line.append(subject);
  line.append(": ");
  line.append(std::strerror(error_number));
  line.push_back('\n');
  say(line);
}

int usage_error(std::string_view why) {
  std::string line = "morvik: ";
  line.append(why);
  line.push_back('\n');
  say(line);
  say(usage_text);
  return exit_usage;
}

bool parse_block_size(const std::string& text, std::size_t& size) {
  if (text.empty() || text.size() > 9) return false;
  std::size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  if (value == 0) return false;
  size = value;
  return true;
}

// nkf's spellings of the encodings, the source's in capitals: -s Shift_JIS, -e EUC-JP,
// -j ISO-2022-JP (nkf writes half-width katakana as full-width there, as that writer does),
// -w UTF-8, and UTF-8 or UTF-16 with a signature or without (0) as nkf writes them. The source
// JIS reads ISO-2022-JP and more.
struct nkf_spelling {
  std::string_view letters;
  std::string_view encoding;
  bool signature;
};
constexpr nkf_spelling nkf_spellings[] = {
    {"s", "Shift_JIS", false},   {"e", "EUC-JP", false},     {"j", "ISO-2022-JP", false},
    {"w", "UTF-8", false},       {"w80", "UTF-8", false},    {"w8", "UTF-8", true},
    {"w16B0", "UTF-16BE", false}, {"w16L0", "UTF-16LE", false}, {"w16B", "UTF-16BE", true},
    {"w16L", "UTF-16LE", true},  {"w16", "UTF-16BE", true},  {"S", "Shift_JIS", false},
    {"E", "EUC-JP", false},      {"J", "JIS", false},        {"W", "UTF-8", false},
    {"W8", "UTF-8", false},      {"W16B", "UTF-16BE", false}, {"W16L", "UTF-16LE", false},
    {"W16", "UTF-16BE", false},
};

const nkf_spelling* find_nkf_spelling(std::string_view letters) {
  for (const nkf_spelling& spelling : nkf_spellings) {
    if (spelling.letters == letters) return &spelling;
  }
  return nullptr;
}

// nkf's spellings, alone or a source and a target together as nkf takes them (-Sw, -Ew8):
// false for anything else.
bool take_nkf_letters(const std::string& argument, options& parsed) {
  if (argument.size() < 2 || argument[0] != '-') return false;
  std::string from;
  std::string to;
  std::size_t at = 1;
  while (at < argument.size()) {
    // The longest spelling that starts here.
    const nkf_spelling* found = nullptr;
    for (std::size_t length = argument.size() - at; length > 0 && found == nullptr; --length) {
      found = find_nkf_spelling(std::string_view(argument).substr(at, length));
    }
    if (found == nullptr) return false;
    std::string& slot = found->letters[0] >= 'a' ? to : from;
    if (!slot.empty()) return false;
    slot = found->letters;
    at += found->letters.size();
  }
  if (!from.empty()) parsed.nkf_from = from;
  if (!to.empty()) parsed.nkf_to = to;
  return true;
}

// Returns -1 when parsing succeeded, otherwise the exit status.
int parse_arguments(int argc, char** argv, options& parsed) {
  bool only_files = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (only_files || argument == "-" || argument.empty() || argument[0] != '-') {
      parsed.files.push_back(argument);
      continue;
    }
    if (argument == "--") {
      only_files = true;
      continue;
    }
    // Options with a value take it as the next argument or after '='.
    std::string name = argument;
    std::string value;
    bool has_value = false;
    const std::size_t equals = argument.find('=');
    if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
      has_value = true;
    }
    auto take_value = [&](std::string& target) {
      if (!has_value) {
        if (i + 1 >= argc) return false;
        value = argv[++i];
      }
      target = value;
      return true;
    };
    auto no_value = [&]() { return !has_value; };

    bool known = true;
    bool ok = true;
    // iconv's and nkf's long spellings beside ours.
    if (name == "-f" || name == "--from" || name == "--from-code" || name == "--ic") {
      ok = take_value(parsed.from);
      parsed.from_given = true;
    } else if (name == "-t" || name == "--to" || name == "--to-code" || name == "--oc") {
      ok = take_value(parsed.to);
      parsed.to_given = true;
    } else if (name == "-o" || name == "--output") {
      ok = take_value(parsed.output);
      parsed.output_given = true;
      if (ok && parsed.output.empty()) return usage_error("option '" + name + "' needs a file name");
    } else if (name == "--overwrite" || name == "--in-place") {
      // nkf's spellings; a suffix comes only after '=', so that a file name is never taken for one.
      parsed.overwrite = true;
      parsed.keep_time = name == "--overwrite";
      parsed.backup_suffix = value;
    } else if (name == "--bom") {
      ok = no_value();
      parsed.with_signatures = true;
    } else if (name == "--strict") {
      ok = no_value();
      parsed.strict = true;
    } else if (name == "-c" || name == "--omit-invalid") {
      ok = no_value();
      parsed.omit_invalid = true;
    } else if (name == "--translit") {
      ok = no_value();
      parsed.transliterate = true;
    } else if (name == "--eol" || name == "-Lu" || name == "-Lw" || name == "-Lm") {
      std::string style = name == "-Lu" ? "lf" : name == "-Lw" ? "crlf" : "cr";
      ok = name == "--eol" ? take_value(style) : no_value();
      if (ok) {
        if (same_name(style, "lf")) {
          parsed.eol = morvik_cli::line_ends::lf;
        } else if (same_name(style, "crlf")) {
          parsed.eol = morvik_cli::line_ends::crlf;
        } else if (same_name(style, "cr")) {
          parsed.eol = morvik_cli::line_ends::cr;
        } else {
          return usage_error("unknown line end '" + style + "' (lf, crlf or cr)");
        }
        parsed.eol_given = true;
      }
    } else if (take_nkf_letters(argument, parsed)) {
    } else if (name == "-d" || name == "--detect" || name == "-g" || name == "--guess") {
      ok = no_value();
      parsed.detect = true;
    } else if (name == "-l" || name == "--list") {
      ok = no_value();
      parsed.list = true;
    } else if (name == "-h" || name == "--help") {
      ok = no_value();
      parsed.help = true;
    } else if (name == "-V" || name == "--version") {
      ok = no_value();
      parsed.version = true;
    } else if (name == "--block-size") {  // for tests: tiny blocks split every character
      std::string text;
      ok = take_value(text) && parse_block_size(text, parsed.block_size);
      if (!ok) return usage_error("invalid block size");
    } else {
      known = false;
    }
    if (!known) return usage_error("unknown option '" + argument + "'");
    if (!ok) {
      return usage_error(has_value ? "option '" + name + "' takes no value"
                                   : "option '" + name + "' needs a value");
    }
  }
  return -1;
}

struct input {
  std::string name;  // as given; "-" for standard input
  int fd = -1;
  bool owned = false;
};

bool open_input(const std::string& name, input& opened) {
  opened.name = name;
  if (name == "-") {
    opened.fd = 0;
    opened.owned = false;
    return true;
  }
#ifdef _WIN32
  opened.fd = _open(name.c_str(), _O_RDONLY | _O_BINARY);
#else
  opened.fd = ::open(name.c_str(), O_RDONLY);
#endif
  opened.owned = true;
  return opened.fd >= 0;
}

void close_input(input& opened) {
  if (opened.owned && opened.fd >= 0) {
#ifdef _WIN32
    _close(opened.fd);
#else
    ::close(opened.fd);
#endif
  }
  opened.fd = -1;
}

// The name messages give an input: standard input has none of its own.
std::string display_name(const std::string& name) {
  return name == "-" ? "(standard input)" : name;
}

// A reader that has gone away is no error of ours: stop quietly, as a shell tool killed by
// SIGPIPE would.
[[noreturn]] void leave_on_closed_pipe() {
#ifndef _WIN32
  std::signal(SIGPIPE, SIG_DFL);
  std::raise(SIGPIPE);
#endif
  std::_Exit(141);
}

int write_failed(int error_number) {
#ifdef EPIPE
  if (error_number == EPIPE) leave_on_closed_pipe();
#endif
  say_error("write error", error_number);
  return exit_trouble;
}

int write_or_fail(const morvik_cli::byte_writer& write, std::string_view text) {
  if (write(text)) return 0;
  return write_failed(errno);
}

int list_encodings(const morvik_cli::byte_writer& write) {
  std::string text;
  for (const encoding_name& entry : encoding_names()) {
    std::string line(entry.name);
    if (!entry.aliases.empty()) {
      line.resize(14, ' ');
      for (std::size_t i = 0; i < entry.aliases.size(); ++i) {
        if (i != 0) line.append(", ");
        line.append(entry.aliases[i]);
      }
    }
    text.append(line).push_back('\n');
  }
  text.append("auto          (a source only: guess each input's encoding)\n");
  return write_or_fail(write, text);
}

int run_detect(const options& parsed, const morvik_cli::byte_writer& write) {
  int status = 0;
  const bool several = parsed.files.size() > 1;
  for (const std::string& name : parsed.files) {
    input in;
    if (!open_input(name, in)) {
      say_error(display_name(name), errno);
      status = exit_trouble;
      continue;
    }
    const std::uint64_t input_size = morvik_cli::fd_size(in.fd);
    const std::size_t block_size = prepare_memory(input_size, parsed.block_size);
    const morvik_cli::stream_result result =
        morvik_cli::detect_stream(morvik_cli::fd_reader(in.fd), block_size, input_size);
    const int read_errno = result.error_number;
    close_input(in);
    if (result.outcome != stream_outcome::done) {
      say_error(display_name(name), read_errno);
      status = exit_trouble;
      continue;
    }
    std::string line = several ? name + ": " : std::string();
    line.append(result.binary ? "binary" : detected_name(result.source)).push_back('\n');
    if (write_or_fail(write, line) != 0) return exit_trouble;
  }
  return status;
}

std::string hex_bytes(std::string_view bytes) {
  std::string text;
  char digits[8];
  for (unsigned char byte : bytes) {
    std::snprintf(digits, sizeof digits, "%s0x%02X", text.empty() ? "" : " ", byte);
    text.append(digits);
  }
  return text;
}

// iconv's suffixes on a target name: ENC//TRANSLIT, ENC//IGNORE, both, or a bare ENC//.
// False, with `name` as it was, for a suffix it does not know.
bool take_target_suffixes(std::string& name, options& parsed) {
  const std::size_t first = name.find("//");
  if (first == std::string::npos) return true;
  bool transliterate = false;
  bool omit_invalid = false;
  std::size_t at = first;
  while (at < name.size()) {
    std::size_t next = name.find("//", at + 2);
    if (next == std::string::npos) next = name.size();
    const std::string_view suffix = std::string_view(name).substr(at + 2, next - at - 2);
    if (same_name(suffix, "TRANSLIT")) {
      transliterate = true;
    } else if (same_name(suffix, "IGNORE")) {
      omit_invalid = true;
    } else if (!suffix.empty() || next != name.size()) {
      return false;
    }
    at = next;
  }
  name.resize(first);
  parsed.transliterate = parsed.transliterate || transliterate;
  parsed.omit_invalid = parsed.omit_invalid || omit_invalid;
  return true;
}

// An nkf spelling stands for --from or --to; given beside one that names another encoding, one
// of the two is a mistake (iconv's -s, say, is not nkf's). -1 when they agree, else the exit status.
int resolve_nkf_spelling(const std::string& letters, std::string& name, bool& given, std::string_view option) {
  if (letters.empty()) return -1;
  const std::string spelled_name(find_nkf_spelling(letters)->encoding);
  if (!given || same_name(name, "auto")) {
    name = spelled_name;
    given = true;
  } else if (find_encoding(name) != find_encoding(spelled_name)) {
    return usage_error("-" + letters + " and " + std::string(option) + " name two encodings ('" + spelled_name +
                       "' and '" + name + "')");
  }
  return -1;
}

int unknown_name(std::string_view role, const std::string& name) {
  say("morvik: unknown " + std::string(role) + " encoding '" + name + "' (see --list)\n");
  return exit_usage;
}

// A file replaced by its conversion: written beside it under a temporary name and renamed over
// it only once complete, so that a conversion that fails leaves the original as it was.
class replacement {
 public:
  replacement() = default;
  replacement(const replacement&) = delete;
  replacement& operator=(const replacement&) = delete;
  ~replacement() { abandon(); }

  // False, with errno, when the temporary file cannot be made beside `name`; false with errno 0
  // for what is no regular file (a device, a pipe), which cannot be replaced.
  bool begin(const std::string& name) {
    target_ = name;
#ifdef _WIN32
    if (_stat64(target_.c_str(), &original_) != 0) return false;
#else
    // A link is followed: the file it names is replaced, and the link stays.
    if (char* real = ::realpath(name.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
    if (::stat(target_.c_str(), &original_) != 0) return false;
#endif
    if ((original_.st_mode & S_IFMT) != S_IFREG) {
      errno = 0;
      return false;
    }
    const std::size_t slash = target_.find_last_of("/\\");
    std::string path = (slash == std::string::npos ? std::string() : target_.substr(0, slash + 1)) + ".morvik-XXXXXX";
#ifdef _WIN32
    if (_mktemp_s(path.data(), path.size() + 1) != 0) return false;
    fd_ = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    fd_ = ::mkstemp(path.data());
    if (fd_ >= 0 && ::fchmod(fd_, original_.st_mode & 07777) != 0) {
      temporary_ = path;
      return false;
    }
#endif
    if (fd_ < 0) return false;
    temporary_ = path;
    return true;
  }

  int fd() const { return fd_; }

  // Puts the conversion in the original's place, the original kept as target + `backup_suffix`
  // when that is not empty; false, with errno, when it cannot be done (the original then stays).
  bool commit(bool keep_time, const std::string& backup_suffix) {
    if (close_file() != 0) return false;
    if (keep_time && !copy_time()) return false;
    const std::string backup = target_ + backup_suffix;
    if (!backup_suffix.empty() && !move(target_, backup)) return false;
    if (!move(temporary_, target_)) {
      const int error = errno;
      if (!backup_suffix.empty()) move(backup, target_);
      errno = error;
      return false;
    }
    temporary_.clear();
    return true;
  }

  // Removes the temporary file, if any is left.
  void abandon() {
    const int error = errno;
    close_file();
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
    errno = error;
  }

 private:
  int close_file() {
    if (fd_ < 0) return 0;
#ifdef _WIN32
    const int closed = _close(fd_);
#else
    const int closed = ::close(fd_);
#endif
    fd_ = -1;
    return closed;
  }

  bool copy_time() {
#ifdef _WIN32
    __utimbuf64 times{original_.st_atime, original_.st_mtime};
    return _utime64(temporary_.c_str(), &times) == 0;
#else
    const timespec times[2] = {original_.st_atim, original_.st_mtim};
    return ::utimensat(AT_FDCWD, temporary_.c_str(), times, 0) == 0;
#endif
  }

  static bool move(const std::string& from, const std::string& to) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = EACCES;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
  }

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
#ifdef _WIN32
  struct _stat64 original_ {};
#else
  struct stat original_ {};
#endif
};

int run_convert(const options& parsed, const morvik_cli::byte_writer& write) {
  morvik_cli::conversion how;
  how.with_signatures = parsed.with_signatures;
  how.signature_first = parsed.signature_first;
  how.strict = parsed.strict;
  how.omit_invalid = parsed.omit_invalid;
  how.transliterate = parsed.transliterate;
  how.eol = parsed.eol;
  if (same_name(parsed.from, "auto")) {
    how.detect_from = true;
  } else if (const encoding_name* from = find_encoding(parsed.from)) {
    how.from = from->id;
  } else {
    return unknown_name("source", parsed.from);
  }
  if (const encoding_name* to = find_encoding(parsed.to)) {
    how.to = to->id;
  } else {
    return unknown_name("target", parsed.to);
  }

  int status = 0;
  for (const std::string& name : parsed.files) {
    input in;
    if (!open_input(name, in)) {
      say_error(display_name(name), errno);
      status = exit_trouble;
      continue;
    }
    replacement replaced;
    morvik_cli::byte_writer replacement_write;
    if (parsed.overwrite) {
      if (!replaced.begin(name)) {
        if (errno == 0) {
          say("morvik: " + display_name(name) + ": not a regular file; not replaced\n");
        } else {
          say_error(display_name(name), errno);
        }
        close_input(in);
        status = exit_trouble;
        continue;
      }
      replacement_write = morvik_cli::fd_writer(replaced.fd());
    }
    how.input_size = morvik_cli::fd_size(in.fd);
    how.block_size = prepare_memory(how.input_size, parsed.block_size);
    const morvik_cli::stream_result result = morvik_cli::convert_stream(
        morvik_cli::fd_reader(in.fd), parsed.overwrite ? replacement_write : write, how);
    close_input(in);
    switch (result.outcome) {
      case stream_outcome::done:
        if (parsed.overwrite && !replaced.commit(parsed.keep_time, parsed.backup_suffix)) {
          say_error(display_name(name), errno);
          status = exit_trouble;
        }
        break;
      case stream_outcome::write_failed:
        if (!parsed.overwrite) return write_failed(result.error_number);
        say_error(display_name(name), result.error_number);
        return exit_trouble;
      case stream_outcome::read_failed:
        say_error(display_name(name), result.error_number);
        status = exit_trouble;
        break;
      case stream_outcome::binary:
        say("morvik: " + display_name(name) + ": binary data, not converted (name --from to convert it)\n");
        status = exit_trouble;
        break;
      case stream_outcome::not_convertible:
        if (result.failure_bytes.empty()) {
          say("morvik: " + display_name(name) + ": cannot convert from " +
              std::string(detected_name(result.source)) + "\n");
          status = exit_trouble;
          break;
        }
        // Strict: everything before the offending sequence is out; nothing after it.
        say("morvik: " + display_name(name) + ": cannot convert byte " +
            std::to_string(result.failure_offset) + " (" + hex_bytes(result.failure_bytes) + ")\n");
        return exit_trouble;
    }
  }
  return status;
}

#ifndef _WIN32
// Writing over an input would destroy it before it is read.
bool same_file(int fd, const std::string& name) {
  struct stat out_status {};
  struct stat in_status {};
  if (fstat(fd, &out_status) != 0 || !S_ISREG(out_status.st_mode)) return false;
  if (name == "-") return fstat(0, &in_status) == 0 && in_status.st_dev == out_status.st_dev &&
                          in_status.st_ino == out_status.st_ino;
  return stat(name.c_str(), &in_status) == 0 && in_status.st_dev == out_status.st_dev &&
         in_status.st_ino == out_status.st_ino;
}
#endif

// Opens the -o file; -1 after a message when it cannot be.
int open_output(const options& parsed) {
#ifdef _WIN32
  const int fd = _open(parsed.output.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY,
                       _S_IREAD | _S_IWRITE);
#else
  // Not truncated before the check: the output might be one of the inputs.
  const int fd = ::open(parsed.output.c_str(), O_WRONLY | O_CREAT, 0666);
#endif
  if (fd < 0) {
    say_error(parsed.output, errno);
    return -1;
  }
#ifndef _WIN32
  for (const std::string& name : parsed.files) {
    if (same_file(fd, name)) {
      say("morvik: " + parsed.output + ": is also an input; not overwritten\n");
      ::close(fd);
      return -1;
    }
  }
  if (ftruncate(fd, 0) != 0 && errno != EINVAL) {
    say_error(parsed.output, errno);
    ::close(fd);
    return -1;
  }
#endif
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#else
  // A closed pipe shows up as EPIPE, and the command then leaves quietly by itself.
  std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef __GLIBC__
  // Each input takes a few hundred KiB for its block, held text and output, and gives them back
  // at its end. Kept in the heap rather than handed back to the system, they are still mapped
  // for the next input of the run instead of being mapped and faulted in again for every file.
  mallopt(M_TRIM_THRESHOLD, 1 << 20);
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
  options parsed;
  const int parse_status = parse_arguments(argc, argv, parsed);
  if (parse_status >= 0) return parse_status;

  morvik_cli::byte_writer write = morvik_cli::fd_writer(1);
  if (parsed.help) return write_or_fail(write, std::string(usage_text) + "\n" + std::string(help_text));
  if (parsed.version) return write_or_fail(write, "morvik " MORVIK_COMMAND_VERSION "\n");
  if (parsed.list) return list_encodings(write);

  if (parsed.detect && !(parsed.nkf_to.empty() && parsed.nkf_from.empty())) {
    return usage_error("--detect takes no --from or --to");
  }
  // The target's iconv suffixes first, so that an nkf letter meets the bare name.
  const std::string to_as_given = parsed.to;
  if (!parsed.detect && !take_target_suffixes(parsed.to, parsed)) return unknown_name("target", to_as_given);
  if (const int status = resolve_nkf_spelling(parsed.nkf_to, parsed.to, parsed.to_given, "--to"); status >= 0) {
    return status;
  }
  if (!parsed.nkf_to.empty() && find_nkf_spelling(parsed.nkf_to)->signature) {
    parsed.signature_first = parsed.with_signatures = true;
  }
  if (const int status = resolve_nkf_spelling(parsed.nkf_from, parsed.from, parsed.from_given, "--from");
      status >= 0) {
    return status;
  }
  if (parsed.detect && (parsed.to_given || parsed.from_given)) {
    return usage_error("--detect takes no --from or --to");
  }
  if (parsed.detect && parsed.with_signatures) return usage_error("--detect takes no --bom");
  if (parsed.detect && (parsed.strict || parsed.transliterate || parsed.eol_given)) {
    return usage_error("--detect takes no --strict, --translit or --eol");
  }
  if (parsed.detect && parsed.omit_invalid) return usage_error("--detect takes no -c");
  if (!parsed.detect && !parsed.to_given) return usage_error("no target encoding (--to)");
  if (parsed.strict && parsed.omit_invalid) return usage_error("--strict and -c (//IGNORE) exclude each other");
  if (!parsed.detect && same_name(parsed.to, "auto")) {
    say("morvik: 'auto' is a source only; name the target encoding (see --list)\n");
    return exit_usage;
  }
  if (parsed.overwrite) {
    if (parsed.detect) return usage_error("--detect takes no --overwrite or --in-place");
    if (parsed.output_given) return usage_error("--overwrite and --in-place take no -o");
    if (parsed.files.empty() || std::find(parsed.files.begin(), parsed.files.end(), "-") != parsed.files.end()) {
      return usage_error("--overwrite and --in-place need files, not standard input");
    }
  }
  if (parsed.files.empty()) parsed.files.push_back("-");

  // Names are checked before the output file is touched.
  if (!parsed.detect) {
    if (!same_name(parsed.from, "auto") && find_encoding(parsed.from) == nullptr) {
      return unknown_name("source", parsed.from);
    }
    if (find_encoding(parsed.to) == nullptr) return unknown_name("target", to_as_given);
  }
  int output_fd = -1;
  if (parsed.output_given) {
    output_fd = open_output(parsed);
    if (output_fd < 0) return exit_trouble;
    write = morvik_cli::fd_writer(output_fd);
  }

  morvik::initialize_library();
  int status = parsed.detect ? run_detect(parsed, write) : run_convert(parsed, write);
  if (output_fd >= 0) {
#ifdef _WIN32
    const int closed = _close(output_fd);
#else
    const int closed = ::close(output_fd);
#endif
    if (closed != 0 && status == 0) status = write_failed(errno);
  }
  return status;
}

#ifdef MORVIK_LARGE_PAGES
void* operator new(std::size_t size) {
  if (large_pages != nullptr) {
    if (void* data = large_pages->allocate(size)) return data;
  }
  for (;;) {
    if (void* data = std::malloc(size == 0 ? 1 : size)) return data;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* data) noexcept {
  if (large_pages == nullptr || !large_pages->release(data)) std::free(data);
}
void operator delete[](void* data) noexcept { operator delete(data); }
void operator delete(void* data, std::size_t) noexcept { operator delete(data); }
void operator delete[](void* data, std::size_t) noexcept { operator delete(data); }
#endif
