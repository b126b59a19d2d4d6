// The memory hand-off at the exports, as a host sees it.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "frame/saori_exports.h"
#include "tests/frame/test_support.h"

namespace korvel {
namespace {

using testing::exchange;
using testing::hex;
using testing::host_block;
using testing::send_request;

const std::string version_probe = "GET Version SAORI/1.0\r\n\r\n";
const std::string version_answer = "SAORI/1.0 200 OK\r\n\r\n";
const std::string bad_request = "SAORI/1.0 400 Bad Request\r\n\r\n";
const std::string internal_error = "SAORI/1.0 500 Internal Server Error\r\n\r\n";

const std::string foreign_exception = "EXECUTE SAORI/1.0\r\nArgument0: foreign exception\r\n\r\n";

struct hand_off_case {
  const char* name;
  std::string block_bytes;  // what the host's block holds
  saori_long length;        // what *len says on entry
  std::string response;     // the response text; the block holds it and one NUL
};

std::string with_nul(const std::string& text) { return text + std::string(1, '\0'); }

const hand_off_case hand_off_cases[] = {
    {"version_probe", version_probe, 25, version_answer},
    {"empty_request", "", 0, bad_request},
    {"only_len_bytes_read", version_probe, 23, bad_request},
    {"bytes_beyond_len_ignored", version_probe + "Argument0: x", 25, version_answer},
    {"nul_ends_the_text", "GET Version SAORI/1.0\r\n" + with_nul("") + "\r\n", 26, bad_request},
    {"nul_after_complete_request", with_nul(version_probe) + "junk", 30, version_answer},
    {"negative_length_is_empty", version_probe, -5, bad_request},
    {"foreign_exception_is_internal_error", foreign_exception,
     static_cast<saori_long>(foreign_exception.size()), internal_error},
};

class hand_off_test : public ::testing::TestWithParam<hand_off_case> {};

TEST_P(hand_off_test, returns_response_and_nul) {
  const hand_off_case& c = GetParam();
  const exchange answer = send_request(c.block_bytes, c.length);
  ASSERT_TRUE(answer.returned_block) << c.name;
  EXPECT_EQ(answer.length, static_cast<saori_long>(c.response.size() + 1)) << c.name;
  EXPECT_EQ(answer.block_text, with_nul(c.response))
      << c.name << ":\n  got  " << hex(answer.block_text) << "\n  want " << hex(with_nul(c.response));
}

INSTANTIATE_TEST_SUITE_P(cases, hand_off_test, ::testing::ValuesIn(hand_off_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(exports, empty_request_length_is_30) {
  const exchange answer = send_request("", 0);
  EXPECT_EQ(answer.length, 30);
  EXPECT_EQ(answer.block_text, with_nul(bad_request));
}

// kawari takes the module only when the probe's answer starts with "SAORI/1."; YAYA would take a
// Charset line as its charset for the module.
TEST(exports, version_probe_length_is_21) {
  const exchange answer = send_request(version_probe);
  EXPECT_EQ(answer.length, 21);
  EXPECT_EQ(answer.block_text, with_nul("SAORI/1.0 200 OK\r\n\r\n")) << hex(answer.block_text);
}

// POSIX hosts pass a pointer to their long. A length negative as a long, whose low 32 bits say
// 25, is the empty text; and the answer's length fills the whole long.
TEST(exports, length_is_the_hosts_long) {
  if (sizeof(long) <= 4) GTEST_SKIP() << "long is 32 bits here";
  const long negative_with_low_half_25 = static_cast<long>(static_cast<unsigned long>(LONG_MIN) | 25u);
  const exchange answer = send_request(version_probe, negative_with_low_half_25);
  EXPECT_EQ(answer.length, 30);
  EXPECT_EQ(answer.block_text, with_nul(bad_request)) << hex(answer.block_text);
}

TEST(exports, null_block_reads_as_empty) {
  saori_long len = 100;
  const saori_block response = request(nullptr, &len);
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(len, 30);
  EXPECT_EQ(std::string(static_cast<const char*>(response)), bad_request);
  std::free(response);
}

TEST(exports, load_and_unload_return_true) {
  const std::string directory = "/opt/host/saori/";
  EXPECT_EQ(load(host_block(directory), static_cast<saori_long>(directory.size())), 1);
  EXPECT_EQ(load(nullptr, 0), 1);
  EXPECT_EQ(load(host_block("x"), -1), 1);
  EXPECT_EQ(unload(), 1);
}

TEST(exports, request_before_load_and_after_unload) {
  EXPECT_EQ(send_request(version_probe).block_text, with_nul(version_answer));
  const std::string directory = "/d/";
  load(host_block(directory), 3);
  unload();
  EXPECT_EQ(send_request(version_probe).block_text, with_nul(version_answer));
}

TEST(exports, two_requests_share_nothing) {
  const std::string headers = "EXECUTE SAORI/1.0\r\nArgument0: headers\r\n";
  const exchange first = send_request(headers + "Charset: UTF-8\r\nSecurityLevel: Local\r\nSender: host\r\n\r\n");
  EXPECT_EQ(first.block_text,
            with_nul("SAORI/1.0 200 OK\r\nCharset: UTF-8\r\nSender: TEST\r\nValue0: UTF-8\r\nValue1: Local\r\n"
                     "Value2: host\r\n\r\n"));
  const exchange second = send_request(headers + "\r\n");
  EXPECT_EQ(second.block_text,
            with_nul("SAORI/1.0 200 OK\r\nCharset: \r\nSender: TEST\r\nValue0: \r\nValue1: \r\nValue2: \r\n\r\n"))
      << hex(second.block_text);
}

TEST(exports, large_response_length) {
  const exchange answer =
      send_request("EXECUTE SAORI/1.0\r\nArgument0: big result\r\nArgument1: 0123456789abcdef\r\n"
                   "Argument2: 1048576\r\n\r\n");
  const std::string head = "SAORI/1.0 200 OK\r\nCharset: \r\nSender: TEST\r\nResult: ";
  ASSERT_EQ(answer.length, static_cast<saori_long>(head.size() + (16u << 20) + 4 + 1));
  EXPECT_EQ(answer.block_text.compare(0, head.size(), head), 0);
  EXPECT_EQ(answer.block_text.substr(answer.block_text.size() - 5), with_nul("\r\n\r\n"));
}

TEST(exports, null_length_pointer_still_answers) {
  const saori_block response = request(host_block(version_probe), nullptr);
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(response)), bad_request);
  std::free(response);
}

}  // namespace
}  // namespace korvel
