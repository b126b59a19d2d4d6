#pragma once
// The fused conversions of the pair table, one a pair with a fused kernel.
#include "morvik/pair_table.h"

namespace morvik {

extern const fused_conversion sjis_to_utf8_fused;
extern const fused_conversion sjis_to_euc_fused;
extern const fused_conversion sjis_to_jis_fused;
extern const fused_conversion euc_to_utf8_fused;
extern const fused_conversion euc_to_sjis_fused;
extern const fused_conversion utf8_to_sjis_fused;
extern const fused_conversion utf8_to_euc_fused;
extern const fused_conversion utf8_to_jis_fused;
extern const fused_conversion jis_to_utf8_fused;
extern const fused_conversion jis_to_sjis_fused;

}  // namespace morvik
