// The fast paths against the plain steps, which define every engine's output. Each engine is a
// template on `FastPath`: its plain form is fed the same random, malformed and real inputs,
// whole and in pieces, as the fast one; and for every pair of encodings translate_text is held
// to the pair's chain built here from the `FastPath = false` instantiations, whole and fed one
// byte per call.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "morvik/ansi_sjis.h"
#include "morvik/engine.h"
#include "morvik/euc.h"
#include "morvik/jis.h"
#include "morvik/morvik.h"
#include "morvik/pair_table.h"
#include "morvik/scorer.h"
#include "morvik/utf.h"
#include "tests/morvik/codec_testing.h"

namespace {

using namespace morvik;
using codec_testing::encoding_name;
using codec_testing::hex;

constexpr int cases_per_engine = 300;

// Japanese text in every encoding the engines read, made by the plain engines from the
// shared test texts (kanji, kana, half-width katakana, JIS X 0212).
struct real_texts {
  std::u16string unicode;
  std::string utf8, sjis, euc, jis;
};

template <class Engine, class Input>
auto plain_convert(const Input& input) {
  Engine engine;
  return engine.translate_all(input);
}

const real_texts& texts() {
  static const real_texts made = [] {
    real_texts t;
    for (const char* name : {"tests/data/ja_manual.txt", "tests/data/ja_halfwidth.txt", "tests/data/ja_jisx0212.txt"}) {
      t.utf8 += codec_testing::read_file(codec_testing::source_path(name));
    }
    t.unicode = plain_convert<basic_utf8_to_unicode_engine<false>>(std::string_view(t.utf8));
    t.sjis = plain_convert<basic_unicode_to_sjis_engine<false>>(std::u16string_view(t.unicode));
    t.euc = plain_convert<basic_unicode_to_euc_engine<false>>(std::u16string_view(t.unicode));
    t.jis = plain_convert<basic_euc_to_jis_engine<false>>(std::string_view(t.euc));
    return t;
  }();
  return made;
}

std::u16string random_units(std::mt19937& random, const std::u16string& real) {
  const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 2600)(random);
  std::u16string text;
  while (text.size() < length) {
    switch (std::uniform_int_distribution<int>(0, 4)(random)) {
      case 0:
      case 1: {
        const std::size_t run = std::uniform_int_distribution<std::size_t>(1, 40)(random);
        for (std::size_t i = 0; i < run; ++i) text += static_cast<char16_t>(std::uniform_int_distribution<int>(0, 0x7F)(random));
        break;
      }
      case 2: {
        // Units whose low byte is 7-bit but which are not ASCII, surrogates, lone and paired.
        static const char16_t tricky[] = {0x0141, 0x7F41, 0xFF20, 0x0080, 0xD800, 0xDC00, 0xDBFF, 0xDFFF, 0xFEFF, 0x3042};
        text += tricky[std::uniform_int_distribution<std::size_t>(0, std::size(tricky) - 1)(random)];
        break;
      }
      case 3:
        text += static_cast<char16_t>(std::uniform_int_distribution<int>(0, 0xFFFF)(random));
        break;
      default: {
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, real.size() - 1)(random);
        const std::size_t run = std::uniform_int_distribution<std::size_t>(1, 200)(random);
        text += real.substr(at, run);
        break;
      }
    }
  }
  return text;
}

// The output of an engine fed `text` in the pieces `cuts` marks, then flushed.
template <class Engine, class Unit>
auto fed_in_pieces(const std::basic_string<Unit>& text, const std::vector<std::size_t>& cuts) {
  Engine engine;
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    engine.rest.append(text, from, cut - from);
    engine.translate();
    from = cut;
  }
  engine.rest.append(text, from, std::string::npos);
  engine.translate();
  engine.flush();
  return engine.output;
}

