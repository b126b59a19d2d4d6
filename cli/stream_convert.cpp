#include "cli/stream_convert.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "morvik/engine.h"
#include "morvik/repertoire.h"
#include "morvik/strict.h"

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14; older headers lack the name
#endif
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

// `size`, or `limit` where that is less.
std::size_t at_most(std::size_t size, std::uint64_t limit) {
  return limit < size ? static_cast<std::size_t>(limit) : size;
}

// Asks for the pages under the first `used` bytes of a buffer in one call before the first write
// to them: taking them one fault at a time costs several times more, and pages no input reaches
// cost as much for nothing. Only a hint; where the kernel lacks it, nothing happens. Not for less
// than 64 KiB, whose few pages a small input faults in once and the next input of the run finds
// mapped; at most 256 KiB, so that a huge --block-size does not claim all its memory at once.
void populate(const void* data, std::size_t size, std::uint64_t used) {
  size = at_most(at_most(size, used), 256 * 1024);
#if defined(__linux__)
  if (size < 64 * 1024) return;
  const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(data) & ~(page - 1);
  const std::uintptr_t last = (reinterpret_cast<std::uintptr_t>(data) + size + page - 1) & ~(page - 1);
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
  (void)data;
  (void)size;
#endif
}

long write_some(int fd, const char* bytes, std::size_t size) {
#ifdef _WIN32
  return _write(fd, bytes, static_cast<unsigned int>(size));
#else
  return static_cast<long>(::write(fd, bytes, size));
#endif
}

bool is_unicode_form(morvik::encoding_id id) {
  return id == morvik::utf8 || id == morvik::utf16be || id == morvik::unicode;
}

bool is_japanese_byte_encoding(morvik::encoding_id id) {
  return id == morvik::ansi || id == morvik::sjis || id == morvik::jis || id == morvik::euc ||
         id == morvik::iso2022jp;
}

bool is_convertible(morvik::encoding_id id) { return id >= morvik::ansi && id <= morvik::unicode; }

// The signature a writer chain starts with, as bytes of the target.
std::string_view signature_of(morvik::encoding_id to) {
  if (to == morvik::utf8) return morvik::utf8_bom;
  if (to == morvik::utf16be) return morvik::utf16be_bom;
  if (to == morvik::unicode) return morvik::utf16le_bom;
  return {};
}

// A plain ASCII byte reads the same in every candidate source; NUL, SO, SI and ESC do not
// (UTF-16, JIS and binary data show themselves there), nor does any high byte.
bool starts_the_guess(unsigned char byte) {
  return byte >= 0x80 || byte == 0x00 || byte == 0x0E || byte == 0x0F || byte == 0x1B;
}

// Line ends rewritten in the output, in units of the target (two bytes for UTF-16). A CR LF
// pair is one line end even when a block boundary falls between the two.
class line_end_writer {
 public:
  line_end_writer(const byte_writer& write, line_ends style, morvik::encoding_id to)
      : write_(write), style_(style), unit_(to == morvik::utf16be || to == morvik::unicode ? 2 : 1),
        big_endian_(to == morvik::utf16be) {
    const std::string_view ends = style == line_ends::lf ? "\n" : style == line_ends::cr ? "\r" : "\r\n";
    for (char c : ends) append_unit(line_end_, static_cast<unsigned char>(c));
  }

  bool put(std::string_view bytes) {
    if (style_ == line_ends::keep) return write_(bytes);
    converted_.clear();
    std::size_t i = 0;
    if (!odd_.empty() && !bytes.empty()) {
      odd_.push_back(bytes[0]);
      take(unit_at(odd_, 0));
      odd_.clear();
      i = 1;
    }
    for (; i + unit_ <= bytes.size(); i += unit_) take(unit_at(bytes, i));
    if (i < bytes.size()) odd_.assign(bytes.substr(i));
    return converted_.empty() || write_(converted_);
  }

  // An odd byte left over from UTF-16 goes out as it came.
  bool finish() { return odd_.empty() || write_(std::exchange(odd_, std::string())); }

 private:
  unsigned unit_at(std::string_view bytes, std::size_t i) const {
    const auto first = static_cast<unsigned char>(bytes[i]);
    if (unit_ == 1) return first;
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return big_endian_ ? first << 8 | second : second << 8 | first;
  }

