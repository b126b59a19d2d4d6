// Strict reading: validity against Python's strict codecs, the stops case by case, every
// character's verdict against what the engines really write, and streaming at every cut.
#include "morvik/strict.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "morvik/morvik.h"
#include "morvik/repertoire.h"
#include "tests/morvik/codec_testing.h"

namespace {

using codec_testing::bytes;
using codec_testing::hex;
using morvik::encoding_id;

constexpr encoding_id all_encodings[] = {morvik::ansi, morvik::sjis,    morvik::jis,
                                         morvik::euc,  morvik::iso2022jp, morvik::utf8,
                                         morvik::utf16be, morvik::unicode};

morvik::strict_scan scan_whole(std::string_view text, encoding_id from, encoding_id to,
                               bool with_signatures = false, bool transliterate = false) {
  morvik::strict_checker checker(from, to, with_signatures, transliterate);
  return checker.scan(text, true);
}

// A text fed to one checker in pieces of `piece_length()` bytes, as the command feeds its blocks:
// where it stopped (`offset` + the last scan's failure) and the most it ever held back.
struct piecewise_scan {
  morvik::strict_scan scan;
  std::size_t offset = 0;
  std::size_t most_held = 0;
};

template <class PieceLength>
piecewise_scan scan_in_pieces(const std::string& text, encoding_id from, encoding_id to, PieceLength piece_length) {
  morvik::strict_checker checker(from, to);
  piecewise_scan result;
  std::string pending;
  std::size_t position = 0;
  for (;;) {
    const std::size_t piece = piece_length();
    const bool at_end = position + piece >= text.size();
    pending += text.substr(position, piece);
    position += piece;
    result.scan = checker.scan(pending, at_end);
    if (result.scan.failed || at_end) return result;
    result.offset += result.scan.accepted;
    pending.erase(0, result.scan.accepted);
    result.most_held = std::max(result.most_held, pending.size());
  }
}

class StrictReading : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { morvik::initialize_library(); }
};

