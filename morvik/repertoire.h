#pragma once
// What each encoding's writer can hold, read from the same tables the writers use, and the
// look-alikes a writer may take for what it lacks (iconv's //TRANSLIT, nkf's defaults): text
// from a Mac or a JIS-mapped source writes U+301C where CP932 has U+FF5E.
#include <vector>

#include "morvik/morvik.h"

namespace morvik {

struct look_alike_pair {
  char32_t lacking;
  char32_t written;
};

// True when the writing engine of `to` writes `code_point` as itself, not as "?". Surrogate
// code points are never characters; every Unicode form writes every other one.
bool can_write(encoding_id to, char32_t code_point);

// The look-alike that `to` writes for `code_point`, or 0 when it can write the character
// itself or has no look-alike for it.
char32_t look_alike(encoding_id to, char32_t code_point);

// Every look-alike that `to` takes; none for the Unicode forms, which lack nothing.
std::vector<look_alike_pair> look_alikes_for(encoding_id to);

}  // namespace morvik
