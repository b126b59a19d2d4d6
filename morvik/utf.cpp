// UTF-16 reinterpretation between byte strings and wide strings.
#include "morvik/utf.h"

#include "morvik/assertion.h"
#include "morvik/morvik.h"

namespace morvik {

std::uint16_t swap_bytes(std::uint32_t x) {
  MORVIK_ASSERT(x <= 0xFFFF, "X <= 0xFFFF");
  return static_cast<std::uint16_t>((x & 0xFF) << 8 | x >> 8);
}

wide_string bytes_to_unicode(std::string_view bytes) {
  utf16le_to_unicode_engine engine;
  return engine.translate_all(bytes);
}

wide_string swapped_bytes_to_unicode(std::string_view bytes) {
  wide_string units = bytes_to_unicode(bytes);
  // An odd last byte became "?", which is no byte pair to swap.
  std::size_t pairs = bytes.size() / 2;
  for (std::size_t i = 0; i < pairs; ++i) units[i] = static_cast<char16_t>(swap_bytes(units[i]));
  return units;
}

narrow_string unicode_to_bytes(std::u16string_view wide) {
  unicode_to_utf16le_engine engine;
  return engine.translate_all(wide);
}

narrow_string unicode_to_swapped_bytes(std::u16string_view wide) {
  unicode_to_utf16be_engine engine;
  return engine.translate_all(wide);
}

}  // namespace morvik