  void append_unit(std::string& out, unsigned unit) const {
    if (unit_ == 1) {
      out.push_back(static_cast<char>(unit));
    } else if (big_endian_) {
      out.push_back(static_cast<char>(unit >> 8));
      out.push_back(static_cast<char>(unit & 0xFF));
    } else {
      out.push_back(static_cast<char>(unit & 0xFF));
      out.push_back(static_cast<char>(unit >> 8));
    }
  }

  void take(unsigned unit) {
    const bool lf_after_cr = after_cr_ && unit == '\n';
    after_cr_ = unit == '\r';
    if (lf_after_cr) return;
    if (unit == '\r' || unit == '\n') {
      converted_.append(line_end_);
    } else {
      append_unit(converted_, unit);
    }
  }

  const byte_writer& write_;
  const line_ends style_;
  const std::size_t unit_;
  const bool big_endian_;
  std::string line_end_;
  std::string converted_;
  std::string odd_;
  bool after_cr_ = false;
};

// Rewrites, in a Unicode source, the characters the target lacks into the look-alikes it
// has, before the engine reads them. A character cut by a block boundary waits for the rest.
class look_alike_filter {
 public:
  look_alike_filter(morvik::encoding_id source, morvik::encoding_id to) : source_(source) {
    if (!is_unicode_form(source)) return;
    for (const morvik::look_alike_pair& pair : morvik::look_alikes_for(to)) {
      patterns_.push_back({encode(pair.lacking), encode(pair.written)});
      first_bytes_[static_cast<unsigned char>(patterns_.back().first[0])] = true;
    }
  }

  bool active() const { return !patterns_.empty(); }

  // Returns the bytes to hand on; a view of `bytes` itself when nothing changed.
  std::string_view filter(std::string_view bytes, bool at_end) {
    data_.assign(held_);
    data_.append(bytes);
    held_.clear();
    out_.clear();
    const std::size_t unit = source_ == morvik::utf8 ? 1 : 2;
    std::size_t copied = 0;
    std::size_t i = 0;
    // In UTF-16 an odd last byte waits for its pair, so that units stay aligned.
    std::size_t limit = data_.size();
    if (unit == 2 && !at_end) limit -= limit % 2;
    while (i < limit) {
      if (!first_bytes_[static_cast<unsigned char>(data_[i])]) {
        i += unit;
        continue;
      }
      const std::string_view here = std::string_view(data_).substr(i);
      bool replaced = false;
      bool cut = false;
      for (const auto& [lacking, written] : patterns_) {
        if (lacking[0] != here[0] || (here.size() > 1 && lacking[1] != here[1])) continue;
        if (here.substr(0, lacking.size()) == lacking) {
          out_.append(data_, copied, i - copied);
          out_.append(written);
          i += lacking.size();
          copied = i;
          replaced = true;
          break;
        }
        if (here.size() < lacking.size() && lacking.compare(0, here.size(), here) == 0) cut = true;
      }
      if (replaced) continue;
      if ((cut || here.size() < unit) && !at_end) {
        held_.assign(here);
        break;
      }
      i += std::min(unit, here.size());
    }
    if (held_.empty() && limit < data_.size()) held_.assign(data_, limit);
    const std::size_t end = data_.size() - held_.size();
    if (copied == 0) return std::string_view(data_).substr(0, end);
    out_.append(data_, copied, end - copied);
    return out_;
  }

 private:
  std::string encode(char32_t code_point) const {
    std::u16string unit(1, static_cast<char16_t>(code_point));
    return morvik::translate_from_unicode(unit, source_);
  }

  morvik::encoding_id source_;
  std::vector<std::pair<std::string, std::string>> patterns_;
  bool first_bytes_[256] = {};  // the bytes a pattern starts with
  std::string held_;
  std::string data_;
  std::string out_;
};

// The UTF-8 signature remover reads what it is given in one translate() and misses a mark
// cut between two; a block that ends in the first bytes of a mark keeps them for the next.
std::size_t partial_signature_length(std::string_view bytes) {
  const std::string_view mark = morvik::utf8_bom;
  for (std::size_t length = mark.size() - 1; length > 0; --length) {
    if (bytes.size() >= length && bytes.substr(bytes.size() - length) == mark.substr(0, length)) {
      return length;
    }
  }
  return 0;
}

// Reads an input block by block into one buffer, handed out as views of it.
class block_source {
 public:
  block_source(const byte_reader& read, std::size_t block_size, std::uint64_t input_size)
      : read_(read), buffer_(new char[block_size]), block_size_(block_size), input_size_(input_size) {
    populate(buffer_.get(), block_size_, input_size_);
  }

