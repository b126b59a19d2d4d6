// The entry points by which ninix-kagari loads a native module: the plain three, named after the
// module file (SAORI_MODULE_NAME, set per module by the build) and carrying an instance id. The
// module keeps nothing per instance, so any id serves and load always hands out 1.
#define KORVEL_SAORI_MODULE
#include "frame/saori_exports.h"

#include "frame/host_exchange.h"

#ifndef SAORI_MODULE_NAME
#error "SAORI_MODULE_NAME names the module file these entry points are called by"
#endif
#define SAORI_JOIN(module, suffix) module##_saori_##suffix
#define SAORI_ENTRY(module, suffix) SAORI_JOIN(module, suffix)

SAORI_EXPORT int SAORI_ENTRY(SAORI_MODULE_NAME, load)(char* dir, long len) {
  korvel::load_from_host(dir, len);
  return 1;
}

// ninix takes the answer as the first *len bytes of the block, as its own request block holds the
// text and one uncounted NUL; counting the NUL as the plain request does would leave a stray NUL at
// the end of every answer it reads. The NUL is still there for a reader that stops at it.
SAORI_EXPORT char* SAORI_ENTRY(SAORI_MODULE_NAME, request)(long, char* h, long* len) {
  return static_cast<char*>(korvel::answer_host_request(h, len, false));
}

SAORI_EXPORT int SAORI_ENTRY(SAORI_MODULE_NAME, unload)(long) { return korvel::unload_for_host(); }
