// The conversion front door: which stages serve a pair of encodings, running them over a
// whole text, and composing them into one engine for streaming callers.
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "morvik/ansi_sjis.h"
#include "morvik/assertion.h"
#include "morvik/engine.h"
#include "morvik/euc.h"
#include "morvik/jis.h"
#include "morvik/morvik.h"
#include "morvik/utf.h"

namespace morvik {
namespace {

enum class stage : std::uint8_t {
  ansi_read,       // A>U
  ansi_write,      // U>A
  sjis_read,       // S>U
  sjis_write,      // U>S
  euc_read,        // E>U
  euc_write,       // U>E
  utf8_read,       // 8>U
  utf8_write,      // U>8
  utf16be_read,    // B>U
  utf16be_write,   // U>B
  utf16le_read,    // L>U
  utf16le_write,   // U>L
  sjis_to_jis,     // S>J
  sjis_to_euc,     // S>E
  jis_to_euc,      // J>E
  euc_to_jis,      // E>J
  jis_to_iso2022jp,  // J>I
  utf8_bom_writer,
  unicode_bom_writer,
  utf8_bom_remover,
  unicode_bom_remover,
};

template <class Engine>
struct engine_tag {
  using type = Engine;
};

template <class Visitor>
decltype(auto) visit_stage(stage s, Visitor&& visit) {
  switch (s) {
    case stage::ansi_read: return visit(engine_tag<ansi_to_unicode_engine>{});
    case stage::ansi_write: return visit(engine_tag<unicode_to_ansi_engine>{});
    case stage::sjis_read: return visit(engine_tag<sjis_to_unicode_engine>{});
    case stage::sjis_write: return visit(engine_tag<unicode_to_sjis_engine>{});
    case stage::euc_read: return visit(engine_tag<euc_to_unicode_engine>{});
    case stage::euc_write: return visit(engine_tag<unicode_to_euc_engine>{});
    case stage::utf8_read: return visit(engine_tag<utf8_to_unicode_engine>{});
    case stage::utf8_write: return visit(engine_tag<unicode_to_utf8_engine>{});
    case stage::utf16be_read: return visit(engine_tag<utf16be_to_unicode_engine>{});
    case stage::utf16be_write: return visit(engine_tag<unicode_to_utf16be_engine>{});
    case stage::utf16le_read: return visit(engine_tag<utf16le_to_unicode_engine>{});
    case stage::utf16le_write: return visit(engine_tag<unicode_to_utf16le_engine>{});
    case stage::sjis_to_jis: return visit(engine_tag<sjis_to_jis_engine>{});
    case stage::sjis_to_euc: return visit(engine_tag<sjis_to_euc_engine>{});
    case stage::jis_to_euc: return visit(engine_tag<jis_to_euc_engine>{});
    case stage::euc_to_jis: return visit(engine_tag<euc_to_jis_engine>{});
    case stage::jis_to_iso2022jp: return visit(engine_tag<jis_to_iso2022jp_engine>{});
    case stage::utf8_bom_writer: return visit(engine_tag<utf8_bom_writer_engine>{});
    case stage::unicode_bom_writer: return visit(engine_tag<unicode_bom_writer_engine>{});
    case stage::utf8_bom_remover: return visit(engine_tag<utf8_bom_remover_engine>{});
    case stage::unicode_bom_remover: break;
  }
  return visit(engine_tag<unicode_bom_remover_engine>{});
}

template <class Engine>
inline constexpr bool is_signature_engine =
    std::is_same_v<Engine, utf8_bom_writer_engine> || std::is_same_v<Engine, unicode_bom_writer_engine> ||
    std::is_same_v<Engine, utf8_bom_remover_engine> || std::is_same_v<Engine, unicode_bom_remover_engine>;

// At most four conversion stages and one signature stage.
struct stage_list {
  stage stages[6];
  int count = 0;

