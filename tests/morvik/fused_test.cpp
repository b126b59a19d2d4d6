// The fused conversions against the reference chains, which define them: translate_text against
// translate_text_by_reference, and the engine of create_engine, fed in random pieces, against
// the same (with the signature stages, against the reference engine fed the same pieces). The
// inputs: every code of every table each encoding reads, the escape and shift states of JIS,
// random and malformed bytes among real text, and characters the kernels leave to the chain
// placed at every offset around the kernels' lookahead, their output room and the chunk size.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "morvik/ansi_sjis.h"
#include "morvik/engine.h"
#include "morvik/euc.h"
#include "morvik/fused_engine.h"
#include "morvik/jis.h"
#include "morvik/morvik.h"
#include "morvik/pair_table.h"
#include "morvik/utf.h"
#include "morvik/wide_blocks.h"
#include "tests/morvik/codec_testing.h"

namespace {

using namespace morvik;
using codec_testing::encoding_name;
using codec_testing::hex;

struct pair {
  encoding_id from;
  encoding_id to;
};

constexpr pair fused_pairs[] = {
    {sjis, utf8}, {sjis, euc},  {sjis, jis},  {euc, utf8},       {euc, sjis},       {utf8, sjis},
    {utf8, euc},  {utf8, jis},  {jis, utf8},  {jis, sjis},       {iso2022jp, utf8}, {iso2022jp, sjis},
};

std::string pair_name(pair p) { return std::string(encoding_name(p.from)) + " to " + encoding_name(p.to); }

// Feeds `text` in the pieces that end at `cuts`, taking the output after every piece, then flushes.
std::string fed_in_pieces(engine_handle handle, const std::string& text, const std::vector<std::size_t>& cuts) {
  auto& engine = handle.as<char, char>();
  std::string output;
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    engine.rest.append(text, from, cut - from);
    engine.translate();
    output += engine.take_output();
    from = cut;
  }
  engine.rest.append(text, from, std::string::npos);
  engine.translate();
  engine.flush();
  return output + engine.take_output();
}

// The same pieces handed over as views, as the command does; every third one is only appended to
// `rest`, so that the next view meets input still waiting there.
std::string fed_as_views(engine_handle handle, const std::string& text, const std::vector<std::size_t>& cuts) {
  auto& engine = handle.as<char, char>();
  std::string output;
  std::size_t from = 0;
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    const std::string_view piece = std::string_view(text).substr(from, cuts[i] - from);
    if (i % 3 == 2) {
      engine.rest.append(piece);
    } else {
      engine.append_and_translate(piece);
    }
    output += engine.take_output();
    from = cuts[i];
  }
  engine.append_and_translate(std::string_view(text).substr(from));
  engine.flush();
  return output + engine.take_output();
}

std::vector<std::size_t> random_cuts(std::mt19937& random, std::size_t size, std::size_t longest) {
  std::vector<std::size_t> cuts;
  for (std::size_t at = 0;;) {
    at += std::uniform_int_distribution<std::size_t>(1, longest)(random);
    if (at >= size) return cuts;
    cuts.push_back(at);
  }
}

std::string first_difference(const std::string& got, const std::string& want) {
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  const std::size_t from = at > 12 ? at - 12 : 0;
  return "first difference at byte " + std::to_string(at) + "\n  fused:     " +
         hex(std::string_view(got).substr(from), 48) + "\n  reference: " + hex(std::string_view(want).substr(from), 48);
}

