// WebAssembly memory only grows: freed pages stay with the module's
// allocator, which reuses them, so there is nothing to hand back.
#include "platform/memory.h"

namespace platform {

void releaseFreeMemory() {}

}  // namespace platform