  void push_back(stage s) { stages[count++] = s; }
  void push_front(stage s) { insert(0, s); }
  void insert(int at, stage s) {
    for (int i = count; i > at; --i) stages[i] = stages[i - 1];
    stages[at] = s;
    ++count;
  }
  void erase(int at) {
    for (int i = at; i + 1 < count; ++i) stages[i] = stages[i + 1];
    --count;
  }
  const stage* begin() const { return stages; }
  const stage* end() const { return stages + count; }
};

bool is_japanese_byte_encoding(encoding_id id) {
  return id == ansi || id == sjis || id == jis || id == euc || id == iso2022jp;
}

bool is_converted(encoding_id id) { return id >= ansi && id <= unicode; }

// Into `unicode`: JIS (and ISO-2022-JP) is read through EUC-JP.
void append_reading_stages(stage_list& list, encoding_id from) {
  switch (from) {
    case ansi: list.push_back(stage::ansi_read); break;
    case sjis: list.push_back(stage::sjis_read); break;
    case jis:
    case iso2022jp:
      list.push_back(stage::jis_to_euc);
      list.push_back(stage::euc_read);
      break;
    case euc: list.push_back(stage::euc_read); break;
    case utf8: list.push_back(stage::utf8_read); break;
    case utf16be: list.push_back(stage::utf16be_read); break;
    default: list.push_back(stage::utf16le_read); break;
  }
}

// Out of `unicode`: JIS is written through EUC-JP, ISO-2022-JP through JIS.
void append_writing_stages(stage_list& list, encoding_id to) {
  switch (to) {
    case ansi: list.push_back(stage::ansi_write); break;
    case sjis: list.push_back(stage::sjis_write); break;
    case jis:
    case iso2022jp:
      list.push_back(stage::euc_write);
      list.push_back(stage::euc_to_jis);
      if (to == iso2022jp) list.push_back(stage::jis_to_iso2022jp);
      break;
    case euc: list.push_back(stage::euc_write); break;
    case utf8: list.push_back(stage::utf8_write); break;
    case utf16be: list.push_back(stage::utf16be_write); break;
    default: list.push_back(stage::utf16le_write); break;
  }
}

// The byte-to-byte pair table. False for a pair whose text is copied. ISO-2022-JP to ASCII
// is read like JIS, as for every other target.
bool find_stages(encoding_id from, encoding_id to, stage_list& list) {
  if (from == to || !is_converted(from) || !is_converted(to)) return false;
  // ASCII is already valid in every ASCII-compatible target.
  if (from == ansi && to != utf16be && to != unicode) return false;
  if (from == iso2022jp && to == jis) return false;
  if (from == sjis && to == jis) {
    list.push_back(stage::sjis_to_jis);
  } else if (from == sjis && to == euc) {
    list.push_back(stage::sjis_to_euc);
  } else if (from == sjis && to == iso2022jp) {
    list.push_back(stage::sjis_to_jis);
    list.push_back(stage::jis_to_iso2022jp);
  } else if ((from == jis || from == iso2022jp) && to == euc) {
    list.push_back(stage::jis_to_euc);
  } else if (from == jis && to == iso2022jp) {
    list.push_back(stage::jis_to_iso2022jp);
  } else if (from == euc && to == jis) {
    list.push_back(stage::euc_to_jis);
  } else if (from == euc && to == iso2022jp) {
    list.push_back(stage::euc_to_jis);
    list.push_back(stage::jis_to_iso2022jp);
  } else {
    append_reading_stages(list, from);
    append_writing_stages(list, to);
  }
  return true;
}

// Where the byte-order-mark stages stand in a pair's chain.
void add_signature_stages(encoding_id from, encoding_id to, stage_list& list) {
  const bool japanese_source = is_japanese_byte_encoding(from);
  if (japanese_source && to == utf8) {
    list.push_back(stage::utf8_bom_writer);
  } else if (japanese_source && (to == utf16be || to == unicode)) {
    list.insert(list.count - 1, stage::unicode_bom_writer);
  } else if (from == utf8 && is_japanese_byte_encoding(to) && to != ansi) {
    list.push_front(stage::utf8_bom_remover);
  } else if ((from == utf16be || from == unicode) && is_japanese_byte_encoding(to)) {
    list.insert(1, stage::unicode_bom_remover);
  }
}

// The pair's chain, with the signature stages; false when the text is copied (and no
// signature stage applies).
bool pair_stages(encoding_id from, encoding_id to, stage_list& list) {
  bool found = find_stages(from, to, list);
  if (!found && !(from == ansi && to == utf8)) return false;  // ansi to utf8 only writes a mark
  add_signature_stages(from, to, list);
  return list.count != 0;
}

// Bytes into `unicode`: the pair's chain to `unicode` without the final UTF-16 byte writer.
stage_list decoding_stages(encoding_id from) {
  stage_list list;
  if (from == unicode || !is_converted(from)) {
    list.push_back(stage::utf16le_read);
    return list;
  }
  pair_stages(from, unicode, list);
  list.erase(list.count - 1);
  return list;
}

// `unicode` into bytes: the pair's chain from `unicode` without the first UTF-16 byte reader.
stage_list encoding_stages(encoding_id to) {
  stage_list list;
  if (to == unicode || !is_converted(to)) {
    list.push_back(stage::utf16le_write);
    return list;
  }
  pair_stages(unicode, to, list);
  list.erase(0);
  return list;
}

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
std::basic_string<Unit>& held_text(narrow_string& narrow, wide_string& wide) {
  if constexpr (std::is_same_v<Unit, char>) {
    return narrow;
  } else {
    return wide;
  }
}

// Runs the stages over a whole text on stack engines; each stage takes the whole output of
// the one before, which becomes its `rest` without a copy. Signature stages are constructed
// and hand the text on unchanged.
template <class InputUnit, class OutputUnit>
std::basic_string<OutputUnit> run_stages(const stage_list& list, std::basic_string_view<InputUnit> text) {
  narrow_string narrow;
  wide_string wide;
  bool converted = false;  // false while the text is still the caller's
  for (stage s : list) {
    visit_stage(s, [&](auto tag) {
      using engine_type = typename decltype(tag)::type;
      if constexpr (!is_signature_engine<engine_type>) {
        using input_unit = typename engine_type::input_unit;
        engine_type engine;
        if (converted) {
          engine.rest.swap(held_text<input_unit>(narrow, wide));
        } else if constexpr (std::is_same_v<input_unit, InputUnit>) {
          engine.rest.assign(text.data(), text.size());
        }
        engine.output.reserve(output_estimate<engine_type>(engine.rest.size()));
        engine.translate();
        engine.flush();
        held_text<typename engine_type::output_unit>(narrow, wide) = std::move(engine.output);
        converted = true;
      }
    });
  }
  // The last stage's output is handed over; a text that no stage touched is copied.
  if (converted) return std::move(held_text<OutputUnit>(narrow, wide));
  if constexpr (std::is_same_v<InputUnit, OutputUnit>) {
    return std::basic_string<OutputUnit>(text);
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

composed_engine make_stage_engine(stage s) {
  return visit_stage(s, [](auto tag) {
    using engine_type = typename decltype(tag)::type;
    return composed_engine{engine_handle(new engine_type),
                           std::is_same_v<typename engine_type::input_unit, char16_t>,
                           std::is_same_v<typename engine_type::output_unit, char16_t>};
  });
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
  composed_engine result = make_stage_engine(list.stages[0]);
  for (int i = 1; i < list.count; ++i) {
    result = join(result, make_stage_engine(list.stages[i]));
  }
  [[maybe_unused]] constexpr bool wide_input = std::is_same_v<InputUnit, char16_t>;
  [[maybe_unused]] constexpr bool wide_output = std::is_same_v<OutputUnit, char16_t>;
  MORVIK_ASSERT(result.wide_input == wide_input, "result.wide_input == wide_input");
  MORVIK_ASSERT(result.wide_output == wide_output, "result.wide_output == wide_output");
  return result.handle;
}

stage_list without_signatures(const stage_list& list) {
  stage_list plain;
  for (stage s : list) {
    visit_stage(s, [&](auto tag) {
      if constexpr (!is_signature_engine<typename decltype(tag)::type>) plain.push_back(s);
    });
  }
  return plain;
}

}  // namespace

void initialize_library() {
  // The katakana maps are constant data, complete before any code runs: there is nothing
  // left to fill, so a conversion that starts while another thread calls this sees
  // complete maps. The function stays the one place for one-time start-up work.
}

narrow_string translate_text(std::string_view text, encoding_id from, encoding_id to) {
  stage_list list;
  if (!pair_stages(from, to, list)) return narrow_string(text);
  return run_stages<char, char>(list, text);
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
    pair_stages(from, to, list);
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

template engine_handle create_engine<char, char>(encoding_id, encoding_id, bool);
template engine_handle create_engine<char, char16_t>(encoding_id, encoding_id, bool);
template engine_handle create_engine<char16_t, char>(encoding_id, encoding_id, bool);
template engine_handle create_engine<char16_t, char16_t>(encoding_id, encoding_id, bool);

}  // namespace morvik
