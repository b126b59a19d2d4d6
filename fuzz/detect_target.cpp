// detect_encoding reads only the first max_length bytes: the rest of the text is poisoned, so
// AddressSanitizer reports any read of it, and the answer equals the answer for the prefix alone.
// The guesser reads that prefix, an exact-size copy, and names a known encoding or binary.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz/targets.h"
#include "morvik/guess.h"
#include "morvik/morvik.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVEL_FUZZ_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KORVEL_FUZZ_ASAN 1
#endif
#ifdef KORVEL_FUZZ_ASAN
#include <sanitizer/asan_interface.h>
#define KORVEL_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define KORVEL_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define KORVEL_POISON(address, size) ((void)(address), (void)(size))
#define KORVEL_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace korvel::fuzz {
namespace {

bool returnable(morvik::encoding_id id) {
  switch (id) {
    case morvik::unknown_encoding:
    case morvik::ansi:
    case morvik::sjis:
    case morvik::jis:
    case morvik::euc:
    case morvik::utf8:
    case morvik::utf16be:
    case morvik::unicode:
    case morvik::utf32be:
    case morvik::utf32le:
      return true;
    default:
      return false;
  }
}

// An exact-size heap copy, so that a read past the text's end is an overflow too.
struct heap_text {
  explicit heap_text(std::string_view source)
      : size(source.size()), bytes(static_cast<char*>(std::malloc(size == 0 ? 1 : size))) {
    if (size != 0) std::memcpy(bytes, source.data(), size);
  }
  ~heap_text() {
    KORVEL_UNPOISON(bytes, size);
    std::free(bytes);
  }
  heap_text(const heap_text&) = delete;
  heap_text& operator=(const heap_text&) = delete;
  std::string_view view() const { return std::string_view(bytes, size); }

  std::size_t size;
  char* bytes;
};

}  // namespace

int detect_target(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const unsigned selector = data[0] | static_cast<unsigned>(data[1]) << 8;
  const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
  // Below 0x8000 the limit itself (8192 as the module passes it); above, a limit that falls
  // inside this text; 0xFFFF no limit at all.
  std::size_t max_length = selector;
  if (selector == 0xFFFF)
    max_length = std::numeric_limits<std::size_t>::max();
  else if (selector >= 0x8000)
    max_length = (selector - 0x8000) % (text.size() + 1);
  const std::size_t examined = std::min(text.size(), max_length);

  morvik::initialize_library();
  heap_text whole(text);
  KORVEL_POISON(whole.bytes + examined, whole.size - examined);
  const morvik::encoding_id answer = morvik::detect_encoding(whole.view(), max_length);
  KORVEL_UNPOISON(whole.bytes + examined, whole.size - examined);

  const heap_text prefix(text.substr(0, examined));
  const morvik::encoding_id prefix_answer =
      morvik::detect_encoding(prefix.view(), std::numeric_limits<std::size_t>::max());

  const std::string case_name = "detect_encoding with max_length " + std::to_string(max_length);
  if (!returnable(answer)) fail(case_name + " returned " + std::to_string(answer) + " for " + hex(std::string(text)));
  if (answer != prefix_answer)
    fail(case_name + " returned " + std::to_string(answer) + ", the examined prefix alone " +
         std::to_string(prefix_answer) + "\n  text " + hex(std::string(text)));

  const morvik::encoding_guess guess = morvik::guess_encoding(prefix.view());
  const bool named = guess.binary ? guess.encoding == morvik::unknown_encoding
                                  : returnable(guess.encoding) && guess.encoding != morvik::unknown_encoding;
  if (!named || guess.confidence < 0 || guess.confidence > 100)
    fail("guess_encoding returned " + std::to_string(guess.encoding) + (guess.binary ? " (binary)" : "") +
         " with confidence " + std::to_string(guess.confidence) + " for " + hex(std::string(prefix.view())));
  return 0;
}

}  // namespace korvel::fuzz
