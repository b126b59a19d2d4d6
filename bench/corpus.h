#pragma once
// The benchmark's inputs, assembled at start-up from Debian-packaged files (nothing is
// committed): Japanese prose from the Japanese manual pages, ASCII-heavy source code with
// Japanese comments, and short strings the size of a SAORI request. Every text exists in the
// four encodings that the conversions read, each made by glibc iconv from the UTF-8 form.
#include <cstddef>
#include <string>
#include <vector>

namespace bench {

// The encodings of the benchmark, in iconv's names.
enum class form { sjis, euc, jis, utf8 };
inline constexpr int form_count = 4;
const char* iconv_name(form f);  // CP932, EUC-JP, ISO-2022-JP, UTF-8
const char* display_name(form f);  // Shift_JIS, EUC-JP, JIS, UTF-8

struct text_set {
  std::string forms[form_count];
  const std::string& operator[](form f) const { return forms[static_cast<int>(f)]; }
};

struct string_set {
  std::vector<std::string> forms[form_count];
  const std::vector<std::string>& operator[](form f) const { return forms[static_cast<int>(f)]; }
};

struct corpus {
  text_set prose;
  text_set ascii_heavy;
  string_set short_strings;  // each about 100 bytes in its own encoding, no line break
  std::size_t manual_pages = 0;
  std::size_t source_files = 0;
};

// Reads the Japanese manual pages below `manual_directory` and the C++ headers below
// `source_directory`; keeps only lines that all four encodings can carry.
corpus build_corpus(const std::string& manual_directory, const std::string& source_directory,
                    std::size_t prose_bytes, std::size_t ascii_heavy_bytes, std::size_t string_count);

// Whole-text conversion with glibc iconv; throws when the text does not convert.
std::string iconv_convert(const std::string& text, const char* from, const char* to);

}  // namespace bench
