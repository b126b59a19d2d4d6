#pragma once
// Streaming conversion for the command line. The pair's engine is fed one block at a time
// and its output is written as it comes, so memory stays bounded whatever the input size,
// while the bytes stay those of translate_text on the whole input: the engines hold back
// incomplete characters and escape sequences in `rest` until the next block completes them.
//
// Around the engine, each optional: the source guessed from the first bytes that are not
// plain ASCII; a strict check that stops before the first byte sequence that would become
// "?", or leaves every such sequence out; look-alikes for characters the target lacks; and line
// ends rewritten on the way out.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "morvik/guess.h"
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

// A pipe holds 64 KiB unless widened; the writer waits for its reader each time it is full.
// Where a writer's output passes that, the pipe is widened to 1 MiB (the usual limit for a
// user's pipe) where the system allows: 4 MB through a pipe to a reader took 7.4 ms in 64 KiB
// turns and 5.8 ms in 1 MiB turns.
inline constexpr std::size_t narrow_pipe_size = 64 * 1024;
inline constexpr std::size_t wide_pipe_size = 1024 * 1024;
// Widens `fd` to wide_pipe_size where it is a narrower pipe; nothing happens elsewhere.
void widen_pipe(int fd);

// The size of what a descriptor reads, where it is a regular file; unknown_size otherwise. The
// streams take memory ahead for no more than that.
inline constexpr std::uint64_t unknown_size = UINT64_MAX;
std::uint64_t fd_size(int fd);

// Large enough that system calls are few, small enough that the block and its output stay in
// the cache and under glibc's default threshold for a mapping of their own (see output_room).
inline constexpr std::size_t default_block_size = 64 * 1024;
// Where an input's buffers are in a large page (large_pages.h) a larger block costs no more
// pages, and the kernel copies a file out of its cache faster in fewer, larger reads: 4 MB in
// 256 KiB blocks took 0.24-0.34 ms, in 64 KiB blocks 0.47-0.63 ms. Block and output still fit
// in the processor's second-level cache.
inline constexpr std::size_t large_page_block_size = 256 * 1024;
// What the output has from the start: a block of prose to UTF-8 (half as much again) with a
// kernel's room to spare; the odd block of half-width katakana, which triples, grows it. For the
// default block that is 120 KiB, under glibc's default 128 KiB threshold for a mapping of its
// own, whose unmapping would cost more than the odd growth (the command raises the threshold).
constexpr std::size_t output_room(std::size_t block_size) {
  return std::min(3 * block_size, block_size + block_size / 2 + 24 * 1024);
}
// What the guesser sees of an input from its first byte that is not plain ASCII. The ASCII
// before that byte converts the same under every candidate, so only a little of it is kept.
inline constexpr std::size_t guess_window = 64 * 1024;
inline constexpr std::size_t guess_context = 256;

enum class line_ends { keep, lf, crlf, cr };

struct conversion {
  morvik::encoding_id from = morvik::sjis;
  bool detect_from = false;  // then `from` is ignored: the guesser names the source
  morvik::encoding_id to = morvik::utf8;
  bool with_signatures = false;
  std::size_t block_size = default_block_size;
  bool strict = false;         // stop before the first sequence that would become "?"
  bool omit_invalid = false;   // leave out every sequence that would become "?"
  bool transliterate = false;  // look-alikes for what the target lacks
  line_ends eol = line_ends::keep;
  // The output starts with the target's signature from a Unicode source too (nkf's -w8), where
  // the engines convert one only if the input has it.
  bool signature_first = false;
  std::uint64_t input_size = unknown_size;  // fd_size of the input, or unknown_size
};

enum class stream_outcome {
  done,
  read_failed,
  write_failed,
  binary,           // --from auto met data that is no text; nothing of it was converted
  not_convertible,  // strict: stopped at `failure_offset`; or a guessed source without a codec
};

struct stream_result {
  stream_outcome outcome = stream_outcome::done;
  int error_number = 0;  // errno of the failed read or write
  morvik::encoding_id source = morvik::unknown_encoding;  // what was read: given or guessed
  bool binary = false;                                    // the guesser's verdict
  std::uint64_t failure_offset = 0;  // strict: offset of the offending sequence in the input
  std::string failure_bytes;         // and its bytes
};

// Converts everything `read` yields and hands the result to `write`. A read failure before
// the first byte writes nothing; a later one still flushes what was read.
stream_result convert_stream(const byte_reader& read, const byte_writer& write,
                             const conversion& how);

// Guesses the encoding as --from auto does, reading only up to the guess window.
stream_result detect_stream(const byte_reader& read, std::size_t block_size = default_block_size,
                            std::uint64_t input_size = unknown_size);

}  // namespace morvik_cli
