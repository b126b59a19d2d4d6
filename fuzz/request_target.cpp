// Any bytes as a request: the module must answer with a whole response in a block of *len bytes
// whose last byte is the NUL, and must free the host's block (the leak checker sees it if not).
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "frame/saori_exports.h"
#include "fuzz/targets.h"

namespace korvel::fuzz {
namespace {

constexpr std::string_view status_lines[] = {
    "SAORI/1.0 200 OK\r\n",
    "SHIORI/1.0 210 No Contents\r\n\r\n",
    "SAORI/1.0 400 Bad Request\r\n\r\n",
    "SAORI/1.0 500 Internal Server Error\r\n\r\n",
};

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void* host_copy(const std::uint8_t* data, std::size_t size) {
  void* const block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr && size != 0) std::memcpy(block, data, size);
  return block;
}

}  // namespace

int request_target(const std::uint8_t* data, std::size_t size) {
  if (size > 0x7FFFFFF0u) return 0;
  // The same bytes as the module's directory: load frees the block and always answers 1.
  if (load(host_copy(data, size), static_cast<saori_long>(size)) != 1) fail("load did not return 1");
  // An exact-size block, as a host allocates it: any read past *len is a heap overflow.
  void* const block = host_copy(data, size);
  if (block == nullptr) return 0;
  saori_long len = static_cast<saori_long>(size);
  char* const response = static_cast<char*>(request(block, &len));

  const std::string input(reinterpret_cast<const char*>(data), size);
  if (response == nullptr) fail("no response block for " + hex(input));
  if (len < 1) fail("response length " + std::to_string(len) + " for " + hex(input));
  const std::string_view text(response, static_cast<std::size_t>(len) - 1);
  if (response[len - 1] != '\0') fail("response block does not end in NUL for " + hex(input));

  bool known_status = false;
  for (std::string_view status : status_lines) known_status = known_status || starts_with(text, status);
  if (!known_status) fail("unknown status line " + hex(std::string(text), 64) + " for " + hex(input));
  if (starts_with(text, status_lines[0])) {
    if (text.size() < 4 || text.substr(text.size() - 4) != "\r\n\r\n")
      fail("success response not closed by an empty line for " + hex(input));
    if (text.find("\r\nSender: KORVEL\r\n") == std::string_view::npos)
      fail("success response without Sender: KORVEL for " + hex(input));
  }
  // The converted text is at most a few times the request, plus the headers.
  if (text.size() > 16 * size + 4096)
    fail("response of " + std::to_string(text.size()) + " bytes for a " + std::to_string(size) +
         "-byte request " + hex(input));
  std::free(response);
  if (unload() != 1) fail("unload did not return 1");
  return 0;
}

}  // namespace korvel::fuzz
