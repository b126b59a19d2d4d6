#pragma once
// Encoding scorers: each reads bytes as one candidate encoding, adds the weight of every
// character it recognises and counts every byte that cannot belong to the encoding. One
// rejected byte costs as much as the heaviest character (U+3000), so a single impossible
// byte outweighs any one plausible character.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "morvik/blocks.h"
#include "morvik/assertion.h"
#include "morvik/code_table.h"

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
  // Weights stay below 2^19; the sum is kept from wrapping on feeds far beyond a window.
  // Inline, like the feeds: analysis feeds three scorers every byte of its window.
  void add_weight(std::uint32_t weight) {
    const std::int64_t sum = std::int64_t{score} + std::int64_t{weight};
    score = sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(sum);
  }
};

class sjis_scorer : public encode_scorer {
 public:
  inline void feed(unsigned byte);
};

class euc_scorer : public encode_scorer {
 public:
  inline void feed(unsigned byte);
};

class utf8_scorer : public encode_scorer {
 public:
  inline void feed(unsigned byte);
  // The bytes of the sequence being collected (or of the last one started).
  std::string_view pending() const {
    return std::string_view(pending_bytes, pending_length);
  }

 private:
  char pending_bytes[6] = {};
  std::size_t pending_length = 0;
};

// What analysis reads from its window: the three scorers fed its bytes, the high bytes and
// the NULs at even and odd offsets (offsets counted from the start of the text).
struct window_scores {
  sjis_scorer sjis_reader;
  euc_scorer euc_reader;
  utf8_scorer utf8_reader;
  std::size_t high_bytes = 0;
  std::size_t even_nuls = 0;
  std::size_t odd_nuls = 0;
};

// Feeds text[start, end) to the scorers. The fast path steps over blocks of eight 7-bit
// bytes without NUL while every scorer stands between characters: such bytes weigh nothing
// and are no error, so only the scorers' scratch (`code`, the pending UTF-8 bytes) could
// differ, never a score, an error count or a mode.
template <bool FastPath = true>
inline window_scores score_window(std::string_view text, std::size_t start, std::size_t end) {
  window_scores window;
  for (std::size_t offset = start; offset < end;) {
    const unsigned b = static_cast<unsigned char>(text[offset]);
    if constexpr (FastPath) {
      if (b < 0x80 && end - offset >= ascii_block_size && (window.sjis_reader.mode | window.euc_reader.mode |
                                                       window.utf8_reader.mode) == 0) {
        if (is_weightless_block(load_block(text.data() + offset))) {
          offset += ascii_block_size;
          continue;
        }
      }
    }
    window.sjis_reader.feed(b);
    window.euc_reader.feed(b);
    window.utf8_reader.feed(b);
    if (b >= 0x80) ++window.high_bytes;
    if (b == 0) ++(offset % 2 == 0 ? window.even_nuls : window.odd_nuls);
    ++offset;
  }
  return window;
}

// The first UTF-16 unit that `utf8_to_unicode` gives for one complete sequence: a lead byte
// of length n >= 1 followed by n - 1 continuation bytes. Decoded in place, without the engine,
// because the scorer completes a sequence every few bytes.
inline char16_t utf8_first_unit(std::string_view sequence);

// Each feed is a few table look-ups; nothing allocates.
inline void sjis_scorer::feed(unsigned byte) {
  if (byte == 0x00 || byte >= 0xFD) {
    reject();
    return;
  }
  if (mode == 0) {
    code = byte;
    if (is_sjis_lead_byte(byte)) {
      mode = first_byte;
    } else if (byte >= 0x80) {
      // Single bytes: half-width katakana weigh, 7-bit bytes, 80, A0 and D5 do not (so the
      // 7-bit ones skip the table).
      add_weight(sjis_frequency.lookup(static_cast<std::int32_t>(byte)));
    }
    return;
  }
  MORVIK_ASSERT(encode_scorer::first_byte == mode, "encode_scorer::first_byte == mode");
  if (is_sjis_trail_byte(byte)) {
    code = code * 256 + byte;
    add_weight(sjis_frequency.lookup(static_cast<std::int32_t>(code)));
    mode = 0;
  } else {
    reject();
  }
}

inline void euc_scorer::feed(unsigned byte) {
  if (byte == 0x00) {
    reject();
    return;
  }
  if (mode == 0) {
    code = byte;
    if (is_euc_lead_byte(byte)) {
      mode = first_byte;
    } else if (is_euc_aux_lead_byte(byte)) {
      // JIS X 0212 carries no weights: its two bytes are skipped unchecked.
      mode = -2;
    }
    // 7-bit bytes and stray 80-8D, A0, FF are neither characters nor errors.
    return;
  }
  if (mode == first_byte) {
    if (is_high_byte(byte)) {
      code = code * 256 + byte;
      add_weight(euc_frequency.lookup(static_cast<std::int32_t>(code)));
      mode = 0;
    } else {
      reject();
    }
    return;
  }
  ++mode;
}

inline void utf8_scorer::feed(unsigned byte) {
  if (byte == 0x00) {
    reject();
    return;
  }
  if (mode == 0) {
    const std::uint32_t length = utf8_sequence_length(byte);
    if (length == 0) {
      reject();
      return;
    }
    pending_bytes[0] = static_cast<char>(byte);
    pending_length = 1;
    mode = 1 - static_cast<std::int32_t>(length);
    return;
  }
  MORVIK_ASSERT(mode < 0, "mode < 0");
  if (byte < 0x80 || byte > 0xBF) {
    reject();
    return;
  }
  pending_bytes[pending_length++] = static_cast<char>(byte);
  if (++mode == 0) add_weight(unicode_frequency.lookup(utf8_first_unit(pending())));
}

inline char16_t utf8_first_unit(std::string_view sequence) {
  if (sequence.empty()) return 0;
  const unsigned lead = static_cast<unsigned char>(sequence[0]);
  const std::uint32_t length = utf8_sequence_length(lead);
  // An unfinished sequence is flushed as "?" by the engine.
  if (length == 0 || sequence.size() < length) return u'?';
  std::uint32_t code_point = lead & utf8_lead_mask[length];
  for (std::size_t i = 1; i < length; ++i) {
    code_point = code_point << 6 | (static_cast<unsigned char>(sequence[i]) & utf8_lead_mask[0]);
  }
  if (code_point <= 0xFFFF) return static_cast<char16_t>(code_point);
  if (code_point <= 0x10FFFF) return static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
  return u'?';
}

}  // namespace morvik
