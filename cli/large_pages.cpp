#include "cli/large_pages.h"

#include <algorithm>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace morvik_cli {
namespace {

// A cache line, more than operator new promises.
constexpr std::size_t alignment = 64;
constexpr std::size_t page = 4096;
constexpr std::size_t stagger = 1024 + alignment;

std::uintptr_t address(const void* data) { return reinterpret_cast<std::uintptr_t>(data); }

// The setting for 2 MiB pages leaves the choice to the general one: it says "inherit", or the
// system has no setting for each size.
bool defers_to_general(std::string_view size_setting) {
  return size_setting.empty() || size_setting.find("[inherit]") != std::string_view::npos;
}

#if defined(__linux__)
// A setting of the system's, at most `size` bytes of it; empty where it cannot be read.
std::string_view read_setting(const char* path, char* buffer, std::size_t size) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const ssize_t count = ::read(fd, buffer, size);
  ::close(fd);
  return count > 0 ? std::string_view(buffer, static_cast<std::size_t>(count)) : std::string_view();
}

// Whether a region asked for in large pages gets them here. Where it would not, it would be
// mapped a small page at a time, each page at full price, and the heap serves better. With
// 4 KiB pages the large ones are the 2 MiB of the region.
bool large_pages_offered() {
  if (::sysconf(_SC_PAGESIZE) != 4096 || ::prctl(PR_GET_THP_DISABLE, 0, 0, 0, 0) == 1) return false;
  char size_buffer[128];
  char general_buffer[128];
  const std::string_view size_setting =
      read_setting("/sys/kernel/mm/transparent_hugepage/hugepages-2048kB/enabled", size_buffer, sizeof size_buffer);
  std::string_view general_setting;  // read only where the size's own setting defers to it
  if (defers_to_general(size_setting)) {
    general_setting = read_setting("/sys/kernel/mm/transparent_hugepage/enabled", general_buffer, sizeof general_buffer);
  }
  return large_pages_offered_by(size_setting, general_setting);
}

// A region of `large_page_pool::region_size` on a boundary of its size, or null. Recent kernels
// place a mapping of that size on such a boundary by themselves; elsewhere twice the size is
// mapped and all but an aligned region of it given back.
char* map_aligned_region() {
  constexpr std::size_t size = large_page_pool::region_size;
  const auto map = [](std::size_t length) -> char* {
    void* mapped = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return mapped == MAP_FAILED ? nullptr : static_cast<char*>(mapped);
  };
  char* first = map(size);
  if (first == nullptr || address(first) % size == 0) return first;
  ::munmap(first, size);
  first = map(2 * size);
  if (first == nullptr) return nullptr;
  const std::size_t before = (size - address(first) % size) % size;
  if (before != 0) ::munmap(first, before);
  ::munmap(first + before + size, size - before);
  return first + before;
}
#endif

}  // namespace

bool large_pages_offered_by(std::string_view size_setting, std::string_view general_setting) {
  const auto gives = [](std::string_view setting) {
    return setting.find("[always]") != std::string_view::npos || setting.find("[madvise]") != std::string_view::npos;
  };
  return gives(defers_to_general(size_setting) ? general_setting : size_setting);
}

large_page_pool::~large_page_pool() {
#if defined(__linux__)
  if (begin_ != nullptr) ::munmap(begin_, region_size);
#endif
}

void large_page_pool::prepare(std::uint64_t input_size) {
  active_ = false;
#if defined(__linux__)
  if (failed_ || !serves(input_size)) return;
  if (begin_ == nullptr) {
    char* const aligned = large_pages_offered() ? map_aligned_region() : nullptr;
    if (aligned == nullptr) {
      failed_ = true;
      return;
    }
    // Only a request: where the kernel declines, the region is mapped a small page at a time.
    ::madvise(aligned, region_size, MADV_HUGEPAGE);
    begin_ = next_ = aligned;
  }
  active_ = true;
#else
  (void)input_size;
  (void)failed_;
#endif
}

void* large_page_pool::allocate(std::size_t size) noexcept {
  if (!active_ || size < smallest_allocation) return nullptr;
  // Each block starts at its own offset in a 4 KiB page. Blocks at the same offset make a
  // conversion that writes as many bytes as it reads (EUC-JP to Shift_JIS) load from and store
  // to addresses a multiple of 4 KiB apart all the way, and the processor then takes the loads
  // for ones that wait on the stores: 7.3 MB of prose took 10 % longer (8.71 ms, not 7.88).
  const std::size_t offset = (live_ * stagger) % page;
  const std::size_t used = static_cast<std::size_t>(next_ - begin_);
  const std::size_t start = (used + page - 1 - offset) / page * page + offset;
  const std::size_t left = region_size - start;
  if (start > region_size || size > left) return nullptr;
  next_ = begin_ + std::min(region_size, start + (size + alignment - 1) / alignment * alignment);
  ++live_;
  return begin_ + start;
}

bool large_page_pool::release(void* data) noexcept {
  if (!owns(data)) return false;
  if (--live_ == 0) next_ = begin_;
  return true;
}

bool large_page_pool::owns(const void* data) const noexcept {
  return begin_ != nullptr && address(data) - address(begin_) < region_size;
}

}  // namespace morvik_cli
