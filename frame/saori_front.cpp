#include "frame/saori_front.h"

#include "frame/saori_module.h"

namespace korvel {

void module_front::request(const std::string& request_text, std::string& response) {
  const std::unique_ptr<saori_module> module = create_saori_module();
  module->request(request_text, response);
}

}  // namespace korvel