  // The next block, empty at the end; false when reading failed (errno tells why).
  bool next(std::string_view& block) {
    const long count = read_(buffer_.get(), block_size_);
    if (count < 0) return false;
    block = std::string_view(buffer_.get(), static_cast<std::size_t>(count));
    return true;
  }

  std::size_t block_size() const { return block_size_; }
  std::uint64_t input_size() const { return input_size_; }

 private:
  const byte_reader& read_;
  std::unique_ptr<char[]> buffer_;  // not zeroed: read() fills what it hands out
  const std::size_t block_size_;
  const std::uint64_t input_size_;
};

// One input's way through the engine: strict check, look-alikes, engine, line ends.
class pipeline {
 public:
  pipeline(morvik::encoding_id source, const conversion& how, const byte_writer& write,
           stream_result& result, std::uint64_t offset, bool signature_written)
      : handle_(morvik::create_engine<char, char>(source, how.to, how.with_signatures)),
        engine_(handle_.as<char, char>()),
        result_(result),
        sink_(write, how.eol, how.to),
        keeps_partial_signatures_(how.with_signatures && source == morvik::utf8),
        look_alikes_(source, how.to),
        transliterates_(how.transliterate && look_alikes_.active()),
        omits_(how.omit_invalid && !how.strict),
        block_size_(how.block_size),
        offset_(offset) {
    if (how.strict || how.omit_invalid) {
      checker_.emplace(source, how.to, how.with_signatures, how.transliterate);
    }
    // Room for a block's output at once: grown by doubling, the output would touch fresh pages
    // at every step, and a fresh page costs more than the copy.
    engine_.output.reserve(output_room(how.block_size));
    // No byte becomes more than three (a half-width katakana byte in UTF-8).
    const std::uint64_t most_output = how.input_size > UINT64_MAX / 3 ? UINT64_MAX : 3 * how.input_size;
    populate(engine_.output.data(), engine_.output.capacity(), most_output);
    // The signature belongs at the very start, which has gone out already.
    if (signature_written && how.with_signatures && is_japanese_byte_encoding(source)) {
      signature_to_skip_ = signature_of(how.to);
    }
    if (how.signature_first && !signature_written && is_unicode_form(source)) {
      signature_to_add_ = signature_of(how.to);
    }
  }

  // False when the conversion stops: a write failed or strict met an offending sequence. A
  // block at a time, so that the output stays within its room.
  bool feed(std::string_view bytes) {
    for (; bytes.size() > block_size_; bytes.remove_prefix(block_size_)) {
      if (!take(bytes.substr(0, block_size_), false)) return false;
    }
    return take(bytes, false);
  }

  bool finish() {
    if (!take({}, true)) return false;
    return finish_engine();
  }

  // Ends the output after a failed read: what was read still comes out whole.
  void abandon() { finish_engine(); }

 private:
  bool take(std::string_view bytes, bool at_end) {
    if (!checker_) return pass(bytes, at_end);
    pending_.append(bytes);
    const std::string_view held = pending_;
    // What has gone to the engine or been left out; only -c moves it here.
    std::size_t done = 0;
    morvik::strict_scan scan = checker_->scan(held, at_end);
    // Leaving a sequence out, the bytes before it go on (a shift among them too), and the
    // checker reads on after it in the state the text had there.
    while (omits_ && scan.failed) {
      convert(held.substr(done, scan.failure), false);
      done += scan.failure + scan.failure_length;
      checker_->skip_failure();
      scan = checker_->scan(held.substr(done), at_end);
    }
    if (!pass(held.substr(done, scan.accepted), at_end || scan.failed)) return false;
    if (scan.failed) {
      result_.outcome = stream_outcome::not_convertible;
      result_.failure_offset = offset_ + scan.failure;
      result_.failure_bytes = pending_.substr(scan.failure, scan.failure_length);
      finish_engine();
      return false;
    }
    offset_ += done + scan.accepted;
    pending_.erase(0, done + scan.accepted);
    return true;
  }

  bool pass(std::string_view bytes, bool at_end) {
    convert(bytes, at_end);
    return drain();
  }

