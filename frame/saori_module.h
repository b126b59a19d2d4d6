#pragma once
// The module object built for one request: interface, base implementation (the dispatcher's home)
// and, elsewhere, the concrete module that fills the name and the function table.
#include <memory>
#include <string>

#include "frame/function_table.h"

namespace korvel {

class saori_module {
 public:
  virtual ~saori_module() = default;
  // Always writes a whole response; false when a saori_error became the status line.
  virtual bool request(const std::string& request_text, std::string& response) = 0;
  virtual void load(const std::string& directory) = 0;
  virtual void unload() = 0;
  // Kept free for hosts that call more than load, request and unload; nothing uses it.
  virtual void reserved() = 0;
};

class basic_saori_module : public saori_module {
 public:
  bool request(const std::string& request_text, std::string& response) override;  // dispatcher.cpp
  void load(const std::string& directory) override { this->directory = directory; }
  void unload() override {}
  void reserved() override {}

 protected:
  // Binds a member function of the concrete module as the handler of `name`.
  template <class Module>
  void register_function(const std::string& name, bool (Module::*handler)(argument_list&, saori_result&)) {
    Module* const self = static_cast<Module*>(this);
    function_table.emplace(name, [self, handler](argument_list& arguments, saori_result& result) {
      return (self->*handler)(arguments, result);
    });
  }

 public:
  korvel::function_table function_table;
  std::string directory;
  std::string charset;  // the request's Charset on entry to a function, the response's on exit
  std::string security_level;
  std::string sender;
  std::string module_name;
};

// The concrete module of this binary; defined beside it (functions/, or a test's module).
std::unique_ptr<saori_module> create_saori_module();

}  // namespace korvel
