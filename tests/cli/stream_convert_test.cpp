// Streaming conversion against translate_text on the whole text, with blocks that cut
// characters and escape sequences at every offset.
#include "cli/stream_convert.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <algorithm>
#include <string>
#include <vector>

#include "cli_samples.h"
#include "morvik/engine.h"
#include "morvik/guess.h"

namespace {

using cli_samples::convertible_encodings;
using cli_samples::hex;
using morvik_cli::conversion;
using morvik_cli::convert_stream;
using morvik_cli::stream_outcome;
using morvik_cli::stream_result;

// Hands out `text` as the first read of `first_piece` bytes, then reads as large as asked.
struct piece_reader {
  std::string text;
  std::size_t first_piece = 0;  // 0: no special first read
  std::size_t position = 0;
  int reads = 0;
  int fail_after = -1;  // this many successful reads, then EIO

  long operator()(char* buffer, std::size_t size) {
    if (fail_after >= 0 && reads >= fail_after) {
      errno = EIO;
      return -1;
    }
    std::size_t count = std::min(size, text.size() - position);
    if (reads == 0 && first_piece != 0) count = std::min(count, first_piece);
    ++reads;
    text.copy(buffer, count, position);
    position += count;
    return static_cast<long>(count);
  }
};

struct streamed {
  stream_result result;
  std::string output;
};

streamed stream(piece_reader& reader, const conversion& how) {
  streamed run;
  run.result = convert_stream(
      [&reader](char* buffer, std::size_t size) { return reader(buffer, size); },
      [&run](std::string_view bytes) {
        run.output.append(bytes);
        return true;
      },
      how);
  return run;
}

std::string whole_with_signatures(std::string_view text, morvik::encoding_id from,
                                  morvik::encoding_id to) {
  morvik::engine_handle handle = morvik::create_engine<char, char>(from, to, true);
  return handle.as<char, char>().translate_all(text);
}

// Every way of cutting a text: uniform tiny blocks, and one cut at each offset.
struct cut {
  std::size_t block_size;
  std::size_t first_piece;
};

std::vector<cut> cuts_of(std::size_t length) {
  std::vector<cut> cuts = {{1, 0}, {2, 0}, {3, 0}, {5, 0}, {7, 0}, {64 * 1024, 0}};
  for (std::size_t offset = 1; offset < length; ++offset) cuts.push_back({64 * 1024, offset});
  return cuts;
}

std::string cut_name(const cut& c) {
  return c.first_piece ? "cut at " + std::to_string(c.first_piece)
                       : "blocks of " + std::to_string(c.block_size);
}

class StreamConvert : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { morvik::initialize_library(); }
};

// Checks every cut of `input` against `expected`; stops at the first difference per text.
void expect_every_cut(const std::string& input, const std::string& expected,
                      conversion how, const std::string& case_name) {
  for (const cut& c : cuts_of(input.size())) {
    piece_reader reader{input, c.first_piece};
    how.block_size = c.block_size;
    const streamed run = stream(reader, how);
    ASSERT_EQ(run.result.outcome, stream_outcome::done) << case_name;
    if (run.output != expected) {
      ADD_FAILURE() << case_name << ", " << cut_name(c) << "\n  input:    " << hex(input)
                    << "\n  expected: " << hex(expected) << "\n  streamed: " << hex(run.output);
      return;
    }
  }
}

TEST_F(StreamConvert, EveryPairEqualsTheWholeTextAtEveryCut) {
  for (const auto& from : convertible_encodings()) {
    for (const auto& to : convertible_encodings()) {
      const std::string clean = cli_samples::sample_in(from.id);
      const std::string broken = cli_samples::damaged(clean, from.id);
      for (const std::string* input : {&clean, &broken}) {
        conversion how;
        how.from = from.id;
        how.to = to.id;
        const std::string name = std::string(from.name) + " to " + to.name +
                                 (input == &clean ? "" : " (damaged)");
        expect_every_cut(*input, morvik::translate_text(*input, from.id, to.id), how, name);
      }
    }
  }
}

TEST_F(StreamConvert, SignaturesEqualTheWholeTextEngineAtEveryCut) {
  for (const auto& from : convertible_encodings()) {
    for (const auto& to : convertible_encodings()) {
      // Marks at the start and inside, for the readers that drop them.
      const std::string text = cli_samples::sample_in(from.id);
      std::string mark;
      if (from.id == morvik::utf8) mark = morvik::utf8_bom;
      if (from.id == morvik::utf16be) mark = morvik::utf16be_bom;
      if (from.id == morvik::unicode) mark = morvik::utf16le_bom;
      const std::string input = mark + text + mark + text;
      conversion how;
      how.from = from.id;
      how.to = to.id;
      how.with_signatures = true;
      expect_every_cut(input, whole_with_signatures(input, from.id, to.id), how,
                       std::string(from.name) + " to " + to.name + " with signatures");
    }
  }
}

