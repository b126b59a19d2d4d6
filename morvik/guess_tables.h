#pragma once
// The guesser's character model (generated into guess_tables.cpp by tools/make_guess_tables.py).
// Costs are in 1/64 bit: -64 log2 of a probability.
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
// What a character costs that the counts saw too rarely, by class: [0] for one that CP932
// writes, [1] for any other.
extern const std::uint16_t guess_unseen_cost[guess_class_count][2];
// -log2 P(class | class before it).
extern const std::uint16_t guess_transition_cost[guess_class_count][guess_class_count];
// Sorted by code.
extern const character_cost guess_character_costs[];
extern const std::size_t guess_character_count;

}  // namespace morvik
