#pragma once
// The object behind one exported call. It keeps nothing: every request gets a fresh module.
#include <string>

namespace korvel {

class saori_front {
 public:
  virtual ~saori_front() = default;
  virtual void load(const std::string& directory) = 0;
  virtual void unload() = 0;
  virtual void request(const std::string& request_text, std::string& response) = 0;
};

class module_front : public saori_front {
 public:
  void load(const std::string&) override {}
  void unload() override {}
  void request(const std::string& request_text, std::string& response) override;
};

}  // namespace korvel
