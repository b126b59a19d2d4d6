// translate_text over every pair of identifiers 0-11: never a crash, the output within a small
// constant factor of the input, and the pairs without a conversion copy the text.
#include <string>
#include <string_view>

#include "fuzz/targets.h"
#include "morvik/morvik.h"

namespace korvel::fuzz {
namespace {

// The most a byte can grow to: a half-width katakana between ASCII letters, written as
// ISO-2022-JP, costs two escapes and a double-byte code.
constexpr std::size_t growth_factor = 8;
constexpr std::size_t growth_slack = 16;

bool without_conversion(int from, int to) {
  auto outside = [](int id) { return id == 0 || id == 1 || id == 10 || id == 11; };
  if (from == to || outside(from) || outside(to)) return true;
  // ANSI text is already valid in every ASCII-compatible Japanese encoding.
  if (from == morvik::ansi && (to == morvik::sjis || to == morvik::jis || to == morvik::euc || to == morvik::iso2022jp))
    return true;
  return from == morvik::iso2022jp && to == morvik::jis;
}

}  // namespace

int translate_target(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int pair = data[0] % 144;
  const int from = pair / 12;
  const int to = pair % 12;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  morvik::initialize_library();
  const std::string output = morvik::translate_text(text, static_cast<morvik::encoding_id>(from),
                                                    static_cast<morvik::encoding_id>(to));
  const std::string case_name = "translate_text " + std::to_string(from) + " -> " + std::to_string(to);
  if (output.size() > growth_factor * text.size() + growth_slack)
    fail(case_name + ": " + std::to_string(output.size()) + " bytes out of " + std::to_string(text.size()) +
         "\n  in  " + hex(std::string(text)) + "\n  out " + hex(output));
  if (without_conversion(from, to) && output != text)
    fail(case_name + " is not a copy\n  in  " + hex(std::string(text)) + "\n  out " + hex(output));
  return 0;
}

}  // namespace korvel::fuzz
