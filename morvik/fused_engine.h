#pragma once
// Fused conversions: a kernel goes from source bytes straight to target bytes, with no UTF-16
// text in between, and the pair's reference chain stands beside it for everything else.
//
// The kernel converts only what it is sure of and stops at anything else (malformed input, the
// end of the input, an unmapped code, a state it does not handle). The bytes from there go to
// the reference chain in a bounded piece; once every stage of the chain has taken all it was
// given, the kernel goes on. That is exact because
//   - the reference chain writes the same bytes however its input is cut (the stream tests and
//     the stream fuzzer hold every pair to that), and
//   - with every stage's `rest` empty, what the chain writes next depends only on the input to
//     come and on the JIS stages' states, which the kernel takes over and hands back.
// A kernel is one step and what it needs, for `Kernel::reference` (a reference_chain):
//   using state = ...;                               // what the kernel carries (JIS states)
//   static bool can_take(const reference& chain);    // the chain is in a state the kernel handles
//   static state take_state(reference& chain);  static void give_state(state, reference& chain);
//   static constexpr std::size_t growth;             // output bytes per input byte, at most
//   template <bool Checked>
//   static bool step(const char*& text, const char* end, char*& out, state& s);
//   static unsigned ascii_run(const state& s, const char* text);  // 7-bit bytes it passes as they are
//   static void before_ascii(state& s, char*& out);               // what goes before them
//   static constexpr bool ascii_runs_from_blocks;                 // see below
//   static constexpr bool takes_wide_blocks;  static bool wide_run(const char*& text,
//       const char* stop, char*& out);             // wide_blocks.h
// A step converts one character or a block of at most `fused_lookahead` bytes, or returns false
// and leaves `text` where the chain is to go on. Unchecked, it may read `fused_lookahead` bytes
// ahead without looking at `end`; the loop gives it that only where they are left, and passes
// as `end` the place `fused_lookahead` bytes past where it stops: a step that converts a run
// of characters goes on while they start before `end - fused_lookahead`. It writes at most
// `growth` bytes per byte it takes, and may store 16 bytes past them.
// 7-bit text is the engine's own: where `ascii_run` says how many of the next 16 bytes come out
// unchanged in the kernel's state (0: the step decides), it writes `before_ascii` and copies them,
// 16 at a time, before the next step. The JIS writers switch to ASCII there, the JIS readers
// pass only their ASCII state's bytes, and stop at escapes and shifts. A kernel whose step takes
// a 7-bit byte without a branch has runs taken only from eight 7-bit bytes on: in text where
// short runs and other characters alternate, a branch at every 7-bit byte is mispredicted.
// Where the processor has them (`wide_blocks`), a kernel's `wide_run` goes first: 64 bytes at a
// time while it can, stopping where the step would stop (false where it took nothing).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "morvik/blocks.h"
#include "morvik/engine.h"
#include "morvik/flat_tables.h"
#include "morvik/jis.h"
#include "morvik/wide_blocks.h"

namespace morvik {

// Output room per kernel call, and how far the kernel may write past it: its last step or run
// starts with room left, takes at most `fused_lookahead` bytes at `growth` bytes each and stores
// 16 bytes past them.
inline constexpr std::size_t fused_room = 32768;
inline constexpr std::size_t fused_lookahead = run_block_size;
inline constexpr std::size_t fused_overrun = 4 * fused_lookahead + 16;

// The pair's stages one after the other, as chain_engine runs them, but visible: the fused
// engine asks whether all of them are empty and reads and writes their states.
template <class... Stages>
class reference_chain {
 public:
  template <std::size_t I>
  auto& stage() {
    return std::get<I>(stages_);
  }
  template <std::size_t I>
  const auto& stage() const {
    return std::get<I>(stages_);
  }

  void feed(const char* text, std::size_t n, std::string& output) {
    std::get<0>(stages_).rest.append(text, n);
    run<0>(output, false);
  }
  void flush(std::string& output) { run<0>(output, true); }
  void clear() {
    std::apply([](auto&... stage) { (stage.clear(), ...); }, stages_);
  }
  bool empty() const {
    return std::apply([](const auto&... stage) { return (stage.rest.empty() && ...); }, stages_);
  }

