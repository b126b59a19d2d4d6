// The module's face towards the host, under the three plain names every host calls.
#define KORVEL_SAORI_MODULE
#include "frame/saori_exports.h"

#include "frame/host_exchange.h"

saori_bool SAORI_CALL load(saori_block h, saori_long len) { return korvel::load_from_host(h, len); }

saori_bool SAORI_CALL unload() { return korvel::unload_for_host(); }

// *len counts the NUL after the response.
saori_block SAORI_CALL request(saori_block h, saori_long* len) {
  return static_cast<saori_block>(korvel::answer_host_request(h, len, true));
}