TEST_F(StreamConvert, SignaturesAreWrittenAndDropped) {
  const std::string sjis_text = cli_samples::sample_in(morvik::sjis);
  const std::string utf8_text = morvik::translate_text(sjis_text, morvik::sjis, morvik::utf8);
  struct signature_case {
    const char* name;
    std::string input;
    morvik::encoding_id from, to;
    std::string expected;
  };
  const std::vector<signature_case> cases = {
      {"Shift_JIS to UTF-8 starts with a mark", sjis_text, morvik::sjis, morvik::utf8,
       std::string(morvik::utf8_bom) + utf8_text},
      {"Shift_JIS to UTF-16BE starts with a mark", sjis_text, morvik::sjis, morvik::utf16be,
       std::string(morvik::utf16be_bom) +
           morvik::translate_text(sjis_text, morvik::sjis, morvik::utf16be)},
      {"Shift_JIS to UTF-16LE starts with a mark", sjis_text, morvik::sjis, morvik::unicode,
       std::string(morvik::utf16le_bom) +
           morvik::translate_text(sjis_text, morvik::sjis, morvik::unicode)},
      {"UTF-8 with a mark to Shift_JIS drops it", std::string(morvik::utf8_bom) + utf8_text,
       morvik::utf8, morvik::sjis, sjis_text},
  };
  for (const signature_case& c : cases) {
    piece_reader reader{c.input, 2};
    conversion how{c.from, false, c.to, true, 1};
    const streamed run = stream(reader, how);
    EXPECT_EQ(run.output, c.expected) << c.name << "\n  expected: " << hex(c.expected)
                                      << "\n  streamed: " << hex(run.output);
  }
}

// The source is what the guesser names from the first bytes that are not plain ASCII on; the
// ASCII before them, however long, reads the same in every candidate.
TEST_F(StreamConvert, AutoDetectionGuessesFromTheFirstTellingBytes) {
  struct auto_case {
    std::string name;
    std::string input;
    std::string telling;  // what the guess rests on
  };
  std::vector<auto_case> cases;
  for (const auto& from : convertible_encodings()) {
    const std::string text = cli_samples::sample_in(from.id);
    cases.push_back({std::string("small ") + from.name, text, text});
  }
  const std::string euc_text = cli_samples::sample_in(morvik::euc);
  cases.push_back({"EUC-JP after 8 KiB of ASCII", std::string(8192, 'a') + euc_text, euc_text});
  cases.push_back({"EUC-JP after 100 KiB of ASCII", std::string(100000, 'a') + euc_text, euc_text});
  // Telling bytes at once and text long after them: what was held for the guess spans blocks.
  const std::string long_euc = cli_samples::repeated_sample(morvik::euc, 3 * morvik_cli::guess_window);
  const std::size_t first_high = static_cast<std::size_t>(
      std::find_if(long_euc.begin(), long_euc.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) -
      long_euc.begin());
  ASSERT_LT(first_high, morvik_cli::guess_context);
  cases.push_back({"EUC-JP over three windows", long_euc, long_euc.substr(0, first_high + morvik_cli::guess_window)});
  cases.push_back({"empty", "", ""});

  for (const auto_case& c : cases) {
    const morvik::encoding_id guessed = morvik::guess_encoding(c.telling).encoding;
    for (const auto& to : convertible_encodings()) {
      const std::string expected = morvik::translate_text(c.input, guessed, to.id);
      for (std::size_t block_size : {std::size_t{7}, std::size_t{1000}, std::size_t{65536}}) {
        piece_reader reader{c.input};
        conversion how;
        how.detect_from = true;
        how.to = to.id;
        how.block_size = block_size;
        const streamed run = stream(reader, how);
        EXPECT_EQ(run.result.source, guessed) << c.name;
        EXPECT_TRUE(run.output == expected)
            << c.name << " to " << to.name << ", blocks of " << block_size
            << "\n  expected: " << hex(expected.substr(0, 64)) << "\n  streamed: " << hex(run.output.substr(0, 64));
      }
    }
  }
}