// Whole, in random pieces, and in pieces with the signature stages; false after the first failure.
bool matches_reference(const std::string& name, pair p, const std::string& text, std::mt19937& random,
                       std::size_t longest_piece = 700) {
  const std::string where = name + ", " + pair_name(p) + "\n  input: " + hex(text, 200) + "\n  ";
  const std::string reference = translate_text_by_reference(text, p.from, p.to);
  const std::string fused = translate_text(text, p.from, p.to);
  if (fused != reference) {
    ADD_FAILURE() << where << "translate_text: " << first_difference(fused, reference);
    return false;
  }
  const std::vector<std::size_t> cuts = random_cuts(random, text.size(), longest_piece);
  const std::string pieces = fed_in_pieces(create_engine<char, char>(p.from, p.to), text, cuts);
  if (pieces != reference) {
    ADD_FAILURE() << where << "engine fed " << cuts.size() + 1 << " pieces: " << first_difference(pieces, reference);
    return false;
  }
  const std::string views = fed_as_views(create_engine<char, char>(p.from, p.to), text, cuts);
  if (views != reference) {
    ADD_FAILURE() << where << "engine fed " << cuts.size() + 1 << " views: " << first_difference(views, reference);
    return false;
  }
  const std::string marked = fed_in_pieces(create_engine<char, char>(p.from, p.to, true), text, cuts);
  const std::string marked_reference = fed_in_pieces(create_reference_engine(p.from, p.to, true), text, cuts);
  if (marked != marked_reference) {
    ADD_FAILURE() << where << "with signatures, " << cuts.size() + 1
                  << " pieces: " << first_difference(marked, marked_reference);
    return false;
  }
  const std::string marked_views = fed_as_views(create_engine<char, char>(p.from, p.to, true), text, cuts);
  if (marked_views != marked_reference) {
    ADD_FAILURE() << where << "with signatures, " << cuts.size() + 1
                  << " views: " << first_difference(marked_views, marked_reference);
    return false;
  }
  return true;
}

std::string byte(unsigned value) { return std::string(1, static_cast<char>(value)); }

// Every test twice: with the kernels' 64-byte blocks where the processor has them, and without.
class fused : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && !processor_has_wide_blocks()) GTEST_SKIP() << "the processor has no 64-byte blocks";
    wide_blocks = GetParam();
  }
  void TearDown() override { wide_blocks = true; }
};

// Every code each source encoding can hold, valid or not, with and without a 7-bit byte after
// it (without: a second byte that the reference reads afresh meets its neighbour).
std::vector<std::string> every_code(encoding_id from) {
  std::vector<std::string> texts;
  std::string separated, packed;
  switch (from) {
    case sjis:
    case euc:
      for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
        for (unsigned second = 0; second <= 0xFF; ++second) {
          separated += byte(lead) + byte(second) + "a";
          packed += byte(lead) + byte(second);
        }
      }
      texts = {separated, packed};
      if (from == euc) {
        std::string aux;
        for (unsigned first = 0xA1; first <= 0xFE; ++first) {
          for (unsigned second = 0x21; second <= 0xFE; ++second) aux += "\x8F" + byte(first) + byte(second);
        }
        texts.push_back(aux);
      }
      break;
    case utf8: {
      for (std::uint32_t unit = 0x80; unit <= 0xFFFF; ++unit) {
        const char16_t wide = static_cast<char16_t>(unit);
        basic_unicode_to_utf8_engine<false> writer;
        separated += writer.translate_all(std::u16string_view(&wide, 1)) + (unit % 16 == 0 ? "a" : "");
      }
      // Leads with every next byte, continuation or not, and the longer forms.
      for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
        for (unsigned next = 0; next <= 0xFF; ++next) packed += byte(lead) + byte(next) + "\xBF\x80";
      }
      texts = {separated, packed, "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\xF8\x88\x80\x80\x80\xE0\x80\x80\xC1\xBF"};
      break;
    }
    default: {
      // Every pair in JIS X 0208, every byte in the ASCII, katakana and JIS X 0212 states.
      for (unsigned first = 0; first <= 0xFF; ++first) {
        separated += "\x1B$B";
        for (unsigned second = 0; second <= 0x7F; ++second) separated += byte(first) + byte(second);
        separated += "\x1B(Bx\n";
      }
      for (const char* state : {"\x1B(B", "\x1B(I", "\x0E", "\x1B$(D", "\x1B(J"}) {
        packed += state;
        for (unsigned value = 0; value <= 0xFF; ++value) packed += byte(value) + (value % 7 == 0 ? "\x1B(B\x1B$B" : "");
        packed += "\x0F\x1B(B";
      }
      texts = {separated, packed};
      break;
    }
  }
  return texts;
}

