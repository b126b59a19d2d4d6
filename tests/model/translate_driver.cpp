// Runs translate_text over a stream of records so a model can be compared with it.
// Input records:  from (1 byte), to (1 byte), length (4 bytes, little-endian), text.
// Output records: length (4 bytes, little-endian), translated text.
#include <cstdint>
#include <cstdio>
#include <string>

#include "morvik/morvik.h"

namespace {

bool read_exact(void* data, std::size_t size) {
  return size == 0 || std::fread(data, 1, size, stdin) == size;
}

void write_length(std::uint32_t length) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
      static_cast<unsigned char>(length >> 16), static_cast<unsigned char>(length >> 24)};
  std::fwrite(bytes, 1, sizeof bytes, stdout);
}

}  // namespace

int main() {
  morvik::initialize_library();
  std::string text;
  for (;;) {
    unsigned char header[6];
    if (!read_exact(header, sizeof header)) break;
    const std::uint32_t length = header[2] | (header[3] << 8) | (header[4] << 16) |
                                 (static_cast<std::uint32_t>(header[5]) << 24);
    text.resize(length);
    if (!read_exact(text.data(), length)) return 2;
    const std::string result = morvik::translate_text(
        text, static_cast<morvik::encoding_id>(header[0]), static_cast<morvik::encoding_id>(header[1]));
    write_length(static_cast<std::uint32_t>(result.size()));
    std::fwrite(result.data(), 1, result.size(), stdout);
  }
  std::fflush(stdout);
  return 0;
}
