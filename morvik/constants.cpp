// The library's constant data that is not a table: built at compile time, nothing runs at start-up.
#include <array>
#include <cstddef>
#include <string_view>

#include "morvik/morvik.h"

namespace morvik {

namespace {

constexpr std::array<char, 131> make_non_plain_bytes() {
  std::array<char, 131> bytes{};
  bytes[0] = '\x00';
  bytes[1] = '\x0F';
  bytes[2] = '\x1B';
  for (int b = 0x80; b <= 0xFF; ++b) bytes[static_cast<std::size_t>(b - 0x80 + 3)] = static_cast<char>(b);
  return bytes;
}
constexpr std::array<char, 131> non_plain_storage = make_non_plain_bytes();

}  // namespace

const std::string_view non_plain_bytes{non_plain_storage.data(), non_plain_storage.size()};

}  // namespace morvik