// In one text the chain takes most of it (the kernel hands over more at a time where it keeps
// stopping), so every short stretch is converted on its own too, where the kernel starts first.
TEST_P(fused, every_code_of_every_table) {
  std::mt19937 random(1);
  for (pair p : fused_pairs) {
    int index = 0;
    for (const std::string& text : every_code(p.from)) {
      const std::string name = "every code, text " + std::to_string(index++);
      if (!matches_reference(name, p, text, random, 5000)) break;
      constexpr std::size_t stretch = 24;
      for (std::size_t at = 0; at < text.size(); at += stretch / 2) {
        const std::string part = text.substr(at, stretch);
        if (translate_text(part, p.from, p.to) != translate_text_by_reference(part, p.from, p.to)) {
          ADD_FAILURE() << name << ", " << pair_name(p) << ", stretch at " << at << ": " << hex(part) << "\n  "
                        << first_difference(translate_text(part, p.from, p.to),
                                            translate_text_by_reference(part, p.from, p.to));
          break;
        }
      }
    }
  }
}

// Real text in every encoding, made by the plain engines from the shared test texts.
struct real_texts {
  std::string in_utf8, in_sjis, in_euc, in_jis;
  const std::string& in(encoding_id id) const {
    return id == sjis ? in_sjis : id == euc ? in_euc : id == utf8 ? in_utf8 : in_jis;
  }
};

const real_texts& texts() {
  static const real_texts made = [] {
    real_texts t;
    for (const char* name : {"tests/data/ja_manual.txt", "tests/data/ja_halfwidth.txt", "tests/data/ja_jisx0212.txt"}) {
      t.in_utf8 += codec_testing::read_file(codec_testing::source_path(name));
    }
    t.in_sjis = translate_text_by_reference(t.in_utf8, utf8, sjis);
    t.in_euc = translate_text_by_reference(t.in_utf8, utf8, euc);
    t.in_jis = translate_text_by_reference(t.in_utf8, utf8, jis);
    return t;
  }();
  return made;
}

TEST_P(fused, real_texts_whole_and_in_pieces) {
  std::mt19937 random(2);
  ASSERT_GT(texts().in_sjis.size(), 1000u);
  for (pair p : fused_pairs) {
    const std::string& text = texts().in(p.from);
    for (std::size_t longest : {1, 3, 64, 1000, 70000}) {
      if (!matches_reference("real text, pieces up to " + std::to_string(longest), p, text, random, longest)) break;
    }
  }
}

TEST_P(fused, random_and_malformed_texts) {
  std::mt19937 random(3);
  for (pair p : fused_pairs) {
    for (int i = 0; i < 200; ++i) {
      const std::string text = codec_testing::random_text(random, texts().in(p.from));
      if (!matches_reference("random text " + std::to_string(i), p, text, random)) break;
    }
  }
}

// A character that the kernel of the pair leaves to the chain, and one it converts.
struct rare_and_common {
  std::string rare, common;
};

rare_and_common characters_for(encoding_id from) {
  switch (from) {
    case sjis: return {"\xF0\x40", "\x88\x9F"};           // user-defined area; a kanji
    case euc: return {"\x8F\xA2\xB7", "\xB0\xA1"};        // JIS X 0212; a kanji
    case utf8: return {"\xF0\x9F\x98\x80", "\xE4\xBA\x9C"};  // outside the BMP; a kanji
    default: return {"\x1B(I\x31\x1B$B", "\x30\x21"};      // a katakana run; a kanji in ESC $ B
  }
}

// The chain's pieces start and end everywhere around the kernel's lookahead, its output room
// and the reference's chunk size: a rare character at every offset from both ends of runs of
// common ones, with and without 7-bit text between.
TEST_P(fused, hand_over_at_every_offset) {
  std::mt19937 random(4);
  for (pair p : fused_pairs) {
    const rare_and_common c = characters_for(p.from);
    const std::string opening = p.from == jis || p.from == iso2022jp ? "\x1B$B" : "";
    bool ok = true;
    for (std::size_t count : {std::size_t{20}, std::size_t{1000}, std::size_t{11000}}) {
      for (std::size_t offset = 0; ok && offset < 20; ++offset) {
        std::string mixed;
        for (std::size_t i = 0; i < count; ++i) mixed += i % 5 == 4 && opening.empty() ? "a" : c.common;
        const std::size_t aligned = std::min(offset * c.common.size(), mixed.size());
        for (const std::size_t at : {aligned, mixed.size() - aligned, std::min(offset, mixed.size())}) {
          std::string text = opening + mixed;
          text.insert(opening.size() + at, c.rare);
          ok = matches_reference("rare character at " + std::to_string(at) + " of " + std::to_string(count), p,
                                 text, random, 3000);
          if (!ok) break;
        }
      }
    }
  }
}

