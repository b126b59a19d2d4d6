// The three scorers of encoding analysis. Each feed is a few table look-ups; nothing allocates.
#include "morvik/scorer.h"

#include <limits>

#include "morvik/assertion.h"
#include "morvik/code_table.h"

namespace morvik {

std::int32_t encode_scorer::evaluate() const {
  const std::int64_t value =
      std::int64_t{score} - std::int64_t{error_count} * std::int64_t{error_penalty};
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

void encode_scorer::add_weight(std::uint32_t weight) {
  // Weights stay below 2^19; the sum is kept from wrapping on feeds far beyond a window.
  const std::int64_t sum = std::int64_t{score} + std::int64_t{weight};
  score = sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                        : static_cast<std::int32_t>(sum);
}

void sjis_scorer::feed(unsigned byte) {
  if (byte == 0x00 || byte >= 0xFD) {
    reject();
    return;
  }
  if (mode == 0) {
    code = byte;
    if (is_sjis_lead_byte(byte)) {
      mode = first_byte;
    } else {
      // Single bytes: half-width katakana weigh, 7-bit bytes, 80, A0 and D5 do not.
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

void euc_scorer::feed(unsigned byte) {
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
    if (is_euc_trail_byte(byte)) {
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

void utf8_scorer::feed(unsigned byte) {
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

char16_t utf8_first_unit(std::string_view sequence) {
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
