// Once the first request has initialised the library, any number of threads may send requests at
// once: 8 threads get exactly the responses that serial requests get. The ThreadSanitizer build
// (scripts/tsan) runs the full count; the normal run a smaller one (KORVEL_CONCURRENCY_REQUESTS).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/reliability/request_samples.h"

namespace korvel::reliability {
namespace {

constexpr int thread_count = 8;

std::size_t requests_per_thread() {
  const char* const setting = std::getenv("KORVEL_CONCURRENCY_REQUESTS");
  if (setting != nullptr && std::atoi(setting) > 0) return static_cast<std::size_t>(std::atoi(setting));
  return 1000;
}

TEST(concurrency, threads_get_the_serial_responses) {
  const std::vector<std::string> requests = sample_requests();
  std::vector<std::string> expected;
  for (const std::string& text : requests) expected.push_back(send(text));  // the first request is among them
  // The mix holds every kind of answer, and serial runs agree with themselves; otherwise the
  // comparison below would mean little.
  std::size_t served = 0, bad = 0, versions = 0;
  for (const std::string& response : expected) {
    const bool version = response.rfind("SAORI/1.0 200 OK\r\n\r\n", 0) == 0;
    versions += version;
    served += !version && response.rfind("SAORI/1.0 200 OK\r\n", 0) == 0;
    bad += response.rfind("SAORI/1.0 400 Bad Request\r\n", 0) == 0;
  }
  EXPECT_GE(served, 15u);
  EXPECT_GE(bad, 10u);
  EXPECT_EQ(versions, 2u);
  for (std::size_t i = 0; i < requests.size(); ++i)
    ASSERT_EQ(send(requests[i]), expected[i]) << "request " << i << " " << hex(requests[i]);

  const std::size_t per_thread = requests_per_thread();
  std::atomic<std::size_t> mismatches{0};
  std::mutex first_mismatch_lock;
  std::string first_mismatch;
  std::vector<std::thread> threads;
  for (int t = 0; t < thread_count; ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t k = 0; k < per_thread; ++k) {
        // Each thread walks the list in its own order, so different requests overlap.
        const std::size_t i = (k * (2 * t + 1) + static_cast<std::size_t>(t)) % requests.size();
        const std::string response = send(requests[i]);
        if (response == expected[i]) continue;
        if (mismatches++ == 0) {
          const std::lock_guard<std::mutex> hold(first_mismatch_lock);
          first_mismatch = "thread " + std::to_string(t) + ", request " + std::to_string(i) + " " + hex(requests[i]) +
                           "\n  got  " + hex(response) + "\n  want " + hex(expected[i]);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0u) << first_mismatch;
  std::printf("%d threads x %zu requests over %zu kinds\n", thread_count, per_thread, requests.size());
}

}  // namespace
}  // namespace korvel::reliability