bool reads_jis(pair p) { return p.from == jis || p.from == iso2022jp; }

// 7-bit text, with the controls among it; without escapes and shifts when JIS is read, which
// would end the run (they are in `run_ends`).
std::string seven_bit(std::size_t length, bool for_jis) {
  static const std::string bytes = [] {
    std::string all = "int main(void) { return 0; }\t\r\n";
    for (unsigned value = 0; value < 0x80; ++value) all += byte(value);
    return all;
  }();
  std::string text;
  for (std::size_t at = 0; text.size() < length; ++at) {
    const char b = bytes[at % bytes.size()];
    if (!for_jis || (b != '\x1B' && b != '\x0E' && b != '\x0F')) text += b;
  }
  return text;
}

// What ends a 7-bit run: a character the kernel converts, one it leaves to the chain, a high
// byte, and when JIS is read its escapes and shifts (the run stops before every one of them).
std::vector<std::string> run_ends(pair p) {
  const rare_and_common c = characters_for(p.from);
  if (reads_jis(p)) {
    return {"\x1B$B\x30\x21\x1B(B", c.rare + "\x30\x21\x1B(B", "\x0E\x31\x0F", "\x0F", "\x0E", "\x1B(J",
            "\x1B(B",  "\x1B",   "\x80"};
  }
  return {c.common, c.rare, "\x80", "\xFF"};
}

// The engine copies 7-bit runs 16 bytes at a time and stops at the first byte it may not pass:
// runs of every length up to three blocks, ending in everything that ends one, after a character
// that leaves a JIS writer out of ASCII, and ending at every distance from the end of the text.
TEST_P(fused, seven_bit_runs_of_every_length) {
  std::mt19937 random(5);
  for (pair p : fused_pairs) {
    const std::string kanji = reads_jis(p) ? "\x1B$B\x30\x21\x1B(B" : characters_for(p.from).common;
    bool ok = true;
    for (const std::string& end : run_ends(p)) {
      for (std::size_t length = 0; ok && length <= 3 * run_block_size + 1; ++length) {
        const std::string run = seven_bit(length, reads_jis(p));
        for (const std::string& before : {std::string(), kanji}) {
          const std::string text = before + run + end + run;
          ok = matches_reference("run of " + std::to_string(length) + " before " + hex(end), p, text, random, 1 + length % 5);
          if (!ok) break;
        }
      }
    }
  }
}

// The kernels take runs of double-byte characters in a loop of their own: what ends a run, at
// every offset from the run's start, and at the very end of the text (a character cut short).
TEST_P(fused, whatever_ends_a_run) {
  struct run_case {
    encoding_id from;
    std::string opening, common;
    std::vector<std::string> breakers;
  };
  const run_case cases[] = {
      {utf8,
       "",
       "\xE4\xBA\x9C",  // a kanji
       {"\xEF\xBD\xB1",                 // half-width katakana: three bytes, no double-byte code
        "\xE4\xB8\x82",                 // JIS X 0212 only
        "\xEA\xB0\x80",                 // Hangul
        "\xE4\x41\x42", "\xE4\xBA\xFF",  // continuation bytes the reference takes unchecked
        "\xE0\x80\x80", "\xE0\x81\x81",  // overlong forms
        "\xED\xA0\x80",                 // an encoded surrogate
        "\xC2\xA7", "\xC1\xBF",          // two bytes, with a code and overlong
        "\xF0\x9F\x98\x80", "\x80", "\xFF", "a", "\n",
        "\xE4", "\xE4\xBA"}},              // cut short
      {jis,
       "\x1B$B",
       "\x30\x21",
       {"\x1B(B" "ab", "\x1B$B", "\x1B(J" "ab", "\x1B$(D\x30\x21", "\x1B(I\x31", "\x0E\x31\x0F",
        "\n", " ", "\x7F\x21", "\x21\x7F", "\xB0\xA1", "\x22\x2F",  // the last: no character
        "\x1B", "\x1B$", "\x30"}},         // cut short
  };
  std::mt19937 random(7);
  for (const run_case& c : cases) {
    for (const pair p : fused_pairs) {
      if (p.from != c.from && !(c.from == jis && p.from == iso2022jp)) continue;
      for (const std::string& breaker : c.breakers) {
        bool ok = true;
        for (std::size_t before = 0; ok && before < 24; ++before) {
          std::string run;
          for (std::size_t i = 0; i < before; ++i) run += c.common;
          std::string after;
          for (std::size_t i = 0; i < 24; ++i) after += c.common;
          const std::string name = "run of " + std::to_string(before) + " ended by " + hex(breaker);
          ok = matches_reference(name, p, c.opening + run + breaker + after, random, 1 + before % 9) &&
               matches_reference(name + " at the end", p, c.opening + run + breaker, random, 1 + before % 9);
        }
      }
    }
  }
}