template <class Unit>
std::string clipped_hex(const std::basic_string<Unit>& units) {
  constexpr std::size_t shown = 400;
  if (units.size() <= shown) return hex(std::basic_string_view<Unit>(units));
  return hex(std::basic_string_view<Unit>(units).substr(0, shown)) + " ... (" + std::to_string(units.size()) + " units)";
}

template <class Unit>
std::size_t first_difference(const Unit& a, const Unit& b) {
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  return at;
}

template <template <bool> class Engine, class Unit, class Make>
void check_engine(const char* name, unsigned seed, Make make) {
  std::mt19937 random(seed);
  for (int i = 0; i < cases_per_engine; ++i) {
    const std::basic_string<Unit> input = make(random);
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; !input.empty();) {
      at += std::uniform_int_distribution<std::size_t>(1, 700)(random);
      if (at >= input.size()) break;
      cuts.push_back(at);
    }
    Engine<true> fast_engine;
    Engine<false> plain_engine;
    const auto fast = fast_engine.translate_all(input);
    const auto plain = plain_engine.translate_all(input);
    const auto fast_pieces = fed_in_pieces<Engine<true>>(input, cuts);
    const auto plain_pieces = fed_in_pieces<Engine<false>>(input, cuts);
    if (fast != plain || fast_pieces != plain_pieces) {
      const bool whole = fast != plain;
      const auto& f = whole ? fast : fast_pieces;
      const auto& p = whole ? plain : plain_pieces;
      const std::size_t at = first_difference(f, p);
      ADD_FAILURE() << name << " case " << i << (whole ? " (whole text)" : " (fed in pieces)")
                    << ", first difference at unit " << at << "\n  input: " << clipped_hex(input)
                    << "\n  fast:  " << clipped_hex(f.substr(at > 8 ? at - 8 : 0))
                    << "\n  plain: " << clipped_hex(p.substr(at > 8 ? at - 8 : 0));
      return;
    }
  }
}

template <template <bool> class Engine>
void check_byte_engine(const char* name, unsigned seed, const std::string& real) {
  check_engine<Engine, char>(name, seed, [&](std::mt19937& random) { return codec_testing::random_text(random, real); });
}

template <template <bool> class Engine>
void check_unit_engine(const char* name, unsigned seed) {
  check_engine<Engine, char16_t>(name, seed, [](std::mt19937& random) { return random_units(random, texts().unicode); });
}

TEST(fast_path, decoders_match_plain_steps) {
  check_byte_engine<basic_ansi_to_unicode_engine>("ASCII to UTF-16", 1, texts().sjis);
  check_byte_engine<basic_sjis_to_unicode_engine>("Shift_JIS to UTF-16", 2, texts().sjis);
  check_byte_engine<basic_euc_to_unicode_engine>("EUC-JP to UTF-16", 3, texts().euc);
  check_byte_engine<basic_utf8_to_unicode_engine>("UTF-8 to UTF-16", 4, texts().utf8);
}

TEST(fast_path, encoders_match_plain_steps) {
  check_unit_engine<basic_unicode_to_ansi_engine>("UTF-16 to ASCII", 11);
  check_unit_engine<basic_unicode_to_sjis_engine>("UTF-16 to Shift_JIS", 12);
  check_unit_engine<basic_unicode_to_euc_engine>("UTF-16 to EUC-JP", 13);
  check_unit_engine<basic_unicode_to_utf8_engine>("UTF-16 to UTF-8", 14);
}

