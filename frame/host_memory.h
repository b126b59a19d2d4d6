#pragma once
// The two block operations at the host boundary. The host allocates what it passes and the module
// frees it; the module allocates the response and the host frees it.
#include <cstddef>

namespace korvel {

// A fixed block: its handle is the address of its bytes. Null when the memory is not there.
void* allocate_host_block(std::size_t size) noexcept;
// Accepts null.
void free_host_block(void* block) noexcept;

}  // namespace korvel
