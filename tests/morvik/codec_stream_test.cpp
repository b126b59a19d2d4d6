// Streaming: chunk boundaries are invisible, an engine from create_engine fed byte by byte
// gives the one-shot output for every pair, and its signature stages run.
#include <gtest/gtest.h>

#include <string>

#include "morvik/engine.h"
#include "morvik/morvik.h"
#include "tests/morvik/codec_testing.h"

namespace {

using namespace morvik;
using codec_testing::encoding_name;
using codec_testing::hex;

std::string repeat(const std::string& piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

struct repeated_case {
  const char* name;
  encoding_id from;
  encoding_id to;
  std::string prefix, piece, suffix;                  // input: prefix + piece * n + suffix
  std::string expected_prefix, expected_piece, expected_suffix;
};

// Around chunk_size (1000 output units) the output must stay the concatenation.
TEST(chunk_boundaries, are_invisible) {
  const repeated_case cases[] = {
      {"kanji Shift_JIS to UTF-16", sjis, unicode, "", "\x82\xA0", "", "", "\x42\x30", ""},
      {"ASCII then kanji", sjis, utf8, "A", "\x88\x9F", "", "A", "\xE4\xBA\x9C", ""},
      {"half-width katakana to EUC-JP", sjis, euc, "", "\xB1", "", "", "\x8E\xB1", ""},
      {"Shift_JIS to JIS, one kanji run", sjis, jis, "", "\x82\xA0", "A", "\x1B$B", "\x24\x22",
       "\x1B(BA"},
      {"Shift_JIS to JIS, alternating runs", sjis, jis, "", "\x82\xA0" "A", "",
       "", "\x1B$B\x24\x22\x1B(BA", ""},
      {"EUC-JP JIS X 0212 to JIS", euc, jis, "", "\x8F\xB0\xA1", "", "\x1B$(D", "\x30\x21", "\x1B(B"},
      {"JIS to EUC-JP", jis, euc, "\x1B$B", "\x24\x22", "\x1B(B", "", "\xA4\xA2", ""},
      {"katakana to ISO-2022-JP", jis, iso2022jp, "\x1B(I", "\x36\x5E", "", "\x1B$B", "\x25\x2C",
       "\x1B(B"},
      {"UTF-8 surrogate pairs", utf8, unicode, "", "\xF0\x90\x80\x80", "", "", std::string("\x00\xD8\x00\xDC", 4), ""},
      {"UTF-16 to UTF-8", unicode, utf8, "", std::string("\x00\xD8\x00\xDC", 4), "", "", "\xF0\x90\x80\x80", ""},
      {"replacement tokens", sjis, unicode, "", "\x81\x7F", "", "", std::string("?\0\x7F\0", 4), ""},
      {"UTF-8 to Shift_JIS", utf8, sjis, "", "\xE3\x81\x82", "", "", "\x82\xA0", ""},
      {"UTF-8 to ISO-2022-JP", utf8, iso2022jp, "", "\xEF\xBD\xB6\xEF\xBE\x9E", "", "\x1B$B",
       "\x25\x2C", "\x1B(B"},
  };
  for (const repeated_case& c : cases) {
    for (std::size_t n = 995; n <= 1005; ++n) {
      // Once more with one ASCII character in front, to move the boundary by one.
      for (bool shifted : {false, true}) {
        std::string lead_in = shifted ? (c.from == unicode ? std::string("B\0", 2) : "B") : "";
        std::string lead_out = shifted ? (c.to == unicode ? std::string("B\0", 2) : "B") : "";
        std::string input = lead_in + c.prefix + repeat(c.piece, n) + c.suffix;
        std::string expected = lead_out + c.expected_prefix + repeat(c.expected_piece, n) + c.expected_suffix;
        std::string actual = translate_text(input, c.from, c.to);
        ASSERT_EQ(actual, expected) << c.name << " with " << n << " characters" << (shifted ? ", shifted" : "");
      }
    }
  }
}

// A text in `from` holding ASCII, kana, kanji, half-width katakana, vendor symbols,
// a JIS X 0212 character, a character outside the BMP and a mark.
std::string sample_in(encoding_id from) {
  const std::string utf8_text =
      "ABC \xE3\x81\x82\xE3\x81\x84 \xE6\xBC\xA2\xE5\xAD\x97 \xEF\xBD\xB6\xEF\xBE\x9E\xEF\xBE\x8A"
      "\xEF\xBE\x9F\xEF\xBD\xB1 \xE2\x91\xA0\xE2\x85\xB0 \xE4\xB8\x82 \xF0\x9F\x98\x80 "
      "\xEF\xBB\xBF~\\\r\n";
  std::string text = translate_text(utf8_text, utf8, from == ansi ? utf8 : from);
  if (from == ansi) return "plain ASCII \x01\x7F text\r\n\x80";
  return text + text;  // twice, so a second run starts in whatever state the first left
}

template <class InputUnit, class OutputUnit>
std::basic_string<OutputUnit> stream(engine_handle handle, const std::basic_string<InputUnit>& input,
                                     std::size_t piece) {
  auto& engine = handle.as<InputUnit, OutputUnit>();
  std::basic_string<OutputUnit> result;
  for (std::size_t pos = 0; pos < input.size(); pos += piece) {
    engine.rest.append(input, pos, piece);
    engine.translate();
    result += engine.take_output();
  }
  engine.flush();
  result += engine.take_output();
  return result;
}

const encoding_id converted[] = {ansi, sjis, jis, euc, iso2022jp, utf8, utf16be, unicode};

TEST(create_engine, byte_by_byte_gives_the_one_shot_output_for_every_pair) {
  for (encoding_id from : converted) {
    for (encoding_id to : converted) {
      std::string input = sample_in(from);
      std::string one_shot = translate_text(input, from, to);
      for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, input.size()}) {
        std::string streamed = stream<char, char>(create_engine<char, char>(from, to), input, piece);
        EXPECT_EQ(hex(streamed), hex(one_shot))
            << encoding_name(from) << " to " << encoding_name(to) << " in pieces of " << piece;
      }
    }
  }
}

