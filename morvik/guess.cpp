// The guesser reads the whole text in every candidate encoding and keeps the reading that
// looks most like real text: each reading is charged what its characters cost under a class
// bigram model of Japanese (guess_tables.cpp), where a katakana also depends on the one before
// it, and every byte sequence the encoding cannot hold costs more than any character. Validity
// does most of the work on long texts; the model decides the short ones, where one kanji in
// EUC-JP can be a valid but odd UTF-8 letter.
#include "morvik/guess.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "morvik/code_table.h"
#include "morvik/guess_tables.h"

namespace morvik {

namespace {

using cost_type = std::int64_t;
constexpr cost_type bit = 64;  // the model's unit

// A byte sequence the candidate cannot hold: dearer than the rarest character.
constexpr cost_type invalid_cost = 40 * bit;
// A well-formed code that maps to nothing (a gap in CP932 or JIS X 0208).
constexpr cost_type unmapped_cost = 32 * bit;
// Valid UTF-8 with a three- or four-byte sequence almost never happens by chance in the other
// encodings, and most new text is UTF-8. A two-byte sequence proves little: one EUC-JP kanji
// in seven (by frequency), and many a pair of half-width katakana in Shift_JIS, is one.
constexpr cost_type valid_utf8_bonus = 6 * bit;

// Japanese text costs about 8 bits a character, random units (of UTF-16 or UTF-32, or bytes
// read in an 8-bit encoding) over 20; the start and the end of a short text cost extra.
constexpr cost_type max_text_cost_per_character = 16 * bit;
constexpr cost_type text_cost_slack = 32 * bit;

constexpr unsigned line_break_class = 0;
constexpr unsigned control_class = 5;
constexpr unsigned ideograph_class = 8;
constexpr unsigned other_class = 15;

// What `code` costs after `previous` when both are katakana of one width, else null.
const std::uint16_t* pair_cost(char32_t previous, char32_t code) {
  if (previous - guess_katakana_first < guess_katakana_count && code - guess_katakana_first < guess_katakana_count)
    return &guess_katakana_pair_cost[previous - guess_katakana_first][code - guess_katakana_first];
  if (previous - guess_half_width_katakana_first < guess_half_width_katakana_count &&
      code - guess_half_width_katakana_first < guess_half_width_katakana_count)
    return &guess_half_width_katakana_pair_cost[previous - guess_half_width_katakana_first]
                                               [code - guess_half_width_katakana_first];
  return nullptr;
}

// One candidate's reading of the text and what it has cost so far.
class reading {
 public:
  void character(char32_t code) {
    unsigned character_class;
    cost_type cost;
    if (code <= 0xFFFF) {
      // The model as the generator lays it out: constant data, which threads share freely.
      character_class = guess_bmp_class[code];
      cost = guess_bmp_cost[code];
    } else {
      character_class = code >= 0x20000 && code <= 0x3FFFF ? ideograph_class : other_class;
      cost = guess_unseen_cost[character_class][2];
    }
    // Within a run of katakana the letter before tells what may follow.
    if (const std::uint16_t* pair = pair_cost(previous_code_, code)) cost = *pair;
    total_ += cost + guess_transition_cost[previous_][character_class];
    previous_ = character_class;
    previous_code_ = code;
    ++characters_;
    if (code >= 0x80) ++multi_byte_;
    if (code >= 0x800) ++wide_;
    if (character_class == control_class && code != 0x1B) ++controls_;
  }
  void invalid() {
    total_ += invalid_cost;
    previous_ = control_class;
    previous_code_ = 0;
    ++invalid_;
  }
  void unmapped() {
    total_ += unmapped_cost;
    previous_ = other_class;
    previous_code_ = 0;
    ++invalid_;
  }
  void end() { total_ += guess_transition_cost[previous_][line_break_class]; }

  cost_type total() const { return total_; }
  std::size_t invalid_count() const { return invalid_; }
  std::size_t character_count() const { return characters_; }
  std::size_t non_ascii_count() const { return multi_byte_; }
  // Characters that take three or more bytes in UTF-8.
  std::size_t wide_count() const { return wide_; }
  std::size_t control_count() const { return controls_; }