// A run across the end of the kernel's output room: the kernel stops there and goes on with
// fresh room, so every end of the run around it is tried.
TEST_P(fused, seven_bit_runs_across_the_output_room) {
  std::mt19937 random(6);
  for (pair p : fused_pairs) {
    const std::string run = seven_bit(fused_room + 2 * run_block_size, reads_jis(p));
    for (const std::string& end : run_ends(p)) {
      bool ok = true;
      for (std::size_t length = fused_room - 2 * run_block_size; ok && length <= run.size(); ++length) {
        const std::string text = run.substr(0, length) + end + "abc";
        ok = matches_reference("run of " + std::to_string(length) + " before " + hex(end), p, text, random, 2 * fused_room);
      }
      if (!ok) break;
    }
  }
}

// A run of kanji whose output ends around the end of the kernel's output room (two or three
// bytes a character), before a character the chain takes.
TEST_P(fused, double_byte_runs_across_the_output_room) {
  std::mt19937 random(8);
  for (pair p : fused_pairs) {
    if (p.from != utf8 && !reads_jis(p)) continue;
    const rare_and_common c = characters_for(p.from);
    const std::string opening = reads_jis(p) ? "\x1B$B" : "";
    bool ok = true;
    for (const std::size_t width : {std::size_t{2}, std::size_t{3}}) {
      for (std::size_t count = fused_room / width - 4; ok && count <= fused_room / width + 4; ++count) {
        std::string text = opening;
        for (std::size_t i = 0; i < count; ++i) text += c.common;
        ok = matches_reference("run of " + std::to_string(count), p, text + c.rare + "abc", random, 2 * fused_room);
      }
    }
  }
}

// A kernel meets the chain's state as the chain left it: JIS runs opened by the chain and
// continued by the kernel, the writer's state after a rare character, and an escape cut between
// two pieces.
TEST_P(fused, states_across_the_hand_over) {
  struct state_case {
    const char* name;
    pair p;
    std::string text;
  };
  const state_case cases[] = {
      {"katakana run, then kanji", {jis, utf8}, "\x1B(I\x31\x32\x1B$B\x30\x21\x30\x22\x1B(Babc"},
      {"JIS X 0212 run, then kanji", {jis, sjis}, "\x1B$(D\x30\x21\x1B$B\x30\x21\x1B(B"},
      {"shift out, shift in, ASCII", {jis, utf8}, "\x0E\x31\x0F" "abcdefghij\x1B$B\x30\x21"},
      {"unknown escape in kanji", {jis, utf8}, "\x1B$B\x30\x21\x1B(J\x30\x21\x1B(B"},
      {"kanji state left open", {jis, utf8}, "\x1B$B\x30\x21\x30"},
      {"writer in katakana after a JIS X 0212 character", {utf8, jis},
       "\xEF\xBD\xB1\xE4\xB8\x82\xE4\xBA\x9C" "a"},
      {"writer state after user-defined area", {sjis, jis}, "\x88\x9F\xF0\x40\x88\x9F" "a\xB1"},
      {"NEC row 13 between kanji", {sjis, jis}, "\x88\x9F\x87\x90\x88\x9F"},
      {"NEC-selected IBM extension", {sjis, euc}, "\x88\x9F\xEE\xF9\xED\x40" "a"},
      {"lead byte at the end", {sjis, utf8}, "abc\x88"},
      {"aux lead cut at the end", {euc, sjis}, "abc\x8F\xA2"},
      {"three-byte UTF-8 cut at the end", {utf8, jis}, "\xE4\xBA\x9C\xE4\xBA"},
  };
  for (const state_case& c : cases) {
    for (unsigned seed = 0; seed < 40; ++seed) {
      std::mt19937 random(seed);
      if (!matches_reference(c.name, c.p, c.text, random, 1 + seed % 4)) break;
    }
  }
}

