#pragma once
// Streaming conversion for the command line. The pair's engine is fed one block at a time
// and its output is written as it comes, so memory stays bounded whatever the input size,
// while the bytes stay those of translate_text on the whole input: the engines hold back
// incomplete characters and escape sequences in `rest` until the next block completes them.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "morvik/morvik.h"

namespace morvik_cli {

// Fills up to `size` bytes of `buffer`; returns the count, 0 at the end, -1 on failure
// (errno tells why).
using byte_reader = std::function<long(char* buffer, std::size_t size)>;
// Writes all of `bytes`; false on failure (errno tells why).
using byte_writer = std::function<bool(std::string_view bytes)>;

// Readers and writers on file descriptors; they retry interrupted and partial transfers.
byte_reader fd_reader(int fd);
byte_writer fd_writer(int fd);

inline constexpr std::size_t default_block_size = 64 * 1024;
// What analysis sees of an input, the same bound as the module's auto translation.
inline constexpr std::size_t detection_window = 8192;

struct conversion {
  morvik::encoding_id from = morvik::sjis;
  bool detect_from = false;  // then `from` is ignored: analysis of the first bytes names it
  morvik::encoding_id to = morvik::utf8;
  bool with_signatures = false;
  std::size_t block_size = default_block_size;
};

enum class stream_outcome { done, read_failed, write_failed };

struct stream_result {
  stream_outcome outcome = stream_outcome::done;
  int error_number = 0;  // errno of the failed read or write
  morvik::encoding_id source = morvik::unknown_encoding;  // what was read: given or detected
  bool wrote_output = false;
};

// Converts everything `read` yields and hands the result to `write`. A read failure before
// the first byte writes nothing; a later one still flushes what was read.
stream_result convert_stream(const byte_reader& read, const byte_writer& write,
                             const conversion& how);

// Names the encoding of the first detection_window bytes that `read` yields.
stream_result detect_stream(const byte_reader& read, std::size_t block_size = default_block_size);

}  // namespace morvik_cli
