#pragma once
// The fuzz targets as plain functions: libFuzzer calls them through fuzzer_main.cpp, and the
// normal test run replays fuzz/regressions/ through the same functions.
#include <cstddef>
#include <cstdint>
#include <string>

namespace korvel::fuzz {

// The whole request path: the input is the host's block, handed to the exported `request`.
int request_target(const std::uint8_t* data, std::size_t size);
// translate_text for one of the 144 pairs of identifiers 0-11, chosen by the first byte.
int translate_target(const std::uint8_t* data, std::size_t size);
// A streaming engine fed in random pieces against the one-shot translate_text.
int stream_target(const std::uint8_t* data, std::size_t size);
// detect_encoding with a random max_length; nothing past max_length may be read.
int detect_target(const std::uint8_t* data, std::size_t size);
// The fused conversions against the reference chains, whole and in random pieces.
int fused_target(const std::uint8_t* data, std::size_t size);
// The command's streaming conversion with its options, in one block against tiny blocks.
int command_target(const std::uint8_t* data, std::size_t size);

struct target {
  const char* name;  // also the directory name under fuzz/regressions/ and the corpus
  int (*run)(const std::uint8_t*, std::size_t);
};
inline constexpr target all_targets[] = {
    {"request", request_target},
    {"translate", translate_target},
    {"stream", stream_target},
    {"detect", detect_target},
    {"fused", fused_target},
    {"command", command_target},
};

// A broken property. Under libFuzzer the process aborts so the input is saved as a finding; a
// test that replays inputs installs a handler that throws instead.
using failure_handler = void (*)(const std::string& message);
void set_failure_handler(failure_handler handler);
[[noreturn]] void fail(const std::string& message);

std::string hex(const std::string& bytes, std::size_t limit = 256);

}  // namespace korvel::fuzz
