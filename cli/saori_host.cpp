#include "cli/saori_host.h"

#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace korvel {
namespace {

#ifdef _WIN32
std::string last_error_text() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = "error " + std::to_string(code);
  if (length != 0 && text != nullptr) {
    message.append(": ").append(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  }
  if (text != nullptr) LocalFree(text);
  return message;
}

void* host_allocate(std::size_t size) { return GlobalAlloc(GMEM_FIXED, size); }
void host_free(void* block) { GlobalFree(block); }
#else
std::string last_error_text() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown error";
}

void* host_allocate(std::size_t size) { return std::malloc(size); }
void host_free(void* block) { std::free(block); }
#endif

// A block holding exactly the text's bytes, no terminator: the module must not need one.
saori_block host_block(const std::string& text) {
  void* const block = host_allocate(text.empty() ? 1 : text.size());
  if (block != nullptr && !text.empty()) std::memcpy(block, text.data(), text.size());
  return static_cast<saori_block>(block);
}

template <class Function>
Function find_export(void* library, const char* name) {
#ifdef _WIN32
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name)));
#else
  return reinterpret_cast<Function>(dlsym(library, name));
#endif
}

}  // namespace

saori_host::~saori_host() {
  if (library_ == nullptr) return;
#ifdef _WIN32
  FreeLibrary(static_cast<HMODULE>(library_));
#else
  dlclose(library_);
#endif
}

bool saori_host::open(const std::string& module_path) {
#ifdef _WIN32
  library_ = LoadLibraryA(module_path.c_str());
#else
  // A bare name would be searched on the library path; the user means the file.
  const std::string path = module_path.find('/') == std::string::npos ? "./" + module_path : module_path;
  library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  if (library_ == nullptr) {
    error_ = "cannot load " + module_path + ": " + last_error_text();
    return false;
  }
  const struct {
    const char* name;
    bool found;
  } exports[] = {
      {"load", (load_ = find_export<saori_load_function>(library_, "load")) != nullptr},
      {"request", (request_ = find_export<saori_request_function>(library_, "request")) != nullptr},
      {"unload", (unload_ = find_export<saori_unload_function>(library_, "unload")) != nullptr},
  };
  for (const auto& entry : exports) {
    if (!entry.found) {
      error_ = module_path + " does not export " + entry.name + ": " + last_error_text();
      return false;
    }
  }
  return true;
}

void saori_host::load(const std::string& directory) {
  load_(host_block(directory), static_cast<saori_long>(directory.size()));
}

std::optional<std::string> saori_host::request(const std::string& request_text) {
  saori_long length = static_cast<saori_long>(request_text.size());
  const saori_block response = request_(host_block(request_text), &length);
  if (response == nullptr) return std::nullopt;
  std::optional<std::string> text;
  if (length >= 1) text.emplace(static_cast<const char*>(static_cast<void*>(response)), length - 1);
  host_free(response);
  return text;
}

void saori_host::unload() { unload_(); }

std::string directory_of(const std::string& path) {
  const auto separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string executable_directory() {
#ifdef _WIN32
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return directory_of(std::string(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
#else
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return std::string();
    if (static_cast<std::size_t>(length) < buffer.size())
      return directory_of(std::string(buffer.data(), static_cast<std::size_t>(length)));
    buffer.resize(buffer.size() * 2);
  }
#endif
}

}  // namespace korvel
