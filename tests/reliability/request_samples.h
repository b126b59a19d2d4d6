#pragma once
// Requests of every kind the module answers: each function, names it does not know, the version
// probe and malformed texts. Texts are given in the encodings they claim.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "frame/saori_exports.h"

namespace korvel::reliability {

// "あいう漢字" in each encoding, and half-width katakana with sound marks.
inline const std::string sjis_text = "\x82\xa0\x82\xa2\x82\xa4\x8a\xbf\x8e\x9a";
inline const std::string euc_text = "\xa4\xa2\xa4\xa4\xa4\xa6\xb4\xc1\xbb\xfa";
inline const std::string utf8_text = "\xe3\x81\x82\xe3\x81\x84\xe3\x81\x86\xe6\xbc\xa2\xe5\xad\x97";
inline const std::string jis_text = "\x1b$B$\"$$$&4A;z\x1b(B";
inline const std::string sjis_halfwidth = "\xb1\xb2\xb3\xde\xb6\xde";
inline const std::string utf16_text = std::string("\xff\xfe\x42\x30\x44\x30", 6);  // cut at the first NUL

inline std::string execute(const std::vector<std::string>& arguments, const std::string& charset = "") {
  std::string text = "EXECUTE SAORI/1.0\r\n";
  if (!charset.empty()) text += "Charset: " + charset + "\r\n";
  text += "Sender: reliability\r\nSecurityLevel: Local\r\n";
  for (std::size_t i = 0; i < arguments.size(); ++i)
    text += "Argument" + std::to_string(i) + ": " + arguments[i] + "\r\n";
  return text + "\r\n";
}

inline std::string repeated(const std::string& piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

inline std::vector<std::string> sample_requests() {
  return {
      "GET Version SAORI/1.0\r\n\r\n",
      "GET Version SAORI/1.0\r\nCharset: UTF-8\r\nArgument0: translate\r\n\r\n",
      "EXECUTE SAORI/1.0\r\n\r\n",
      execute({"Translate", sjis_text, "Shift_JIS"}),
      execute({"no such function"}),
      execute({"translate ", sjis_text, "Shift_JIS"}),
      "",
      "execute SAORI/1.0\r\n\r\n",
      "GET Version SAORI/1.1\r\n\r\n",
      "EXECUTE SAORI/1.0\r\nCharset:UTF-8\r\n\r\n",
      "EXECUTE SAORI/1.0\r\nArgument0: translate\n\r\n",
      "EXECUTE SAORI/1.0\r\nArgument0: analyze encoding\r\nArgument1: x",
      execute({"analyze encoding", sjis_text}),
      execute({"analyze encoding", euc_text}),
      execute({"analyze encoding", utf8_text}),
      execute({"analyze encoding", jis_text}),
      execute({"analyze encoding", utf16_text}),
      execute({"analyze encoding", ""}),
      execute({"auto translate", sjis_text, "UTF-8"}),
      execute({"auto translate", euc_text}),
      execute({"auto translate", utf8_text, "ISO-2022-JP"}),
      execute({"auto translate", sjis_text, "ANSI"}),
      execute({"semiauto translate", euc_text, "JIS"}, "EUC-JP"),
      execute({"semiauto translate", utf8_text}, "UTF-8"),
      execute({"semiauto translate", sjis_text, "UTF-8"}),
      execute({"semiauto translate", sjis_text, "UTF-8"}, "shift_jis"),
      execute({"translate", sjis_text, "Shift_JIS", "UTF-8"}),
      execute({"translate", sjis_halfwidth, "Shift_JIS", "ISO-2022-JP"}),
      execute({"translate", euc_text, "EUC-JP", "JIS"}),
      execute({"translate", jis_text, "JIS", "Shift_JIS"}),
      execute({"translate", jis_text, "ISO-2022-JP", "EUC-JP"}),
      execute({"translate", utf8_text, "UTF-8"}),
      execute({"translate", utf8_text, "UTF-8", "utf-8"}),
      execute({"translate", sjis_text, ""}),
      execute({"translate", repeated(sjis_text + sjis_halfwidth + "abc ", 300), "Shift_JIS", "ISO-2022-JP"}),
      execute({"translate", repeated(utf8_text + "\xff\xc0", 200), "UTF-8", "EUC-JP"}),
  };
}

inline std::string hex(std::string_view bytes, std::size_t limit = 256) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "[";
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    if (i != 0) text += ' ';
    text += digits[static_cast<unsigned char>(bytes[i]) >> 4];
    text += digits[static_cast<unsigned char>(bytes[i]) & 15];
  }
  if (bytes.size() > limit) text += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return text + "]";
}

// One request as a POSIX host sends it: an exact-size malloc block that the module frees, and a
// response block that the host frees. Returns the block's bytes (the NUL included), or "<null>".
inline std::string send(std::string_view text) {
  void* const block = std::malloc(text.empty() ? 1 : text.size());
  if (!text.empty()) std::memcpy(block, text.data(), text.size());
  saori_long len = static_cast<saori_long>(text.size());
  const saori_block response = request(block, &len);
  if (response == nullptr) return "<null>";
  std::string bytes(static_cast<const char*>(response), len > 0 ? static_cast<std::size_t>(len) : 0);
  std::free(response);
  return bytes;
}

}  // namespace korvel::reliability
