#pragma once
// Contracts that no input can reach; the text names the condition.
#include <cassert>

#define MORVIK_ASSERT(condition, text) assert((condition) && text)
