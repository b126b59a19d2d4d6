// The engine model with two small codecs of its own: the chunk loop, what is held back
// between calls, flush, the counted handles and chains.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "morvik/engine.h"
#include "tests/morvik/codec_testing.h"

namespace {

using codec_testing::hex;

using morvik::chunk_buffer;
using morvik::engine_handle;
using morvik::step_result;
// Test encoding: 00-7F one byte, a lead byte 80-FE and any trail byte make the unit
// lead * 256 + trail, FF cannot be decoded.
bool is_lead(char byte) {
  const unsigned char value = static_cast<unsigned char>(byte);
  return value >= 0x80 && value != 0xFF;
}

class test_decoder : public morvik::chunked_engine<test_decoder, char, char16_t> {
 public:
  bool can_start(const char* text, std::size_t pos, std::size_t n) const {
    return !(is_lead(text[pos]) && pos + 1 == n);
  }
  step_result step(const char* text, std::size_t& pos, std::size_t n, chunk_buffer<char16_t>& buffer) {
    const unsigned char byte = static_cast<unsigned char>(text[pos]);
    if (byte == 0xFF) {
      morvik::append_token(buffer, replacement_token());
      ++pos;
    } else if (byte < 0x80) {
      buffer.put(byte);
      ++pos;
    } else if (pos + 1 == n) {
      return step_result::end_chunk;
    } else {
      buffer.put(static_cast<char16_t>(byte << 8 | static_cast<unsigned char>(text[pos + 1])));
      pos += 2;
    }
    return step_result::converted;
  }
};

// The way back: units below 0x80 as one byte, others as two, FFxx cannot be encoded.
class test_encoder : public morvik::chunked_engine<test_encoder, char16_t, char> {
 public:
  bool can_start(const char16_t*, std::size_t, std::size_t) const { return true; }
  step_result step(const char16_t* text, std::size_t& pos, std::size_t, chunk_buffer<char>& buffer) {
    const char16_t unit = text[pos++];
    if (unit < 0x80) {
      buffer.put(static_cast<char>(unit));
    } else if (unit >= 0xFF00) {
      morvik::append_token(buffer, replacement_token());
    } else {
      buffer.put(static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF));
    }
    return step_result::converted;
  }
};

// Plain references to hold the engines' output against.
std::u16string reference_decode(std::string_view bytes) {
  std::u16string units;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (byte == 0xFF || (byte >= 0x80 && i + 1 == bytes.size()))
      units += u'?';
    else if (byte < 0x80)
      units += static_cast<char16_t>(byte);
    else
      units += static_cast<char16_t>(byte << 8 | static_cast<unsigned char>(bytes[++i]));
  }
  return units;
}

std::string reference_encode(std::u16string_view units) {
  std::string bytes;
  for (char16_t unit : units) {
    if (unit < 0x80) {
      bytes += static_cast<char>(unit);
    } else if (unit >= 0xFF00) {
      bytes += '?';
    } else {
      bytes += static_cast<char>(unit >> 8);
      bytes += static_cast<char>(unit & 0xFF);
    }
  }
  return bytes;
}

// Feeds `text` in pieces of `piece` units (0: in one piece) and flushes.
template <class Engine, class Text>
auto feed(Engine& engine, const Text& text, std::size_t piece) {
  if (piece == 0) piece = text.size() + 1;
  for (std::size_t pos = 0; pos < text.size(); pos += piece) {
    engine.rest.append(text.substr(pos, piece));
    engine.translate();
  }
  engine.flush();
  return engine.output;
}

std::string repeat(std::string_view unit, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += unit;
  return text;
}

TEST(EngineChunkLoop, EmptyTextAndEmptyFlush) {
  test_decoder decoder;
  EXPECT_TRUE(decoder.translate_all("").empty());
  decoder.flush();
  EXPECT_TRUE(decoder.output.empty());
  EXPECT_TRUE(decoder.rest.empty());
}

