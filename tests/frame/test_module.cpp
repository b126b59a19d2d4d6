#include "tests/frame/test_module.h"

#include <stdexcept>
#include <string>

#include "frame/saori_error.h"

namespace korvel {

test_module::test_module() {
  module_name = "TEST";
  register_function("arguments", &test_module::arguments);
  register_function("headers", &test_module::headers);
  register_function("nothing", &test_module::nothing);
  register_function("no contents", &test_module::no_contents);
  register_function("twelve values", &test_module::twelve_values);
  register_function("empty value", &test_module::empty_value);
  register_function("bad request", &test_module::bad_request);
  register_function("internal error", &test_module::internal_error);
  register_function("foreign exception", &test_module::foreign_exception);
  register_function("big result", &test_module::big_result);
}

// Result: the number of entries; one value per entry.
bool test_module::arguments(argument_list& arguments, saori_result& result) {
  result.set_result(std::to_string(arguments.size()));
  for (const std::string& entry : arguments) result.append_value(entry);
  return true;
}

// The header values as the dispatcher copied them; the response's Charset is Argument1 when given.
bool test_module::headers(argument_list& arguments, saori_result& result) {
  result.append_value(charset);
  result.append_value(security_level);
  result.append_value(sender);
  if (!arguments[1].empty()) charset = arguments[1];
  return true;
}

bool test_module::nothing(argument_list&, saori_result&) { return true; }

bool test_module::no_contents(argument_list&, saori_result& result) {
  result.set_result("discarded");
  return false;
}

bool test_module::twelve_values(argument_list&, saori_result& result) {
  for (int i = 0; i < 12; ++i) result.append_value("v" + std::to_string(i));
  return true;
}

bool test_module::empty_value(argument_list&, saori_result& result) {
  result.append_value("");
  return true;
}

bool test_module::bad_request(argument_list&, saori_result& result) {
  result.set_result("discarded");
  throw saori_error(saori_error::bad_request, "'TEST::bad request' Argument error.");
}

bool test_module::internal_error(argument_list&, saori_result& result) {
  result.append_value("discarded");
  throw saori_error(3, "'TEST::internal error' status 3");
}

bool test_module::foreign_exception(argument_list&, saori_result&) {
  throw std::runtime_error("not a saori_error");
}

// Argument1 bytes repeated Argument2 times, as the result.
bool test_module::big_result(argument_list& arguments, saori_result& result) {
  const unsigned long count = std::stoul(arguments[2]);
  std::string text;
  text.reserve(arguments[1].size() * count);
  for (unsigned long i = 0; i < count; ++i) text += arguments[1];
  result.set_result(std::move(text));
  return true;
}

std::unique_ptr<saori_module> create_saori_module() { return std::make_unique<test_module>(); }

}  // namespace korvel