TEST(fast_path, transcoders_match_plain_steps) {
  check_byte_engine<basic_sjis_to_euc_engine>("Shift_JIS to EUC-JP", 21, texts().sjis);
  check_byte_engine<basic_sjis_to_jis_engine>("Shift_JIS to JIS", 22, texts().sjis);
  check_byte_engine<basic_euc_to_jis_engine>("EUC-JP to JIS", 23, texts().euc);
  check_byte_engine<basic_jis_to_euc_engine>("JIS to EUC-JP", 24, texts().jis);
  check_byte_engine<basic_jis_to_iso2022jp_engine>("JIS to ISO-2022-JP", 25, texts().jis);
  // JIS readers on real JIS with its own escapes only: long JIS X 0208 runs.
  check_engine<basic_jis_to_euc_engine, char>("JIS to EUC-JP, real text", 26, [](std::mt19937& random) {
    const std::string& jis = texts().jis;
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, jis.size() - 1)(random);
    return jis.substr(at, std::uniform_int_distribution<std::size_t>(0, 3000)(random));
  });
}

// Analysis steps over 7-bit blocks between characters; what it reads from the window must be
// what feeding every byte gives.
TEST(fast_path, analysis_window_matches_every_byte_fed) {
  std::mt19937 random(31);
  const std::string* sources[] = {&texts().sjis, &texts().euc, &texts().utf8, &texts().jis};
  for (int i = 0; i < 4 * cases_per_engine; ++i) {
    const std::string text = codec_testing::random_text(random, *sources[i % 4]);
    if (text.empty()) continue;
    const std::size_t start = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(random);
    const std::size_t end = std::min(text.size(), start + std::uniform_int_distribution<std::size_t>(0, 300)(random));
    const window_scores fast = score_window<true>(text, start, end);
    const window_scores plain = score_window<false>(text, start, end);
    auto summary = [](const window_scores& w) {
      return std::to_string(w.sjis_reader.evaluate()) + " " + std::to_string(w.sjis_reader.mode) + " / " +
             std::to_string(w.euc_reader.evaluate()) + " " + std::to_string(w.euc_reader.mode) + " / " +
             std::to_string(w.utf8_reader.evaluate()) + " " + std::to_string(w.utf8_reader.mode) + " / " +
             std::to_string(w.high_bytes) + " " + std::to_string(w.even_nuls) + " " + std::to_string(w.odd_nuls);
    };
    if (summary(fast) != summary(plain)) {
      ADD_FAILURE() << "window case " << i << " [" << start << ", " << end << ")\n  input: "
                    << clipped_hex(text.substr(start, end - start)) << "\n  fast:  " << summary(fast)
                    << "\n  plain: " << summary(plain);
      return;
    }
  }
}

// The Shift_JIS scorer does not look 7-bit bytes up: they must weigh nothing in the table.
TEST(fast_path, seven_bit_bytes_weigh_nothing) {
  for (int b = 0; b < 0x80; ++b) {
    EXPECT_EQ(sjis_frequency.lookup(b), 0u) << "byte " << hex(std::string(1, static_cast<char>(b)));
  }
}

#if defined(MORVIK_BLOCK_WORDS)
// The 32-bit DLL has no SSE2 and moves blocks in 64-bit words; here they are checked natively.
TEST(fast_path, blocks_in_words_match_unit_by_unit) {
  std::mt19937 random(41);
  for (int i = 0; i < 1000; ++i) {
    char bytes[ascii_block_size];
    char16_t units[ascii_block_size];
    for (std::size_t k = 0; k < ascii_block_size; ++k) {
      bytes[k] = static_cast<char>(std::uniform_int_distribution<int>(0, 0x7F)(random));
      units[k] = static_cast<char16_t>(static_cast<unsigned char>(bytes[k]));
    }
    char16_t widened[ascii_block_size];
    char narrowed[ascii_block_size];
    widen_block_in_words(bytes, widened);
    narrow_block_in_words(units, narrowed);
    const std::string expected_bytes(bytes, ascii_block_size);
    const std::u16string expected_units(units, ascii_block_size);
    EXPECT_EQ(hex(std::u16string_view(widened, ascii_block_size)), hex(expected_units)) << "widen case " << i;
    EXPECT_EQ(hex(std::string_view(narrowed, ascii_block_size)), hex(expected_bytes)) << "narrow case " << i;
  }
}
#endif

