#pragma once
// One parsed SAORI/1.0 request. The dispatcher parses first and reads only this record afterwards.
#include <cstdint>
#include <string>
#include <string_view>

#include "frame/function_table.h"

namespace korvel {

class saori_request {
 public:
  // Argument numbers above this name no entry; such lines are read as ignored headers.
  static constexpr std::int32_t max_argument_index = 65535;

  explicit saori_request(const std::string& request_text);

  // Runs request_grammar over the whole text; raises saori_error(2, "Parser error.") when it does not match.
  void parse();

  // Action of argument_line: grows the list as far as the number reaches, last line wins.
  void store_argument(std::int32_t index, std::string_view value);

  std::string charset;
  std::string method;
  std::string security_level;
  std::string sender;
  const std::string& request_text;
  argument_list arguments;
  std::int32_t argument_index = 0;
};

}  // namespace korvel
