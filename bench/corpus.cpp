#include "bench/corpus.h"

#include <iconv.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace bench {
namespace {

namespace fs = std::filesystem;

class iconv_descriptor {
 public:
  iconv_descriptor(const char* from, const char* to) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv_open ") + from + " " + to);
  }
  ~iconv_descriptor() { iconv_close(cd_); }
  iconv_descriptor(const iconv_descriptor&) = delete;
  iconv_descriptor& operator=(const iconv_descriptor&) = delete;

  // False when the text holds a character the target lacks (or bytes the source lacks).
  bool convert(std::string_view text, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(4 * text.size() + 16);
    char* in = const_cast<char*>(text.data());
    std::size_t in_left = text.size();
    char* target = out.data();
    std::size_t out_left = out.size();
    if (iconv(cd_, &in, &in_left, &target, &out_left) == static_cast<std::size_t>(-1)) return false;
    if (iconv(cd_, nullptr, nullptr, &target, &out_left) == static_cast<std::size_t>(-1)) return false;
    out.resize(out.size() - out_left);
    return true;
  }

 private:
  iconv_t cd_;
};

std::string read_gzip(const fs::path& path) {
  std::string text;
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) return text;
  char buffer[65536];
  int got;
  while ((got = gzread(file, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
  gzclose(file);
  return text;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<fs::path> files_below(const std::string& directory, std::string_view extension) {
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file() && it->path().extension() == extension) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool has_high_byte(std::string_view line) {
  return std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

template <class Visit>
void for_each_line(const std::string& text, Visit&& visit) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!visit(line)) return;
    start = end + 1;
  }
}

// Lines that CP932, EUC-JP and ISO-2022-JP all carry, and that iconv converts between them
// to the same bytes as from UTF-8: the characters on which CP932 and JIS X 0208 disagree in
// iconv (U+2225 against U+2016, say) would stop iconv half-way through a text.
class line_filter {
 public:
  bool portable(std::string_view line) {
    if (!has_high_byte(line)) return true;
    if (!to_sjis_.convert(line, sjis_) || !to_euc_.convert(line, euc_) || !to_jis_.convert(line, jis_)) return false;
    return sjis_to_euc_.convert(sjis_, scratch_) && scratch_ == euc_ &&  //
           sjis_to_jis_.convert(sjis_, scratch_) && scratch_ == jis_ &&  //
           euc_to_sjis_.convert(euc_, scratch_) && scratch_ == sjis_ &&  //
           jis_to_utf8_.convert(jis_, scratch_) && scratch_ == line;
  }

 private:
  iconv_descriptor to_sjis_{"UTF-8", "CP932"};
  iconv_descriptor to_euc_{"UTF-8", "EUC-JP"};
  iconv_descriptor to_jis_{"UTF-8", "ISO-2022-JP"};
  iconv_descriptor sjis_to_euc_{"CP932", "EUC-JP"};
  iconv_descriptor sjis_to_jis_{"CP932", "ISO-2022-JP"};
  iconv_descriptor euc_to_sjis_{"EUC-JP", "CP932"};
  iconv_descriptor jis_to_utf8_{"ISO-2022-JP", "UTF-8"};
  std::string sjis_, euc_, jis_, scratch_;
};

text_set all_forms(const std::string& utf8_text) {
  text_set set;
  set.forms[static_cast<int>(form::utf8)] = utf8_text;
  for (form f : {form::sjis, form::euc, form::jis}) {
    set.forms[static_cast<int>(f)] = iconv_convert(utf8_text, "UTF-8", iconv_name(f));
  }
  return set;
}

std::size_t utf8_character_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  return 2;
}

}  // namespace

const char* iconv_name(form f) {
  switch (f) {
    case form::sjis: return "CP932";
    case form::euc: return "EUC-JP";
    case form::jis: return "ISO-2022-JP";
    case form::utf8: break;
  }
  return "UTF-8";
}

const char* display_name(form f) {
  switch (f) {
    case form::sjis: return "Shift_JIS";
    case form::euc: return "EUC-JP";
    case form::jis: return "JIS";
    case form::utf8: break;
  }
  return "UTF-8";
}

std::string iconv_convert(const std::string& text, const char* from, const char* to) {
  iconv_descriptor cd(from, to);
  std::string out;
  if (!cd.convert(text, out)) throw std::runtime_error(std::string("iconv ") + from + " -> " + to + " failed");
  return out;
}

corpus build_corpus(const std::string& manual_directory, const std::string& source_directory,
                    std::size_t prose_bytes, std::size_t ascii_heavy_bytes, std::size_t string_count) {
  corpus result;
  line_filter filter;

  // Prose: the text lines of the manual pages that carry Japanese; roff requests are dropped.
  std::vector<std::string> japanese_lines;
  std::string prose;
  for (const fs::path& page : files_below(manual_directory, ".gz")) {
    if (prose.size() >= prose_bytes) break;
    ++result.manual_pages;
    for_each_line(read_gzip(page), [&](std::string_view line) {
      if (line.empty() || line[0] == '.' || line[0] == '\'') return true;
      if (!has_high_byte(line) || !filter.portable(line)) return true;
      prose.append(line).push_back('\n');
      japanese_lines.emplace_back(line);
      return prose.size() < prose_bytes;
    });
  }
  if (japanese_lines.empty()) throw std::runtime_error("no Japanese text below " + manual_directory);

  // ASCII-heavy: C++ headers with a Japanese comment after every 16 lines.
  std::string source;
  std::size_t comment = 0;
  std::size_t line_number = 0;
  for (const fs::path& header : files_below(source_directory, ".h")) {
    if (source.size() >= ascii_heavy_bytes) break;
    ++result.source_files;
    for_each_line(read_file(header), [&](std::string_view line) {
      if (!filter.portable(line)) return true;
      source.append(line).push_back('\n');
      if (++line_number % 16 == 0) {
        source.append("  // ").append(japanese_lines[comment++ % japanese_lines.size()]).push_back('\n');
      }
      return source.size() < ascii_heavy_bytes;
    });
  }

  result.prose = all_forms(prose);
  result.ascii_heavy = all_forms(source);

  // Short strings: consecutive pieces of the prose, cut at character boundaries once the
  // piece reaches 100 bytes in the encoding it is given in. Line breaks become spaces so
  // that a piece can be a request's header value.
  std::string flat = prose;
  std::replace(flat.begin(), flat.end(), '\n', ' ');
  for (form f : {form::sjis, form::euc, form::jis, form::utf8}) {
    iconv_descriptor cd("UTF-8", iconv_name(f));
    std::vector<std::string>& strings = result.short_strings.forms[static_cast<int>(f)];
    std::size_t at = 0;
    std::string piece;
    while (strings.size() < string_count && at < flat.size()) {
      std::size_t end = at;
      do {
        end += utf8_character_length(static_cast<unsigned char>(flat[end]));
        cd.convert(std::string_view(flat).substr(at, end - at), piece);
      } while (piece.size() < 100 && end < flat.size());
      strings.push_back(piece);
      at = end;
    }
  }
  return result;
}

}  // namespace bench