 private:
  cost_type total_ = 0;
  unsigned previous_ = line_break_class;
  char32_t previous_code_ = 0;
  std::size_t invalid_ = 0;
  std::size_t characters_ = 0;
  std::size_t multi_byte_ = 0;
  std::size_t wide_ = 0;
  std::size_t controls_ = 0;
};

unsigned byte_at(std::string_view text, std::size_t offset) { return static_cast<unsigned char>(text[offset]); }

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool in(unsigned byte, unsigned first, unsigned last) { return first <= byte && byte <= last; }

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
void read_utf8(std::string_view text, reading& out) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned b = byte_at(text, i);
    if (b < 0x80) {
      out.character(b);
      ++i;
      continue;
    }
    std::size_t length;
    char32_t code;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range
    if (in(b, 0xC2, 0xDF)) {
      length = 2, code = b & 0x1F;
    } else if (in(b, 0xE0, 0xEF)) {
      length = 3, code = b & 0x0F;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (in(b, 0xF0, 0xF4)) {
      length = 4, code = b & 0x07;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      out.invalid();
      ++i;
      continue;
    }
    std::size_t k = 1;
    for (; k < length && i + k < n; ++k) {
      const unsigned c = byte_at(text, i + k);
      if (k == 1 ? !in(c, low, high) : !in(c, 0x80, 0xBF)) break;
      code = code << 6 | (c & 0x3F);
    }
    if (k < length) {
      out.invalid();  // also a sequence cut by the end of the text
      i += k;
      continue;
    }
    out.character(code);
    i += length;
  }
  out.end();
}

// CP932: single bytes 00-7F and A1-DF, pairs of a lead 81-9F/E0-FC and a trail 40-7E/80-FC.
void read_sjis(std::string_view text, reading& out) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned b = byte_at(text, i);
    if (b < 0x80) {
      out.character(b);
      ++i;
    } else if (is_half_width_katakana(b)) {
      out.character(half_width_katakana_unit(b));
      ++i;
    } else if (is_sjis_lead_byte(b)) {
      if (i + 1 >= n) {
        out.invalid();
        ++i;
        continue;
      }
      const unsigned t = byte_at(text, i + 1);
      if (!is_sjis_trail_byte(t)) {
        out.invalid();
        ++i;
        continue;
      }
      if (const std::uint32_t code = sjis_to_unicode.lookup(static_cast<std::int32_t>(b << 8 | t)))
        out.character(code);
      else
        out.unmapped();
      i += 2;
    } else {
      out.invalid();
      ++i;
    }
  }
  out.end();
}

// EUC-JP: pairs A1-FE A1-FE (JIS X 0208), 8E A1-DF (half-width katakana), 8F and a pair
// (JIS X 0212).
void read_euc(std::string_view text, reading& out) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned b = byte_at(text, i);
    if (b < 0x80) {
      out.character(b);
      ++i;
    } else if (b == 0x8E) {
      if (i + 1 < n && is_half_width_katakana(byte_at(text, i + 1))) {
        out.character(half_width_katakana_unit(byte_at(text, i + 1)));
        i += 2;
      } else {
        out.invalid();
        ++i;
      }
    } else if (b == 0x8F) {
      if (i + 2 < n && in(byte_at(text, i + 1), 0xA1, 0xFE) && in(byte_at(text, i + 2), 0xA1, 0xFE)) {
        const auto index = static_cast<std::int32_t>(byte_at(text, i + 1) << 8 | byte_at(text, i + 2));
        if (const std::uint32_t code = jisx0212_to_unicode.lookup(index))
          out.character(code);
        else
          out.unmapped();
        i += 3;
      } else {
        out.invalid();
        ++i;
      }
    } else if (in(b, 0xA1, 0xFE)) {
      if (i + 1 < n && in(byte_at(text, i + 1), 0xA1, 0xFE)) {
        if (const std::uint32_t code = euc_to_unicode.lookup(static_cast<std::int32_t>(b << 8 | byte_at(text, i + 1))))
          out.character(code);
        else
          out.unmapped();
        i += 2;
      } else {
        out.invalid();
        ++i;
      }
    } else {
      out.invalid();
      ++i;
    }
  }
  out.end();
}

