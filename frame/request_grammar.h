#pragma once
#include "frame/saori_request.h"

namespace korvel {

// Matches the whole request text and fills the record; false when the start rule does not match.
// The record may hold partial values after a failed parse.
bool request_grammar(saori_request& request);

}  // namespace korvel