TEST(create_engine, shifts_at_piece_edges_change_nothing) {
  // SO and SI stand alone; wherever a piece ends, they must not become "?".
  const std::string texts[] = {"\x1B$B$\"\x0F", "\x1B$B\x0E", "\x0E\x31\x0F", "\x1B$(D\x30\x21\x0F",
                               "\x1B(I\x31\x0F\x41"};
  for (encoding_id to : {euc, iso2022jp, utf8}) {
    for (const std::string& input : texts) {
      const std::string one_shot = translate_text(input, jis, to);
      const bool jisx0212_in_iso2022jp = to == iso2022jp && input.find("\x1B$(D") != std::string::npos;
      if (!jisx0212_in_iso2022jp) {
        EXPECT_EQ(one_shot.find('?'), std::string::npos) << hex(input) << " to " << encoding_name(to);
      }
      for (std::size_t piece = 1; piece <= input.size(); ++piece) {
        EXPECT_EQ(hex(stream<char, char>(create_engine<char, char>(jis, to), input, piece)), hex(one_shot))
            << hex(input) << " to " << encoding_name(to) << " in pieces of " << piece;
      }
    }
  }
}

TEST(create_engine, wide_forms_match_the_front_door) {
  for (encoding_id id : converted) {
    std::string input = sample_in(id);
    EXPECT_EQ(hex(stream<char, char16_t>(create_engine<char, char16_t>(id, unicode), input, 1)),
              hex(translate_to_unicode(input, id)))
        << encoding_name(id) << " to wide";
    std::u16string wide = translate_to_unicode(sample_in(utf8), utf8);
    EXPECT_EQ(hex(stream<char16_t, char>(create_engine<char16_t, char>(unicode, id), wide, 1)),
              hex(translate_from_unicode(wide, id)))
        << "wide to " << encoding_name(id);
  }
  std::u16string wide = u"\u3042\uFEFF";
  std::u16string streamed = stream<char16_t, char16_t>(create_engine<char16_t, char16_t>(unicode, unicode), wide, 1);
  EXPECT_EQ(hex(streamed), hex(wide));
}

struct signature_case {
  const char* name;
  encoding_id from;
  encoding_id to;
  std::string input;
  std::string expected;
};

TEST(create_engine, signature_stages_run_with_signatures) {
  const signature_case cases[] = {
      {"Shift_JIS to UTF-8 starts with a mark", sjis, utf8, "\x82\xA0", "\xEF\xBB\xBF\xE3\x81\x82"},
      {"empty Shift_JIS to UTF-8 is only the mark", sjis, utf8, "", "\xEF\xBB\xBF"},
      {"ASCII to UTF-8 writes a mark", ansi, utf8, "A", "\xEF\xBB\xBF" "A"},
      {"JIS to UTF-16LE starts with a mark", jis, unicode, "A", std::string("\xFF\xFE" "A\0", 4)},
      {"EUC-JP to UTF-16BE starts with a mark", euc, utf16be, "A", std::string("\xFE\xFF\0A", 4)},
      {"UTF-8 marks removed before Shift_JIS", utf8, sjis, "\xEF\xBB\xBF" "A\xEF\xBB\xBF", "A"},
      {"UTF-8 marks removed before ISO-2022-JP", utf8, iso2022jp, "\xEF\xBB\xBF\xE3\x81\x82",
       "\x1B$B\x24\x22\x1B(B"},
      {"UTF-16LE mark removed before EUC-JP", unicode, euc, std::string("\xFF\xFE" "A\0", 4), "A"},
      {"UTF-16BE mark removed before ASCII", utf16be, ansi, std::string("\xFE\xFF\0A", 4), "A"},
      {"UTF-8 to UTF-16 keeps its mark", utf8, unicode, "\xEF\xBB\xBF", "\xFF\xFE"},
      {"UTF-8 to ASCII keeps its mark as ?", utf8, ansi, "\xEF\xBB\xBF" "A", "?A"},
  };
  for (const signature_case& c : cases) {
    std::string streamed = stream<char, char>(create_engine<char, char>(c.from, c.to, true), c.input,
                                              c.input.size() ? c.input.size() : 1);
    EXPECT_EQ(hex(streamed), hex(c.expected)) << c.name;
    EXPECT_EQ(hex(stream<char, char>(create_engine<char, char>(c.from, c.to, false), c.input, 1)),
              hex(translate_text(c.input, c.from, c.to)))
        << c.name << " without signatures";
  }
  EXPECT_EQ(hex(stream<char, char16_t>(create_engine<char, char16_t>(sjis, unicode, true), "A", 1)),
            "FEFF 0041");
  EXPECT_EQ(hex(stream<char16_t, char>(create_engine<char16_t, char>(unicode, sjis, true), u"\uFEFFA", 2)),
            "41");
}

TEST(create_engine, a_pass_pair_copies) {
  std::string input = "\x80\xFF\x1B(I1";
  for (auto [from, to] : {std::pair{ansi, sjis}, std::pair{iso2022jp, jis}, std::pair{sjis, sjis},
                          std::pair{unknown_encoding, utf8}, std::pair{utf32le, sjis}}) {
    std::string streamed = stream<char, char>(create_engine<char, char>(from, to), input, 1);
    EXPECT_EQ(hex(streamed), hex(input))
        << encoding_name(from) << " to " << encoding_name(to);
  }
}

}  // namespace