// ISO-2022-JP and its relatives: ESC ( B / ( J / ( I / $ @ / $ B / $ ( D switch the set of
// the bytes 21-7E, SO and SI switch katakana on and off, and 8-bit JIS writes half-width
// katakana as A1-DF. Controls and spaces keep their meaning in every set.
void read_jis(std::string_view text, reading& out) {
  enum class set { ascii, katakana, jisx0208, jisx0212 };
  set current = set::ascii;
  bool shifted = false;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned b = byte_at(text, i);
    if (b == 0x1B) {
      const std::string_view rest = text.substr(i);
      struct escape {
        std::string_view bytes;
        set designated;
      };
      static constexpr escape escapes[] = {
          {"\x1B(B", set::ascii},    {"\x1B(J", set::ascii},    {"\x1B(I", set::katakana},
          {"\x1B$@", set::jisx0208}, {"\x1B$B", set::jisx0208}, {"\x1B$(D", set::jisx0212},
      };
      const escape* found = nullptr;
      for (const escape& e : escapes)
        if (starts_with(rest, e.bytes)) found = &e;
      if (found) {
        current = found->designated;
        i += found->bytes.size();
      } else {
        out.invalid();
        ++i;
      }
    } else if (b == 0x0E || b == 0x0F) {
      shifted = b == 0x0E;
      ++i;
    } else if (b >= 0x80) {
      if (is_half_width_katakana(b))
        out.character(half_width_katakana_unit(b));
      else
        out.invalid();
      ++i;
    } else if (b <= 0x20 || b == 0x7F) {
      out.character(b);
      ++i;
    } else if (shifted || current == set::katakana) {
      if (in(b, 0x21, 0x5F))
        out.character(half_width_katakana_unit(b | 0x80));
      else
        out.invalid();
      ++i;
    } else if (current == set::ascii) {
      out.character(b);
      ++i;
    } else {
      if (i + 1 >= n || !in(byte_at(text, i + 1), 0x21, 0x7E)) {
        out.invalid();
        ++i;
        continue;
      }
      const auto index = static_cast<std::int32_t>((b << 8 | byte_at(text, i + 1)) | 0x8080);
      const std::uint32_t code =
          current == set::jisx0208 ? euc_to_unicode.lookup(index) : jisx0212_to_unicode.lookup(index);
      if (code)
        out.character(code);
      else
        out.unmapped();
      i += 2;
    }
  }
  out.end();
}

// UTF-16 or UTF-32 of either byte order; a cut last unit is left alone, as a window may end there.
void read_wide(std::string_view text, std::size_t unit, bool big_endian, reading& out) {
  const std::size_t n = text.size() - text.size() % unit;
  auto value = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < unit; ++k) {
      const std::size_t shift = 8 * (big_endian ? unit - 1 - k : k);
      v |= static_cast<std::uint32_t>(byte_at(text, at + k)) << shift;
    }
    return v;
  };
  for (std::size_t i = 0; i < n; i += unit) {
    const std::uint32_t v = value(i);
    if (v == 0 || v > 0x10FFFF || v == 0xFFFE || v == 0xFFFF) {
      out.invalid();
    } else if (unit == 2 && v >= 0xD800 && v <= 0xDBFF) {
      const std::uint32_t low = i + 2 < n ? value(i + 2) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out.character(0x10000 + ((v - 0xD800) << 10 | (low - 0xDC00)));
        i += 2;
      } else if (i + 2 >= n) {
        break;  // cut by the end of the window
      } else {
        out.invalid();
      }
    } else if (v >= 0xD800 && v <= 0xDFFF) {
      out.invalid();
    } else {
      out.character(v);
    }
  }
  out.end();
}

// The probability, in percent, that the cheapest reading is the right one, when the
// model's costs are taken as log-likelihoods and every candidate as equally likely beforehand.
int confidence_of(const cost_type* costs, std::size_t count, std::size_t best) {
  double others = 0;
  for (std::size_t k = 0; k < count; ++k)
    if (k != best) others += std::exp2(-static_cast<double>(costs[k] - costs[best]) / bit);
  return static_cast<int>(std::floor(100.0 / (1.0 + others)));
}

// What `units` units (characters, or code units of a wide form) of text cost at most.
bool reads_as_text(const reading& r, std::size_t units) {
  return r.total() <= static_cast<cost_type>(units) * max_text_cost_per_character + text_cost_slack;
}

bool is_binary_control(unsigned byte) {
  // Tab, line breaks, form feed, SO, SI and ESC are at home in text, and so are the
  // backspaces of overstruck manual pages and the Ctrl-Z that ends old DOS files.
  return byte < 0x20 ? !(byte == 0x08 || byte == 0x09 || byte == 0x0A || byte == 0x0C || byte == 0x0D ||
                         byte == 0x0E || byte == 0x0F || byte == 0x1A || byte == 0x1B)
                     : byte == 0x7F;
}

