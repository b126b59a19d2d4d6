// Encoding analysis: a fixed cascade of cheap tests, then three scorers over one window.
// Only the examined prefix (the first `max_length` bytes) is ever read; every search below
// runs over that one view.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "morvik/blocks.h"
#include "morvik/morvik.h"
#include "morvik/scorer.h"

namespace morvik {

namespace {

constexpr std::size_t scan_window = 256;
constexpr std::size_t window_alignment = 4;
constexpr std::size_t signature_prefix = 4;

struct signature {
  std::string_view bytes;
  encoding_id result;
};
// Longer marks first: FF FE 00 00 must win over FF FE.
constexpr signature signatures[] = {
    {utf32be_bom, utf32be}, {utf32le_bom, utf32le}, {utf8_bom, utf8},
    {utf16be_bom, utf16be}, {utf16le_bom, unicode},
};

constexpr std::string_view jis_escapes[] = {escape_jisx0208, escape_katakana, escape_jisx0212};

constexpr std::string_view utf8_names[] = {"UTF-8"};
constexpr std::string_view sjis_names[] = {"Shift_JIS", "shift_jis", "sjis", "Shift-JIS", "shift-jis", "SJIS"};
constexpr std::string_view euc_names[] = {"EUC", "euc"};

constexpr unsigned byte_at(std::string_view text, std::size_t offset) {
  return static_cast<unsigned char>(text[offset]);
}

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Membership in `non_plain_bytes`, as a table built from the constant itself.
struct byte_set {
  explicit byte_set(std::string_view members) {
    for (char c : members) contains[static_cast<unsigned char>(c)] = true;
  }
  std::array<bool, 256> contains{};
};

// One pass for the three escapes: each starts with ESC.
bool has_jis_escape(std::string_view text) {
  for (std::size_t at = text.find('\x1B'); at != std::string_view::npos; at = text.find('\x1B', at + 1)) {
    const std::string_view rest = text.substr(at);
    for (std::string_view escape : jis_escapes) {
      if (starts_with(rest, escape)) return true;
    }
  }
  return false;
}

template <std::size_t N>
std::size_t first_name(std::string_view text, const std::string_view (&names)[N]) {
  std::size_t first = std::string_view::npos;
  for (std::string_view name : names) first = std::min(first, text.find(name));
  return first;
}

encoding_id by_written_name(std::string_view text) {
  constexpr std::size_t none = std::string_view::npos;  // larger than every offset
  const std::size_t u = first_name(text, utf8_names);
  const std::size_t s = first_name(text, sjis_names);
  const std::size_t e = first_name(text, euc_names);
  if (u != none && u < s && u < e) return utf8;
  if (s != none && s < e) return sjis;
  if (e != none) return euc;
  return default_encoding();
}

encoding_id by_line_breaks(std::string_view text) {
  bool lf = false;
  bool cr = false;
  bool pair = false;  // CR LF or LF CR
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\n' && c != '\r') continue;
    (c == '\n' ? lf : cr) = true;
    if (i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r') && text[i + 1] != c) pair = true;
  }
  if (lf) return pair ? sjis : euc;
  if (cr) return sjis;
  return by_written_name(text);
}

}  // namespace

encoding_id detect_encoding(std::string_view text, std::size_t max_length) {
  const std::string_view examined = text.substr(0, std::min(text.size(), max_length));
  const std::size_t n = examined.size();
  if (n == 0) return unknown_encoding;

  const std::string_view head = examined.substr(0, signature_prefix);
  for (const signature& mark : signatures) {
    if (starts_with(head, mark.bytes)) return mark.result;
  }

  // A NUL pair on a 4-byte boundary is a UTF-32 character with two zero bytes.
  const std::size_t nul_pair = examined.find(std::string_view("\0\0", 2));
  if (nul_pair != std::string_view::npos) {
    if (nul_pair % 4 == 0) return utf32be;
    if (nul_pair % 4 == 2) return utf32le;
  }

  if (has_jis_escape(examined)) return jis;

  static const byte_set non_plain(non_plain_bytes);
  std::size_t first = 0;
  while (n - first >= ascii_block_size && is_plain_block(examined.data() + first)) first += ascii_block_size;
  while (first < n && !non_plain.contains[byte_at(examined, first)]) ++first;
  if (first == n) return ansi;

  const std::size_t start = first - first % window_alignment;
  const std::size_t end = std::min(start + scan_window, n);
  const window_scores window = score_window(examined, start, end);
  if (window.even_nuls + window.odd_nuls > 0) return window.odd_nuls > window.even_nuls ? unicode : utf16be;
  if (window.high_bytes == 0) return examined.find(shift_in) != std::string_view::npos ? jis : ansi;

  const std::int32_t s = window.sjis_reader.evaluate();
  const std::int32_t e = window.euc_reader.evaluate();
  const std::int32_t u = window.utf8_reader.evaluate();
  if (s == e && e == u) return by_line_breaks(examined);
  if (e < s) return u > s ? utf8 : sjis;
  return u > e ? utf8 : euc;
}

}  // namespace morvik