// Whole valid characters as Python's strict codecs see them (see tests/tools/strict_oracle.py
// for the codes where our repertoire is defined otherwise).
TEST_F(StrictReading, ValidityAgreesWithPythonsCodecs) {
  if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  const std::string command =
      "python3 '" + codec_testing::source_path("tests/tools/strict_oracle.py") + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  const std::map<std::string, encoding_id> kinds = {
      {"sjis", morvik::sjis}, {"euc", morvik::euc}, {"utf8", morvik::utf8},
      {"utf16le", morvik::unicode}, {"utf16be", morvik::utf16be}};
  std::map<std::string, int> counted, failures;
  char line[128];
  while (std::fgets(line, sizeof line, pipe)) {
    char kind[16], input[32];
    int expected = 0;
    if (std::sscanf(line, "%15s %31s %d", kind, input, &expected) != 3) continue;
    const std::string text = bytes(input);
    const bool valid = !scan_whole(text, kinds.at(kind), morvik::utf16be).failed;
    ++counted[kind];
    if (valid != (expected == 1) && ++failures[kind] <= 10) {
      ADD_FAILURE() << kind << " " << hex(text) << ": Python says "
                    << (expected ? "valid" : "invalid") << ", strict reading says "
                    << (valid ? "valid" : "invalid");
    }
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_GT(counted["sjis"], 12000);
  EXPECT_GT(counted["euc"], 17000);
  EXPECT_GT(counted["utf8"], 30000);
  EXPECT_GT(counted["utf16le"], 65000);
  EXPECT_GT(counted["utf16be"], 65000);
}

struct stop_case {
  const char* name;
  encoding_id from;
  encoding_id to;
  const char* input;  // hex
  bool failed;
  std::size_t failure;         // where the offending sequence starts
  std::size_t failure_length;  // its bytes
  std::size_t accepted;        // what converts before it
};

TEST_F(StrictReading, StopsAtTheFirstOffendingSequence) {
  const std::vector<stop_case> cases = {
      // Shift_JIS
      {"Shift_JIS kana and kanji", morvik::sjis, morvik::utf8, "41 82A0 B1 889F", false, 0, 0, 6},
      {"Shift_JIS lead without its second byte", morvik::sjis, morvik::utf8, "41 82", true, 1, 1, 1},
      {"Shift_JIS lead before a byte that is no second byte", morvik::sjis, morvik::utf8, "82A0 8120",
       true, 2, 1, 2},
      {"Shift_JIS user-defined code", morvik::sjis, morvik::utf8, "41 F040", true, 1, 2, 1},
      {"Shift_JIS 0x80 alone", morvik::sjis, morvik::utf8, "80", true, 0, 1, 0},
      {"Shift_JIS 0xA0 alone", morvik::sjis, morvik::utf8, "41 A0", true, 1, 1, 1},
      {"Shift_JIS 0xFD", morvik::sjis, morvik::utf8, "FD", true, 0, 1, 0},
      {"Shift_JIS NEC row 13 to EUC-JP", morvik::sjis, morvik::euc, "8740", false, 0, 0, 2},
      {"Shift_JIS IBM extension to JIS", morvik::sjis, morvik::jis, "FA40 FC4B", false, 0, 0, 4},
      {"Shift_JIS kanji to ASCII", morvik::sjis, morvik::ansi, "41 889F", true, 1, 2, 1},
      {"Shift_JIS ESC cannot go into JIS", morvik::sjis, morvik::jis, "41 1B", true, 1, 1, 1},
      // EUC-JP
      {"EUC-JP two-byte, kana, JIS X 0212", morvik::euc, morvik::utf8, "A4A2 8EB1 8FB0A1", false, 0, 0, 7},
      {"EUC-JP lead at the end", morvik::euc, morvik::utf8, "A4A2 A4", true, 2, 1, 2},
      {"EUC-JP 0x8F cut off", morvik::euc, morvik::utf8, "8FB0", true, 0, 2, 0},
      {"EUC-JP code without a character", morvik::euc, morvik::utf8, "A9A1", true, 0, 2, 0},
      {"EUC-JP preferred elsewhere", morvik::euc, morvik::utf8, "ADF0", true, 0, 2, 0},
      {"EUC-JP kana lead with a kanji byte", morvik::euc, morvik::utf8, "8EE0", true, 0, 2, 0},
      {"EUC-JP lead 0x90", morvik::euc, morvik::utf8, "90A1", true, 0, 2, 0},
      {"EUC-JP lead before ASCII", morvik::euc, morvik::utf8, "B041", true, 0, 1, 0},
      {"EUC-JP JIS X 0212 into Shift_JIS", morvik::euc, morvik::sjis, "41 8FB0A1", true, 1, 3, 1},
      {"EUC-JP JIS X 0212 straight into ISO-2022-JP", morvik::euc, morvik::iso2022jp, "8FA2F1", true, 0,
       3, 0},
      {"EUC-JP JIS X 0212 into JIS", morvik::euc, morvik::jis, "8FB0A1", false, 0, 0, 3},
      // UTF-8
      {"UTF-8 three and four bytes", morvik::utf8, morvik::utf16be, "E38182 F09F9880", false, 0, 0, 7},
      {"UTF-8 overlong NUL", morvik::utf8, morvik::utf16be, "41 C080", true, 1, 2, 1},
      {"UTF-8 overlong three bytes", morvik::utf8, morvik::utf16be, "E08080", true, 0, 3, 0},
      {"UTF-8 surrogate", morvik::utf8, morvik::utf16be, "41 EDA080 42", true, 1, 3, 1},
      {"UTF-8 past U+10FFFF", morvik::utf8, morvik::utf16be, "F4908080", true, 0, 4, 0},
      {"UTF-8 lone continuation", morvik::utf8, morvik::utf16be, "41 80", true, 1, 1, 1},
      {"UTF-8 cut by ASCII", morvik::utf8, morvik::utf16be, "E381 41", true, 0, 2, 0},
      {"UTF-8 cut by the end", morvik::utf8, morvik::utf16be, "41 E381", true, 1, 2, 1},
      {"UTF-8 five-byte lead", morvik::utf8, morvik::utf16be, "F8888080 80", true, 0, 1, 0},
      {"UTF-8 wave dash into Shift_JIS", morvik::utf8, morvik::sjis, "41 E3809C", true, 1, 3, 1},
      {"UTF-8 full-width tilde into Shift_JIS", morvik::utf8, morvik::sjis, "EFBD9E", false, 0, 0, 3},
      {"UTF-8 emoji into EUC-JP", morvik::utf8, morvik::euc, "F09F9880", true, 0, 4, 0},
      {"UTF-8 JIS X 0212 kanji into ISO-2022-JP", morvik::utf8, morvik::iso2022jp, "E4B882", true, 0, 3,
       0},
      {"UTF-8 JIS X 0212 kanji into JIS", morvik::utf8, morvik::jis, "E4B882", false, 0, 0, 3},
      {"UTF-8 e-acute into ASCII", morvik::utf8, morvik::ansi, "43 C3A9", true, 1, 2, 1},
      {"UTF-8 signature into Shift_JIS", morvik::utf8, morvik::sjis, "EFBBBF 41", true, 0, 3, 0},
      // UTF-16
      {"UTF-16LE pair", morvik::unicode, morvik::utf8, "3DD8 00DE", false, 0, 0, 4},
      {"UTF-16LE lone low surrogate", morvik::unicode, morvik::utf8, "4100 00DC", true, 2, 2, 2},
      {"UTF-16LE high surrogate before a letter", morvik::unicode, morvik::utf8, "00D8 4100", true, 0, 2,
       0},
      {"UTF-16LE odd last byte", morvik::unicode, morvik::utf8, "4100 42", true, 2, 1, 2},
      {"UTF-16BE high surrogate at the end", morvik::utf16be, morvik::utf8, "0041 D800", true, 2, 2, 2},
      // JIS and ISO-2022-JP
      {"JIS kanji, kana, JIS X 0212", morvik::jis, morvik::utf8,
       "1B2442 2422 1B2849 31 1B242844 3021 1B2842 41", false, 0, 0, 19},
      {"JIS SO and SI", morvik::jis, morvik::utf8, "0E 31 0F 41", false, 0, 0, 4},
      {"JIS unknown escape ESC ( J", morvik::jis, morvik::utf8, "41 1B284A 42", true, 1, 3, 1},
      {"JIS unknown escape ESC $ @", morvik::jis, morvik::utf8, "1B2440 3021", true, 0, 3, 0},
      {"JIS unknown escape ESC $ ( Q", morvik::jis, morvik::utf8, "1B242851", true, 0, 4, 0},
      {"JIS escape ESC x", morvik::jis, morvik::utf8, "1B41", true, 0, 2, 0},
      {"JIS escape cut off", morvik::jis, morvik::utf8, "41 1B24", true, 1, 2, 1},
      {"JIS line end inside kanji", morvik::jis, morvik::utf8, "1B2442 2422 0A", true, 5, 1, 5},
      {"JIS kanji cut in half", morvik::jis, morvik::utf8, "1B2442 24", true, 3, 1, 0},
      {"JIS code without a character", morvik::jis, morvik::utf8, "1B2442 2921", true, 3, 2, 0},
      {"JIS high byte in ASCII", morvik::jis, morvik::utf8, "41 B1", true, 1, 1, 1},
      {"JIS kana out of range", morvik::jis, morvik::utf8, "1B2849 60", true, 3, 1, 0},
      {"JIS trailing escape is fine", morvik::jis, morvik::utf8, "1B2442 2422 1B2842", false, 0, 0, 8},
      {"JIS X 0212 straight into ISO-2022-JP", morvik::jis, morvik::iso2022jp, "41 1B242844 3021", true,
       5, 2, 1},
      {"ISO-2022-JP into JIS is a copy", morvik::iso2022jp, morvik::jis, "1B242844 3021", false, 0, 0, 6},
      {"ISO-2022-JP read strictly too", morvik::iso2022jp, morvik::euc, "1B284A 41", true, 0, 3, 0},
      // ASCII
      {"ASCII high byte", morvik::ansi, morvik::sjis, "41 82A0", true, 1, 1, 1},
      {"ASCII into UTF-16", morvik::ansi, morvik::unicode, "41 42", false, 0, 0, 2},
  };
  for (const stop_case& c : cases) {
    const std::string input = bytes(c.input);
    const morvik::strict_scan scan = scan_whole(input, c.from, c.to);
    const std::string where = std::string(c.name) + " (" + hex(input) + ")";
    EXPECT_EQ(scan.failed, c.failed) << where;
    EXPECT_EQ(scan.accepted, c.accepted) << where;
    if (c.failed && scan.failed) {
      EXPECT_EQ(scan.failure, c.failure) << where;
      EXPECT_EQ(scan.failure_length, c.failure_length) << where;
    }
  }
}

// Past a failure the checker reads on in the state the text had there: a shift before a left-out
// sequence still holds for what follows, and nothing holds without skip_failure.
TEST_F(StrictReading, SkippingAFailureKeepsTheShiftBeforeIt) {
  struct skip_case {
    const char* name;
    encoding_id from;
    std::string text;
    std::size_t failure;
    std::string after;         // the text after the failure
    bool after_fails_skipped;  // once skipped, does the rest fail?
  };
  const std::vector<skip_case> cases = {
      {"a lone pair byte after a kanji shift", morvik::jis, "\x1B$B\x7F\x7F", 3, "$", true},
      {"a pair after a kanji shift", morvik::jis, "\x1B$B\x7F\x7F", 3, "$\"", false},
      {"katakana after SO", morvik::jis, "\x0E\x7F", 1, "1", false},
      {"a stray byte in Shift_JIS", morvik::sjis, "a\xFF", 1, "\x82\xA0", false},
  };
  for (const skip_case& c : cases) {
    morvik::strict_checker checker(c.from, morvik::utf8);
    const morvik::strict_scan first = checker.scan(c.text, false);
    ASSERT_TRUE(first.failed) << c.name;
    EXPECT_EQ(first.failure, c.failure) << c.name;
    checker.skip_failure();
    const morvik::strict_scan rest = checker.scan(c.after, true);
    EXPECT_EQ(rest.failed, c.after_fails_skipped) << c.name << ": " << hex(c.after);
  }
  // Without the skip the checker stays where it accepted: before the shift, in ASCII.
  morvik::strict_checker checker(morvik::jis, morvik::utf8);
  ASSERT_TRUE(checker.scan("\x1B$B\x7F\x7F", false).failed);
  EXPECT_FALSE(checker.scan("$", true).failed);
}

TEST_F(StrictReading, SignaturesAndLookAlikes) {
  struct option_case {
    const char* name;
    encoding_id from, to;
    const char* input;
    bool with_signatures, transliterate, failed;
  };
  const std::vector<option_case> cases = {
      {"UTF-8 signature dropped on the way to Shift_JIS", morvik::utf8, morvik::sjis, "EFBBBF 41", true,
       false, false},
      {"UTF-8 signature into ASCII is still a character", morvik::utf8, morvik::ansi, "EFBBBF", true,
       false, true},
      {"UTF-16BE signature dropped on the way to ASCII", morvik::utf16be, morvik::ansi, "FEFF 0041", true,
       false, false},
      {"wave dash with look-alikes", morvik::utf8, morvik::sjis, "E3809C", false, true, false},
      {"em dash with look-alikes into EUC-JP", morvik::utf8, morvik::euc, "E28094", false, true, false},
      {"minus sign with look-alikes into ISO-2022-JP", morvik::unicode, morvik::iso2022jp, "1222", false,
       true, false},
      {"emoji has no look-alike", morvik::utf8, morvik::sjis, "F09F9880", false, true, true},
  };
  for (const option_case& c : cases) {
    const std::string input = bytes(c.input);
    EXPECT_EQ(scan_whole(input, c.from, c.to, c.with_signatures, c.transliterate).failed, c.failed)
        << c.name << " (" << hex(input) << ")";
  }
}

// Every look-alike the command writes, with the bytes iconv's CP932//TRANSLIT and nkf write.
TEST_F(StrictReading, LookAlikesOfEachTarget) {
  struct look_alike_case {
    char32_t lacking;
    const char* sjis;  // hex of the look-alike in Shift_JIS
    const char* euc;
  };
  const std::vector<look_alike_case> cases = {
      {0x301C, "8160", "A1C1"}, {0x2016, "8161", "A1C2"}, {0x2212, "817C", "A1DD"},
      {0x00A2, "8191", "A1F1"}, {0x00A3, "8192", "A1F2"}, {0x00AC, "81CA", "A2CC"},
      {0x2014, "815C", "A1BD"},
  };
  for (const look_alike_case& c : cases) {
    for (encoding_id to : {morvik::sjis, morvik::euc, morvik::jis, morvik::iso2022jp}) {
      const char32_t written = morvik::look_alike(to, c.lacking);
      ASSERT_NE(written, 0u) << std::hex << "U+" << static_cast<unsigned>(c.lacking) << " into "
                             << codec_testing::encoding_name(to);
      const std::u16string unit(1, static_cast<char16_t>(written));
      if (to == morvik::sjis || to == morvik::euc) {
        const std::string expected = bytes(to == morvik::sjis ? c.sjis : c.euc);
        EXPECT_EQ(morvik::translate_from_unicode(unit, to), expected)
            << std::hex << "U+" << static_cast<unsigned>(c.lacking);
      }
    }
    for (encoding_id to : {morvik::ansi, morvik::utf8, morvik::utf16be, morvik::unicode}) {
      EXPECT_EQ(morvik::look_alike(to, c.lacking), 0u) << codec_testing::encoding_name(to);
    }
  }
}

std::string encode_unit(char32_t code_point, encoding_id from) {
  return morvik::translate_from_unicode(std::u16string(1, static_cast<char16_t>(code_point)), from);
}

// One character of each source, framed as its encoding needs.
std::vector<std::string> characters_of(encoding_id from) {
  std::vector<std::string> characters;
  auto add_if_valid = [&](std::string text) {
    if (!scan_whole(text, from, morvik::utf16be).failed) characters.push_back(std::move(text));
  };
  switch (from) {
    case morvik::sjis:
      for (int b = 0; b < 256; ++b) {
        add_if_valid(std::string(1, static_cast<char>(b)));
        for (int t = 0x40; t <= 0xFC && ((b >= 0x81 && b <= 0x9F) || b >= 0xE0); ++t) {
          add_if_valid({static_cast<char>(b), static_cast<char>(t)});
        }
      }
      break;
    case morvik::euc:
      for (int b = 0; b < 256; ++b) {
        add_if_valid(std::string(1, static_cast<char>(b)));
        for (int t = 0xA1; t <= 0xFE && b >= 0x8E; ++t) {
          add_if_valid({static_cast<char>(b), static_cast<char>(t)});
          if (b == 0x8F) {
            for (int u = 0xA1; u <= 0xFE; ++u) {
              add_if_valid({static_cast<char>(b), static_cast<char>(t), static_cast<char>(u)});
            }
          }
        }
      }
      break;
    case morvik::jis:
      for (const char* escape : {"\x1B$B", "\x1B$(D"}) {
        for (int b = 0x21; b <= 0x7E; ++b) {
          for (int t = 0x21; t <= 0x7E; ++t) {
            add_if_valid(escape + std::string{static_cast<char>(b), static_cast<char>(t)} + "\x1B(B");
          }
        }
      }
      for (int b = 0x21; b <= 0x5F; ++b) add_if_valid("\x1B(I" + std::string(1, static_cast<char>(b)));
      break;
    default:  // UTF-8 and UTF-16LE: every unit of the BMP but the surrogates
      for (char32_t u = 0; u < 0x10000; ++u) {
        if (u < 0xD800 || u > 0xDFFF) characters.push_back(encode_unit(u, from));
      }
      characters.push_back(from == morvik::utf8 ? std::string("\xF0\x9F\x98\x80")
                                                : std::string("\x3D\xD8\x00\xDE", 4));
      break;
  }
  return characters;
}

// The verdict for each valid character equals what the engines do: writable exactly when the
// conversion, read back, is the same character (ISO-2022-JP makes half-width kana full-width).
TEST_F(StrictReading, EveryCharacterAgreesWithTheEngines) {
  for (encoding_id from : {morvik::sjis, morvik::euc, morvik::jis, morvik::utf8, morvik::unicode}) {
    const std::vector<std::string> characters = characters_of(from);
    ASSERT_GT(characters.size(), 6000u) << codec_testing::encoding_name(from);
    const bool unicode_source = from == morvik::utf8 || from == morvik::unicode;
    for (encoding_id to : all_encodings) {
      // The Unicode forms write every character of a Unicode source: a sample does.
      const bool sampled = unicode_source && (to == morvik::utf8 || to == morvik::utf16be ||
                                              to == morvik::unicode || from == morvik::utf8);
      int mismatches = 0;
      for (std::size_t i = 0; i < characters.size(); i += sampled ? 7 : 1) {
        const std::string& character = characters[i];
        const std::u16string read = morvik::translate_to_unicode(character, from);
        const std::string written = morvik::translate_text(character, from, to);
        std::u16string expected = read;
        if (to == morvik::iso2022jp && read.size() == 1 && read[0] >= 0xFF61 && read[0] <= 0xFF9F) {
          expected = morvik::translate_to_unicode(
              morvik::translate_from_unicode(read, morvik::iso2022jp), morvik::iso2022jp);
        }
        const bool kept = morvik::translate_to_unicode(written, to) == expected;
        const bool refused = morvik::strict_checker(from, to).scan(character, true).failed;
        if (refused == kept && ++mismatches <= 5) {
          ADD_FAILURE() << codec_testing::encoding_name(from) << " to "
                        << codec_testing::encoding_name(to) << ": " << hex(character) << " written as "
                        << hex(written) << "; strict says " << (refused ? "refused" : "writable");
        }
      }
    }
  }
}

// Fed in pieces, the checker stops at the same byte as on the whole text.
TEST_F(StrictReading, PiecesStopWhereTheWholeTextStops) {
  struct piece_case {
    encoding_id from, to;
    const char* input;
  };
  const std::vector<piece_case> cases = {
      {morvik::jis, morvik::iso2022jp, "41 1B2442 2422 1B2849 31 1B2842 1B242844 3021"},
      {morvik::jis, morvik::utf8, "1B2442 2422 1B2842 1B2842 1B2442 2422 0A"},
      {morvik::utf8, morvik::sjis, "41 E38182 EFBD9E F09F9880 42"},
      {morvik::sjis, morvik::euc, "41 82A0 B1 82 F040"},
      {morvik::euc, morvik::utf8, "A4A2 8EB1 8FB0A1 8FB0"},
      {morvik::unicode, morvik::sjis, "4100 4230 3DD8 00DE"},
  };
  for (const piece_case& c : cases) {
    const std::string input = bytes(c.input);
    const morvik::strict_scan whole = scan_whole(input, c.from, c.to);
    for (std::size_t piece = 1; piece <= 4; ++piece) {
      const piecewise_scan fed = scan_in_pieces(input, c.from, c.to, [piece] { return piece; });
      const morvik::strict_scan& scan = fed.scan;
      const std::size_t offset = fed.offset;
      ASSERT_LE(fed.most_held, 8u) << hex(input) << " in pieces of " << piece;
      EXPECT_EQ(scan.failed, whole.failed) << hex(input) << " in pieces of " << piece;
      if (scan.failed && whole.failed) {
        EXPECT_EQ(offset + scan.failure, whole.failure) << hex(input) << " in pieces of " << piece;
        EXPECT_EQ(scan.failure_length, whole.failure_length) << hex(input) << " in pieces of " << piece;
      }
    }
  }
}

// Random texts of telling bytes, fed in random pieces: the same stop as the whole text, and
// never more than a character and a shift held back.
TEST_F(StrictReading, RandomTextsInRandomPieces) {
  std::string alphabet;
  const std::initializer_list<int> telling_bytes = {
      0x1B, '$',  '(',  'B',  'D',  'I',  'J',  '@',  0x0E, 0x0F, '\n', '!',  '"',  '0',  '~',
      0x7F, 0x00, 0x80, 0x82, 0x87, 0x8E, 0x8F, 0xA0, 0xA1, 0xA4, 0xB0, 0xC0, 0xC3, 0xDF, 0xE3,
      0xED, 0xEE, 0xEF, 0xF0, 0xF4, 0xF9, 0xFA, 0xFC, 0xFE, 0xFF, 0xBB, 0xBF, 0x9C, 0xD8, 0xDC};
  for (int byte : telling_bytes) {
    alphabet.push_back(static_cast<char>(byte));
  }
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  for (encoding_id from : all_encodings) {
    for (encoding_id to : all_encodings) {
      for (int round = 0; round < 150; ++round) {
        std::string text;
        const std::uint32_t length = next(24);
        for (std::uint32_t i = 0; i < length; ++i) text.push_back(alphabet[next(alphabet.size())]);
        const morvik::strict_scan whole = scan_whole(text, from, to);
        const piecewise_scan fed = scan_in_pieces(text, from, to, [&next] { return 1 + next(4); });
        const morvik::strict_scan& scan = fed.scan;
        const std::size_t offset = fed.offset;
        ASSERT_LE(fed.most_held, 8u) << hex(text);
        const std::string where = std::string(codec_testing::encoding_name(from)) + " to " +
                                  codec_testing::encoding_name(to) + ": " + hex(text);
        ASSERT_EQ(scan.failed, whole.failed) << where;
        if (whole.failed) {
          EXPECT_EQ(offset + scan.failure, whole.failure) << where;
          EXPECT_EQ(scan.failure_length, whole.failure_length) << where;
          EXPECT_LE(whole.accepted, whole.failure) << where;
          EXPECT_GE(whole.failure_length, 1u) << where;
          EXPECT_LE(whole.failure + whole.failure_length, text.size()) << where;
        } else {
          EXPECT_EQ(whole.accepted, text.size()) << where;
        }
      }
    }
  }
}

}  // namespace