// The real texts are what the fast paths meet most: make sure they hold long runs of both kinds.
TEST(fast_path, real_texts_have_runs_to_take) {
  EXPECT_GT(texts().sjis.size(), 1000u);
  EXPECT_NE(texts().jis.find("\x1B$B"), std::string::npos);
}

// --- every pair through translate_text, against one byte per call ---

const encoding_id converted[] = {ansi, sjis, jis, euc, iso2022jp, utf8, utf16be, unicode};

// Pieces that meet an ASCII block at every offset: runs of ASCII of every length up to 17,
// characters of every encoding, escapes and shifts, and bytes that end or break a sequence.
const char* const pieces[] = {
    "a", "abcdefg", "abcdefgh", "abcdefghi", "0123456789abcdefg", " \t\r\n~\\",
    "\x82\xA0", "\xA4\xA2", "\xE3\x81\x82", "\xF0\x9F\x98\x80", "\xB1", "\x8E\xB1", "\x8F\xB0\xA1",
    "\x1B$B", "\x1B(B", "\x1B(I", "\x1B$(D", "\x0E", "\x0F", "\x1B", "\x82", "\xE3\x81", "\x80",
    "\xFF", "\x00", "\x30\x21", "\xEF\xBB\xBF", "\xFF\xFE",
};

std::string random_text(std::mt19937& random) {
  std::uniform_int_distribution<std::size_t> count(1, 40), which(0, std::size(pieces) - 1);
  std::string text;
  for (std::size_t i = count(random); i > 0; --i) {
    const char* piece = pieces[which(random)];
    text += piece[0] == '\0' ? std::string(1, '\0') : std::string(piece);
  }
  return text;
}

// A stage as its plain engine, with the unit types it reads and writes.
struct plain_stage {
  engine_handle handle;
  bool wide_input;
  bool wide_output;
};

template <class Engine>
plain_stage plain() {
  return {engine_handle(new Engine), std::is_same_v<typename Engine::input_unit, char16_t>,
          std::is_same_v<typename Engine::output_unit, char16_t>};
}

// The `FastPath = false` instantiation of every stage that has a fast path; the UTF-16 byte
// stages have none.
plain_stage plain_engine(std::string_view name) {
  if (name == "A>U") return plain<basic_ansi_to_unicode_engine<false>>();
  if (name == "U>A") return plain<basic_unicode_to_ansi_engine<false>>();
  if (name == "S>U") return plain<basic_sjis_to_unicode_engine<false>>();
  if (name == "U>S") return plain<basic_unicode_to_sjis_engine<false>>();
  if (name == "E>U") return plain<basic_euc_to_unicode_engine<false>>();
  if (name == "U>E") return plain<basic_unicode_to_euc_engine<false>>();
  if (name == "8>U") return plain<basic_utf8_to_unicode_engine<false>>();
  if (name == "U>8") return plain<basic_unicode_to_utf8_engine<false>>();
  if (name == "B>U") return plain<utf16be_to_unicode_engine>();
  if (name == "U>B") return plain<unicode_to_utf16be_engine>();
  if (name == "L>U") return plain<utf16le_to_unicode_engine>();
  if (name == "U>L") return plain<unicode_to_utf16le_engine>();
  if (name == "S>J") return plain<basic_sjis_to_jis_engine<false>>();
  if (name == "S>E") return plain<basic_sjis_to_euc_engine<false>>();
  if (name == "J>E") return plain<basic_jis_to_euc_engine<false>>();
  if (name == "E>J") return plain<basic_euc_to_jis_engine<false>>();
  if (name == "J>I") return plain<basic_jis_to_iso2022jp_engine<false>>();
  ADD_FAILURE() << "no plain engine for stage " << name;
  return plain<pass_through_engine>();
}

