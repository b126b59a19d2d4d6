#pragma once
// The translation engine model: every engine is fed input in `rest`, converts what it can
// completely convert, keeps the unconverted tail in `rest` and accumulates `output`.
// Codecs plug a chunk-start check, a step and (JIS writers) a state switch into one shared
// chunk loop; the loop calls them statically, so nothing is virtual per character.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "morvik/assertion.h"
#include "morvik/morvik.h"

namespace morvik {

inline constexpr std::size_t chunk_size = 1000;
inline constexpr std::size_t margin_size = 24;

class translate_engine {
 public:
  translate_engine() = default;
  translate_engine(const translate_engine&) = delete;
  translate_engine& operator=(const translate_engine&) = delete;
  virtual ~translate_engine() { MORVIK_ASSERT(0 == ref_count, "0 == ref_count"); }

  virtual void translate() = 0;
  virtual void flush() = 0;
  virtual void clear() = 0;

  std::int32_t ref_count = 0;
};

// The four kinds: to_unicode, from_unicode, transcode and unicode engines.
template <class InputUnit, class OutputUnit>
class basic_engine : public translate_engine {
 public:
  using input_unit = InputUnit;
  using output_unit = OutputUnit;
  using input_string = std::basic_string<InputUnit>;
  using output_string = std::basic_string<OutputUnit>;

  static constexpr std::basic_string_view<OutputUnit> replacement_token() {
    return replacement_char<OutputUnit>;
  }

  // Whatever is left is an incomplete character: one token per unit.
  void flush() override {
    for (std::size_t i = 0; i < rest.size(); ++i) output.append(replacement_token());
    rest.clear();
  }

  void clear() override {
    rest.clear();
    output.clear();
  }

  // As appending `text` to `rest` and calling translate(); an engine that can read the text
  // where it lies skips the copy.
  virtual void append_and_translate(std::basic_string_view<InputUnit> text) {
    rest.append(text.data(), text.size());
    translate();
  }

  const output_string& translate_all(std::basic_string_view<InputUnit> text) {
    rest.assign(text.data(), text.size());
    translate();
    flush();
    return output;
  }

  // Hands the accumulated output to a streaming caller and empties it.
  output_string take_output() {
    output_string taken;
    taken.swap(output);
    return taken;
  }

  input_string rest;
  output_string output;
};

using to_unicode_engine = basic_engine<char, char16_t>;
using from_unicode_engine = basic_engine<char16_t, char>;
using transcode_engine = basic_engine<char, char>;
using unicode_engine = basic_engine<char16_t, char16_t>;

// The stack buffer of one chunk: chunk_size units plus room for one more step.
template <class Unit>
struct chunk_buffer {
  Unit units[chunk_size + margin_size];
  std::size_t count = 0;

  void put(Unit unit) { units[count++] = unit; }
  void put(Unit first, Unit second) {
    units[count] = first;
    units[count + 1] = second;
    count += 2;
  }
};

template <class Unit>
inline void append_token(chunk_buffer<Unit>& buffer, std::basic_string_view<Unit> token) {
  MORVIK_ASSERT(token.length() <= margin_size, "token.length() <= margin_size");
  for (Unit unit : token) buffer.units[buffer.count++] = unit;
}

// What one step did: converted a character, ended the chunk (the character continues
// past the input, or the step consumed an escape that ends the chunk), or asks for a
// different output character set first (JIS writers).
enum class step_result { converted, end_chunk, switch_state };

// The chunk loop, written once. Derived supplies:
//   bool can_start(const input_unit* text, std::size_t pos, std::size_t n) const;
//   step_result step(const input_unit* text, std::size_t& pos, std::size_t n,
//                    chunk_buffer<output_unit>& buffer);
//   void switch_state(output_string& output);   // only if step returns switch_state
template <class Derived, class InputUnit, class OutputUnit>
class chunked_engine : public basic_engine<InputUnit, OutputUnit> {
 public:
  using base = basic_engine<InputUnit, OutputUnit>;

