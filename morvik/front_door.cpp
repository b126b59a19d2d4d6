// The conversion front door: the pair table, running a pair's stages over a whole text, and
// composing them into one engine for streaming callers.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "morvik/ansi_sjis.h"
#include "morvik/assertion.h"
#include "morvik/engine.h"
#include "morvik/euc.h"
#include "morvik/fused.h"
#include "morvik/jis.h"
#include "morvik/morvik.h"
#include "morvik/pair_table.h"
#include "morvik/utf.h"

namespace morvik {

// The text between the stages of one translation: the caller's text until the first stage has
// run, then the output of the stage before, handed on without a copy.
struct stage_text {
  std::string_view narrow_input;
  std::u16string_view wide_input;
  narrow_string narrow;
  wide_string wide;
  bool converted = false;  // false while the text is still the caller's
};

// An engine kind as a stage: what it reads and writes, how it runs over a whole text on the
// stack and how it is made on the heap for a chain. Signature stages write or remove
// byte-order marks; translate_text hands the text past them unchanged.
struct stage {
  const char* name;
  bool wide_input;
  bool wide_output;
  bool signature;
  void (*run)(stage_text& text);
  translate_engine* (*make)();
};

namespace {

// Room for a stage's whole output, so that it grows once: a unit per byte into UTF-16 (never
// less), three bytes a kana or kanji into UTF-8, two into the other encodings.
template <class Engine>
std::size_t output_estimate(std::size_t input_length) {
  if constexpr (std::is_same_v<typename Engine::output_unit, char16_t>) {
    return input_length;
  } else if constexpr (std::is_same_v<Engine, unicode_to_utf8_engine>) {
    return 3 * input_length;
  } else if constexpr (std::is_same_v<typename Engine::input_unit, char16_t>) {
    return 2 * input_length;
  } else {
    return input_length + input_length / 4;
  }
}

template <class Unit>
std::basic_string<Unit>& held_text(stage_text& text) {
  if constexpr (std::is_same_v<Unit, char>) {
    return text.narrow;
  } else {
    return text.wide;
  }
}

template <class Unit>
std::basic_string_view<Unit> input_text(const stage_text& text) {
  if constexpr (std::is_same_v<Unit, char>) {
    return text.narrow_input;
  } else {
    return text.wide_input;
  }
}

// One stage over the whole text on a stack engine, whose `rest` takes the text without a copy
// once it is no longer the caller's.
template <class Engine>
void run_engine(stage_text& text) {
  using input_unit = typename Engine::input_unit;
  Engine engine;
  if (text.converted) {
    engine.rest.swap(held_text<input_unit>(text));
  } else {
    const std::basic_string_view<input_unit> input = input_text<input_unit>(text);
    engine.rest.assign(input.data(), input.size());
  }
  engine.output.reserve(output_estimate<Engine>(engine.rest.size()));
  engine.translate();
  engine.flush();
  held_text<typename Engine::output_unit>(text) = std::move(engine.output);
  text.converted = true;
}

template <class Engine>
translate_engine* make_engine() {
  return new Engine;
}

template <class Engine>
constexpr stage stage_of(const char* name, bool signature = false) {
  return stage{name,
               std::is_same_v<typename Engine::input_unit, char16_t>,
               std::is_same_v<typename Engine::output_unit, char16_t>,
               signature,
               signature ? nullptr : &run_engine<Engine>,
               &make_engine<Engine>};
}

constexpr stage ansi_read = stage_of<ansi_to_unicode_engine>("A>U");
constexpr stage ansi_write = stage_of<unicode_to_ansi_engine>("U>A");
constexpr stage sjis_read = stage_of<sjis_to_unicode_engine>("S>U");
constexpr stage sjis_write = stage_of<unicode_to_sjis_engine>("U>S");
constexpr stage euc_read = stage_of<euc_to_unicode_engine>("E>U");
constexpr stage euc_write = stage_of<unicode_to_euc_engine>("U>E");
constexpr stage utf8_read = stage_of<utf8_to_unicode_engine>("8>U");
constexpr stage utf8_write = stage_of<unicode_to_utf8_engine>("U>8");
constexpr stage utf16be_read = stage_of<utf16be_to_unicode_engine>("B>U");
constexpr stage utf16be_write = stage_of<unicode_to_utf16be_engine>("U>B");
constexpr stage utf16le_read = stage_of<utf16le_to_unicode_engine>("L>U");
constexpr stage utf16le_write = stage_of<unicode_to_utf16le_engine>("U>L");
constexpr stage sjis_to_jis = stage_of<sjis_to_jis_engine>("S>J");
constexpr stage sjis_to_euc = stage_of<sjis_to_euc_engine>("S>E");
constexpr stage jis_to_euc = stage_of<jis_to_euc_engine>("J>E");
constexpr stage euc_to_jis = stage_of<euc_to_jis_engine>("E>J");
constexpr stage jis_to_iso2022jp = stage_of<jis_to_iso2022jp_engine>("J>I");
constexpr stage utf8_bom_writer = stage_of<utf8_bom_writer_engine>("+8", true);
constexpr stage unicode_bom_writer = stage_of<unicode_bom_writer_engine>("+U", true);
constexpr stage utf8_bom_remover = stage_of<utf8_bom_remover_engine>("-8", true);
constexpr stage unicode_bom_remover = stage_of<unicode_bom_remover_engine>("-U", true);

// Short names for the table, "what it reads _ what it writes": A ASCII, S Shift_JIS, E EUC-JP,
// J JIS, I ISO-2022-JP, u8 UTF-8, B UTF-16BE bytes, L UTF-16LE bytes, U `unicode` as wide text.
// Signature stages: add_u8 and add_U write a UTF-8 or UTF-16 mark first; drop_u8 and drop_U
// drop marks.
constexpr const stage* A_U = &ansi_read;
constexpr const stage* U_A = &ansi_write;
constexpr const stage* S_U = &sjis_read;
constexpr const stage* U_S = &sjis_write;
constexpr const stage* E_U = &euc_read;
constexpr const stage* U_E = &euc_write;
constexpr const stage* u8_U = &utf8_read;
constexpr const stage* U_u8 = &utf8_write;
constexpr const stage* B_U = &utf16be_read;
constexpr const stage* U_B = &utf16be_write;
constexpr const stage* L_U = &utf16le_read;
constexpr const stage* U_L = &utf16le_write;
constexpr const stage* S_J = &sjis_to_jis;
constexpr const stage* S_E = &sjis_to_euc;
constexpr const stage* J_E = &jis_to_euc;
constexpr const stage* E_J = &euc_to_jis;
constexpr const stage* J_I = &jis_to_iso2022jp;
constexpr const stage* add_u8 = &utf8_bom_writer;
constexpr const stage* add_U = &unicode_bom_writer;
constexpr const stage* drop_u8 = &utf8_bom_remover;
constexpr const stage* drop_U = &unicode_bom_remover;

constexpr fused_kernel no_kernel = nullptr;

// Every pair of the converted encodings, `from` major, in identifier order. No stage: the text
// is copied (a pair with itself; ASCII into an ASCII-compatible target; ISO-2022-JP as JIS).
// JIS is read through EUC-JP and written from it, and ISO-2022-JP is written through JIS; a
// pair between unrelated encodings pivots through `unicode`. Marks: writing UTF-8 or UTF-16 from
// a Japanese byte encoding starts with one (the UTF-16 mark goes in before the bytes are laid
// out); reading UTF-8 into a Japanese encoding, or UTF-16 into any of them, drops them.
constexpr pair_row pair_table[] = {
    {ansi, ansi, {}, no_kernel},
    {ansi, sjis, {}, no_kernel},
    {ansi, jis, {}, no_kernel},
    {ansi, euc, {}, no_kernel},
    {ansi, iso2022jp, {}, no_kernel},
    {ansi, utf8, {add_u8}, no_kernel},
    {ansi, utf16be, {A_U, add_U, U_B}, no_kernel},
    {ansi, unicode, {A_U, add_U, U_L}, no_kernel},

    {sjis, ansi, {S_U, U_A}, no_kernel},
    {sjis, sjis, {}, no_kernel},
    {sjis, jis, {S_J}, &sjis_to_jis_fused},
    {sjis, euc, {S_E}, &sjis_to_euc_fused},
    {sjis, iso2022jp, {S_J, J_I}, no_kernel},
    {sjis, utf8, {S_U, U_u8, add_u8}, &sjis_to_utf8_fused},
    {sjis, utf16be, {S_U, add_U, U_B}, no_kernel},
    {sjis, unicode, {S_U, add_U, U_L}, no_kernel},

    {jis, ansi, {J_E, E_U, U_A}, no_kernel},
    {jis, sjis, {J_E, E_U, U_S}, &jis_to_sjis_fused},
    {jis, jis, {}, no_kernel},
    {jis, euc, {J_E}, no_kernel},
    {jis, iso2022jp, {J_I}, no_kernel},
    {jis, utf8, {J_E, E_U, U_u8, add_u8}, &jis_to_utf8_fused},
    {jis, utf16be, {J_E, E_U, add_U, U_B}, no_kernel},
    {jis, unicode, {J_E, E_U, add_U, U_L}, no_kernel},

    {euc, ansi, {E_U, U_A}, no_kernel},
    {euc, sjis, {E_U, U_S}, &euc_to_sjis_fused},
    {euc, jis, {E_J}, no_kernel},
    {euc, euc, {}, no_kernel},
    {euc, iso2022jp, {E_J, J_I}, no_kernel},
    {euc, utf8, {E_U, U_u8, add_u8}, &euc_to_utf8_fused},
    {euc, utf16be, {E_U, add_U, U_B}, no_kernel},
    {euc, unicode, {E_U, add_U, U_L}, no_kernel},

    {iso2022jp, ansi, {J_E, E_U, U_A}, no_kernel},
    {iso2022jp, sjis, {J_E, E_U, U_S}, &jis_to_sjis_fused},
    {iso2022jp, jis, {}, no_kernel},
    {iso2022jp, euc, {J_E}, no_kernel},
    {iso2022jp, iso2022jp, {}, no_kernel},
    {iso2022jp, utf8, {J_E, E_U, U_u8, add_u8}, &jis_to_utf8_fused},
    {iso2022jp, utf16be, {J_E, E_U, add_U, U_B}, no_kernel},
    {iso2022jp, unicode, {J_E, E_U, add_U, U_L}, no_kernel},

    {utf8, ansi, {u8_U, U_A}, no_kernel},
    {utf8, sjis, {drop_u8, u8_U, U_S}, &utf8_to_sjis_fused},
    {utf8, jis, {drop_u8, u8_U, U_E, E_J}, &utf8_to_jis_fused},
    {utf8, euc, {drop_u8, u8_U, U_E}, &utf8_to_euc_fused},
    {utf8, iso2022jp, {drop_u8, u8_U, U_E, E_J, J_I}, no_kernel},
    {utf8, utf8, {}, no_kernel},
    {utf8, utf16be, {u8_U, U_B}, no_kernel},
    {utf8, unicode, {u8_U, U_L}, no_kernel},

    {utf16be, ansi, {B_U, drop_U, U_A}, no_kernel},
    {utf16be, sjis, {B_U, drop_U, U_S}, no_kernel},
    {utf16be, jis, {B_U, drop_U, U_E, E_J}, no_kernel},
    {utf16be, euc, {B_U, drop_U, U_E}, no_kernel},
    {utf16be, iso2022jp, {B_U, drop_U, U_E, E_J, J_I}, no_kernel},
    {utf16be, utf8, {B_U, U_u8}, no_kernel},
    {utf16be, utf16be, {}, no_kernel},
    {utf16be, unicode, {B_U, U_L}, no_kernel},

    {unicode, ansi, {L_U, drop_U, U_A}, no_kernel},
    {unicode, sjis, {L_U, drop_U, U_S}, no_kernel},
    {unicode, jis, {L_U, drop_U, U_E, E_J}, no_kernel},
    {unicode, euc, {L_U, drop_U, U_E}, no_kernel},
    {unicode, iso2022jp, {L_U, drop_U, U_E, E_J, J_I}, no_kernel},
    {unicode, utf8, {L_U, U_u8}, no_kernel},
    {unicode, utf16be, {L_U, U_B}, no_kernel},
    {unicode, unicode, {}, no_kernel},
};

constexpr int first_converted = ansi;
constexpr int converted_count = unicode - ansi + 1;

// The rows stand where find_pair looks for them, and every chain's units meet.
constexpr bool table_is_well_formed() {
  if (std::size(pair_table) != converted_count * converted_count) return false;
  for (int i = 0; i < converted_count * converted_count; ++i) {
    const pair_row& row = pair_table[i];
    if (row.from != first_converted + i / converted_count || row.to != first_converted + i % converted_count) {
      return false;
    }
    const stage* previous = nullptr;
    for (const stage* s : row.chain) {
      if (s == nullptr) break;
      if (previous != nullptr && previous->wide_output != s->wide_input) return false;
      previous = s;
    }
    if (previous != nullptr && (previous->wide_output || row.chain[0]->wide_input)) return false;
  }
  return true;
}
static_assert(table_is_well_formed(), "pair table out of order, or a chain whose units do not meet");

bool is_converted(encoding_id id) { return id >= ansi && id <= unicode; }

// A chain as a list to walk and to trim.
struct stage_list {
  const stage* stages[max_chain_length] = {};
  std::size_t count = 0;

