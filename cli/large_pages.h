#pragma once
// Where the system maps memory in 2 MiB pages on request (Linux's transparent huge pages), a
// large input's buffers (its read block, the output's room, the guess's held text) share one
// such page instead of taking a few dozen 4 KiB ones. On virtual machines that keep shadow page
// tables each fresh 4 KiB page costs several microseconds even when taken ahead, so that the
// pages of a 4 MB conversion cost about a tenth of the whole process; one large page costs one
// fault and the clearing of its 2 MiB. Where such pages are not offered the region is mapped in
// small pages as it is touched, as the heap would be.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvik_cli {

// Takes no lock: the command that uses it runs one thread.
class large_page_pool {
 public:
  // Below these, the pool takes nothing: a small input touches a few pages of its buffers, which
  // cost about what clearing a large page does, and small allocations belong to the heap. From
  // 64 KiB the block is full and the large page wins (Shift_JIS to UTF-8 of 64 KiB, whole
  // process: 2.29 ms with small pages, 1.92 ms with the pool).
  static constexpr std::uint64_t smallest_input = 64 * 1024;
  static constexpr std::size_t smallest_allocation = 32 * 1024;
  static constexpr std::size_t region_size = 2 * 1024 * 1024;

  large_page_pool() = default;
  large_page_pool(const large_page_pool&) = delete;
  large_page_pool& operator=(const large_page_pool&) = delete;
  ~large_page_pool();

  // Inputs of known size from `smallest_input` up (a pipe's size is unknown, UINT64_MAX, and
  // may be a few bytes).
  static bool serves(std::uint64_t input_size) {
    return input_size >= smallest_input && input_size != UINT64_MAX;
  }

  // Whether the next input's buffers come from the pool: when it serves that input. The region
  // is mapped the first time; where the system offers no large pages, or mapping fails, the
  // pool stays off.
  void prepare(std::uint64_t input_size);

  // `size` bytes aligned for any object, or null where the pool does not take them: it is off,
  // the request is small, or the region is full.
  void* allocate(std::size_t size) noexcept;
  // False for memory that is not the pool's. The region is reused from its start once all it
  // handed out has come back, as it has between one input and the next.
  bool release(void* data) noexcept;

  bool owns(const void* data) const noexcept;
  bool active() const noexcept { return active_; }

 private:
  char* begin_ = nullptr;
  char* next_ = nullptr;
  std::size_t live_ = 0;
  bool active_ = false;
  bool failed_ = false;
};

// The system's settings for large pages (under /sys/kernel/mm/transparent_hugepage/, the choice
// in use in brackets) give them to a region that asks: "always" or "madvise", not "never". The
// setting for 2 MiB pages (hugepages-2048kB/enabled; empty where the system has none) rules
// unless it is "inherit", and then the general one (enabled) does.
bool large_pages_offered_by(std::string_view size_setting, std::string_view general_setting);

}  // namespace morvik_cli