 private:
  // As chain_engine: the first stage flushes what it holds, the later ones first convert what
  // the one before handed on.
  template <std::size_t I>
  void run(std::string& output, bool flushing) {
    auto& stage = std::get<I>(stages_);
    if (!flushing || I != 0) stage.translate();
    if (flushing) stage.flush();
    if constexpr (I + 1 < sizeof...(Stages)) {
      auto& next = std::get<I + 1>(stages_);
      next.rest.append(stage.output);
      stage.output.clear();
      run<I + 1>(output, flushing);
    } else {
      output.append(stage.output);
      stage.output.clear();
    }
  }

  std::tuple<Stages...> stages_;
};

template <class Kernel>
class fused_engine final : public transcode_engine {
 public:
  void translate() override {
    convert(rest);
    rest.clear();
  }
  void append_and_translate(std::string_view text) override {
    if (!rest.empty()) translate();
    convert(text);
  }
  // Everything given was taken by the kernel or the chain: what is left is the chain's.
  void flush() override { chain_.flush(output); }
  void clear() override {
    transcode_engine::clear();
    chain_.clear();
    piece_ = first_piece;
  }

  // Converts `text` as translate() would after appending it to `rest`, without the copy.
  void convert(std::string_view text) {
    const char* position = text.data();
    const char* const end = position + text.size();
    while (position != end) {
      if (chain_.empty() && Kernel::can_take(chain_)) {
        const char* const start = position;
        position = run_kernel(position, end);
        if (position == end) break;
        // A kernel that keeps stopping soon after it starts hands over more at a time: text
        // full of what only the chain converts goes at the chain's speed.
        piece_ = static_cast<std::size_t>(position - start) >= 4 * piece_ ? first_piece
                                                                          : std::min(2 * piece_, last_piece);
      }
      const std::size_t piece = std::min(piece_, static_cast<std::size_t>(end - position));
      chain_.feed(position, piece, output);
      position += piece;
    }
  }

 private:
  static constexpr std::size_t first_piece = 16;
  static constexpr std::size_t last_piece = 4096;

  const char* run_kernel(const char* position, const char* const end) {
    static_assert(Kernel::growth * fused_lookahead + run_block_size <= fused_overrun, "a last step may write past the overrun");
    for (;;) {
      const std::size_t start = output.size();
      const std::size_t room =
          std::min(fused_room, Kernel::growth * static_cast<std::size_t>(end - position) + fused_overrun);
      output.resize(start + room + fused_overrun);
      char* const first = &output[start];
      char* out = first;
      char* const limit = first + room;
      position = run_steps(position, end, out, limit);
      output.resize(start + static_cast<std::size_t>(out - first));
      if (position == end || out < limit) return position;
    }
  }

  // Unchecked steps in runs that can run out neither of input nor of room, then checked ones
  // for the last bytes.
  const char* run_steps(const char* text, const char* const end, char*& out, char* const limit) {
    typename Kernel::state state = Kernel::take_state(chain_);
    const bool wide = Kernel::takes_wide_blocks && wide_blocks_on();
    for (;;) {
      const std::ptrdiff_t ahead = end - text - static_cast<std::ptrdiff_t>(fused_lookahead);
      const std::ptrdiff_t room = (limit - out) / static_cast<std::ptrdiff_t>(Kernel::growth);
      const std::ptrdiff_t steps = std::min(ahead, room);
      if (steps <= 0) break;
      // Before `stop`, 16 bytes can be read and `growth` bytes written for every byte left.
      const char* const stop = text + steps;
      do {
        if (Kernel::ascii_runs_from_blocks ? is_ascii_block(text) : byte_value(*text) < 0x80) {
          if (unsigned run = Kernel::ascii_run(state, text)) {
            Kernel::before_ascii(state, out);
            // Whole blocks move on by a constant, so that the next load need not wait for the count.
            for (;;) {
              std::memcpy(out, text, run_block_size);
              if (run < run_block_size) {
                text += run;
                out += run;
                break;
              }
              text += run_block_size;
              out += run_block_size;
              if (text >= stop) break;
              run = Kernel::ascii_run(state, text);
            }
            if (text >= stop) break;
          }
        }
        if (wide && Kernel::wide_run(text, stop, out)) continue;
        if (!Kernel::template step<false>(text, stop + fused_lookahead, out, state)) {
          Kernel::give_state(state, chain_);
          return text;
        }
      } while (text < stop);
    }
    while (text != end && out < limit && Kernel::template step<true>(text, end, out, state)) {
    }
    Kernel::give_state(state, chain_);
    return text;
  }

