// What the dispatcher does not answer itself becomes the internal-error response, so no exception
// reaches a host.
#include "frame/host_exchange.h"

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "frame/host_memory.h"
#include "frame/responses.h"
#include "frame/saori_front.h"

namespace korvel {
namespace {

// The host's bytes up to `length` or the first NUL, whichever comes first. A null block or a
// negative length reads as the empty text.
std::string host_text(const void* block, long length) {
  if (block == nullptr || length <= 0) return std::string();
  const auto size = static_cast<std::size_t>(length);
  const std::unique_ptr<char[]> buffer(new char[size + 1]);
  std::memcpy(buffer.get(), block, size);
  buffer[size] = '\0';
  return std::string(buffer.get());
}

}  // namespace

int load_from_host(void* block, long length) noexcept {
  try {
    module_front front;
    front.load(host_text(block, length));
  } catch (...) {
    // The directory is not used; the host is told nothing.
  }
  free_host_block(block);
  return 1;
}

void* answer_host_request(void* block, long* length, bool count_nul) noexcept {
  std::string response;
  std::string_view answer = internal_error_response;
  try {
    module_front front;
    front.request(host_text(block, length != nullptr ? *length : 0), response);
    answer = response;
  } catch (...) {
  }
  free_host_block(block);

  if (answer.size() >= static_cast<std::size_t>(std::numeric_limits<long>::max()))
    answer = internal_error_response;
  auto* const answer_block = static_cast<char*>(allocate_host_block(answer.size() + 1));
  if (answer_block == nullptr) {
    if (length != nullptr) *length = 0;
    return nullptr;
  }
  std::memcpy(answer_block, answer.data(), answer.size());
  answer_block[answer.size()] = '\0';
  if (length != nullptr) *length = static_cast<long>(answer.size() + (count_nul ? 1 : 0));
  return answer_block;
}

int unload_for_host() noexcept {
  try {
    module_front front;
    front.unload();
  } catch (...) {
  }
  return 1;
}

}  // namespace korvel
