#include "morvik/engine.h"

namespace morvik {

// Out of line: handles are not on any per-character path, and inlined into a caller that holds
// several handles to one engine the count is invisible to the compiler, which then takes the
// delete for a use after free.
void engine_handle::release() {
  translate_engine* const engine = std::exchange(engine_, nullptr);
  if (engine && --engine->ref_count <= 0) delete engine;
}

}  // namespace morvik