  typename Kernel::reference chain_;
  std::size_t piece_ = first_piece;
};

// What the kernels share: packed UTF-8, the pair writers and the JIS writers' escapes.
namespace fused {

// For the kernels that pass every 7-bit byte unchanged, in a step that branches on it.
struct passes_seven_bit {
  static constexpr bool ascii_runs_from_blocks = false;
  template <class State>
  static unsigned ascii_run(const State&, const char* text) {
    return seven_bit_run(text);
  }
  template <class State>
  static void before_ascii(State&, char*&) {}
  // No 64-byte blocks.
  static constexpr bool takes_wide_blocks = false;
  static bool wide_run(const char*&, const char*, char*&) { return false; }
};

// For the kernels that carry no state.
struct stateless : passes_seven_bit {
  struct state {};
  template <class Reference>
  static bool can_take(const Reference&) {
    return true;
  }
  template <class Reference>
  static state take_state(Reference&) {
    return {};
  }
  template <class Reference>
  static void give_state(state, Reference&) {}
};

// Output bytes packed as flat_tables.h packs UTF-8: first byte lowest, the count in bits 24-27.
inline void put_packed(std::uint32_t packed, char*& out) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(out, &packed, sizeof packed);  // the counts land past the character, overwritten next
#else
  for (int i = 0; i < 3; ++i) out[i] = static_cast<char>(packed >> (8 * i));
#endif
  out += (packed >> 24) & 0xF;
}

// A JIS X 0208 pair, by its index in the EUC-JP pair tables, as the target writes it; false
// where the flat table has no entry. The EUC-JP and JIS reading kernels share these.
struct writes_pairs_as_utf8 {
  static bool put_pair(std::size_t index, char*& out) {
    const std::uint32_t packed = flat::euc_pair_utf8[index];
    if (packed == 0) return false;
    put_packed(packed, out);
    return true;
  }
};

struct writes_pairs_as_sjis {
  static bool put_pair(std::size_t index, char*& out) {
    const std::uint32_t code = flat::euc_pair_sjis[index];
    if (code == 0) return false;
    out[0] = static_cast<char>(code >> 8);
    out[1] = static_cast<char>(code & 0xFF);
    out += 2;
    return true;
  }
};

// The pairs after a first one, in a loop of their own while they start before `end -
// fused_lookahead` (`end` as an unchecked step is given it): both bytes in [low, low + 94) (A1 for
// EUC-JP, 21 for JIS) and a flat entry. A checked step takes its characters one at a time.
template <bool Checked, class Writer>
inline void put_pair_run(const char*& text, const char* end, unsigned low, char*& out) {
  if constexpr (!Checked) {
    const char* const stop = end - fused_lookahead;
    while (text < stop && Writer::put_pair(flat::pair_index(byte_value(text[0]), byte_value(text[1]), low), out)) {
      text += 2;
    }
  }
}

// A UTF-16 unit from 0x800 up (never a surrogate here) as its three UTF-8 bytes.
inline void put_utf8_three(std::uint32_t unit, char*& out) {
  out[0] = static_cast<char>(0xE0 | unit >> 12);
  out[1] = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (unit & 0x3F));
  out += 3;
}

// Bytes left at `text`: a checked step asks, an unchecked one has `fused_lookahead` at least.
template <bool Checked>
inline bool has_bytes(const char* text, const char* end, std::ptrdiff_t count) {
  return !Checked || end - text >= count;
}

// A JIS writer's state switch, as jis_writer::switch_state writes it.
inline void announce(std::int32_t& state, std::int32_t wanted, char*& out) {
  if (state == wanted) return;
  const std::string_view escape = escape_sequence(static_cast<jis_state>(wanted));
  std::memcpy(out, escape.data(), escape.size());
  out += escape.size();
  state = wanted;
}

}  // namespace fused
}  // namespace morvik
