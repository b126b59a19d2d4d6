// The module's face towards the host. No exception leaves these functions: what the dispatcher does
// not answer itself becomes the internal-error response, and a response block that cannot be had
// becomes a null block of length 0.
#define KORVEL_SAORI_MODULE
#include "frame/saori_exports.h"

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "frame/host_memory.h"
#include "frame/responses.h"
#include "frame/saori_front.h"

namespace {

// The host's bytes up to `length` or the first NUL, whichever comes first. A null block or a
// negative length reads as the empty text.
std::string host_text(const void* block, saori_long length) {
  if (block == nullptr || length <= 0) return std::string();
  const auto size = static_cast<std::size_t>(length);
  const std::unique_ptr<char[]> buffer(new char[size + 1]);
  std::memcpy(buffer.get(), block, size);
  buffer[size] = '\0';
  return std::string(buffer.get());
}

}  // namespace

saori_bool SAORI_CALL load(saori_block h, saori_long len) {
  try {
    korvel::module_front front;
    front.load(host_text(h, len));
  } catch (...) {
    // The directory is not used; the host is told nothing.
  }
  korvel::free_host_block(h);
  return 1;
}

saori_bool SAORI_CALL unload() {
  try {
    korvel::module_front front;
    front.unload();
  } catch (...) {
  }
  return 1;
}

saori_block SAORI_CALL request(saori_block h, saori_long* len) {
  std::string response;
  std::string_view answer = korvel::internal_error_response;
  try {
    korvel::module_front front;
    front.request(host_text(h, len != nullptr ? *len : 0), response);
    answer = response;
  } catch (...) {
  }
  korvel::free_host_block(h);

  if (answer.size() >= static_cast<std::size_t>(std::numeric_limits<saori_long>::max()))
    answer = korvel::internal_error_response;
  const std::size_t block_size = answer.size() + 1;
  auto* const block = static_cast<char*>(korvel::allocate_host_block(block_size));
  if (block == nullptr) {
    if (len != nullptr) *len = 0;
    return nullptr;
  }
  std::memcpy(block, answer.data(), answer.size());
  block[answer.size()] = '\0';
  if (len != nullptr) *len = static_cast<saori_long>(block_size);
  return static_cast<saori_block>(block);
}
