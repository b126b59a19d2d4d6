#pragma once
// morvik: Japanese character-encoding conversion and analysis.
// Every conversion between unrelated encodings pivots through UTF-16 (`unicode`).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvik {

// Fixed values: the pair table of the front door is keyed by them and analysis returns them.
enum encoding_id : int {
  unknown_encoding = 0,
  reserved_encoding = 1,
  ansi = 2,
  sjis = 3,
  jis = 4,
  euc = 5,
  iso2022jp = 6,
  utf8 = 7,
  utf16be = 8,
  unicode = 9,  // native UTF-16; as bytes, little-endian
  utf32be = 10,
  utf32le = 11,
};

using narrow_string = std::string;     // bytes of any encoding
using wide_string = std::u16string;    // UTF-16 code units, always `unicode`

// Global constant strings. Constant data: nothing to construct, nothing to destroy.
template <class Unit>
inline constexpr std::basic_string_view<Unit> replacement_char{};
template <>
inline constexpr std::basic_string_view<char> replacement_char<char>{"?", 1};
template <>
inline constexpr std::basic_string_view<char16_t> replacement_char<char16_t>{u"?", 1};

inline constexpr std::string_view narrow_empty{};
inline constexpr std::u16string_view wide_empty{};
inline constexpr std::u16string_view wide_bom_text{u"\uFEFF", 1};

inline constexpr std::string_view escape_ascii{"\x1B(B", 3};        // ESC ( B
inline constexpr std::string_view escape_jisx0208{"\x1B$B", 3};     // ESC $ B
inline constexpr std::string_view escape_katakana{"\x1B(I", 3};     // ESC ( I
inline constexpr std::string_view escape_jisx0212{"\x1B$(D", 4};    // ESC $ ( D
inline constexpr std::string_view shift_out{"\x0E", 1};             // SO
inline constexpr std::string_view shift_in{"\x0F", 1};              // SI

// Byte-order marks, in the order analysis tries them; the UTF-8 one is also the mark the
// signature stages write and remove.
inline constexpr std::string_view utf32be_bom{"\x00\x00\xFE\xFF", 4};
inline constexpr std::string_view utf32le_bom{"\xFF\xFE\x00\x00", 4};
inline constexpr std::string_view utf8_bom{"\xEF\xBB\xBF", 3};
inline constexpr std::string_view utf16be_bom{"\xFE\xFF", 2};
inline constexpr std::string_view utf16le_bom{"\xFF\xFE", 2};

// NUL, SI, ESC and every high byte: the first of them starts the analysis window.
extern const std::string_view non_plain_bytes;

// The encoding assumed when nothing says otherwise.
constexpr encoding_id default_encoding() { return sjis; }

// UTF-16 reinterpretation between byte strings and wide strings.
std::uint16_t swap_bytes(std::uint32_t x);
wide_string bytes_to_unicode(std::string_view bytes);          // little-endian pairs
wide_string swapped_bytes_to_unicode(std::string_view bytes);  // big-endian pairs
narrow_string unicode_to_bytes(std::u16string_view wide);
narrow_string unicode_to_swapped_bytes(std::u16string_view wide);

// The place for one-time start-up work, called before the first conversion. Every table is
// constant data, so there is none: it does nothing, and any thread may call it at any time.
void initialize_library();

// Converts a whole text; never fails. A pair without a conversion copies the text.
narrow_string translate_text(std::string_view text, encoding_id from, encoding_id to);
// The other forms of the front door.
wide_string translate_to_unicode(std::string_view text, encoding_id from);
narrow_string translate_from_unicode(std::u16string_view text, encoding_id to);
wide_string translate_unicode(std::u16string_view text, encoding_id from, encoding_id to);

// UTF-8 bytes to UTF-16 units, as the UTF-8 reading engine does it.
wide_string utf8_to_unicode(std::string_view bytes);

// Names the encoding of the first `max_length` bytes of `text`; never fails.
// `analysis_length` is the prefix the module and the commands let it read.
inline constexpr std::size_t analysis_length = 8192;
encoding_id detect_encoding(std::string_view text, std::size_t max_length);

}  // namespace morvik
