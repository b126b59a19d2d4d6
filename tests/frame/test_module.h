#pragma once
// A module whose functions exercise the frame: what it read from the request, and every way a
// function can end (values, no values, no contents, bad request, internal error, a foreign exception).
#include "frame/saori_module.h"

namespace korvel {

class test_module : public basic_saori_module {
 public:
  test_module();

 private:
  bool arguments(argument_list& arguments, saori_result& result);
  bool headers(argument_list& arguments, saori_result& result);
  bool nothing(argument_list& arguments, saori_result& result);
  bool no_contents(argument_list& arguments, saori_result& result);
  bool twelve_values(argument_list& arguments, saori_result& result);
  bool empty_value(argument_list& arguments, saori_result& result);
  bool bad_request(argument_list& arguments, saori_result& result);
  bool internal_error(argument_list& arguments, saori_result& result);
  bool foreign_exception(argument_list& arguments, saori_result& result);
  bool big_result(argument_list& arguments, saori_result& result);
};

}  // namespace korvel
