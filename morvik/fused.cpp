// The fused conversions: each kernel as a whole-text conversion and as a streaming engine.
#include "morvik/fused.h"

#include <string_view>
#include <utility>

#include "morvik/fused_engine.h"
#include "morvik/fused_euc.h"
#include "morvik/fused_jis.h"
#include "morvik/fused_sjis.h"
#include "morvik/fused_utf8.h"

#if defined(MORVIK_WIDE_BLOCKS) && defined(__has_include)
#if __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#define MORVIK_GLIBC_CPU_FEATURES 1
#endif
#endif

namespace morvik {

bool processor_has_wide_blocks() {
#if defined(MORVIK_WIDE_BLOCKS) && defined(MORVIK_GLIBC_CPU_FEATURES)
  // What the C library found at its start: asking again would run libgcc's cpuid probe in every
  // process, and cpuid is dear on a virtual machine.
  return CPU_FEATURE_ACTIVE(AVX512F) && CPU_FEATURE_ACTIVE(AVX512BW) && CPU_FEATURE_ACTIVE(AVX512VL) &&
         CPU_FEATURE_ACTIVE(AVX512_VBMI) && CPU_FEATURE_ACTIVE(AVX512_VBMI2) && CPU_FEATURE_ACTIVE(BMI1) &&
         CPU_FEATURE_ACTIVE(BMI2) && CPU_FEATURE_ACTIVE(POPCNT);
#elif defined(MORVIK_WIDE_BLOCKS)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
         __builtin_cpu_supports("popcnt");
#else
  return false;
#endif
}

bool wide_blocks = processor_has_wide_blocks();

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
