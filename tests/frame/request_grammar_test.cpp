// The request grammar over the cases that decide something: ordered choice, greedy repetition,
// argument numbers, and what other_header swallows.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "frame/saori_error.h"
#include "frame/saori_request.h"
#include "tests/frame/test_support.h"

namespace korvel {
namespace {

using testing::hex;

struct parsed_fields {
  std::string method;
  std::string charset;
  std::string security_level;
  std::string sender;
  std::map<std::size_t, std::string> arguments;  // entries that are not empty
  std::size_t argument_count = 10;
};

struct grammar_case {
  const char* name;
  std::string text;
  std::optional<parsed_fields> expected;  // nothing: the parse fails
};

// Test listings show the case by its name.
void PrintTo(const grammar_case& c, std::ostream* out) { *out << c.name; }

const std::string execute = "EXECUTE SAORI/1.0\r\n";

parsed_fields executed(std::map<std::size_t, std::string> arguments = {}, std::size_t count = 10) {
  parsed_fields fields;
  fields.method = "EXECUTE";
  fields.arguments = std::move(arguments);
  fields.argument_count = count;
  return fields;
}

parsed_fields with_headers(std::string charset, std::string security_level, std::string sender) {
  parsed_fields fields = executed();
  fields.charset = std::move(charset);
  fields.security_level = std::move(security_level);
  fields.sender = std::move(sender);
  return fields;
}

const std::optional<parsed_fields> fails;

const grammar_case grammar_cases[] = {
    // Request line.
    {"execute_with_function", execute + "Argument0: translate\r\n\r\n", executed({{0, "translate"}})},
    {"version_probe", "GET Version SAORI/1.0\r\n\r\n", [] {
       parsed_fields fields;
       fields.method = "GET Version";
       return fields;
     }()},
    {"empty_text", "", fails},
    {"request_line_only", execute, fails},
    {"lower_case_method", "execute SAORI/1.0\r\n\r\n", fails},
    {"mixed_case_version", "Get Version SAORI/1.0\r\n\r\n", fails},
    {"other_protocol_version", "EXECUTE SAORI/1.1\r\n\r\n", fails},
    {"two_spaces_before_protocol", "EXECUTE  SAORI/1.0\r\n\r\n", fails},
    {"request_line_ended_by_lf", "EXECUTE SAORI/1.0\n\r\n", fails},
    {"no_closing_empty_line", execute + "Sender: a\r\n", fails},

    // Argument numbers.
    {"argument_12_extends_list", execute + "Argument12: x\r\n\r\n", executed({{12, "x"}}, 13)},
    {"argument_plus_sign", execute + "Argument+3: x\r\n\r\n", executed({{3, "x"}})},
    {"argument_leading_zero", execute + "Argument03: x\r\n\r\n", executed({{3, "x"}})},
    {"argument_many_leading_zeros", execute + "Argument000000000000007: x\r\n\r\n", executed({{7, "x"}})},
    {"argument_minus_zero", execute + "Argument-0: x\r\n\r\n", executed({{0, "x"}})},
    {"argument_without_number", execute + "Argument: x\r\n\r\n", executed()},
    {"argument_letter", execute + "ArgumentA: x\r\n\r\n", executed()},
    {"argument_space_before_number", execute + "Argument 1: x\r\n\r\n", executed()},
    {"argument_two_signs", execute + "Argument+-1: x\r\n\r\n", executed()},
    {"argument_negative", execute + "Argument-1: x\r\n\r\n", executed()},
    {"argument_largest", execute + "Argument65535: x\r\n\r\n", executed({{65535, "x"}}, 65536)},
    {"argument_beyond_bound", execute + "Argument65536: x\r\n\r\n", executed()},
    {"argument_far_beyond_bound", execute + "Argument99999999: x\r\n\r\n", executed()},
    {"argument_int32_max", execute + "Argument2147483647: x\r\n\r\n", executed()},
    {"argument_beyond_int32", execute + "Argument2147483648: x\r\n\r\n", executed()},
    {"argument_beyond_int64", execute + "Argument99999999999999999999: x\r\n\r\n", executed()},
    {"argument_without_space", execute + "Argument1:x\r\n\r\n", fails},
    {"argument_repeated_last_wins", execute + "Argument1: a\r\nArgument1: b\r\n\r\n", executed({{1, "b"}})},
    {"argument_bytes_unchanged", execute + "Argument1: \x82\xA0 \xFF\t \r\n\r\n", executed({{1, "\x82\xA0 \xFF\t "}})},
    {"argument_value_with_colon", execute + "Argument1: a: b\r\n\r\n", executed({{1, "a: b"}})},

    // Known headers.
    {"charset_without_space", execute + "Charset:x\r\n\r\n", fails},
    {"charset_empty", execute + "Charset: \r\n\r\n", with_headers("", "", "")},
    {"three_headers", execute + "Charset: UTF-8\r\nSecurityLevel: Local\r\nSender: host\r\n\r\n",
     with_headers("UTF-8", "Local", "host")},
    {"repeated_header_last_wins", execute + "Sender: a\r\nCharset: c\r\nSender: b\r\n\r\n", with_headers("c", "", "b")},
    {"trailing_spaces_kept", execute + "Sender: a  \r\n\r\n", with_headers("", "", "a  ")},
    {"sender_value_with_colon", execute + "Sender: a: b\r\n\r\n", with_headers("", "", "a: b")},
    {"header_name_other_case", execute + "charset: x\r\n\r\n", executed()},
    {"value_ended_by_bare_lf", execute + "Sender: a\nb\r\n\r\n", fails},
    {"value_ended_by_bare_cr", execute + "Sender: a\rb\r\n\r\n", fails},

    // Ignored headers.
    {"other_header_with_colons", execute + "X-Note: a: b\r\n\r\n", executed()},
    {"other_header_empty_name", execute + ": x\r\n\r\n", executed()},
    {"line_without_colon_swallows_next", execute + "no colon\r\nSender: s\r\n\r\n", executed()},
    {"bare_lf_inside_ignored_name", execute + "ab\ncd: v\r\nSender: s\r\n\r\n", with_headers("", "", "s")},
    {"line_without_separator_fails", execute + "X-Note:a\r\n\r\n", fails},

    // After the empty line.
    {"text_after_empty_line_ignored", execute + "Sender: s\r\n\r\nEXECUTE SAORI/1.0\r\n\r\n", with_headers("", "", "s")},
    {"trailing_header_without_empty_line", execute + "\r\nX: y\r\n", fails},
    {"header_block_goes_on", execute + "\r\nX: y\r\n\r\n", executed()},
    {"header_block_goes_on_known_header", execute + "\r\nArgument1: q\r\nCharset: c\r\n\r\n", with_headers("c", "", "")},
    {"swallowed_line_is_not_an_argument", execute + "\r\nArgument1: q\r\n\r\n", executed()},
    {"colon_after_empty_line_without_space", execute + "\r\nX:y\r\n", executed()},
};

class request_grammar_test : public ::testing::TestWithParam<grammar_case> {};

TEST_P(request_grammar_test, fills_the_record) {
  const grammar_case& c = GetParam();
  saori_request request(c.text);
  std::optional<saori_error> error;
  try {
    request.parse();
  } catch (const saori_error& raised) {
    error = raised;
  }
  if (!c.expected) {
    ASSERT_TRUE(error.has_value()) << c.name << ": parsed " << hex(c.text);
    EXPECT_EQ(error->status_code, 2);
    EXPECT_EQ(error->message, "Parser error.");
    return;
  }
  ASSERT_FALSE(error.has_value()) << c.name << ": failed to parse " << hex(c.text);
  const parsed_fields& expected = *c.expected;
  EXPECT_EQ(request.method, expected.method) << c.name;
  EXPECT_EQ(request.charset, expected.charset) << c.name << " " << hex(request.charset);
  EXPECT_EQ(request.security_level, expected.security_level) << c.name << " " << hex(request.security_level);
  EXPECT_EQ(request.sender, expected.sender) << c.name << " " << hex(request.sender);
  ASSERT_EQ(request.arguments.size(), expected.argument_count) << c.name;
  for (std::size_t i = 0; i < request.arguments.size(); ++i) {
    const auto entry = expected.arguments.find(i);
    const std::string wanted = entry == expected.arguments.end() ? std::string() : entry->second;
    EXPECT_EQ(request.arguments[i], wanted)
        << c.name << " entry " << i << ": " << hex(request.arguments[i]) << " != " << hex(wanted);
  }
}

INSTANTIATE_TEST_SUITE_P(cases, request_grammar_test, ::testing::ValuesIn(grammar_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Deep inputs must be loops, not recursion, and stay linear.
TEST(request_grammar_depth, many_header_lines_and_a_long_value) {
  std::string text = execute;
  for (int i = 0; i < 100000; ++i) text += "X-Line: " + std::to_string(i) + "\r\n";
  text += "Argument1: " + std::string(16 << 20, 'v') + "\r\n";
  text += "\r\n";
  saori_request request(text);
  ASSERT_NO_THROW(request.parse());
  EXPECT_EQ(request.arguments[1].size(), std::size_t{16 << 20});
}

TEST(request_grammar_depth, long_name_without_colon_fails_cleanly) {
  std::string text = execute + std::string(16 << 20, 'n') + "\r\n";
  saori_request request(text);
  EXPECT_THROW(request.parse(), saori_error);
}

}  // namespace
}  // namespace korvel