// The Shift_JIS readers take sixteen bytes at a time (64 in the wide blocks, in lanes of
// sixteen characters) and find where the characters start from the lead bytes, the EUC-JP
// readers go on over the pairs of a run: runs of pairs whose second bytes are lead bytes too,
// moved by single bytes to every alignment against the blocks (so that pairs are cut at every
// block edge), a byte to stop at at every offset of the run, and the input ending at every byte.
TEST_P(fused, pair_blocks_at_every_alignment) {
  struct reader {
    encoding_id from;
    std::vector<pair> pairs;
    std::vector<std::string> characters;  // pairs and single bytes the kernels convert
    std::vector<std::string> stops;       // what they leave to the chain
  };
  const reader readers[] = {
      {sjis,
       {{sjis, utf8}, {sjis, euc}, {sjis, jis}},
       {"\x88\x9F", "\x83\x81", "\xE0\xE0", "\x82\xA0", "a", "\x81\x40", "\xB1", "\x9F\xFC"},
       {"\xF0\x40", "\x80", "\x88\x20", "\xFF", "\x87\x90", "\x88"}},
      {euc,
       {{euc, utf8}, {euc, sjis}},
       {"\xB0\xA1", "\xA4\xA2", "\x8E\xB1", "a", "\xFE\xFE", "\xA1\xA1", "\n"},
       {"\x8F\xA2\xB7", "\xA1" "a", "\xFF\xA1", "\x80", "\x8E\xE0", "\xB0"}},
  };
  std::mt19937 random(5);
  for (const reader& r : readers) {
    bool ok = true;
    for (std::size_t shift = 0; ok && shift < 18; ++shift) {
      // A run of pairs, with single bytes every so often in the second half.
      std::string run(shift, 'x');
      for (std::size_t i = 0; i < 90; ++i) {
        run += r.characters[i < 40 ? i % 3 : (i * 7 + shift) % r.characters.size()];
      }
      for (std::size_t stop = 0; ok && stop < r.stops.size(); ++stop) {
        for (std::size_t at = shift; ok && at <= run.size(); at += 1 + (at + stop) % 4) {
          std::string text = run;
          text.insert(at, r.stops[stop]);
          for (pair p : r.pairs) {
            ok = matches_reference("stop " + std::to_string(stop) + " at " + std::to_string(at), p, text, random, 40);
            if (!ok) break;
          }
        }
      }
      for (std::size_t length = 0; ok && length <= run.size(); ++length) {
        for (pair p : r.pairs) {
          ok = matches_reference("run ending at " + std::to_string(length), p, run.substr(0, length), random, 40);
          if (!ok) break;
        }
      }
    }
  }
}

// Every two-byte code of the readers that take 64-byte blocks, each inside a run long enough for
// the blocks (and for the kernel to take small pieces again after the chain), at every place in
// a block's lanes.
TEST_P(fused, every_code_inside_long_runs) {
  for (const pair p : {pair{sjis, utf8}, pair{euc, utf8}, pair{euc, sjis}}) {
    const std::string common = characters_for(p.from).common;
    std::string text;
    for (unsigned code = 0x8000; code <= 0xFFFF; ++code) {
      for (unsigned i = 0; i < code % 37; ++i) text += i % 3 == 2 ? "a" : common;
      text += byte(code >> 8) + byte(code & 0xFF);
      for (unsigned i = 0; i < 50; ++i) text += i % 3 == 2 ? "a" : common;
    }
    const std::string fused = translate_text(text, p.from, p.to);
    const std::string reference = translate_text_by_reference(text, p.from, p.to);
    EXPECT_TRUE(fused == reference) << pair_name(p) << ": " << first_difference(fused, reference);
  }
}

INSTANTIATE_TEST_SUITE_P(blocks, fused, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "wide" : "plain"; });

}  // namespace
