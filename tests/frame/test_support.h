#pragma once
// Helpers shared by the frame's tests: byte strings in hex for failure messages, and a host's side
// of the memory hand-off.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "frame/saori_exports.h"

namespace korvel::testing {

inline std::string hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : bytes.substr(0, 512)) {
    if (!text.empty()) text += ' ';
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  if (bytes.size() > 512) text += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return "[" + text + "]";
}

// A block holding exactly `bytes`, no terminator, allocated as a POSIX host does.
inline saori_block host_block(std::string_view bytes) {
  void* const block = std::malloc(bytes.empty() ? 1 : bytes.size());
  if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

struct exchange {
  bool returned_block;     // request returned a non-null block
  saori_long length;       // *len after the call
  std::string block_text;  // the returned block's bytes, *len of them
};

// One request the way a host sends it: the host's block holds `bytes`, *len says `length`.
inline exchange send_request(std::string_view bytes, saori_long length) {
  saori_long len = length;
  const saori_block response = request(host_block(bytes), &len);
  exchange result{response != nullptr, len, std::string()};
  if (response != nullptr && len > 0) result.block_text.assign(static_cast<const char*>(response), len);
  std::free(response);
  return result;
}

inline exchange send_request(std::string_view bytes) {
  return send_request(bytes, static_cast<saori_long>(bytes.size()));
}

}  // namespace korvel::testing
