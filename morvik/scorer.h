#pragma once
// Encoding scorers: each reads bytes as one candidate encoding, adds the weight of every
// character it recognises and counts every byte that cannot belong to the encoding. One
// rejected byte costs as much as the heaviest character (U+3000), so a single impossible
// byte outweighs any one plausible character.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvik {

class encode_scorer {
 public:
  static constexpr std::int32_t error_penalty = 395578;
  // `mode` after a lead byte, while the second byte is awaited.
  static constexpr std::int32_t first_byte = 1;

  void reject() {
    mode = 0;
    ++error_count;
  }
  // Within a 256-byte window the value cannot overflow; longer feeds saturate.
  std::int32_t evaluate() const;

  std::int32_t error_count = 0;
  std::int32_t score = 0;
  // 0 at a character boundary, `first_byte` after a lead byte, -k while k bytes are to come.
  std::int32_t mode = 0;
  std::uint32_t code = 0;

 protected:
  void add_weight(std::uint32_t weight);
};

class sjis_scorer : public encode_scorer {
 public:
  void feed(unsigned byte);
};

class euc_scorer : public encode_scorer {
 public:
  void feed(unsigned byte);
};

class utf8_scorer : public encode_scorer {
 public:
  void feed(unsigned byte);
  // The bytes of the sequence being collected (or of the last one started).
  std::string_view pending() const {
    return std::string_view(pending_bytes, pending_length);
  }

 private:
  char pending_bytes[6] = {};
  std::size_t pending_length = 0;
};

// The first UTF-16 unit that `utf8_to_unicode` gives for one complete sequence: a lead byte
// of length n >= 1 followed by n - 1 continuation bytes. Decoded in place, without the engine,
// because the scorer completes a sequence every few bytes.
char16_t utf8_first_unit(std::string_view sequence);

}  // namespace morvik
