// The command's streaming conversion must not care how its input is read: with the guessed
// source, --strict, -c, --translit, --bom, -w8 and --eol in any mix, tiny blocks and short reads give
// the bytes, the outcome and the failure that one large block gives. A run with -c always ends
// well, and never stops where --strict does not.
#include <string>
#include <string_view>

#include "cli/stream_convert.h"
#include "fuzz/targets.h"
#include "morvik/morvik.h"

namespace korvel::fuzz {
namespace {

using morvik_cli::conversion;
using morvik_cli::stream_outcome;
using morvik_cli::stream_result;

struct streamed {
  stream_result result;
  std::string output;
};

// Reads `text` in pieces of `piece` bytes (the whole rest for 0), one read call each.
streamed stream(std::string_view text, conversion how, std::size_t piece) {
  std::size_t at = 0;
  const auto read = [&](char* buffer, std::size_t size) -> long {
    std::size_t count = std::min(size, text.size() - at);
    if (piece != 0) count = std::min(count, piece);
    text.substr(at, count).copy(buffer, count);
    at += count;
    return static_cast<long>(count);
  };
  streamed run;
  const auto write = [&run](std::string_view bytes) {
    run.output.append(bytes);
    return true;
  };
  run.result = morvik_cli::convert_stream(read, write, how);
  return run;
}

std::string describe(const streamed& run) {
  return "outcome " + std::to_string(static_cast<int>(run.result.outcome)) + ", source " +
         std::to_string(run.result.source) + ", failure " + std::to_string(run.result.failure_offset) + " " +
         hex(run.result.failure_bytes) + "\n    output " + hex(run.output);
}

bool same(const streamed& a, const streamed& b) {
  return a.output == b.output && a.result.outcome == b.result.outcome && a.result.source == b.result.source &&
         a.result.failure_offset == b.result.failure_offset && a.result.failure_bytes == b.result.failure_bytes;
}

}  // namespace

// Byte 0: source (0 for auto, else 1-8 for ANSI to UTF-16LE) and target (ANSI to UTF-16LE).
// Byte 1: the options, a bit each (strict, omit, translit, signatures), the line ends, and a
// bit for a signature first.
// Byte 2: the block size and the read piece of the cut run.
int command_target(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  morvik::initialize_library();
  conversion how;
  const unsigned source = data[0] % 9;
  how.detect_from = source == 0;
  if (source != 0) how.from = static_cast<morvik::encoding_id>(morvik::ansi + source - 1);
  how.to = static_cast<morvik::encoding_id>(morvik::ansi + data[0] / 9 % 8);
  how.strict = (data[1] & 1) != 0;
  how.omit_invalid = (data[1] & 2) != 0 && !how.strict;
  how.transliterate = (data[1] & 4) != 0;
  how.with_signatures = (data[1] & 8) != 0;
  how.eol = static_cast<morvik_cli::line_ends>(data[1] >> 4 & 3);
  how.signature_first = (data[1] & 64) != 0;
  const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);
  const std::string case_name = "from " + std::to_string(source) + " to " + std::to_string(how.to) + " options " +
                                std::to_string(data[1]);

  conversion whole_how = how;
  whole_how.block_size = 1 << 20;
  const streamed whole = stream(text, whole_how, 0);
  conversion cut_how = how;
  cut_how.block_size = 1 + data[2] % 37;
  const streamed cut = stream(text, cut_how, 1 + data[2] / 37 % 5);
  if (!same(whole, cut)) {
    fail(case_name + ": blocks of " + std::to_string(cut_how.block_size) + " differ from one block\n  in " +
         hex(text) + "\n  one block: " + describe(whole) + "\n  cut:       " + describe(cut));
  }
  if (how.omit_invalid && whole.result.outcome == stream_outcome::not_convertible &&
      !whole.result.failure_bytes.empty()) {
    fail(case_name + ": -c stopped at an offending sequence\n  in " + hex(text) + "\n  " + describe(whole));
  }
  // Where --strict finds nothing, the lenient and the omitting runs write the same.
  if (how.strict && whole.result.outcome == stream_outcome::done) {
    for (const bool omit : {false, true}) {
      conversion other = whole_how;
      other.strict = false;
      other.omit_invalid = omit;
      const streamed run = stream(text, other, 0);
      if (!same(whole, run)) {
        fail(case_name + ": strict found nothing, but " + (omit ? "-c" : "the lenient run") + " differs\n  in " +
             hex(text) + "\n  strict: " + describe(whole) + "\n  other:  " + describe(run));
      }
    }
  }
  return 0;
}

}  // namespace korvel::fuzz
