// Reads records (a 4-byte little-endian length, then that many bytes) from standard input and
// prints the encoding id that detect_encoding gives for each, one per line. With --guess it
// prints guess_encoding's answer instead, -1 for binary.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "morvik/guess.h"
#include "morvik/morvik.h"

int main(int argc, char** argv) {
  const bool guess = argc > 1 && std::strcmp(argv[1], "--guess") == 0;
  unsigned char header[4];
  std::string sample;
  while (std::fread(header, 1, 4, stdin) == 4) {
    const std::uint32_t length = header[0] | header[1] << 8 | header[2] << 16 | std::uint32_t{header[3]} << 24;
    sample.resize(length);
    if (length != 0 && std::fread(&sample[0], 1, length, stdin) != length) return 1;
    if (guess) {
      const morvik::encoding_guess answer = morvik::guess_encoding(sample);
      std::printf("%d\n", answer.binary ? -1 : static_cast<int>(answer.encoding));
    } else {
      std::printf("%d\n", static_cast<int>(morvik::detect_encoding(sample, morvik::analysis_length)));
    }
  }
  return 0;
}
