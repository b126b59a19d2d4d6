#pragma once
// Strict conversion: instead of writing "?", a caller stops at the first byte sequence that
// is not a character of the source encoding or that the target cannot write. The engines
// stay lenient; the checker runs over the same bytes beforehand and says how far they
// convert faithfully.
//
// Valid means what the reading engine converts without a "?": a code with a table entry
// (no user-defined Shift_JIS area, no lone 0x80, 0xA0 or 0xFD-0xFF), UTF-8 without overlong
// forms, surrogates or values past U+10FFFF, UTF-16 with paired surrogates, and JIS with
// the four escapes ESC ( B, ESC $ B, ESC ( I and ESC $ ( D, SO and SI, and in each state
// only the bytes of its set (so a line end inside a kanji run is an error).
#include <cstddef>
#include <string_view>

#include "morvik/morvik.h"

namespace morvik {

struct strict_scan {
  std::size_t accepted = 0;  // leading bytes that convert faithfully, whole characters
  bool failed = false;
  std::size_t failure = 0;         // where the offending sequence starts (at or after accepted)
  std::size_t failure_length = 0;  // its bytes
};

class strict_checker {
 public:
  // `with_signatures` as for create_engine: the signature removers then take U+FEFF away
  // instead of writing it. With `transliterate`, a character of a Unicode source whose
  // look-alike the target has counts as writable.
  strict_checker(encoding_id from, encoding_id to, bool with_signatures = false,
                 bool transliterate = false);

  // `bytes` continue the bytes accepted so far. What follows `accepted` without a failure
  // (an incomplete character, or a JIS shift whose character has not come yet) must be
  // given again at the start of the next call; with `at_end` nothing is held back, and an
  // incomplete character is a failure.
  strict_scan scan(std::string_view bytes, bool at_end);

  // After a scan that failed, for a caller that leaves the offending sequence out: the next
  // scan starts right after it, in the state the text had there (a shift before it counts).
  void skip_failure() { jis_state_ = failure_state_; }

 private:
  bool writable(char32_t code_point, bool supplementary_set) const;

  encoding_id from_;
  encoding_id to_;
  bool copies_;                  // the pair copies the text: every valid character stays
  bool drops_supplementary_;     // EUC-JP or JIS straight to ISO-2022-JP loses JIS X 0212
  bool drops_signatures_;
  bool transliterates_;
  int jis_state_ = 0;
  int failure_state_ = 0;
};

}  // namespace morvik
