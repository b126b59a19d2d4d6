#include "morvik/strict.h"

#include <cstdint>

#include "morvik/code_table.h"
#include "morvik/repertoire.h"

namespace morvik {
namespace {

// One step of a strict reader over the bytes at the read position.
struct read_step {
  enum kind { character, shift, incomplete, invalid };
  kind what = invalid;
  std::size_t length = 1;
  char32_t code_point = 0;
  bool supplementary_set = false;  // a JIS X 0212 character
  int new_state = 0;               // for a shift
};

read_step make_character(char32_t code_point, std::size_t length, bool supplementary = false) {
  read_step step;
  step.what = read_step::character;
  step.code_point = code_point;
  step.length = length;
  step.supplementary_set = supplementary;
  return step;
}

read_step make_invalid(std::size_t length) {
  read_step step;
  step.what = read_step::invalid;
  step.length = length;
  return step;
}

read_step make_incomplete() {
  read_step step;
  step.what = read_step::incomplete;
  return step;
}

read_step make_shift(int state, std::size_t length) {
  read_step step;
  step.what = read_step::shift;
  step.new_state = state;
  step.length = length;
  return step;
}

unsigned byte_at(std::string_view bytes, std::size_t i) { return static_cast<unsigned char>(bytes[i]); }

std::int32_t pair_code(unsigned first, unsigned second) {
  return static_cast<std::int32_t>(first << 8 | second);
}

read_step read_ansi(std::string_view bytes) {
  const unsigned b = byte_at(bytes, 0);
  return b < 0x80 ? make_character(b, 1) : make_invalid(1);
}

read_step read_sjis(std::string_view bytes) {
  const unsigned b = byte_at(bytes, 0);
  if (b < 0x80) return make_character(b, 1);
  if (b >= 0xA1 && b <= 0xDF) return make_character(sjis_to_unicode.lookup(pair_code(0, b)), 1);
  if (!is_sjis_lead_byte(b)) return make_invalid(1);  // 0x80, 0xA0, 0xFD-0xFF
  if (bytes.size() < 2) return make_incomplete();
  const unsigned t = byte_at(bytes, 1);
  if (!is_sjis_trail_byte(t)) return make_invalid(1);
  const std::uint32_t unit = sjis_to_unicode.lookup(pair_code(b, t));
  return unit != 0 ? make_character(unit, 2) : make_invalid(2);
}

bool is_euc_byte(unsigned b) { return b >= 0xA1 && b <= 0xFE; }

read_step read_euc(std::string_view bytes) {
  const unsigned b = byte_at(bytes, 0);
  if (b < 0x80) return make_character(b, 1);
  if (is_euc_aux_lead_byte(b)) {
    for (std::size_t i = 1; i < 3; ++i) {
      if (i == bytes.size()) return make_incomplete();
      if (!is_euc_byte(byte_at(bytes, i))) return make_invalid(1);
    }
    const std::uint32_t unit = jisx0212_to_unicode.lookup(pair_code(byte_at(bytes, 1), byte_at(bytes, 2)));
    return unit != 0 ? make_character(unit, 3, true) : make_invalid(3);
  }
  if (!is_euc_lead_byte(b)) return make_invalid(1);
  if (bytes.size() < 2) return make_incomplete();
  const unsigned t = byte_at(bytes, 1);
  if (!is_euc_byte(t)) return make_invalid(1);
  const std::uint32_t unit = euc_to_unicode.lookup(pair_code(b, t));
  return unit != 0 ? make_character(unit, 2) : make_invalid(2);
}

// Well-formed UTF-8 only. An overlong form, a surrogate or a value past U+10FFFF is reported
// with its whole sequence; a sequence cut short, up to the byte that cuts it.
read_step read_utf8(std::string_view bytes) {
  const unsigned b = byte_at(bytes, 0);
  if (b < 0x80) return make_character(b, 1);
  const std::size_t length = b < 0xC0 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : 0;
  if (length == 0) return make_invalid(1);
  std::size_t have = 1;
  while (have < length && have < bytes.size() && (byte_at(bytes, have) & 0xC0) == 0x80) ++have;
  if (have < length) return have == bytes.size() ? make_incomplete() : make_invalid(have);
  char32_t code_point = b & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) code_point = code_point << 6 | (byte_at(bytes, i) & 0x3F);
  constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code_point < smallest[length] || (code_point >= 0xD800 && code_point <= 0xDFFF) ||
      code_point > 0x10FFFF) {
    return make_invalid(length);
  }
  return make_character(code_point, length);
}

