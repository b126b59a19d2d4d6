#pragma once
// The types through which the frame and the SAORI functions meet.
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvel {

// Entry N is the request's ArgumentN; entry 0 names the function. Never shorter than ten entries.
using argument_list = std::vector<std::string>;

struct saori_result {
  void set_result(std::string text) { result = std::move(text); }
  void append_value(std::string text) { values.push_back(std::move(text)); }

  std::string result;               // sent as Result when not empty
  std::vector<std::string> values;  // sent as Value0, Value1, ...
};

// True sends the result; false sends the no-contents response; failures raise saori_error.
using function_handler = std::function<bool(argument_list&, saori_result&)>;

// Function names compare byte for byte, case-sensitively.
using function_table = std::map<std::string, function_handler>;

}  // namespace korvel
