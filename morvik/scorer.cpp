// The three scorers of encoding analysis: what is not inline in the header.
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

}  // namespace morvik
