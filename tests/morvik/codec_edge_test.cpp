// The byte-level decisions of each codec: replacement, what is read afresh, escape states,
// the UTF-8 corner cases, and the pairs whose text is copied.
#include <gtest/gtest.h>

#include <string>

#include "morvik/ansi_sjis.h"
#include "morvik/euc.h"
#include "morvik/jis.h"
#include "morvik/morvik.h"
#include "morvik/utf.h"
#include "tests/morvik/codec_testing.h"

namespace {

using namespace morvik;
using codec_testing::bytes;
using codec_testing::hex;

struct text_case {
  const char* name;
  encoding_id from;
  encoding_id to;
  const char* input;     // hex
  const char* expected;  // hex
};

void check_cases(const text_case* begin, const text_case* end) {
  for (const text_case* c = begin; c != end; ++c) {
    std::string input = bytes(c->input);
    std::string expected = bytes(c->expected);
    std::string actual = translate_text(input, c->from, c->to);
    EXPECT_EQ(hex(actual), hex(expected))
        << c->name << " (" << codec_testing::encoding_name(c->from) << " to "
        << codec_testing::encoding_name(c->to) << ", input " << hex(input) << ")";
  }
}

#define CHECK_CASES(table) check_cases(std::begin(table), std::end(table))

const text_case ascii_and_shift_jis[] = {
    {"ASCII reads unchanged", ansi, unicode, "41 42 43", "4100 4200 4300"},
    {"a high byte is no ASCII", ansi, unicode, "80 41", "3F00 4100"},
    {"U+00E9 is no ASCII", unicode, ansi, "E900 4100", "3F 41"},
    {"hiragana a", sjis, unicode, "82A0", "4230"},
    {"hiragana a back", unicode, sjis, "4230", "82A0"},
    {"invalid second byte is read afresh", sjis, unicode, "817F", "3F00 7F00"},
    {"user-defined code, second byte read afresh", sjis, unicode, "F040", "3F00 4000"},
    {"half-width katakana", sjis, unicode, "B1", "71FF"},
    {"half-width katakana back", unicode, sjis, "71FF", "B1"},
    {"yen and overline bytes stay ASCII", sjis, unicode, "5C 7E", "5C00 7E00"},
    {"lone lead byte at the end", sjis, unicode, "41 82", "4100 3F00"},
    {"0x80, 0xA0 and 0xFD-0xFF read as their value", sjis, unicode, "80 A0 FD FE FF",
     "8000 A000 FD00 FE00 FF00"},
    {"IBM extension and NEC-selected code read alike", sjis, unicode, "FA40 EEEF", "7021 7021"},
    {"small roman numeral one writes its NEC-selected code", unicode, sjis, "7021", "EEEF"},
    {"approximately equal through Unicode", sjis, utf8, "8790", "E2 89 92"},
    {"approximately equal written", utf8, sjis, "E2 89 92", "81E0"},
    {"wave dash has no code", unicode, sjis, "1C30", "3F"},
    {"fullwidth tilde", unicode, sjis, "5EFF", "8160"},
    {"NUL is a character", sjis, unicode, "41 00 42", "4100 0000 4200"},
    {"to EUC-JP: katakana", sjis, euc, "B1", "8EB1"},
    {"to EUC-JP: hiragana", sjis, euc, "82A0", "A4A2"},
    {"to EUC-JP: first JIS X 0208 code", sjis, euc, "8140", "A1A1"},
    {"to EUC-JP: row 16 starts", sjis, euc, "889F", "B0A1"},
    {"to EUC-JP: last JIS X 0208 code", sjis, euc, "EFFC", "FEFE"},
    {"to EUC-JP: IBM extension through its table", sjis, euc, "FA40", "FCF1"},
    {"to EUC-JP: IBM extension kanji", sjis, euc, "FA5C", "F9A1"},
    {"to EUC-JP: NEC row 13 duplicate as its twin", sjis, euc, "8790 41", "A2E2 41"},
    {"to EUC-JP: last NEC row 13 duplicate", sjis, euc, "879C", "A2C0"},
    {"to EUC-JP: row 13 circled one stays in row 13", sjis, euc, "8740", "ADA1"},
    {"to EUC-JP: NEC-selected not sign as its twin", sjis, euc, "EEF9", "A2CC"},
    {"to EUC-JP: NEC-selected kanji keeps its row", sjis, euc, "ED40", "F9A1"},
    {"to EUC-JP: byte without meaning copied", sjis, euc, "FD", "FD"},
    {"to EUC-JP: user-defined code as via Unicode", sjis, euc, "F040", "3F 40"},
    {"to EUC-JP: invalid second byte", sjis, euc, "81 20", "3F 20"},
    {"to EUC-JP: lone lead byte at the end", sjis, euc, "41 82", "41 3F"},
};

const text_case euc_jp[] = {
    {"hiragana a", euc, unicode, "A4A2", "4230"},
    {"hiragana a back", unicode, euc, "4230", "A4A2"},
    {"half-width katakana", euc, unicode, "8EB1", "71FF"},
    {"half-width katakana back", unicode, euc, "71FF", "8EB1"},
    {"JIS X 0212", euc, unicode, "8FB0A1", "024E"},
    {"JIS X 0212 back", unicode, euc, "024E", "8FB0A1"},
    {"second byte FE", euc, unicode, "A1FE", "C725"},
    {"second byte FD", euc, unicode, "B0FD", "E480"},
    {"0x8F and one byte at the end", euc, unicode, "8F A1", "3F00 3F00"},
    {"invalid 0x8F form keeps the bytes after it", euc, unicode, "8F 41 42", "3F00 4100 4200"},
    {"lead byte 0x90 without entry", euc, unicode, "90 41", "3F00 4100"},
    {"lead byte 0x90 at the end", euc, unicode, "41 90", "4100 3F00"},
    {"tilde stays ASCII", euc, unicode, "7E", "7E00"},
    {"tilde written as ASCII", unicode, euc, "7E00", "7E"},
    {"yen sign has no code", unicode, euc, "A500", "3F"},
    {"numero sign prefers its two-byte code", unicode, euc, "1621", "ADE2"},
    {"NEC row 13 duplicate has no entry", euc, unicode, "ADF0 41", "3F00 3F00 4100"},
    {"broken bar only in JIS X 0212", unicode, euc, "A600", "8FA2C3"},
};

const text_case jis_writers[] = {
    {"kanji run announced and closed", sjis, jis, "41 82A0 42", "41 1B2442 2422 1B2842 42"},
    {"text ending in kanji ends in ASCII", sjis, jis, "82A0", "1B2442 2422 1B2842"},
    {"katakana run", sjis, jis, "B1", "1B2849 31 1B2842"},
    {"one escape per run", sjis, jis, "82A0 82A2 41 42", "1B2442 2422 2424 1B2842 41 42"},
    {"IBM extension through its table", sjis, jis, "FA40", "1B2442 7C71 1B2842"},
    {"user-defined code in ASCII", sjis, jis, "82A0 F040", "1B2442 2422 1B2842 3F 40"},
    {"NEC row 13 duplicate as its twin", sjis, jis, "41 879A", "41 1B2442 2268 1B2842"},
    {"NEC-selected not sign as its twin", sjis, jis, "EEF9 EEFA", "1B2442 224C 7C7C 1B2842"},
    {"lone lead byte at the end", sjis, jis, "82", "3F"},
    {"EUC-JP JIS X 0212", euc, jis, "8FB0A1", "1B242844 3021 1B2842"},
    {"EUC-JP katakana", euc, jis, "8EB1 41", "1B2849 31 1B2842 41"},
    {"EUC-JP invalid 0x8F form keeps AB", euc, jis, "8F 41 42", "3F 41 42"},
    {"EUC-JP 0x8E before a non-katakana byte", euc, jis, "8E E0 A1", "3F 1B2442 6021 1B2842"},
    {"EUC-JP 0x8E before ASCII", euc, jis, "8E 41", "3F 41"},
    {"EUC-JP lead before ASCII", euc, jis, "A4 41", "3F 41"},
    {"EUC-JP replacement returns to ASCII", euc, jis, "A4A2 8E 41", "1B2442 2422 1B2842 3F 41"},
};

const text_case jis_readers[] = {
    {"kanji run", jis, euc, "1B2442 2422 1B2842 41", "A4A2 41"},
    {"shifted katakana", jis, euc, "0E 31 0F 41", "8EB1 41"},
    {"designated katakana", jis, euc, "1B2849 31 1B2842", "8EB1"},
    {"JIS X 0212 at the end is not held back", jis, euc, "1B242844 3021", "8FB0A1"},
    {"unknown escape dropped", jis, euc, "1B284A 41", "41"},
    {"ESC $ ( cut off", jis, euc, "41 1B2428", "41 3F 3F 3F"},
    {"half a kanji at the end", jis, euc, "1B2442 24", "3F"},
    // A shift is whole on its own: never held back as half of a pair, never turned into "?".
    {"last SI right after an escape", jis, euc, "1B2442 0F", ""},
    {"last SI after a kanji", jis, euc, "1B2442 2422 0F", "A4A2"},
    {"last SO in JIS X 0212", jis, euc, "1B242844 0E", ""},
    {"last SI after SO", jis, iso2022jp, "0E 0F", ""},
    {"last SI in a kanji run", jis, iso2022jp, "1B2442 0F", ""},
    {"JIS X 0212 to Shift_JIS has no code", jis, sjis, "1B242844 3021 1B2842", "3F"},
    {"JIS to Shift_JIS", jis, sjis, "1B2442 2422 1B2842", "82A0"},
    {"voiced katakana", jis, iso2022jp, "1B2849 365E 1B2842", "1B2442 252C 1B2842"},
    {"semi-voiced katakana", jis, iso2022jp, "1B2849 4A5F", "1B2442 2551 1B2842"},
    {"semi-voiced mark after ka stays a mark", jis, iso2022jp, "1B2849 365F", "1B2442 252B 212C 1B2842"},
    {"katakana held back at the end", jis, iso2022jp, "1B2849 36", "1B2442 252B 1B2842"},
    {"space in a katakana run", jis, iso2022jp, "1B2849 20", "3F"},
    {"shifted katakana made full-width", jis, iso2022jp, "0E 31 0F 41", "1B2442 2522 1B2842 41"},
    {"redundant escapes disappear", jis, iso2022jp, "1B2442 2422 1B2442 2424 1B2842 1B2842 41",
     "1B2442 2422 2424 1B2842 41"},
    {"JIS X 0212 becomes one ? per character", jis, iso2022jp, "1B242844 3021 3022 1B2842 41",
     "3F 3F 41"},
    {"ESC $ ( cut off in ISO-2022-JP", jis, iso2022jp, "41 1B2428", "41 3F 3F 3F"},
    {"UTF-8 JIS X 0212 character is no D0!", utf8, iso2022jp, "E4B882", "3F"},
    {"UTF-8 half-width katakana made full-width", utf8, iso2022jp, "EFBDB1", "1B2442 2522 1B2842"},
    {"Shift_JIS voiced katakana made full-width", sjis, iso2022jp, "B6DE", "1B2442 252C 1B2842"},
    {"ISO-2022-JP to ASCII reads as JIS", iso2022jp, ansi, "1B2442 2422 1B2842 41", "3F 41"},
    {"ISO-2022-JP to EUC-JP", iso2022jp, euc, "1B2442 2422 1B2842", "A4A2"},
};

const text_case utf[] = {
    {"four bytes to a surrogate pair", utf8, unicode, "F0908080", "00D8 00DC"},
    {"surrogate pair to four bytes", unicode, utf8, "00D8 00DC", "F0908080"},
    {"highest code point", utf8, unicode, "F48FBFBF", "FFDB FFDF"},
    {"above 10FFFF consumes all four bytes", utf8, unicode, "F4908080 41", "3F00 4100"},
    {"continuation bits unchecked", utf8, unicode, "E38141", "4130"},
    {"lone continuation byte", utf8, unicode, "80 41", "3F00 4100"},
    {"cut-off sequence at the end", utf8, unicode, "41 E381", "4100 3F00 3F00"},
    {"overlong NUL kept", utf8, unicode, "C080", "0000"},
    {"encoded surrogate kept", utf8, unicode, "EDA080", "00D8"},
    {"five-byte form is above 10FFFF", utf8, unicode, "F888808080", "3F00"},
    {"bytes FE and FF begin nothing", utf8, unicode, "FE FF", "3F00 3F00"},
    {"lone high surrogate before ASCII", unicode, utf8, "00D8 4100", "EDA080 41"},
    {"high surrogate at the end", unicode, utf8, "4100 00D8", "41 3F"},
    {"lone low surrogate", unicode, utf8, "00DC", "EDB080"},
    {"odd UTF-16LE byte", unicode, utf8, "4100 4200 43", "41 42 3F"},
    {"odd UTF-16BE byte", utf16be, utf8, "0041 0042 00", "41 42 3F"},
    {"UTF-16BE to UTF-16LE", utf16be, unicode, "3042 0041", "4230 4100"},
    {"UTF-8 to UTF-16BE", utf8, utf16be, "E38182 41", "3042 0041"},
    {"no mark written", sjis, utf8, "41", "41"},
    {"no mark written to UTF-16", sjis, unicode, "41", "4100"},
    {"a mark in the input is a character", utf8, sjis, "EFBBBF 41", "3F 41"},
    {"a UTF-16 mark in the input is a character", unicode, euc, "FFFE 4100", "3F 41"},
    {"a mark in UTF-8 to UTF-16 is kept", utf8, unicode, "EFBBBF", "FFFE"},
};

const text_case copied[] = {
    {"ASCII to Shift_JIS keeps high bytes", ansi, sjis, "80 FF 41", "80 FF 41"},
    {"ASCII to UTF-8 keeps high bytes", ansi, utf8, "82A0", "82A0"},
    {"ASCII to ISO-2022-JP", ansi, iso2022jp, "1B 80", "1B 80"},
    {"ISO-2022-JP to JIS", iso2022jp, jis, "1B2849 31", "1B2849 31"},
    {"same encoding keeps malformed input", sjis, sjis, "82", "82"},
    {"same encoding, UTF-8", utf8, utf8, "80 E3", "80 E3"},
    {"unknown encoding", unknown_encoding, utf8, "82A0", "82A0"},
    {"reserved value", sjis, reserved_encoding, "82A0", "82A0"},
    {"UTF-32BE", utf32be, sjis, "0000 3042", "0000 3042"},
    {"UTF-32LE", utf8, utf32le, "E38182", "E38182"},
};

TEST(codec_edges, ascii_and_shift_jis) { CHECK_CASES(ascii_and_shift_jis); }
TEST(codec_edges, euc_jp) { CHECK_CASES(euc_jp); }
TEST(codec_edges, jis_writers) { CHECK_CASES(jis_writers); }
TEST(codec_edges, jis_readers_and_iso2022jp) { CHECK_CASES(jis_readers); }
TEST(codec_edges, utf8_and_utf16) { CHECK_CASES(utf); }
TEST(codec_edges, pairs_that_copy) { CHECK_CASES(copied); }

TEST(codec_edges, empty_text_for_every_pair) {
  for (int from = 0; from < 12; ++from) {
    for (int to = 0; to < 12; ++to) {
      EXPECT_EQ(translate_text("", encoding_id(from), encoding_id(to)), "") << from << " to " << to;
    }
  }
}

// What translate() leaves in `rest` and what flush() makes of it.
template <class Engine, class In>
void check_held_back(const char* name, const In& input, std::size_t held, const std::string& flushed_hex) {
  Engine engine;
  engine.rest = input;
  engine.translate();
  EXPECT_EQ(engine.rest.size(), held) << name;
  auto before = engine.output;
  engine.flush();
  EXPECT_TRUE(engine.rest.empty()) << name;
  auto tail = engine.output.substr(before.size());
  EXPECT_EQ(hex(tail), flushed_hex) << name;
}

TEST(codec_edges, incomplete_characters_wait_in_rest) {
  check_held_back<sjis_to_unicode_engine>("Shift_JIS lead byte", std::string("A\x82"), 1, "003F");
  check_held_back<sjis_to_euc_engine>("Shift_JIS lead byte to EUC-JP", std::string("\x82"), 1, "3F");
  check_held_back<euc_to_unicode_engine>("EUC-JP 0x8F and one byte", std::string("\x8F\xA1"), 2, "003F 003F");
  check_held_back<euc_to_unicode_engine>("EUC-JP lead 0x95", std::string("\x95"), 1, "003F");
  check_held_back<utf8_to_unicode_engine>("UTF-8 E3 81", std::string("\xE3\x81"), 2, "003F 003F");
  check_held_back<unicode_to_utf8_engine>("high surrogate", std::u16string(u"\xD800"), 1, "3F");
  check_held_back<utf16le_to_unicode_engine>("odd UTF-16 byte", std::string("A\0B\0C", 5), 1, "003F");
  check_held_back<jis_to_euc_engine>("ESC $", std::string("\x1B$"), 2, "3F 3F");
  check_held_back<jis_to_euc_engine>("ESC $ (", std::string("\x1B$("), 3, "3F 3F 3F");
  check_held_back<jis_to_iso2022jp_engine>("ESC $ ( in ISO-2022-JP", std::string("\x1B$("), 3, "3F 3F 3F");
  check_held_back<jis_to_iso2022jp_engine>("last katakana", std::string("\x1B(I6"), 1,
                                           "1B 24 42 25 2B 1B 28 42");
  check_held_back<jis_to_iso2022jp_engine>("katakana state and an escape cut off",
                                           std::string("\x1B(I\x1B("), 2, "3F 3F");
  check_held_back<euc_to_jis_engine>("kanji then a cut-off 0x8F", std::string("\xA4\xA2\x8F"), 1,
                                     "1B 28 42 3F");
}

TEST(codec_edges, clear_returns_to_ascii) {
  sjis_to_jis_engine writer;
  writer.translate_all("\x82\xA0");
  writer.rest = "\x82\xA0";
  writer.translate();
  writer.clear();
  EXPECT_EQ(writer.output_state.current(), jis_A);
  writer.translate_all("A");
  EXPECT_EQ(hex(writer.output), "41");

  jis_to_iso2022jp_engine converter;
  converter.rest = "\x1B(I1";
  converter.translate();
  converter.clear();
  EXPECT_EQ(converter.input_state.current(), jis_A);
  EXPECT_EQ(converter.output_state.current(), jis_A);
  EXPECT_EQ(hex(converter.translate_all("1")), "31");
}

TEST(codec_edges, signature_engines) {
  utf8_bom_remover_engine remover;
  EXPECT_EQ(hex(remover.translate_all(bytes("EFBBBF 41 EFBBBF"))), "41");
  utf8_bom_remover_engine nested;
  EXPECT_EQ(hex(nested.translate_all(bytes("EFBB EFBBBF BF 41"))), "41");
  unicode_bom_remover_engine wide_remover;
  EXPECT_EQ(hex(wide_remover.translate_all(u"\uFEFFA\uFEFF")), "0041");
  utf8_bom_writer_engine writer;
  EXPECT_EQ(hex(writer.translate_all("A")), "EF BB BF 41");
  writer.clear();
  EXPECT_EQ(hex(writer.output), "EF BB BF");
  unicode_bom_writer_engine wide_writer;
  EXPECT_EQ(hex(wide_writer.translate_all(u"A")), "FEFF 0041");
}

TEST(codec_edges, other_forms_of_the_front_door) {
  EXPECT_EQ(hex(translate_to_unicode(bytes("82A0"), sjis)), "3042");
  EXPECT_EQ(hex(translate_to_unicode(bytes("1B2442 2422 1B2842"), iso2022jp)), "3042");
  EXPECT_EQ(hex(translate_to_unicode(bytes("4230 41"), unicode)), "3042 003F");
  EXPECT_EQ(hex(translate_to_unicode(bytes("3042"), utf16be)), "3042");
  EXPECT_EQ(hex(translate_to_unicode(bytes("4230"), utf32le)), "3042");
  EXPECT_EQ(hex(translate_from_unicode(u"\u3042", iso2022jp)), "1B 24 42 24 22 1B 28 42");
  EXPECT_EQ(hex(translate_from_unicode(u"\u3042", utf16be)), "30 42");
  EXPECT_EQ(hex(translate_from_unicode(u"\u3042", unknown_encoding)), "42 30");
  EXPECT_EQ(hex(translate_unicode(u"\u3042", unicode, unicode)), "3042");
  EXPECT_EQ(hex(utf8_to_unicode(bytes("E38182 E3"))), "3042 003F");
  initialize_library();
  initialize_library();
  EXPECT_EQ(hex(translate_text(bytes("1B2849 365E"), jis, iso2022jp)), "1B 24 42 25 2C 1B 28 42");
}

TEST(codec_edges, utf16_helpers) {
  EXPECT_EQ(hex(bytes_to_unicode(bytes("41 00 42"))), "0041 003F");
  EXPECT_EQ(hex(swapped_bytes_to_unicode(bytes("00 41"))), "0041");
  EXPECT_EQ(hex(swapped_bytes_to_unicode(bytes("00 41 42"))), "0041 003F");
  EXPECT_EQ(hex(unicode_to_bytes(u"\u3042")), "42 30");
  EXPECT_EQ(hex(unicode_to_swapped_bytes(u"\u3042")), "30 42");
  EXPECT_EQ(swap_bytes(0x1234), 0x3412);
}

}  // namespace
