// Large blocks on Windows: ordinary heap memory (large pages there need a
// privilege that users do not have).
#include "standin/platform/large_memory.h"

#include <cstdlib>

namespace standin::platform {

void *allocateLarge(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

void freeLarge(void *block, std::size_t) { std::free(block); }

void releaseKeptBlocks() {}

} // namespace standin::platform