read_step read_utf16(std::string_view bytes, bool big_endian) {
  auto unit_at = [&](std::size_t i) -> char32_t {
    const unsigned first = byte_at(bytes, i);
    const unsigned second = byte_at(bytes, i + 1);
    return big_endian ? first << 8 | second : second << 8 | first;
  };
  if (bytes.size() < 2) return make_incomplete();
  const char32_t unit = unit_at(0);
  if (unit >= 0xDC00 && unit <= 0xDFFF) return make_invalid(2);
  if (unit < 0xD800 || unit > 0xDBFF) return make_character(unit, 2);
  if (bytes.size() < 4) return make_incomplete();
  const char32_t low = unit_at(2);
  if (low < 0xDC00 || low > 0xDFFF) return make_invalid(2);
  return make_character(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), 4);
}

// JIS states, as the readers number them.
enum jis_state { jis_A = 0, jis_K2 = 1, jis_K1 = 2, jis_X = 3, jis_S = 4 };

bool is_jis_byte(unsigned b) { return b >= 0x21 && b <= 0x7E; }

read_step read_jis_escape(std::string_view bytes) {
  if (bytes.size() < 2) return make_incomplete();
  const unsigned first = byte_at(bytes, 1);
  if (first != '$' && first != '(') return make_invalid(2);
  if (bytes.size() < 3) return make_incomplete();
  const unsigned second = byte_at(bytes, 2);
  if (first == '(' && second == 'B') return make_shift(jis_A, 3);
  if (first == '(' && second == 'I') return make_shift(jis_K1, 3);
  if (first == '$' && second == 'B') return make_shift(jis_K2, 3);
  if (first == '$' && second == '(') {
    if (bytes.size() < 4) return make_incomplete();
    return byte_at(bytes, 3) == 'D' ? make_shift(jis_X, 4) : make_invalid(4);
  }
  return make_invalid(3);  // ESC ( J, ESC $ @ and the like: the readers drop them
}

read_step read_jis(std::string_view bytes, int state) {
  const unsigned b = byte_at(bytes, 0);
  if (b == 0x1B) return read_jis_escape(bytes);
  if (b == 0x0E) return make_shift(jis_S, 1);
  if (b == 0x0F) return make_shift(jis_A, 1);
  switch (state) {
    case jis_K2:
    case jis_X: {
      if (!is_jis_byte(b)) return make_invalid(1);
      if (bytes.size() < 2) return make_incomplete();
      const unsigned t = byte_at(bytes, 1);
      if (!is_jis_byte(t)) return make_invalid(1);
      const std::int32_t code = pair_code(b | 0x80, t | 0x80);
      const std::uint32_t unit = state == jis_K2 ? euc_to_unicode.lookup(code)
                                                 : jisx0212_to_unicode.lookup(code);
      return unit != 0 ? make_character(unit, 2, state == jis_X) : make_invalid(2);
    }
    case jis_K1:
    case jis_S:
      return b >= 0x21 && b <= 0x5F ? make_character(half_width_katakana_unit(b | 0x80), 1) : make_invalid(1);
    default:
      return b < 0x80 ? make_character(b, 1) : make_invalid(1);
  }
}

bool is_unicode_form(encoding_id id) { return id == utf8 || id == utf16be || id == unicode; }