TEST_F(StreamConvert, DetectStreamReadsOnlyTheWindow) {
  const std::string euc_text = cli_samples::sample_in(morvik::euc);
  const std::string text = std::string(200000, 'a') + euc_text + std::string(200000, 'b');
  piece_reader reader{text};
  const stream_result result = morvik_cli::detect_stream(
      [&reader](char* buffer, std::size_t size) { return reader(buffer, size); }, 100);
  EXPECT_EQ(result.outcome, stream_outcome::done);
  EXPECT_EQ(result.source, morvik::guess_encoding(euc_text).encoding);
  EXPECT_LE(reader.position, 200000 + morvik_cli::guess_window + 100);
}

// Strict stops at the same byte, after the same output, wherever the blocks are cut.
TEST_F(StreamConvert, StrictStopsAtTheSameByteAtEveryCut) {
  struct strict_case {
    const char* name;
    morvik::encoding_id from, to;
    std::string input;
    std::uint64_t failure;
    std::size_t converted;  // the bytes whose conversion comes out: a dangling escape does not
  };
  const std::vector<strict_case> cases = {
      {"JIS X 0212 into ISO-2022-JP", morvik::jis, morvik::iso2022jp,
       "a\x1B$B$\"\x1B(I1^\x1B$(D0!\x1B(Bb", 15, 11},
      {"UTF-8 wave dash into Shift_JIS", morvik::utf8, morvik::sjis,
       "x\xE3\x81\x82\xEF\xBB\xBFy\xE3\x80\x9Cz", 8, 8},
      {"Shift_JIS cut lead", morvik::sjis, morvik::euc, "\x82\xA0\xB1\x82", 3, 3},
      {"UTF-16LE lone surrogate", morvik::unicode, morvik::euc, std::string("A\0B\0\0\xDC", 6), 4, 4},
  };
  for (const strict_case& c : cases) {
    conversion how;
    how.from = c.from;
    how.to = c.to;
    how.strict = true;
    how.with_signatures = true;
    const std::string expected = whole_with_signatures(c.input.substr(0, c.converted), c.from, c.to);
    for (const cut& cut : cuts_of(c.input.size())) {
      piece_reader reader{c.input, cut.first_piece};
      how.block_size = cut.block_size;
      const streamed run = stream(reader, how);
      const std::string where = std::string(c.name) + ", " + cut_name(cut);
      EXPECT_EQ(run.result.outcome, stream_outcome::not_convertible) << where;
      EXPECT_EQ(run.result.failure_offset, c.failure) << where;
      EXPECT_EQ(run.output, expected) << where << "\n  expected: " << hex(expected)
                                      << "\n  streamed: " << hex(run.output);
    }
  }
}

// Left out, an offending sequence goes whole, however the blocks cut it: the output is the
// conversion of the input without it.
TEST_F(StreamConvert, OmissionsAtEveryCut) {
  struct omit_case {
    const char* name;
    morvik::encoding_id from, to;
    std::string input;
    std::string without;  // the input with the offending sequences taken out
  };
  const std::vector<omit_case> cases = {
      {"JIS shifts around left-out pairs", morvik::jis, morvik::sjis,
       "a\x1B$B$\"\x7F\x7F$$\x1B(J\x1B$B$&\x1B(Bb\x1B$(D0!\x1B(Bc",
       "a\x1B$B$\"$$\x1B$B$&\x1B(Bb\x1B$(D\x1B(Bc"},
      {"UTF-8 cut and unwritable", morvik::utf8, morvik::euc,
       "x\xE3\x81\x82\xE3\x81y\xF0\x9F\x98\x80z\xE3\x81\x84\xE3", "x\xE3\x81\x82yz\xE3\x81\x84"},
      {"Shift_JIS leads without seconds", morvik::sjis, morvik::utf8, "\x82\xA0\x85\x40\x82\x82\xA2\xFD\x88", "\x82\xA0\x82\x82\xA2"},
  };
  for (const omit_case& c : cases) {
    conversion how;
    how.from = c.from;
    how.to = c.to;
    how.omit_invalid = true;
    expect_every_cut(c.input, morvik::translate_text(c.without, c.from, c.to), how, c.name);
  }
}

