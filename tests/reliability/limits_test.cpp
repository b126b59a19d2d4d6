// Big requests parse without deep recursion: 100,000 header lines and a 16 MB header value are
// answered by a thread with a 256 KiB stack, through the exported request.
#include <gtest/gtest.h>
#include <pthread.h>

#include <string>

#include "tests/reliability/request_samples.h"

namespace korvel::reliability {
namespace {

constexpr std::size_t small_stack = 256 * 1024;

struct stack_call {
  const std::string* request_text;
  std::string response;
};

void* answer_on_small_stack(void* argument) {
  auto* call = static_cast<stack_call*>(argument);
  call->response = send(*call->request_text);
  return nullptr;
}

// Sends the request from a thread whose stack is `small_stack` bytes.
std::string send_on_small_stack(const std::string& text) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  EXPECT_EQ(pthread_attr_setstacksize(&attributes, small_stack), 0);
  stack_call call{&text, std::string()};
  pthread_t thread;
  EXPECT_EQ(pthread_create(&thread, &attributes, answer_on_small_stack, &call), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  return call.response;
}

std::string header_lines(std::size_t count) {
  std::string lines;
  for (std::size_t i = 0; i < count; ++i) {
    switch (i % 4) {
      case 0: lines += "X-Line-" + std::to_string(i) + ": value " + std::to_string(i) + "\r\n"; break;
      case 1: lines += "Sender: host " + std::to_string(i) + "\r\n"; break;
      case 2: lines += "Argument" + std::to_string(4 + i % 5) + ": argument\r\n"; break;
      default: lines += ": nameless\r\n"; break;
    }
  }
  return lines;
}

const std::string analysis_response =
    std::string("SAORI/1.0 200 OK\r\nCharset: UTF-8\r\nSender: KORVEL\r\nResult: ANSI\r\n\r\n") + '\0';

struct limit_case {
  const char* name;
  std::string request_text;
  std::string response;  // the whole block, NUL included
};

TEST(limits, big_requests_on_a_small_stack) {
  const std::string value(16u << 20, 'v');
  const limit_case cases[] = {
      {"version_probe_after_100000_header_lines",
       "GET Version SAORI/1.0\r\n" + header_lines(100000) + "\r\n",
       std::string("SAORI/1.0 200 OK\r\n\r\n") + '\0'},
      {"analysis_after_100000_header_lines",
       "EXECUTE SAORI/1.0\r\n" + header_lines(100000) + "Argument0: analyze encoding\r\nArgument1: plain\r\n\r\n",
       analysis_response},
      {"sixteen_megabyte_sender", "EXECUTE SAORI/1.0\r\nSender: " + value +
                                      "\r\nArgument0: analyze encoding\r\nArgument1: plain\r\n\r\n",
       analysis_response},
      {"sixteen_megabyte_argument",
       "EXECUTE SAORI/1.0\r\nArgument0: analyze encoding\r\nArgument1: " + value + "\r\n\r\n", analysis_response},
      {"sixteen_megabyte_ignored_header",
       "EXECUTE SAORI/1.0\r\nX-Big: " + value + "\r\nArgument0: analyze encoding\r\nArgument1: plain\r\n\r\n",
       analysis_response},
  };
  for (const limit_case& c : cases) {
    const std::string response = send_on_small_stack(c.request_text);
    EXPECT_EQ(response, c.response) << c.name << "\n  got  " << hex(response) << "\n  want " << hex(c.response);
  }
}

}  // namespace
}  // namespace korvel::reliability