  void translate() override {
    Derived& codec = static_cast<Derived&>(*this);
    const InputUnit* text = this->rest.data();
    const std::size_t n = this->rest.size();
    std::size_t pos = 0;
    chunk_buffer<OutputUnit> buffer;
    // Most text gives about one output unit per input unit: grow once, not per chunk.
    this->output.reserve(this->output.size() + n);
    while (pos != n && codec.can_start(text, pos, n)) {
      buffer.count = 0;
      const std::size_t chunk_start = pos;
      step_result result = step_result::converted;
      while (pos < n && buffer.count < chunk_size) {
        result = codec.step(text, pos, n, buffer);
        if (result != step_result::converted) break;
      }
      this->output.append(buffer.units, buffer.count);
      if (result == step_result::switch_state) {
        codec.switch_state(this->output);
      } else if (pos == chunk_start && buffer.count == 0) {
        break;  // nothing could be done at this character: it waits for more input
      }
    }
    this->rest.erase(0, pos);
  }

  // Default for codecs without a state.
  void switch_state(typename base::output_string&) {}
};

// Counted reference to an engine; the last handle destroys it, exactly once.
class engine_handle {
 public:
  engine_handle() = default;
  explicit engine_handle(translate_engine* engine) : engine_(engine) { acquire(); }
  engine_handle(const engine_handle& other) : engine_(other.engine_) { acquire(); }
  engine_handle(engine_handle&& other) noexcept : engine_(std::exchange(other.engine_, nullptr)) {}
  engine_handle& operator=(engine_handle other) noexcept {
    std::swap(engine_, other.engine_);
    return *this;
  }
  ~engine_handle() { release(); }

  translate_engine* get() const { return engine_; }
  translate_engine* operator->() const { return engine_; }
  explicit operator bool() const { return engine_ != nullptr; }

  // The engine as the kind it was made as.
  template <class InputUnit, class OutputUnit>
  basic_engine<InputUnit, OutputUnit>& as() const {
    return static_cast<basic_engine<InputUnit, OutputUnit>&>(*engine_);
  }

 private:
  void acquire() {
    if (engine_) ++engine_->ref_count;
  }
  void release();  // engine.cpp

  translate_engine* engine_ = nullptr;
};

// Two engines one after the other; a stage may itself be a chain.
template <class InputUnit, class MiddleUnit, class OutputUnit>
class chain_engine final : public basic_engine<InputUnit, OutputUnit> {
 public:
  using first_kind = basic_engine<InputUnit, MiddleUnit>;
  using second_kind = basic_engine<MiddleUnit, OutputUnit>;

  chain_engine(first_kind* first, second_kind* second)
      : first_stage(first), second_stage(second) {}
  ~chain_engine() override {
    second_stage = engine_handle();
    first_stage = engine_handle();
  }

  void translate() override {
    first().rest.append(this->rest);
    first().translate();
    this->rest.clear();
    pass_on();
  }

  void append_and_translate(std::basic_string_view<InputUnit> text) override {
    first().rest.append(this->rest);
    this->rest.clear();
    first().append_and_translate(text);
    pass_on();
  }

  void flush() override {
    first().flush();
    this->rest.clear();
    second().rest.append(first().output);
    first().output.clear();
    second().translate();
    second().flush();
    this->output.append(second().output);
    second().output.clear();
  }

  void clear() override {
    this->rest.clear();
    this->output.clear();
    first().clear();
    second().clear();
  }

  engine_handle first_stage;
  engine_handle second_stage;

 private:
  // What the first stage wrote goes through the second.
  void pass_on() {
    second().rest.append(first().output);
    first().output.clear();
    second().translate();
    this->output.append(second().output);
    second().output.clear();
  }

  first_kind& first() { return first_stage.template as<InputUnit, MiddleUnit>(); }
  second_kind& second() { return second_stage.template as<MiddleUnit, OutputUnit>(); }
};

template <class Unit>
class basic_pass_through_engine : public basic_engine<Unit, Unit> {
 public:
  void translate() override {
    this->output.append(this->rest);
    this->rest.clear();
  }
  void flush() override {}
};

using pass_through_engine = basic_pass_through_engine<char>;
using unicode_pass_through_engine = basic_pass_through_engine<char16_t>;

}  // namespace morvik

namespace morvik {

// An engine for the pair, for callers that stream: feed `rest`, call translate(), take
// `output`, flush() at the end. Instantiated for the four kinds (char/char16_t in and out).
// With `with_signatures` the byte-order-mark stages of the chain run: writing UTF-8 or
// UTF-16 from another encoding starts with a mark, reading them drops marks.
template <class InputUnit, class OutputUnit>
engine_handle create_engine(encoding_id from, encoding_id to, bool with_signatures = false);

}  // namespace morvik
