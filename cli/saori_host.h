#pragma once
// What a SAORI host does with a module: load it, hand it blocks the way a host allocates them,
// take back the response block and free it.
#include <optional>
#include <string>

#include "frame/saori_exports.h"

namespace korvel {

class saori_host {
 public:
  saori_host() = default;
  saori_host(const saori_host&) = delete;
  saori_host& operator=(const saori_host&) = delete;
  ~saori_host();

  // Opens the library and finds its three exports; on failure `error()` says why.
  bool open(const std::string& module_path);
  const std::string& error() const { return error_; }

  // Calls `load` with the module's directory.
  void load(const std::string& directory);
  // Sends one request; the response bytes without their NUL, or nothing when the module gave none.
  std::optional<std::string> request(const std::string& request_text);
  void unload();

 private:
  void* library_ = nullptr;
  saori_load_function load_ = nullptr;
  saori_request_function request_ = nullptr;
  saori_unload_function unload_ = nullptr;
  std::string error_;
};

// The directory of the running executable, with its trailing separator.
std::string executable_directory();
// The directory part of a path, with its trailing separator; empty for a bare file name.
std::string directory_of(const std::string& path);

}  // namespace korvel
