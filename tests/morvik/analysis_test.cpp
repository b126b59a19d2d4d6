// detect_encoding: the cascade's decisions, typical prose, and the bound of the examined text.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "morvik/morvik.h"
#include "tests/morvik/codec_testing.h"

namespace {

using codec_testing::bytes;
// Long texts show their first bytes only.
std::string hex(std::string_view text) { return codec_testing::hex(text, 48); }

// `length` bytes of 7-bit filler, with `insert` written at `offset`.
std::string padded(std::size_t length, std::size_t offset, std::string_view insert) {
  std::string text(length, 'a');
  text.replace(offset, insert.size(), insert);
  return text;
}

struct detect_case {
  const char* name;
  std::string text;
  morvik::encoding_id expected;
};

void check(const detect_case& c, std::size_t max_length = 8192) {
  EXPECT_EQ(morvik::detect_encoding(c.text, max_length), c.expected) << c.name << ": " << hex(c.text);
}

TEST(analysis, signatures_in_order) {
  const detect_case cases[] = {
      {"empty", "", morvik::unknown_encoding},
      {"UTF-32 BE mark", bytes("00 00 FE FF 00 00 00 41"), morvik::utf32be},
      {"UTF-32 LE mark beats UTF-16 LE", bytes("FF FE 00 00"), morvik::utf32le},
      {"UTF-16 LE mark with a letter", bytes("FF FE 41 00"), morvik::unicode},
      {"two-byte FF FE", bytes("FF FE"), morvik::unicode},
      {"three-byte FF FE 00", bytes("FF FE 00"), morvik::unicode},
      {"UTF-8 mark then Shift_JIS", bytes("EF BB BF 82 A0 82 A2"), morvik::utf8},
      {"UTF-16 BE mark", bytes("FE FF 30 42"), morvik::utf16be},
      {"cut UTF-8 mark is no mark: equal scores, default", bytes("EF BB"), morvik::sjis},
  };
  for (const auto& c : cases) check(c);
}

TEST(analysis, nul_pair_and_nul_counts) {
  const detect_case cases[] = {
      {"UTF-32 BE letter", bytes("00 00 00 41"), morvik::utf32be},
      {"UTF-32 LE letters: first pair at 1", bytes("41 00 00 00 42 00 00 00"), morvik::unicode},
      {"pair at offset 2", bytes("41 42 00 00"), morvik::utf32le},
      {"pair at offset 6", bytes("41 42 43 44 45 46 00 00"), morvik::utf32le},
      {"pair at offset 4", bytes("41 42 43 44 00 00"), morvik::utf32be},
      {"pair at odd offset 3 goes on", bytes("41 42 43 00 00 44"), morvik::utf16be},
      {"UTF-16 LE", bytes("41 00 42 00"), morvik::unicode},
      {"UTF-16 BE", bytes("00 41 00 42"), morvik::utf16be},
      {"one NUL", bytes("00"), morvik::utf16be},
      {"equal counts give BE", bytes("00 41 42 00"), morvik::utf16be},
      {"an escape decides before NUL counts", bytes("1B 24 42 41 00"), morvik::jis},
  };
  for (const auto& c : cases) check(c);
  // UTF-16 without a zero byte in the window is scored like any other text.
  for (const char* text : {u8"日本語", u8"漢字検出"}) {
    const std::string le = morvik::translate_text(text, morvik::utf8, morvik::unicode);
    const std::string be = morvik::translate_text(text, morvik::utf8, morvik::utf16be);
    for (const std::string& form : {le, be}) {
      ASSERT_EQ(form.find('\0'), std::string::npos) << hex(form);
      const morvik::encoding_id got = morvik::detect_encoding(form, 8192);
      EXPECT_TRUE(got == morvik::sjis || got == morvik::euc || got == morvik::utf8) << got << ": " << hex(form);
    }
  }
}

TEST(analysis, escapes_and_seven_bit_text) {
  const detect_case cases[] = {
      {"ESC $ B beats high bytes", "\x82\xA0" "\x1B$B" "\x24\x22", morvik::jis},
      {"ESC ( I", "abc\x1B(I1", morvik::jis},
      {"ESC $ ( D", "abc\x1B$(D0!", morvik::jis},
      {"ESC ( B alone is not searched", "abc\x1B(Bdef", morvik::ansi},
      {"ESC $ @ is not searched", "abc\x1B$@def", morvik::ansi},
      {"ESC ( J without SI", "abc\x1B(Jdef", morvik::ansi},
      {"ESC ( J with SI", "abc\x1B(Jdef\x0F", morvik::jis},
      {"SI alone", "abc\x0F", morvik::jis},
      {"7-bit with names", "charset=UTF-8 or SJIS", morvik::ansi},
      {"7-bit only", "plain text\r\n", morvik::ansi},
      // The window runs from 8 (10 rounded down) through 263.
      {"high byte at 600 outside the window", padded(700, 10, "\x1B" "x") .replace(600, 2, "\x82\xA0"), morvik::ansi},
      {"same with an SI at 650", padded(700, 10, "\x1B" "x").replace(600, 2, "\x82\xA0").replace(650, 1, "\x0F"),
       morvik::jis},
      {"high byte at 263 is inside", padded(700, 10, "\x1B" "x").replace(263, 1, "\xFF"), morvik::euc},
      {"high byte at 264 is outside", padded(700, 10, "\x1B" "x").replace(264, 1, "\xFF"), morvik::ansi},
  };
  for (const auto& c : cases) check(c);
}

TEST(analysis, scores_and_ties) {
  const detect_case cases[] = {
      {"E8 80 80 alone", bytes("E8 80 80"), morvik::sjis},
      {"E8 80 80 LF", bytes("E8 80 80 0A"), morvik::euc},
      {"E8 80 80 CR LF", bytes("E8 80 80 0D 0A"), morvik::sjis},
      {"E8 80 80 LF CR", bytes("E8 80 80 0A 0D"), morvik::sjis},
      {"E8 80 80 CR", bytes("E8 80 80 0D"), morvik::sjis},
      {"E8 80 80 space EUC", bytes("E8 80 80 20 45 55 43"), morvik::euc},
      {"E8 80 80 EUC-JP", std::string(bytes("E8 80 80 20")) + "EUC-JP", morvik::euc},
      {"E8 80 80 sjis then EUC", std::string(bytes("E8 80 80 20")) + "sjis EUC", morvik::sjis},
      {"E8 80 80 UTF-8 first", std::string(bytes("E8 80 80 20")) + "UTF-8 Shift_JIS euc", morvik::utf8},
      {"E8 80 80 euc then UTF-8", std::string(bytes("E8 80 80 20")) + "euc UTF-8", morvik::euc},
      {"E8 80 80 shift-jis", std::string(bytes("E8 80 80 20")) + "shift-jis", morvik::sjis},
      {"E8 80 80 utf-8 lower case is no name", std::string(bytes("E8 80 80 20")) + "utf-8", morvik::sjis},
      {"single FF", bytes("FF"), morvik::euc},
      {"8F A1 A1: EUC-JP neither weighs nor errs, Shift_JIS weighs", bytes("8F A1 A1"), morvik::sjis},
      {"82 20", bytes("82 20"), morvik::euc},
      {"Shift_JIS no", bytes("82 CC"), morvik::sjis},
      {"EUC-JP no", bytes("A4 CE"), morvik::euc},
      {"UTF-8 no", bytes("E3 81 AE"), morvik::utf8},
      {"half-width katakana", bytes("B1 B2 B3 B4 B5"), morvik::sjis},
  };
  for (const auto& c : cases) check(c);
}

const char* const prose[] = {
    u8"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。",
    u8"このプログラムは、指定されたファイルを読み込んで、その内容を標準出力に書き出します。",
    u8"パッケージをインストールする前に、システムのバックアップを取ってください。",
    u8"東京都の天気は晴れ、最高気温は二十五度の予想です。",
    u8"こんにちは",
    u8"設定ファイル",
};

// A text written in each encoding, and (`framed`) in lines of a mail and of a script.
struct encoded_form {
  morvik::encoding_id encoding;
  std::string bytes;
};

std::vector<encoded_form> forms_of(const std::string& utf8, bool framed) {
  const auto as = [&](morvik::encoding_id to) { return morvik::translate_text(utf8, morvik::utf8, to); };
  std::vector<encoded_form> forms = {{morvik::sjis, as(morvik::sjis)}, {morvik::euc, as(morvik::euc)}, {morvik::utf8, utf8}};
  if (framed) {
    forms.push_back({morvik::jis, as(morvik::jis)});
    forms.push_back({morvik::sjis, "Subject: " + as(morvik::sjis) + "\r\n"});
    forms.push_back({morvik::euc, "# " + as(morvik::euc) + "\n"});
  }
  return forms;
}

void expect_named_in_every_form(const char* text, bool framed) {
  for (const encoded_form& form : forms_of(text, framed)) {
    EXPECT_EQ(morvik::detect_encoding(form.bytes, 8192), form.encoding)
        << text << " as " << form.encoding << ": " << hex(form.bytes);
  }
}

TEST(analysis, typical_prose) {
  for (const char* text : prose) expect_named_in_every_form(text, true);
}

// Words of one to eight characters, alone: the texts where a few weights decide. Weights that
// were raw counts named the first four wrongly in UTF-8 and the next three in EUC-JP: a word
// of a character or two weighs little against what its bytes spell in another encoding.
const char* const short_words[] = {
    u8"日本語", u8"日本", u8"我々", u8"京都", u8"図", u8"半径", u8"世界", u8"言葉",
    u8"漢字", u8"設定", u8"ファイル", u8"こんにちは", u8"パッケージ", u8"文字コード", u8"変換",
    u8"検出", u8"画像", u8"表示", u8"今日は", u8"削除", u8"情報", u8"名前", u8"問題", u8"先生",
    u8"電話番号", u8"メール", u8"インストール", u8"ディレクトリ", u8"写真", u8"ユーザー",
};

TEST(analysis, short_words) {
  for (const char* word : short_words) expect_named_in_every_form(word, false);
}

// Only the first max_length bytes count: what lies beyond decides nothing.
TEST(analysis, examined_prefix) {
  const std::string filler(8192, 'a');
  const detect_case cases[] = {
      {"escape at 8192", filler + "\x1B$B", morvik::ansi},
      {"escape at 8189 fits", filler.substr(0, 8189) + "\x1B$B", morvik::jis},
      {"cut escape", filler.substr(0, 8190) + "\x1B$B", morvik::ansi},
      {"name beyond the prefix", filler.substr(0, 8000) + "\xE8\x80\x80" + std::string(189, 'a') + "EUC",
       morvik::sjis},
      {"SI beyond the prefix", filler.substr(0, 100) + "\x1B" + filler.substr(0, 8091) + "\x0F", morvik::ansi},
      {"window cut at 8191: 82 | CC", filler.substr(0, 8191) + "\x82\xCC", morvik::euc},
      {"NUL pair beyond the prefix", filler.substr(0, 8192) + std::string(2, '\0'), morvik::ansi},
      {"signature cut by max_length", bytes("FF FE 00 00"), morvik::unicode},
  };
  for (const auto& c : cases) check(c, std::string_view(c.name) == "signature cut by max_length" ? 3 : 8192);
  EXPECT_EQ(morvik::detect_encoding(filler.substr(0, 8191) + "\x82\xCC", 8193), morvik::sjis);
  EXPECT_EQ(morvik::detect_encoding("\x82\xCC", 0), morvik::unknown_encoding);
}

// The examined prefix is copied into a heap block of exactly max_length bytes and the view
// claims more: under AddressSanitizer any read past max_length is reported.
TEST(analysis, reads_nothing_past_max_length) {
  const std::string tail_cases[] = {
      std::string(300, 'a') + "\x82\xCC\x82\xCC",
      std::string(10, 'a') + "\x1B" + std::string(400, 'b'),
      "\xE8\x80\x80 " + std::string(600, 'c'),
      std::string(4000, 'a') + "\x82",
      std::string(1, '\0') + std::string(500, 'd'),
      "\xEF\xBB",
      "\xFF\xFE\x00",
      std::string(255, 'a') + "\x1B$",
      std::string(20, 'a') + "Shift_JI" + "\xA4\xCE\xA4",
      std::string(6000, 'a') + "\xA4\xCE\r",
  };
  for (const std::string& text : tail_cases) {
    for (std::size_t max_length = 1; max_length <= text.size(); max_length += (max_length < 16 ? 1 : 37)) {
      std::unique_ptr<char[]> block(new char[max_length]);
      text.copy(block.get(), max_length);
      const std::string_view longer(block.get(), text.size() + 64);
      const morvik::encoding_id got = morvik::detect_encoding(longer, max_length);
      const morvik::encoding_id want = morvik::detect_encoding(std::string_view(text).substr(0, max_length), max_length);
      EXPECT_EQ(got, want) << "max_length " << max_length << ": " << hex(text);
    }
  }
}

}  // namespace
