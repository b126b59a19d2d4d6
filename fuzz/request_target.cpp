// Any bytes as a request, through the plain exports and through ninix-kagari's: the module must
// answer with a whole response, in a block of *len bytes whose last byte is the NUL for the plain
// request, and of *len bytes followed by an uncounted NUL for ninix's; the two must agree. The
// module must free the host's blocks (the leak checker sees it if not).
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "frame/saori_exports.h"
#include "fuzz/targets.h"

extern "C" int KORVEL_saori_load(char* dir, long len);
extern "C" char* KORVEL_saori_request(long id, char* h, long* len);
extern "C" int KORVEL_saori_unload(long id);

namespace korvel::fuzz {
namespace {

constexpr std::string_view version_response = "SAORI/1.0 200 OK\r\n\r\n";
constexpr std::string_view status_lines[] = {
    "SAORI/1.0 200 OK\r\n",
    "SAORI/1.0 204 No Content\r\n\r\n",
    "SAORI/1.0 400 Bad Request\r\n\r\n",
    "SAORI/1.0 500 Internal Server Error\r\n\r\n",
};

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// `extra` more bytes than the data, zero-filled: ninix allocates one more than it says.
char* host_copy(const std::uint8_t* data, std::size_t size, std::size_t extra = 0) {
  char* const block = static_cast<char*>(std::calloc(size + extra == 0 ? 1 : size + extra, 1));
  if (block != nullptr && size != 0) std::memcpy(block, data, size);
  return block;
}

void check_response(std::string_view text, const std::string& input) {
  bool known_status = false;
  for (std::string_view status : status_lines) known_status = known_status || starts_with(text, status);
  if (!known_status) fail("unknown status line " + hex(std::string(text), 64) + " for " + hex(input));
  if (starts_with(text, status_lines[0]) && text != version_response) {
    if (text.size() < 4 || text.substr(text.size() - 4) != "\r\n\r\n")
      fail("success response not closed by an empty line for " + hex(input));
    if (text.find("\r\nSender: KORVEL\r\n") == std::string_view::npos)
      fail("success response without Sender: KORVEL for " + hex(input));
  }
  // The converted text is at most a few times the request, plus the headers.
  if (text.size() > 16 * input.size() + 4096)
    fail("response of " + std::to_string(text.size()) + " bytes for a " + std::to_string(input.size()) +
         "-byte request " + hex(input));
}

}  // namespace

int request_target(const std::uint8_t* data, std::size_t size) {
  if (size > 0x7FFFFFF0u) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The same bytes as the module's directory: load frees the block and always answers 1.
  if (load(host_copy(data, size), static_cast<saori_long>(size)) != 1) fail("load did not return 1");
  // An exact-size block, as a host allocates it: any read past *len is a heap overflow.
  void* const block = host_copy(data, size);
  if (block == nullptr) return 0;
  saori_long len = static_cast<saori_long>(size);
  char* const response = static_cast<char*>(request(block, &len));
  if (response == nullptr) fail("no response block for " + hex(input));
  if (len < 1) fail("response length " + std::to_string(len) + " for " + hex(input));
  const std::string text(response, static_cast<std::size_t>(len) - 1);
  if (response[len - 1] != '\0') fail("response block does not end in NUL for " + hex(input));
  std::free(response);
  check_response(text, input);
  if (unload() != 1) fail("unload did not return 1");

  // ninix-kagari: an id from load, a block one byte longer than *len says.
  const long id = KORVEL_saori_load(host_copy(data, size, 1), static_cast<long>(size));
  if (id <= 0) fail("ninix load gave id " + std::to_string(id));
  char* const ninix_block = host_copy(data, size, 1);
  if (ninix_block == nullptr) return 0;
  long ninix_len = static_cast<long>(size);
  char* const ninix_response = KORVEL_saori_request(id, ninix_block, &ninix_len);
  if (ninix_response == nullptr) fail("no ninix response block for " + hex(input));
  if (ninix_len < 0) fail("ninix response length " + std::to_string(ninix_len) + " for " + hex(input));
  if (ninix_response[ninix_len] != '\0') fail("ninix response not followed by a NUL for " + hex(input));
  if (std::string_view(ninix_response, static_cast<std::size_t>(ninix_len)) != text)
    fail("ninix response " + hex(std::string(ninix_response, static_cast<std::size_t>(ninix_len)), 64) +
         " differs from the plain one " + hex(text, 64) + " for " + hex(input));
  std::free(ninix_response);
  if (KORVEL_saori_unload(id) != 1) fail("ninix unload did not return 1");
  return 0;
}

}  // namespace korvel::fuzz
