#include "cli/stream_convert.h"

#include <cerrno>
#include <string>

#include "morvik/engine.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace morvik_cli {
namespace {

long read_some(int fd, char* buffer, std::size_t size) {
#ifdef _WIN32
  // _read counts in unsigned int; a block never comes near that.
  return _read(fd, buffer, static_cast<unsigned int>(size));
#else
  return static_cast<long>(::read(fd, buffer, size));
#endif
}

long write_some(int fd, const char* bytes, std::size_t size) {
#ifdef _WIN32
  return _write(fd, bytes, static_cast<unsigned int>(size));
#else
  return static_cast<long>(::write(fd, bytes, size));
#endif
}

// Reads until the buffer holds `wanted` bytes or the input ends.
bool read_prefix(const byte_reader& read, std::size_t wanted, std::size_t block_size,
                 std::string& prefix, stream_result& result) {
  std::string block(block_size, '\0');
  while (prefix.size() < wanted) {
    const long count = read(block.data(), block.size());
    if (count < 0) {
      result.outcome = stream_outcome::read_failed;
      result.error_number = errno;
      return false;
    }
    if (count == 0) break;
    prefix.append(block.data(), static_cast<std::size_t>(count));
  }
  return true;
}

// The UTF-8 signature remover reads what it is given in one translate() and misses a mark
// cut between two; a block that ends in the first bytes of a mark keeps them for the next.
std::size_t partial_signature_length(std::string_view bytes) {
  const std::string_view mark = morvik::utf8_bom_text;
  for (std::size_t length = mark.size() - 1; length > 0; --length) {
    if (bytes.size() >= length && bytes.substr(bytes.size() - length) == mark.substr(0, length)) {
      return length;
    }
  }
  return 0;
}

class streaming_writer {
 public:
  streaming_writer(morvik::transcode_engine& engine, const byte_writer& write,
                   stream_result& result, bool keeps_partial_signatures)
      : engine_(engine),
        write_(write),
        result_(result),
        keeps_partial_signatures_(keeps_partial_signatures) {}

  bool feed(std::string_view bytes) {
    engine_.rest.append(held_);
    held_.clear();
    engine_.rest.append(bytes.data(), bytes.size());
    if (keeps_partial_signatures_) {
      const std::size_t length = partial_signature_length(engine_.rest);
      held_.assign(engine_.rest, engine_.rest.size() - length, length);
      engine_.rest.resize(engine_.rest.size() - length);
    }
    engine_.translate();
    return drain();
  }

  bool finish() {
    engine_.rest.append(held_);
    held_.clear();
    engine_.translate();
    engine_.flush();
    return drain();
  }

 private:
  // Keeps the output's capacity: one allocation serves every block.
  bool drain() {
    if (engine_.output.empty()) return true;
    result_.wrote_output = true;
    const bool written = write_(engine_.output);
    engine_.output.clear();
    if (!written) {
      result_.outcome = stream_outcome::write_failed;
      result_.error_number = errno;
    }
    return written;
  }

  morvik::transcode_engine& engine_;
  const byte_writer& write_;
  stream_result& result_;
  const bool keeps_partial_signatures_;
  std::string held_;
};

}  // namespace

byte_reader fd_reader(int fd) {
  return [fd](char* buffer, std::size_t size) -> long {
    for (;;) {
      const long count = read_some(fd, buffer, size);
      if (count >= 0 || errno != EINTR) return count;
    }
  };
}

byte_writer fd_writer(int fd) {
  return [fd](std::string_view bytes) {
    while (!bytes.empty()) {
      const long count = write_some(fd, bytes.data(), bytes.size());
      if (count < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
  };
}

stream_result convert_stream(const byte_reader& read, const byte_writer& write,
                             const conversion& how) {
  stream_result result;
  const std::size_t block_size = how.block_size == 0 ? default_block_size : how.block_size;

  // Detection needs the first bytes before the engine can exist; only they are held.
  std::string prefix;
  result.source = how.from;
  if (how.detect_from) {
    if (!read_prefix(read, detection_window, block_size, prefix, result)) return result;
    result.source = morvik::detect_encoding(
        std::string_view(prefix).substr(0, detection_window), detection_window);
  }

  morvik::engine_handle handle =
      morvik::create_engine<char, char>(result.source, how.to, how.with_signatures);
  auto& engine = handle.as<char, char>();
  streaming_writer writer(engine, write, result,
                          how.with_signatures && result.source == morvik::utf8);
  bool read_anything = !prefix.empty();
  if (read_anything && !writer.feed(prefix)) return result;
  std::string().swap(prefix);

  std::string block(block_size, '\0');
  for (;;) {
    const long count = read(block.data(), block.size());
    if (count < 0) {
      result.outcome = stream_outcome::read_failed;
      result.error_number = errno;
      // Whatever was read still comes out whole; an input that failed at once leaves no trace.
      if (read_anything) writer.finish();
      return result;
    }
    if (count == 0) break;
    read_anything = true;
    if (!writer.feed(std::string_view(block.data(), static_cast<std::size_t>(count)))) {
      return result;
    }
  }
  writer.finish();
  return result;
}

stream_result detect_stream(const byte_reader& read, std::size_t block_size) {
  stream_result result;
  std::string prefix;
  if (!read_prefix(read, detection_window, block_size == 0 ? default_block_size : block_size,
                   prefix, result)) {
    return result;
  }
  result.source = morvik::detect_encoding(
      std::string_view(prefix).substr(0, detection_window), detection_window);
  return result;
}

}  // namespace morvik_cli