encoding_guess binary_guess() { return {unknown_encoding, true, 100}; }

encoding_guess guess_wide(std::string_view text) {
  struct candidate {
    encoding_id encoding;
    std::size_t unit;
    bool big_endian;
  };
  constexpr candidate candidates[] = {
      {unicode, 2, false}, {utf16be, 2, true}, {utf32le, 4, false}, {utf32be, 4, true}};
  cost_type costs[std::size(candidates)];
  std::size_t valid = std::size(candidates);
  for (std::size_t k = 0; k < std::size(candidates); ++k) {
    reading r;
    read_wide(text, candidates[k].unit, candidates[k].big_endian, r);
    const std::size_t units = text.size() / candidates[k].unit;
    // Text has no NUL character, hardly any controls, and characters that Japanese text
    // uses: 8-bit text with a stray NUL reads as Yi syllables and unseen ideographs.
    const bool text_like = units > 0 && r.invalid_count() == 0 && r.control_count() * 64 <= units &&
                           reads_as_text(r, units);
    // A reading that is no text takes no share of the confidence.
    costs[k] = text_like ? r.total() : std::numeric_limits<cost_type>::max() / 2;
    if (text_like && (valid == std::size(candidates) || costs[k] < costs[valid])) valid = k;
  }
  if (valid == std::size(candidates)) return binary_guess();
  return {candidates[valid].encoding, false, confidence_of(costs, std::size(candidates), valid)};
}

}  // namespace

encoding_guess guess_encoding(std::string_view text) {
  if (text.empty()) return {ansi, false, 100};

  // Signatures decide at once, the longer first: FF FE 00 00 is UTF-32.
  struct signature {
    std::string_view bytes;
    encoding_id encoding;
  };
  constexpr signature signatures[] = {{utf32be_bom, utf32be}, {utf32le_bom, utf32le}, {utf8_bom, utf8},
                                      {utf16be_bom, utf16be}, {utf16le_bom, unicode}};
  for (const signature& s : signatures)
    if (starts_with(text, s.bytes)) return {s.encoding, false, 100};

  std::size_t nuls = 0, controls = 0, high = 0, escapes = 0;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b == 0) ++nuls;
    if (is_binary_control(b)) ++controls;
    if (b >= 0x80) ++high;
    if (b == 0x1B || b == 0x0E) ++escapes;
  }
  if (nuls > 0) return guess_wide(text);
  // A few controls happen in text (a stray bell, a DEL); binary data is full of them. A short
  // 8-bit text with a few separators is still text if it reads as text.
  const bool many_controls = controls * 32 > text.size();
  if (many_controls && high == 0) return binary_guess();
  if (high == 0 && escapes == 0) return {ansi, false, 100};
  if (high == 0) {
    // 7-bit text with escapes: JIS if they switch to characters, else ANSI with terminal
    // colours or the like.
    reading r;
    read_jis(text, r);
    if (r.non_ascii_count() > r.invalid_count())
      return {jis, false, r.invalid_count() == 0 ? 100 : 90};
    return {ansi, false, 90};
  }

  struct candidate {
    encoding_id encoding;
    void (*read)(std::string_view, reading&);
  };
  constexpr candidate candidates[] = {{utf8, read_utf8}, {sjis, read_sjis}, {euc, read_euc}, {jis, read_jis}};
  // JIS takes part only where an escape or a shift says it may: without one, its reading of
  // 8-bit text is Shift_JIS's reading of the half-width katakana.
  const std::size_t count = escapes > 0 ? 4 : 3;
  cost_type costs[4];
  bool text_like[4];
  std::size_t best = 0;
  for (std::size_t k = 0; k < count; ++k) {
    reading r;
    candidates[k].read(text, r);
    costs[k] = r.total();
    text_like[k] = r.invalid_count() == 0 && reads_as_text(r, r.character_count());
    if (candidates[k].encoding == utf8 && r.invalid_count() == 0 && r.wide_count() > 0)
      costs[k] -= valid_utf8_bonus;
    // Ties go to the earlier candidate.
    if (costs[k] < costs[best]) best = k;
  }
  if (many_controls && !text_like[best]) return binary_guess();
  return {candidates[best].encoding, false, confidence_of(costs, count, best)};
}

}  // namespace morvik