TEST(EngineChunkLoop, ChunkBoundaryIsInvisible) {
  struct decode_case {
    const char* name;
    std::string text;
  };
  const decode_case cases[] = {
      {"999 units", repeat("a", 999)},
      {"exactly 1000 units", repeat("a", 1000)},
      {"1001 units", repeat("a", 1001)},
      {"two-byte character as unit 1000", repeat("a", 999) + "\x82\xA0" + "b"},
      {"two-byte character as unit 1001", repeat("a", 1000) + "\x82\xA0"},
      {"replacement as unit 1000", repeat("a", 999) + "\xFF" + "b"},
      {"2000 two-byte units", repeat("\x82\xA0", 2000)},
      {"2001 mixed units", repeat("\x82\xA0" "c", 667)},
      {"lead byte left at 1001", repeat("a", 1000) + "\x82"},
  };
  for (const decode_case& c : cases) {
    const std::u16string expected = reference_decode(c.text);
    for (std::size_t piece : {0, 1, 2, 3, 999, 1000, 1001}) {
      test_decoder decoder;
      const std::u16string got = feed(decoder, c.text, piece);
      ASSERT_EQ(got, expected) << c.name << ", pieces of " << piece << "\n got      " << hex(got).substr(0, 200)
                               << "\n expected " << hex(expected).substr(0, 200);
    }
  }
  // Two-byte outputs: the character that starts at unit 999 still fits the chunk.
  const std::u16string wide_cases[] = {
      std::u16string(999, u'a') + u"\u82A0" + u"b",
      std::u16string(1000, u'a'),
      std::u16string(500, u'\u82A0'),
      std::u16string(501, u'\u82A0'),
      std::u16string(999, u'a') + u"\uFF01" + std::u16string(5, u'\u82A0'),
  };
  for (const std::u16string& text : wide_cases) {
    const std::string expected = reference_encode(text);
    for (std::size_t piece : {0, 1, 1000}) {
      test_encoder encoder;
      const std::string got = feed(encoder, text, piece);
      ASSERT_EQ(hex(got), hex(expected)) << text.size() << " units, pieces of " << piece;
    }
  }
}

TEST(EngineChunkLoop, InputSplitInsideACharacter) {
  const std::string text = "A\x82\xA0" "B\x83\x40";
  const std::u16string expected = reference_decode(text);
  for (std::size_t split = 0; split <= text.size(); ++split) {
    test_decoder decoder;
    decoder.rest = text.substr(0, split);
    decoder.translate();
    // An incomplete character waits in `rest`; nothing else does.
    const bool inside = split == 2 || split == 5;
    EXPECT_EQ(hex(decoder.rest), hex(inside ? text.substr(split - 1, 1) : std::string()))
        << "split at " << split;
    decoder.rest += text.substr(split);
    decoder.translate();
    decoder.flush();
    EXPECT_EQ(hex(decoder.output), hex(expected)) << "split at " << split;
  }
}

TEST(EngineChunkLoop, FlushReplacesWhatIsLeft) {
  test_decoder decoder;
  decoder.rest = "A\x82";
  decoder.translate();
  EXPECT_EQ(hex(decoder.output), hex(u"A"));
  EXPECT_EQ(hex(decoder.rest), hex("\x82"));
  decoder.flush();
  EXPECT_EQ(hex(decoder.output), hex(u"A?"));
  EXPECT_TRUE(decoder.rest.empty());
  // Default flush: one token per unit left, whatever the units are.
  test_encoder encoder;
  encoder.rest = u"xyz";
  encoder.flush();
  EXPECT_EQ(hex(encoder.output), hex("???"));
}

TEST(EngineChunkLoop, NulUnitsPass) {
  test_decoder decoder;
  const std::u16string decoded = decoder.translate_all(std::string_view("A\0B\0\x82\xA0", 6));
  EXPECT_EQ(hex(decoded), hex(std::u16string_view(u"A\0B\0\u82A0", 5)));
  test_encoder encoder;
  const std::string encoded = encoder.translate_all(std::u16string_view(u"\0x\0", 3));
  EXPECT_EQ(hex(encoded), hex(std::string_view("\0x\0", 3)));
}

TEST(EngineChunkLoop, TranslateAllReplacesRestAndKeepsOutput) {
  test_decoder decoder;
  decoder.rest = "\x82";
  decoder.output = u"old ";
  EXPECT_EQ(hex(decoder.translate_all("new")), hex(u"old new"));
  decoder.clear();
  EXPECT_TRUE(decoder.output.empty() && decoder.rest.empty());
}

TEST(EnginePassThrough, CopiesAndFlushesNothing) {
  morvik::pass_through_engine bytes;
  bytes.rest = std::string("\x82\0", 2);
  bytes.translate();
  bytes.flush();
  EXPECT_EQ(hex(bytes.output), hex(std::string_view("\x82\0", 2)));
  morvik::unicode_pass_through_engine units;
  const std::u16string lone_surrogate{0xD800, u'x'};
  EXPECT_EQ(hex(units.translate_all(lone_surrogate)), hex(lone_surrogate));
}

