#include "morvik/repertoire.h"

#include <cstdint>

#include "morvik/code_table.h"

namespace morvik {
namespace {

// Unicode's own characters against the full-width forms CP932 decodes to.
constexpr look_alike_pair look_alikes[] = {
    {0x301C, 0xFF5E},  // wave dash -> full-width tilde
    {0x2016, 0x2225},  // double vertical line -> parallel to
    {0x2212, 0xFF0D},  // minus sign -> full-width hyphen-minus
    {0x00A2, 0xFFE0},  // cent sign
    {0x00A3, 0xFFE1},  // pound sign
    {0x00AC, 0xFFE2},  // not sign
    {0x2014, 0x2015},  // em dash -> horizontal bar
};

bool is_surrogate(char32_t code_point) { return code_point >= 0xD800 && code_point <= 0xDFFF; }

}  // namespace

bool can_write(encoding_id to, char32_t code_point) {
  if (is_surrogate(code_point) || code_point > 0x10FFFF) return false;
  if (to == utf8 || to == utf16be || to == unicode) return true;
  // The JIS writers cannot carry their own shift bytes as text.
  if ((to == jis || to == iso2022jp) &&
      (code_point == 0x1B || code_point == 0x0E || code_point == 0x0F)) {
    return false;
  }
  if (code_point < 0x80) return to == ansi || to == sjis || to == euc || to == jis || to == iso2022jp;
  if (code_point > 0xFFFF) return false;
  const auto unit = static_cast<std::int32_t>(code_point);
  switch (to) {
    case sjis: return unicode_to_sjis.lookup(unit) != 0;
    case euc:
    case jis: return unicode_to_euc.lookup(unit) != 0;
    // No JIS X 0212 in ISO-2022-JP: only the two-byte and katakana forms survive.
    case iso2022jp: {
      const std::uint32_t code = unicode_to_euc.lookup(unit);
      return code != 0 && code <= 0xFFFF;
    }
    default: return false;
  }
}

char32_t look_alike(encoding_id to, char32_t code_point) {
  for (const look_alike_pair& pair : look_alikes) {
    if (pair.lacking == code_point) {
      return !can_write(to, code_point) && can_write(to, pair.written) ? pair.written : 0;
    }
  }
  return 0;
}

std::vector<look_alike_pair> look_alikes_for(encoding_id to) {
  std::vector<look_alike_pair> pairs;
  for (const look_alike_pair& pair : look_alikes) {
    if (look_alike(to, pair.lacking) != 0) pairs.push_back(pair);
  }
  return pairs;
}

}  // namespace morvik
