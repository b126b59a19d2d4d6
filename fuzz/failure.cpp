#include <cstdio>
#include <cstdlib>

#include "fuzz/targets.h"

namespace korvel::fuzz {
namespace {

failure_handler current_handler = nullptr;

}  // namespace

void set_failure_handler(failure_handler handler) { current_handler = handler; }

void fail(const std::string& message) {
  if (current_handler != nullptr) current_handler(message);
  std::fprintf(stderr, "fuzz property broken: %s\n", message.c_str());
  std::abort();
}

std::string hex(const std::string& bytes, std::size_t limit) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "[";
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    if (i != 0) text += ' ';
    const auto byte = static_cast<unsigned char>(bytes[i]);
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  if (bytes.size() > limit) text += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return text + "]";
}

}  // namespace korvel::fuzz
