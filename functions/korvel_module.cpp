#include "functions/korvel_module.h"

#include "morvik/morvik.h"

namespace korvel {

korvel_module::korvel_module() {
  module_name = "KORVEL";
  morvik::initialize_library();
}

std::unique_ptr<saori_module> create_saori_module() { return std::make_unique<korvel_module>(); }

}  // namespace korvel
