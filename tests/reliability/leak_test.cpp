// A thousand requests of every kind leave nothing behind. With AddressSanitizer the leak checker
// runs right after them, so a leak fails this test by name rather than the process at exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/reliability/request_samples.h"

#if defined(__SANITIZE_ADDRESS__)
#define KORVEL_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVEL_LEAK_CHECK 1
#endif
#endif
#ifdef KORVEL_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace korvel::reliability {
namespace {

TEST(leaks, thousand_requests_leak_nothing) {
  const std::vector<std::string> requests = sample_requests();
  std::size_t answered = 0;
  for (int k = 0; k < 1000; ++k) {
    const std::string response = send(requests[static_cast<std::size_t>(k) % requests.size()]);
    if (response != "<null>") ++answered;
  }
  EXPECT_EQ(answered, 1000u);
#ifdef KORVEL_LEAK_CHECK
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer found leaks (report above)";
#else
  // Without AddressSanitizer the checker is outside: the sanitize preset, or scripts/limits --valgrind.
  std::printf("no leak checker in this build\n");
#endif
}

}  // namespace
}  // namespace korvel::reliability
