#include "frame/host_memory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace korvel {

#ifdef _WIN32
void* allocate_host_block(std::size_t size) noexcept { return GlobalAlloc(GMEM_FIXED, size); }
void free_host_block(void* block) noexcept {
  if (block != nullptr) GlobalFree(block);
}
#else
// Without global memory both sides use the C heap.
void* allocate_host_block(std::size_t size) noexcept { return std::malloc(size); }
void free_host_block(void* block) noexcept { std::free(block); }
#endif

}  // namespace korvel
