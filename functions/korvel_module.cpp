#include "functions/korvel_module.h"

#include <cstddef>
#include <utility>

#include "frame/saori_error.h"

namespace korvel {
namespace {

// Analysis looks at the head of the text only; conversion always covers all of it.
constexpr std::size_t analysis_length = morvik::analysis_length;

constexpr const char* default_encoding_name = "Shift_JIS";

[[noreturn]] void raise(const std::string& function_name, const char* text) {
  throw saori_error(saori_error::bad_request, "'KORVEL::" + function_name + "' " + text);
}

void require_arguments(const argument_list& arguments, std::size_t count, const std::string& function_name) {
  if (arguments.size() < count) raise(function_name, "Argument error.");
}

// An optional argument beyond the list reads as absent.
const std::string& optional_argument(const argument_list& arguments, std::size_t index) {
  static const std::string absent;
  return index < arguments.size() ? arguments[index] : absent;
}

// The target of a conversion: the named encoding, or Shift_JIS when the argument is empty.
std::pair<morvik::encoding_id, std::string> target_of(const std::string& argument,
                                                       const std::string& function_name) {
  if (argument.empty()) return {morvik::default_encoding(), default_encoding_name};
  return {encoding_from_name(argument, function_name), argument};
}

// The request's Charset as hosts spell it: YAYA writes EUC-JP as "EUC_JP".
morvik::encoding_id encoding_from_charset(const std::string& charset, const std::string& function_name) {
  if (charset == "EUC_JP") return morvik::euc;
  return encoding_from_name(charset, function_name);
}

bool answer_conversion(std::string_view text, morvik::encoding_id from,
                       const std::pair<morvik::encoding_id, std::string>& target, std::string& charset,
                       saori_result& result) {
  result.set_result(morvik::translate_text(text, from, target.first));
  result.append_value(target.second);
  charset = target.second;
  return true;
}

}  // namespace

morvik::encoding_id encoding_from_name(const std::string& name, const std::string& function_name) {
  static const std::pair<const char*, morvik::encoding_id> names[] = {
      {"Shift_JIS", morvik::sjis}, {"EUC-JP", morvik::euc}, {"UTF-8", morvik::utf8},
      {"ISO-2022-JP", morvik::iso2022jp}, {"JIS", morvik::jis},
  };
  for (const auto& [known, id] : names)
    if (name == known) return id;
  raise(function_name, "Unknown encoding name.");
}

const char* encoding_name(morvik::encoding_id id) {
  switch (id) {
    case morvik::ansi: return "ANSI";
    case morvik::sjis: return "Shift_JIS";
    case morvik::jis: return "JIS";
    case morvik::euc: return "EUC-JP";
    case morvik::iso2022jp: return "ISO-2022-JP";
    case morvik::utf8: return "UTF-8";
    default: return "unknown";
  }
}

korvel_module::korvel_module() {
  module_name = "KORVEL";
  register_function("analyze encoding", &korvel_module::analyze_encoding);
  register_function("auto translate", &korvel_module::auto_translate);
  register_function("semiauto translate", &korvel_module::semiauto_translate);
  register_function("translate", &korvel_module::translate);
  morvik::initialize_library();
}

bool korvel_module::analyze_encoding(argument_list& arguments, saori_result& result) {
  require_arguments(arguments, 2, "analyze encoding");
  result.set_result(encoding_name(morvik::detect_encoding(arguments[1], analysis_length)));
  charset = "UTF-8";
  return true;
}

bool korvel_module::auto_translate(argument_list& arguments, saori_result& result) {
  const std::string function_name = "auto translate";
  require_arguments(arguments, 2, function_name);
  const auto target = target_of(optional_argument(arguments, 2), function_name);
  const morvik::encoding_id from = morvik::detect_encoding(arguments[1], analysis_length);
  return answer_conversion(arguments[1], from, target, charset, result);
}

bool korvel_module::semiauto_translate(argument_list& arguments, saori_result& result) {
  const std::string function_name = "semiauto translate";
  require_arguments(arguments, 2, function_name);
  const auto target = target_of(optional_argument(arguments, 2), function_name);
  const morvik::encoding_id from = encoding_from_charset(charset, function_name);
  return answer_conversion(arguments[1], from, target, charset, result);
}

bool korvel_module::translate(argument_list& arguments, saori_result& result) {
  const std::string function_name = "translate";
  require_arguments(arguments, 3, function_name);
  const auto target = target_of(optional_argument(arguments, 3), function_name);
  const morvik::encoding_id from = encoding_from_name(arguments[2], function_name);
  return answer_conversion(arguments[1], from, target, charset, result);
}

std::unique_ptr<saori_module> create_saori_module() { return std::make_unique<korvel_module>(); }

}  // namespace korvel