// Counts its destructions; stands in for any engine owned by handles.
int destroyed = 0;
std::vector<std::string>* event_log = nullptr;

class recording_engine : public morvik::transcode_engine {
 public:
  explicit recording_engine(std::string name) : name_(std::move(name)) {}
  ~recording_engine() override {
    ++destroyed;
    if (event_log) event_log->push_back(name_ + ".destroy");
  }
  void translate() override {
    if (event_log) event_log->push_back(name_ + ".translate " + rest);
    output += rest;
    rest.clear();
  }
  void flush() override {
    if (event_log) event_log->push_back(name_ + ".flush");
    output += "[" + name_ + "]";
  }
  void clear() override {
    if (event_log) event_log->push_back(name_ + ".clear");
    morvik::transcode_engine::clear();
  }

 private:
  std::string name_;
};

TEST(EngineHandle, TwoHandlesDestroyOnce) {
  destroyed = 0;
  auto* engine = new recording_engine("e");
  EXPECT_EQ(engine->ref_count, 0);
  {
    engine_handle first(engine);
    {
      engine_handle second = first;
      EXPECT_EQ(engine->ref_count, 2);
    }
    EXPECT_EQ(engine->ref_count, 1);
    EXPECT_EQ(destroyed, 0);
    engine_handle moved = std::move(first);
    EXPECT_EQ(engine->ref_count, 1);
    engine_handle assigned;
    assigned = moved;
    EXPECT_EQ(engine->ref_count, 2);
  }
  EXPECT_EQ(destroyed, 1);
  engine_handle empty;  // a null handle releases nothing
  EXPECT_FALSE(empty);
}

using byte_chain = morvik::chain_engine<char, char, char>;

TEST(EngineChain, FlushRunsFirstStageThenSecond) {
  std::vector<std::string> log;
  event_log = &log;
  {
    byte_chain chain(new recording_engine("1"), new recording_engine("2"));
    chain.rest = "x";
    chain.translate();
    EXPECT_TRUE(chain.rest.empty());
    chain.flush();
    // What the first stage's flush adds is converted and flushed by the second.
    EXPECT_EQ(chain.output, "x[1][2]");
  }
  event_log = nullptr;
  const std::vector<std::string> expected = {"1.translate x", "2.translate x", "1.flush",
                                             "2.translate [1]", "2.flush", "2.destroy", "1.destroy"};
  EXPECT_EQ(log, expected);
}

TEST(EngineChain, ClearEmptiesChainAndBothStages) {
  morvik::chain_engine<char, char16_t, char> chain(new test_decoder, new test_encoder);
  chain.rest = "A\x82";
  chain.translate();
  chain.clear();
  EXPECT_TRUE(chain.rest.empty() && chain.output.empty());
  // The lead byte held back by the first stage is gone.
  EXPECT_EQ(hex(chain.translate_all("B")), hex("B"));
}

TEST(EngineChain, ChainWhoseStageIsAChain) {
  // bytes -> wide -> bytes, then bytes -> wide; and wide -> bytes -> (bytes -> wide -> bytes).
  using round_trip = morvik::chain_engine<char, char16_t, char>;
  using outer = morvik::chain_engine<char, char, char16_t>;
  using wide_outer = morvik::chain_engine<char16_t, char, char>;
  const std::string texts[] = {
      "plain",
      "A\x82\xA0" "B\xFF" "C",
      repeat("\x82\xA0" "d", 700),
      "ends inside \x82",
  };
  for (const std::string& text : texts) {
    const std::u16string expected = reference_decode(reference_encode(reference_decode(text)));
    for (std::size_t piece : {0, 1, 2, 7, 1000}) {
      outer chain(new round_trip(new test_decoder, new test_encoder), new test_decoder);
      const std::u16string got = feed(chain, text, piece);
      ASSERT_EQ(hex(got), hex(expected)) << "pieces of " << piece << ": " << hex(text).substr(0, 60);
    }
    const std::u16string wide = reference_decode(text);
    const std::string wide_expected = reference_encode(wide);
    wide_outer chain(new test_encoder, new round_trip(new test_decoder, new test_encoder));
    EXPECT_EQ(hex(feed(chain, wide, 3)), hex(wide_expected)) << hex(text).substr(0, 60);
  }
}

}  // namespace