// What is left out goes without a write of its own: the output of a block full of offending
// bytes goes out at once, as any block's does.
TEST_F(StreamConvert, OmissionsGoOutWithTheirBlock) {
  std::string input;
  for (int i = 0; i < 20000; ++i) input += "a\xFF";
  conversion how;
  how.from = morvik::sjis;
  how.to = morvik::utf8;
  how.omit_invalid = true;
  how.block_size = 4096;
  piece_reader reader{input};
  std::string output;
  std::size_t writes = 0;
  const stream_result result = morvik_cli::convert_stream(
      [&reader](char* buffer, std::size_t size) { return reader(buffer, size); },
      [&](std::string_view bytes) {
        output.append(bytes);
        ++writes;
        return true;
      },
      how);
  EXPECT_EQ(result.outcome, stream_outcome::done);
  EXPECT_EQ(output, std::string(20000, 'a'));
  EXPECT_LE(writes, input.size() / how.block_size + 2);
}

// Look-alikes replace whole characters of the source, however the blocks cut them.
TEST_F(StreamConvert, LookAlikesAtEveryCut) {
  const std::string utf8 = "a\xE3\x80\x9C\xE3\x81\x82\xE2\x88\x92\xC2\xA2" "b\xE2\x80\x94";
  const std::string sjis = "a\x81\x60\x82\xA0\x81\x7C\x81\x91" "b\x81\x5C";
  for (morvik::encoding_id from : {morvik::utf8, morvik::unicode, morvik::utf16be}) {
    conversion how;
    how.from = from;
    how.to = morvik::sjis;
    how.transliterate = true;
    expect_every_cut(morvik::translate_text(utf8, morvik::utf8, from), sjis, how,
                     std::string("look-alikes from ") + (from == morvik::utf8      ? "UTF-8"
                                                         : from == morvik::unicode ? "UTF-16LE"
                                                                                   : "UTF-16BE"));
  }
}

// Line ends in UTF-16 are units: a CR LF pair and a unit itself may both be cut.
TEST_F(StreamConvert, LineEndsInUtf16AtEveryCut) {
  const std::string utf8 = "a\r\n\xE6\x97\xA5\r\rb\n";
  for (morvik::encoding_id to : {morvik::unicode, morvik::utf16be}) {
    conversion how;
    how.from = morvik::utf8;
    how.to = to;
    how.eol = morvik_cli::line_ends::crlf;
    expect_every_cut(utf8, morvik::translate_text("a\r\n\xE6\x97\xA5\r\n\r\nb\r\n", morvik::utf8, to),
                     how, to == morvik::unicode ? "CR LF in UTF-16LE" : "CR LF in UTF-16BE");
  }
}

TEST_F(StreamConvert, ReadFailures) {
  const std::string text = cli_samples::sample_in(morvik::sjis);
  struct failure_case {
    const char* name;
    int fail_after;  // successful reads first
    bool detect_from;
  };
  const std::vector<failure_case> cases = {
      {"at once", 0, false},
      {"at once, detecting", 0, true},
      {"after three blocks", 3, false},
      {"after three blocks, detecting", 3, true},
  };
  for (const failure_case& c : cases) {
    piece_reader reader{text};
    reader.fail_after = c.fail_after;
    conversion how{morvik::sjis, c.detect_from, morvik::utf8, true, 4};
    const streamed run = stream(reader, how);
    EXPECT_EQ(run.result.outcome, stream_outcome::read_failed) << c.name;
    EXPECT_EQ(run.result.error_number, EIO) << c.name;
    if (c.fail_after == 0 || c.detect_from) {
      // Nothing at all, not even a signature, when the first read or the detection fails.
      EXPECT_EQ(run.output, "") << c.name << ": " << hex(run.output);
    } else if (!c.detect_from) {
      // What was read comes out as a whole text of its own.
      const std::string read_part = text.substr(0, 12);
      const std::string expected = whole_with_signatures(read_part, morvik::sjis, morvik::utf8);
      EXPECT_EQ(run.output, expected) << c.name << "\n  expected: " << hex(expected)
                                      << "\n  streamed: " << hex(run.output);
    }
  }
}

TEST_F(StreamConvert, WriteFailureStopsReading) {
  const std::string text(100000, 'x');
  piece_reader reader{text};
  int writes = 0;
  const stream_result result = convert_stream(
      [&reader](char* buffer, std::size_t size) { return reader(buffer, size); },
      [&writes](std::string_view) {
        ++writes;
        errno = ENOSPC;
        return false;
      },
      conversion{morvik::ansi, false, morvik::utf8, false, 1000});
  EXPECT_EQ(result.outcome, stream_outcome::write_failed);
  EXPECT_EQ(result.error_number, ENOSPC);
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(reader.reads, 1);
}

}  // namespace
