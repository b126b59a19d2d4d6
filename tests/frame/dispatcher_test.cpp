// The dispatcher: the version probe, function look-up, the success response line by line, and
// every way a function can end.
#include <gtest/gtest.h>

#include <string>

#include "tests/frame/test_module.h"
#include "tests/frame/test_support.h"

namespace korvel {
namespace {

using testing::hex;

struct dispatch_case {
  const char* name;
  std::string request;
  std::string response;
  bool served;
};

const std::string execute = "EXECUTE SAORI/1.0\r\n";
const std::string version = "SAORI/1.0 200 OK\r\n\r\n";
const std::string no_contents = "SAORI/1.0 204 No Content\r\n\r\n";
const std::string bad_request = "SAORI/1.0 400 Bad Request\r\n\r\n";
const std::string internal_error = "SAORI/1.0 500 Internal Server Error\r\n\r\n";
const std::string ok_head = "SAORI/1.0 200 OK\r\nCharset: \r\nSender: TEST\r\n";

std::string call(const std::string& function, const std::string& headers = "") {
  return execute + headers + "Argument0: " + function + "\r\n\r\n";
}

const dispatch_case dispatch_cases[] = {
    {"version_probe", "GET Version SAORI/1.0\r\n\r\n", version, true},
    {"version_probe_with_headers", "GET Version SAORI/1.0\r\nArgument0: nothing\r\nCharset: x\r\n\r\n", version,
     true},
    {"unparsable", "EXECUTE SAORI/1.0\r\n", bad_request, false},
    {"empty", "", bad_request, false},
    {"no_arguments", execute + "\r\n", bad_request, false},
    {"unknown_function", call("translate"), bad_request, false},
    {"function_in_other_case", call("Nothing"), bad_request, false},
    {"function_with_trailing_space", call("nothing "), bad_request, false},
    {"nothing_gives_three_header_lines", call("nothing"), ok_head + "\r\n", true},
    {"charset_echoed_when_function_keeps_it", call("nothing", "Charset: EUC-JP\r\n"),
     "SAORI/1.0 200 OK\r\nCharset: EUC-JP\r\nSender: TEST\r\n\r\n", true},
    {"function_sets_charset", execute + "Charset: a\r\nArgument0: headers\r\nArgument1: UTF-8\r\n\r\n",
     "SAORI/1.0 200 OK\r\nCharset: UTF-8\r\nSender: TEST\r\nValue0: a\r\nValue1: \r\nValue2: \r\n\r\n", true},
    {"header_values_reach_the_module",
     call("headers", "Sender: host\r\nSecurityLevel: External\r\nCharset: JIS\r\nSender: last\r\n"),
     "SAORI/1.0 200 OK\r\nCharset: JIS\r\nSender: TEST\r\nValue0: JIS\r\nValue1: External\r\nValue2: last\r\n\r\n",
     true},
    {"twelve_values_numbered", call("twelve values"),
     ok_head +
         "Value0: v0\r\nValue1: v1\r\nValue2: v2\r\nValue3: v3\r\nValue4: v4\r\nValue5: v5\r\nValue6: v6\r\n"
         "Value7: v7\r\nValue8: v8\r\nValue9: v9\r\nValue10: v10\r\nValue11: v11\r\n\r\n",
     true},
    {"empty_value_still_sent", call("empty value"), ok_head + "Value0: \r\n\r\n", true},
    {"result_before_values",
     execute + "Argument0: arguments\r\nArgument2: b\r\nArgument11: \xFF\r\nArgument1: a\r\n\r\n",
     ok_head +
         "Result: 12\r\nValue0: arguments\r\nValue1: a\r\nValue2: b\r\nValue3: \r\nValue4: \r\nValue5: \r\n"
         "Value6: \r\nValue7: \r\nValue8: \r\nValue9: \r\nValue10: \r\nValue11: \xFF\r\n\r\n",
     true},
    {"false_gives_no_contents", call("no contents"), no_contents, true},
    {"status_2_is_bad_request", call("bad request"), bad_request, false},
    {"status_3_is_internal_error", call("internal error"), internal_error, false},
};

class dispatcher_test : public ::testing::TestWithParam<dispatch_case> {};

TEST_P(dispatcher_test, answers_byte_for_byte) {
  const dispatch_case& c = GetParam();
  test_module module;
  std::string response = "left over";
  const bool served = module.request(c.request, response);
  EXPECT_EQ(response, c.response) << c.name << ":\n  got  " << hex(response) << "\n  want " << hex(c.response);
  EXPECT_EQ(served, c.served) << c.name;
}

INSTANTIATE_TEST_SUITE_P(cases, dispatcher_test, ::testing::ValuesIn(dispatch_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Exceptions other than saori_error are the exports' business, not the dispatcher's.
TEST(dispatcher_foreign_exception, passes_through) {
  test_module module;
  std::string response;
  EXPECT_THROW(module.request(call("foreign exception"), response), std::runtime_error);
}

TEST(function_table, handlers_are_bound_to_their_module) {
  test_module first;
  test_module second;
  first.charset = "first";
  second.charset = "second";
  argument_list arguments(10);
  saori_result result;
  ASSERT_TRUE(first.function_table.at("headers")(arguments, result));
  ASSERT_EQ(result.values.size(), 3u);
  EXPECT_EQ(result.values[0], "first");
  EXPECT_EQ(first.function_table.count("Headers"), 0u);
}

}  // namespace
}  // namespace korvel
