#pragma once
// What every set of exports does with the host's blocks, whatever the names the host calls them by.
// No exception leaves these functions.

namespace korvel {

// Reads `length` bytes of directory from the host's block, frees the block. Always 1.
int load_from_host(void* block, long length) noexcept;

// Serves the request of `*length` bytes in the host's block and frees the block. Returns a block
// holding the response and a NUL; `*length` becomes the response length, plus one when
// `count_nul`. A response block that cannot be had becomes a null block of length 0.
void* answer_host_request(void* block, long* length, bool count_nul) noexcept;

// Always 1.
int unload_for_host() noexcept;

}  // namespace korvel