  const stage* const* begin() const { return stages; }
  const stage* const* end() const { return stages + count; }
  void push_back(const stage* s) { stages[count++] = s; }
};

stage_list chain_of(const pair_row& row) {
  stage_list list;
  for (const stage* s : row.chain) {
    if (s != nullptr) list.push_back(s);
  }
  return list;
}

stage_list without_signatures(const stage_list& list) {
  stage_list plain;
  for (const stage* s : list) {
    if (!s->signature) plain.push_back(s);
  }
  return plain;
}

// Bytes into `unicode`: the pair's chain to `unicode` up to its UTF-16 byte writer. Anything
// else reads the bytes as native UTF-16.
stage_list decoding_stages(encoding_id from) {
  stage_list list;
  if (from == unicode || !is_converted(from)) {
    list.push_back(L_U);
    return list;
  }
  for (const stage* s : chain_of(*find_pair(from, unicode))) {
    if (s != U_L) list.push_back(s);
  }
  return list;
}

// `unicode` into bytes: the pair's chain from `unicode` after its UTF-16 byte reader. Anything
// else writes the units as native UTF-16.
stage_list encoding_stages(encoding_id to) {
  stage_list list;
  if (to == unicode || !is_converted(to)) {
    list.push_back(U_L);
    return list;
  }
  for (const stage* s : chain_of(*find_pair(unicode, to))) {
    if (s != L_U) list.push_back(s);
  }
  return list;
}

// Runs the conversion stages over a whole text on stack engines; signature stages hand the
// text on unchanged.
template <class InputUnit, class OutputUnit>
std::basic_string<OutputUnit> run_stages(const stage_list& list, std::basic_string_view<InputUnit> input) {
  stage_text text;
  if constexpr (std::is_same_v<InputUnit, char>) {
    text.narrow_input = input;
  } else {
    text.wide_input = input;
  }
  for (const stage* s : list) {
    if (!s->signature) s->run(text);
  }
  // The last stage's output is handed over; a text that no stage touched is copied.
  if (text.converted) return std::move(held_text<OutputUnit>(text));
  if constexpr (std::is_same_v<InputUnit, OutputUnit>) {
    return std::basic_string<OutputUnit>(input);
  } else {
    return std::basic_string<OutputUnit>();
  }
}

// An engine on the heap, with the unit types it reads and writes.
struct composed_engine {
  engine_handle handle;
  bool wide_input;
  bool wide_output;
};

composed_engine make_stage_engine(const stage& s) {
  return composed_engine{engine_handle(s.make()), s.wide_input, s.wide_output};
}

template <class InputUnit, class MiddleUnit, class OutputUnit>
composed_engine make_chain(const composed_engine& first, const composed_engine& second) {
  auto* chain = new chain_engine<InputUnit, MiddleUnit, OutputUnit>(
      &first.handle.as<InputUnit, MiddleUnit>(), &second.handle.as<MiddleUnit, OutputUnit>());
  return composed_engine{engine_handle(chain), std::is_same_v<InputUnit, char16_t>,
                         std::is_same_v<OutputUnit, char16_t>};
}

composed_engine join(const composed_engine& first, const composed_engine& second) {
  MORVIK_ASSERT(first.wide_output == second.wide_input, "first.wide_output == second.wide_input");
  const int kinds = (first.wide_input ? 4 : 0) | (first.wide_output ? 2 : 0) | (second.wide_output ? 1 : 0);
  switch (kinds) {
    case 0: return make_chain<char, char, char>(first, second);
    case 1: return make_chain<char, char, char16_t>(first, second);
    case 2: return make_chain<char, char16_t, char>(first, second);
    case 3: return make_chain<char, char16_t, char16_t>(first, second);
    case 4: return make_chain<char16_t, char, char>(first, second);
    case 5: return make_chain<char16_t, char, char16_t>(first, second);
    case 6: return make_chain<char16_t, char16_t, char>(first, second);
    default: return make_chain<char16_t, char16_t, char16_t>(first, second);
  }
}

// Neighbouring stages become chains, the longer chains nested to the left.
template <class InputUnit, class OutputUnit>
engine_handle compose(const stage_list& list) {
  if (list.count == 0) {
    if constexpr (std::is_same_v<InputUnit, OutputUnit>) {
      return engine_handle(new basic_pass_through_engine<InputUnit>);
    } else {
      MORVIK_ASSERT(list.count != 0, "list.count != 0");
      return engine_handle();
    }
  }
  composed_engine result = make_stage_engine(*list.stages[0]);
  for (std::size_t i = 1; i < list.count; ++i) {
    result = join(result, make_stage_engine(*list.stages[i]));
  }
  [[maybe_unused]] constexpr bool wide_input = std::is_same_v<InputUnit, char16_t>;
  [[maybe_unused]] constexpr bool wide_output = std::is_same_v<OutputUnit, char16_t>;
  MORVIK_ASSERT(result.wide_input == wide_input, "result.wide_input == wide_input");
  MORVIK_ASSERT(result.wide_output == wide_output, "result.wide_output == wide_output");
  return result.handle;
}

// The pair's fused engine in place of its conversion stages, its signature stages around it as
// they stand in the chain (marks are dropped before a UTF-8 reader and written after a writer).
engine_handle compose_fused(const fused_conversion& fused, const stage_list& list) {
  composed_engine result{engine_handle(fused.make()), false, false};
  std::size_t first = 0;
  while (first < list.count && list.stages[first]->signature) ++first;
  for (std::size_t i = first; i-- > 0;) result = join(make_stage_engine(*list.stages[i]), result);
  for (std::size_t i = first; i < list.count; ++i) {
    if (list.stages[i]->signature) result = join(result, make_stage_engine(*list.stages[i]));
  }
  return result.handle;
}

}  // namespace

const char* stage_name(const stage& s) { return s.name; }
bool is_signature_stage(const stage& s) { return s.signature; }

const pair_row* find_pair(encoding_id from, encoding_id to) {
  if (!is_converted(from) || !is_converted(to)) return nullptr;
  return &pair_table[(from - first_converted) * converted_count + (to - first_converted)];
}

void initialize_library() {}

narrow_string translate_text_by_reference(std::string_view text, encoding_id from, encoding_id to) {
  const pair_row* row = find_pair(from, to);
  if (row == nullptr) return narrow_string(text);
  return run_stages<char, char>(chain_of(*row), text);
}

// A pair with a fused kernel converts through it, the reference chain beside it.
narrow_string translate_text(std::string_view text, encoding_id from, encoding_id to) {
  const pair_row* row = find_pair(from, to);
  if (row == nullptr) return narrow_string(text);
  if (row->kernel != nullptr) return row->kernel->translate(text);
  return run_stages<char, char>(chain_of(*row), text);
}

wide_string translate_to_unicode(std::string_view text, encoding_id from) {
  return run_stages<char, char16_t>(decoding_stages(from), text);
}

narrow_string translate_from_unicode(std::u16string_view text, encoding_id to) {
  return run_stages<char16_t, char>(encoding_stages(to), text);
}

wide_string translate_unicode(std::u16string_view text, encoding_id from, encoding_id to) {
  MORVIK_ASSERT(unicode == from, "unicode == X_from_base_encoding");
  MORVIK_ASSERT(unicode == to, "unicode == X_to_base_encoding");
  (void)from;
  (void)to;
  return wide_string(text);
}

wide_string utf8_to_unicode(std::string_view bytes) {
  utf8_to_unicode_engine engine;
  engine.translate_all(bytes);
  return std::move(engine.output);
}

template <class InputUnit, class OutputUnit>
engine_handle create_engine(encoding_id from, encoding_id to, bool with_signatures) {
  constexpr bool wide_input = std::is_same_v<InputUnit, char16_t>;
  constexpr bool wide_output = std::is_same_v<OutputUnit, char16_t>;
  stage_list list;
  if constexpr (!wide_input && !wide_output) {
    if (const pair_row* row = find_pair(from, to)) {
      list = chain_of(*row);
      if (row->kernel != nullptr) return compose_fused(*row->kernel, with_signatures ? list : without_signatures(list));
    }
  } else if constexpr (!wide_input && wide_output) {
    list = decoding_stages(to == unicode ? from : unicode);
  } else if constexpr (wide_input && !wide_output) {
    list = encoding_stages(from == unicode ? to : unicode);
  } else {
    MORVIK_ASSERT(unicode == from, "unicode == X_from_base_encoding");
    MORVIK_ASSERT(unicode == to, "unicode == X_to_base_encoding");
    (void)from;
    (void)to;
  }
  if (!with_signatures) list = without_signatures(list);
  return compose<InputUnit, OutputUnit>(list);
}

engine_handle create_reference_engine(encoding_id from, encoding_id to, bool with_signatures) {
  stage_list list;
  if (const pair_row* row = find_pair(from, to)) list = chain_of(*row);
  if (!with_signatures) list = without_signatures(list);
  return compose<char, char>(list);
}

template engine_handle create_engine<char, char>(encoding_id, encoding_id, bool);
template engine_handle create_engine<char, char16_t>(encoding_id, encoding_id, bool);
template engine_handle create_engine<char16_t, char>(encoding_id, encoding_id, bool);
template engine_handle create_engine<char16_t, char16_t>(encoding_id, encoding_id, bool);

}  // namespace morvik
