#pragma once
// The KORVEL module: the object that answers one request with this system's SAORI functions.
#include "frame/saori_module.h"

namespace korvel {

class korvel_module : public basic_saori_module {
 public:
  korvel_module();
};

}  // namespace korvel
