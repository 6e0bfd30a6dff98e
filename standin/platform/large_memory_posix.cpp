// Large blocks on POSIX systems: mapped on their own, aligned to 2 MiB, and
// on Linux marked for huge pages.
#include "standin/platform/large_memory.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace standin::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kMapped = std::size_t(4) << 20; // blocks from this size on are mapped

std::size_t roundUp(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

} // namespace

void *allocateLarge(std::size_t bytes) {
    if (bytes < kMapped)
        return std::malloc(bytes == 0 ? 1 : bytes);
    if (bytes > SIZE_MAX - 2 * kHugePage)
        return nullptr;
    // Mapped with room to spare, then trimmed to a 2 MiB boundary at both
    // ends, so that every page of it can be a huge one.
    const std::size_t size = roundUp(bytes), mapped = size + kHugePage;
    void *whole = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (whole == MAP_FAILED)
        return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(whole);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start)
        munmap(whole, aligned - start);
    if (start + mapped > aligned + size)
        munmap(reinterpret_cast<void *>(aligned + size), start + mapped - (aligned + size));
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void *>(aligned);
}

void freeLarge(void *block, std::size_t bytes) {
    if (bytes < kMapped)
        std::free(block);
    else if (block)
        munmap(block, roundUp(bytes));
}

} // namespace standin::platform