template <class In, class Middle, class Out>
plain_stage chained(const plain_stage& first, const plain_stage& second) {
  return {engine_handle(new chain_engine<In, Middle, Out>(&first.handle.as<In, Middle>(),
                                                          &second.handle.as<Middle, Out>())),
          std::is_same_v<In, char16_t>, std::is_same_v<Out, char16_t>};
}

// Bytes to bytes, so a chain starts and ends narrow; only the middle units vary.
plain_stage join(const plain_stage& first, const plain_stage& second) {
  EXPECT_EQ(first.wide_output, second.wide_input);
  const bool wide_middle = first.wide_output;
  if (!first.wide_input && !second.wide_output) {
    return wide_middle ? chained<char, char16_t, char>(first, second) : chained<char, char, char>(first, second);
  }
  if (!first.wide_input) {
    return wide_middle ? chained<char, char16_t, char16_t>(first, second) : chained<char, char, char16_t>(first, second);
  }
  if (!second.wide_output) {
    return wide_middle ? chained<char16_t, char16_t, char>(first, second) : chained<char16_t, char, char>(first, second);
  }
  return wide_middle ? chained<char16_t, char16_t, char16_t>(first, second)
                     : chained<char16_t, char, char16_t>(first, second);
}

// The pair's conversion stages, as the pair table lists them, each as its plain engine;
// translate_text passes the signature stages by.
engine_handle plain_chain(encoding_id from, encoding_id to) {
  const pair_row* row = find_pair(from, to);
  plain_stage result = plain<pass_through_engine>();
  bool first = true;
  for (const stage* s : row->chain) {
    if (s == nullptr || is_signature_stage(*s)) continue;
    result = first ? plain_engine(stage_name(*s)) : join(result, plain_engine(stage_name(*s)));
    first = false;
  }
  EXPECT_FALSE(result.wide_input || result.wide_output) << encoding_name(from) << " to " << encoding_name(to);
  return result.handle;
}

std::string plain_steps(encoding_id from, encoding_id to, const std::string& text) {
  engine_handle handle = plain_chain(from, to);
  return handle.as<char, char>().translate_all(text);
}

std::string plain_steps_byte_by_byte(encoding_id from, encoding_id to, const std::string& text) {
  engine_handle handle = plain_chain(from, to);
  auto& engine = handle.as<char, char>();
  std::string result;
  for (char byte : text) {
    engine.rest += byte;
    engine.translate();
    result += engine.take_output();
  }
  engine.flush();
  return result + engine.take_output();
}

TEST(fast_path, equals_the_plain_steps_for_every_pair) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    const std::string text = random_text(random);
    for (encoding_id from : converted) {
      for (encoding_id to : converted) {
        const std::string plain = plain_steps(from, to, text);
        ASSERT_EQ(hex(translate_text(text, from, to)), hex(plain))
            << encoding_name(from) << " to " << encoding_name(to) << " of " << hex(text);
        ASSERT_EQ(hex(plain_steps_byte_by_byte(from, to, text)), hex(plain))
            << encoding_name(from) << " to " << encoding_name(to) << " fed byte by byte, of " << hex(text);
      }
    }
  }
}

TEST(fast_path, blocks_across_chunk_ends) {
  // ASCII blocks reaching past the 1000th output unit, after a character of each width.
  for (const char* lead : {"", "\x82\xA0", "\xE3\x81\x82", "\x1B$B\x30\x21\x1B(B"}) {
    for (std::size_t length = 990; length <= 1010; ++length) {
      const std::string text = lead + std::string(length, 'x') + "\x82\xA0" + std::string(20, 'y');
      for (encoding_id from : converted) {
        for (encoding_id to : {sjis, euc, jis, utf8, unicode}) {
          ASSERT_EQ(hex(translate_text(text, from, to)), hex(plain_steps(from, to, text)))
              << encoding_name(from) << " to " << encoding_name(to) << ", " << length << " ASCII bytes";
        }
      }
    }
  }
}

}  // namespace
