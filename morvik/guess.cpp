#include "morvik/guess.h"

namespace morvik {

encoding_guess guess_encoding(std::string_view text) {
  return {detect_encoding(text, text.size()), false, 50};
}

}  // namespace morvik
