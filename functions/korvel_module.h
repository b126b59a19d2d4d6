#pragma once
// The KORVEL module: the object that answers one request with this system's SAORI functions.
#include <string>

#include "frame/saori_module.h"
#include "morvik/morvik.h"

namespace korvel {

class korvel_module : public basic_saori_module {
 public:
  korvel_module();

  bool analyze_encoding(argument_list& arguments, saori_result& result);
  bool auto_translate(argument_list& arguments, saori_result& result);
  bool semiauto_translate(argument_list& arguments, saori_result& result);
  bool translate(argument_list& arguments, saori_result& result);
};

// The five names that arguments and the request's Charset may give, exactly as written;
// anything else raises the "Unknown encoding name." error naming `function_name`.
morvik::encoding_id encoding_from_name(const std::string& name, const std::string& function_name);

// The name "analyze encoding" reports; "unknown" for what is not a Japanese text encoding.
const char* encoding_name(morvik::encoding_id id);

}  // namespace korvel