  // The engine's output waits in it until drain().
  void convert(std::string_view bytes, bool at_end) {
    if (transliterates_) bytes = look_alikes_.filter(bytes, at_end);
    if (!keeps_partial_signatures_) {
      engine_.append_and_translate(bytes);
      return;
    }
    engine_.rest.append(held_);
    held_.clear();
    engine_.rest.append(bytes.data(), bytes.size());
    if (!at_end) {
      const std::size_t length = partial_signature_length(engine_.rest);
      held_.assign(engine_.rest, engine_.rest.size() - length, length);
      engine_.rest.resize(engine_.rest.size() - length);
    }
    engine_.translate();
  }

  bool finish_engine() {
    if (finished_) return result_.outcome != stream_outcome::write_failed;
    finished_ = true;
    engine_.rest.append(held_);
    held_.clear();
    engine_.translate();
    engine_.flush();
    return drain() && sink_.finish();
  }

  // Keeps the output's capacity: one allocation serves every block.
  bool drain() {
    std::string_view out = engine_.output;
    if (!signature_to_skip_.empty() && !out.empty()) {
      if (out.substr(0, signature_to_skip_.size()) == signature_to_skip_) {
        out.remove_prefix(signature_to_skip_.size());
      }
      signature_to_skip_ = {};
    }
    if (!signature_to_add_.empty()) {
      // Whether the output has its signature already shows only once as many bytes are there
      // (or at the end): a block may end inside one.
      first_output_.append(out);
      engine_.output.clear();
      const std::string_view signature = signature_to_add_;
      if (!finished_ && first_output_.size() < signature.size() &&
          signature.substr(0, first_output_.size()) == first_output_) {
        return true;
      }
      signature_to_add_ = {};
      if (!first_output_.empty() && first_output_.compare(0, signature.size(), signature) != 0) {
        first_output_.insert(0, signature);
      }
      out = first_output_;
    }
    if (out.empty()) {
      engine_.output.clear();
      return true;
    }
    const bool written = sink_.put(out);
    engine_.output.clear();
    first_output_.clear();
    return written || write_failed();
  }

  bool write_failed() {
    result_.outcome = stream_outcome::write_failed;
    result_.error_number = errno;
    return false;
  }

  morvik::engine_handle handle_;
  morvik::transcode_engine& engine_;
  stream_result& result_;
  line_end_writer sink_;
  const bool keeps_partial_signatures_;
  look_alike_filter look_alikes_;
  const bool transliterates_;
  const bool omits_;
  const std::size_t block_size_;
  std::optional<morvik::strict_checker> checker_;
  std::uint64_t offset_;
  std::string pending_;  // strict: bytes the checker holds back
  std::string held_;     // a signature cut by a block boundary
  std::string_view signature_to_skip_;
  std::string_view signature_to_add_;
  std::string first_output_;  // output held until it shows whether it starts with a signature
  bool finished_ = false;
};

// Reads until the source can be guessed: the first byte that is not plain ASCII and a window
// after it, or the end of the input. ASCII beyond the window before that byte goes to
// `commit`, so memory stays bounded however far in the first such byte is.
struct guessed_source {
  std::string held;  // input not yet committed, from the start of the window's context
  std::uint64_t committed = 0;
  bool ended = false;
  morvik::encoding_guess guess{morvik::unknown_encoding, false, 0};
};

bool guess_source(block_source& input, const std::function<bool(std::string_view)>& commit,
                  guessed_source& found, stream_result& result) {
  std::size_t scanned = 0;
  std::size_t first = std::string::npos;
  for (;;) {
    for (; first == std::string::npos && scanned < found.held.size(); ++scanned) {
      if (starts_the_guess(static_cast<unsigned char>(found.held[scanned]))) first = scanned;
    }
    if (first != std::string::npos && found.held.size() >= first + guess_window) break;
    if (first == std::string::npos && found.held.size() > guess_window + guess_context) {
      // Keep a little context, a multiple of four bytes from the start for UTF-16 and -32.
      std::size_t keep = found.held.size() - guess_window;
      keep -= keep % 4;
      // A CR LF pair stays on one side, for line ends rewritten on the way out.
      if (found.held[keep - 1] == '\r') keep -= 4;
      if (!commit(std::string_view(found.held).substr(0, keep))) return false;
      found.held.erase(0, keep);
      found.committed += keep;
      scanned -= keep;
    }
    std::string_view block;
    if (!input.next(block)) {
      result.outcome = stream_outcome::read_failed;
      result.error_number = errno;
      return false;
    }
    if (block.empty()) {
      found.ended = true;
      break;
    }
    if (found.held.empty()) {
      // Room for the window and a block at once: grown by doubling, the held text would be
      // copied and would move to fresh pages at every step.
      found.held.reserve(guess_window + guess_context + input.block_size());
      populate(found.held.data(), found.held.capacity(), input.input_size());
    }
    found.held.append(block);
  }
  std::size_t start = 0;
  std::size_t end = found.held.size();
  if (first != std::string::npos) {
    start = first > guess_context ? first - guess_context : 0;
    start -= start % 4;
    end = std::min(end, first + guess_window);
  } else if (end > guess_window) {
    start = end - guess_window;
  }
  found.guess = morvik::guess_encoding(std::string_view(found.held).substr(start, end - start));
  result.source = found.guess.encoding;
  result.binary = found.guess.binary;
  return true;
}

}  // namespace

