// libFuzzer's entry, built once per target with KORVEL_FUZZ_TARGET naming the target function.
#include <cstddef>
#include <cstdint>

#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return korvel::fuzz::KORVEL_FUZZ_TARGET(data, size);
}