bool is_japanese_byte_encoding(encoding_id id) {
  return id == ansi || id == sjis || id == jis || id == euc || id == iso2022jp;
}

// The pairs whose text is copied (the front door's pass cells and the same encoding twice).
bool pair_copies(encoding_id from, encoding_id to) {
  return from == to || (from == ansi && to != utf16be && to != unicode) ||
         (from == iso2022jp && to == jis);
}

// The pairs whose chains hold a signature remover (see the front door).
bool pair_drops_signatures(encoding_id from, encoding_id to) {
  if (from == utf8) return is_japanese_byte_encoding(to) && to != ansi;
  return (from == utf16be || from == unicode) && is_japanese_byte_encoding(to);
}

}  // namespace

strict_checker::strict_checker(encoding_id from, encoding_id to, bool with_signatures,
                               bool transliterate)
    : from_(from),
      to_(to),
      copies_(pair_copies(from, to)),
      drops_supplementary_(to == iso2022jp && (from == euc || from == jis)),
      drops_signatures_(with_signatures && pair_drops_signatures(from, to)),
      transliterates_(transliterate && is_unicode_form(from)) {}

bool strict_checker::writable(char32_t code_point, bool supplementary_set) const {
  if (copies_) return true;
  if (supplementary_set && drops_supplementary_) return false;
  if (code_point == 0xFEFF && drops_signatures_) return true;
  if (can_write(to_, code_point)) return true;
  return transliterates_ && look_alike(to_, code_point) != 0;
}

strict_scan strict_checker::scan(std::string_view bytes, bool at_end) {
  strict_scan result;
  std::size_t position = 0;
  int state = jis_state_;
  int accepted_state = jis_state_;
  bool shift_pending = false;  // a shift after `accepted` whose character has not come yet
  const bool ascii_compatible = from_ != utf16be && from_ != unicode;
  while (position < bytes.size()) {
    // Plain ASCII reads as itself in every other source and every target writes it.
    if (ascii_compatible && state == jis_A) {
      const std::size_t start = position;
      while (position < bytes.size()) {
        const unsigned b = byte_at(bytes, position);
        if (b >= 0x80 || b == 0x1B || b == 0x0E || b == 0x0F) break;
        ++position;
      }
      if (position != start) {
        result.accepted = position;
        accepted_state = state;
        shift_pending = false;
        continue;
      }
    }
    const std::string_view here = bytes.substr(position);
    read_step step;
    switch (from_) {
      case ansi: step = read_ansi(here); break;
      case sjis: step = read_sjis(here); break;
      case euc: step = read_euc(here); break;
      case jis:
      case iso2022jp: step = read_jis(here, state); break;
      case utf8: step = read_utf8(here); break;
      case utf16be: step = read_utf16(here, true); break;
      case unicode: step = read_utf16(here, false); break;
      default: step = make_character(byte_at(here, 0), 1); break;  // copied unread
    }
    if (step.what == read_step::incomplete) {
      if (!at_end) break;
      step = make_invalid(here.size());
    }
    if (step.what == read_step::character && !writable(step.code_point, step.supplementary_set)) {
      step.what = read_step::invalid;
    }
    if (step.what == read_step::invalid) {
      result.failed = true;
      result.failure = position;
      result.failure_length = step.length;
      failure_state_ = state;
      break;
    }
    if (step.what == read_step::shift) {
      // Only the last shift waits for its character, so a run of them holds back little.
      if (shift_pending) {
        result.accepted = position;
        accepted_state = state;
      }
      state = step.new_state;
      shift_pending = true;
      position += step.length;
      continue;
    }
    position += step.length;
    result.accepted = position;
    accepted_state = state;
    shift_pending = false;
  }
  if (!result.failed && at_end) {
    result.accepted = bytes.size();
    accepted_state = state;
  }
  jis_state_ = accepted_state;
  return result;
}

}  // namespace morvik
