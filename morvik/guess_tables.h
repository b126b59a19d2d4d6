#pragma once
// The guesser's character model (generated into guess_tables.cpp by tools/make_guess_tables.py).
// Costs are in 1/64 bit: -64 log2 of a probability.
#include <array>
#include <cstddef>
#include <cstdint>

namespace morvik {

// Class 0 is the line break, which also stands before the first character of a text.
constexpr std::size_t guess_class_count = 18;

struct class_run {
  std::uint16_t first;  // the run lasts up to the next run's first code point
  std::uint8_t character_class;
};
struct character_cost {
  std::uint16_t code;
  std::uint16_t cost;  // -log2 P(character | its class)
};

extern const class_run guess_class_runs[];
extern const std::size_t guess_class_run_count;
// What a character costs that the counts saw too rarely, by class: [0] for one in the first
// 47 rows of CP932 (Shift_JIS below guess_common_sjis_end: symbols, kana, first-level kanji),
// [1] for the rest of CP932, [2] for any other.
extern const std::uint16_t guess_unseen_cost[guess_class_count][3];
constexpr std::uint32_t guess_common_sjis_end = 0x989F;
// -log2 P(class | class before it).
extern const std::uint16_t guess_transition_cost[guess_class_count][guess_class_count];
// -log2 P(letter | letter before it) within a run of katakana, full-width from U+30A0 and
// half-width from U+FF66 (instead of the letter's own cost).
constexpr std::uint32_t guess_katakana_first = 0x30A0;
constexpr std::size_t guess_katakana_count = 96;
constexpr std::uint32_t guess_half_width_katakana_first = 0xFF66;
constexpr std::size_t guess_half_width_katakana_count = 58;
extern const std::uint16_t guess_katakana_pair_cost[guess_katakana_count][guess_katakana_count];
extern const std::uint16_t guess_half_width_katakana_pair_cost[guess_half_width_katakana_count]
                                                              [guess_half_width_katakana_count];
// Sorted by code.
extern const character_cost guess_character_costs[];
extern const std::size_t guess_character_count;

// What the guesser reads: every BMP character's class, and its cost (its own, or its class's
// unseen cost for its group), laid out flat as constant data.
extern const std::array<std::uint8_t, 0x10000> guess_bmp_class;
extern const std::array<std::uint16_t, 0x10000> guess_bmp_cost;

}  // namespace morvik