byte_reader fd_reader(int fd) {
  return [fd](char* buffer, std::size_t size) -> long {
    for (;;) {
      const long count = read_some(fd, buffer, size);
      if (count >= 0 || errno != EINTR) return count;
    }
  };
}

std::uint64_t fd_size(int fd) {
#ifdef _WIN32
  struct _stat64 status {};
  if (_fstat64(fd, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG) {
    return static_cast<std::uint64_t>(status.st_size);
  }
#else
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) return static_cast<std::uint64_t>(status.st_size);
#endif
  return unknown_size;
}

void widen_pipe(int fd) {
#if defined(__linux__) && defined(F_SETPIPE_SZ)
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISFIFO(status.st_mode)) return;
  const int capacity = ::fcntl(fd, F_GETPIPE_SZ);
  // Refused above the system's limit or the user's share of pipe memory: the pipe stays as it is.
  if (capacity >= 0 && static_cast<std::size_t>(capacity) < wide_pipe_size) {
    ::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(wide_pipe_size));
  }
#else
  (void)fd;
#endif
}

byte_writer fd_writer(int fd) {
  // Output that outgrows the default pipe widens it once, before the write that would wait.
  std::size_t written = 0;
  return [fd, written](std::string_view bytes) mutable {
    if (written < narrow_pipe_size) {
      written += bytes.size();
      if (written >= narrow_pipe_size) widen_pipe(fd);
    }
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
                             const conversion& asked) {
  conversion how = asked;
  if (how.block_size == 0) how.block_size = default_block_size;
  block_source input(read, how.block_size, how.input_size);
  stream_result result;
  result.source = how.from;

  // Long plain ASCII before the first telling byte goes out as ASCII; it reads the same in
  // every candidate, and a strict check has nothing to find in it.
  guessed_source found;
  std::optional<pipeline> ascii;
  if (how.detect_from) {
    conversion plain = how;
    plain.strict = false;
    plain.omit_invalid = false;
    plain.transliterate = false;
    const auto commit = [&](std::string_view bytes) {
      if (!ascii) ascii.emplace(morvik::ansi, plain, write, result, 0, false);
      return ascii->feed(bytes);
    };
    const bool guessed = guess_source(input, commit, found, result);
    if (result.outcome == stream_outcome::write_failed) return result;
    if (ascii && !ascii->finish()) return result;
    if (!guessed) return result;
    if (found.guess.binary) {
      result.outcome = stream_outcome::binary;
      return result;
    }
    if (found.held.empty() && found.ended) return result;
    if (!is_convertible(result.source)) {
      result.outcome = stream_outcome::not_convertible;
      return result;
    }
  }

  pipeline converter(result.source, how, write, result, found.committed, ascii.has_value());
  bool read_anything = !found.held.empty() || found.committed != 0;
  if (!found.held.empty() && !converter.feed(found.held)) return result;
  std::string().swap(found.held);
  if (found.ended) {
    converter.finish();
    return result;
  }

  for (;;) {
    std::string_view block;
    if (!input.next(block)) {
      result.outcome = stream_outcome::read_failed;
      result.error_number = errno;
      // Whatever was read still comes out whole; an input that failed at once leaves no trace.
      if (read_anything) converter.abandon();
      return result;
    }
    if (block.empty()) break;
    read_anything = true;
    if (!converter.feed(block)) return result;
  }
  converter.finish();
  return result;
}

stream_result detect_stream(const byte_reader& read, std::size_t block_size, std::uint64_t input_size) {
  stream_result result;
  guessed_source found;
  block_source input(read, block_size == 0 ? default_block_size : block_size, input_size);
  guess_source(input, [](std::string_view) { return true; }, found, result);
  return result;
}

}  // namespace morvik_cli
