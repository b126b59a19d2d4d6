// The fused conversions: each kernel as a whole-text conversion and as a streaming engine.
#include "morvik/fused.h"

#include <string_view>
#include <utility>

#include "morvik/fused_engine.h"
#include "morvik/fused_euc.h"
#include "morvik/fused_jis.h"
#include "morvik/fused_sjis.h"
#include "morvik/fused_utf8.h"

#if defined(MORVIK_WIDE_BLOCKS)
#include <cpuid.h>
#endif

namespace morvik {

namespace {

bool ask_processor_for_wide_blocks() {
#if defined(MORVIK_WIDE_BLOCKS)
  // Three cpuid instructions and the register state the system saves, not libgcc's probe, whose
  // constructor runs a dozen in every process: on a virtual machine each one is dear (1.9 µs).
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_POPCNT)) return false;
  unsigned saved_low = 0, saved_high = 0;
  __asm__("xgetbv" : "=a"(saved_low), "=d"(saved_high) : "c"(0));
  constexpr unsigned zmm_state = 0xE6;  // SSE, AVX, the mask registers and all of ZMM
  if ((saved_low & zmm_state) != zmm_state) return false;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  const unsigned ebx_wanted = bit_AVX512F | bit_AVX512BW | bit_AVX512VL | bit_BMI | bit_BMI2;
  const unsigned ecx_wanted = bit_AVX512VBMI | bit_AVX512VBMI2;
  return (b & ebx_wanted) == ebx_wanted && (c & ecx_wanted) == ecx_wanted;
#else
  return false;
#endif
}

}  // namespace

// Asked once a process, when a kernel that has the blocks first runs: processes that convert
// nothing else (a module loaded, --detect) never pay its cpuid instructions.
bool processor_has_wide_blocks() {
  static const bool has = ask_processor_for_wide_blocks();
  return has;
}

bool wide_blocks = true;

namespace {

template <class Kernel>
narrow_string translate_fused(std::string_view text) {
  fused_engine<Kernel> engine;
  // Most text gives at most half as much again (two bytes to three): grow once.
  engine.output.reserve(text.size() + text.size() / 2 + fused_overrun);
  engine.convert(text);
  engine.flush();
  return std::move(engine.output);
}

template <class Kernel>
translate_engine* make_fused() {
  return new fused_engine<Kernel>;
}

template <class Kernel>
constexpr fused_conversion fused_of() {
  return fused_conversion{&translate_fused<Kernel>, &make_fused<Kernel>};
}

}  // namespace

const fused_conversion sjis_to_utf8_fused = fused_of<sjis_to_utf8_kernel>();
const fused_conversion sjis_to_euc_fused = fused_of<sjis_to_euc_kernel>();
const fused_conversion sjis_to_jis_fused = fused_of<sjis_to_jis_kernel>();
const fused_conversion euc_to_utf8_fused = fused_of<euc_to_utf8_kernel>();
const fused_conversion euc_to_sjis_fused = fused_of<euc_to_sjis_kernel>();
const fused_conversion utf8_to_sjis_fused = fused_of<utf8_to_sjis_kernel>();
const fused_conversion utf8_to_euc_fused = fused_of<utf8_to_euc_kernel>();
const fused_conversion utf8_to_jis_fused = fused_of<utf8_to_jis_kernel>();
const fused_conversion jis_to_utf8_fused = fused_of<jis_to_utf8_kernel>();
const fused_conversion jis_to_sjis_fused = fused_of<jis_to_sjis_kernel>();

}  // namespace morvik
