#pragma once
// The frame's one exception. Its message stays inside the module; only the status code reaches the host.
#include <cstdint>
#include <string>

namespace korvel {

struct saori_error {
  // 2 is a bad request (400); every other code is answered 500.
  static constexpr std::int32_t bad_request = 2;

  saori_error(std::int32_t status_code, std::string message)
      : status_code(status_code), message(std::move(message)) {}

  std::int32_t status_code;
  std::string message;
};

}  // namespace korvel
