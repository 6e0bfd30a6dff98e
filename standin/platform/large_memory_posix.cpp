// Large blocks on POSIX systems: mapped on their own, aligned to 2 MiB, and
// on Linux marked for huge pages and made present at once; a few freed ones
// kept for the next that fits.
#include "standin/platform/large_memory.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <sys/mman.h>

namespace standin::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kMapped = std::size_t(4) << 20; // blocks from this size on are mapped

std::size_t roundUp(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

// A mapped block and its mapped size.
struct Block {
    void *start;
    std::size_t size;
};

// The blocks freed and kept, and those of them lent again for fewer bytes
// than they hold (so that freeing one unmaps all of it).
struct Kept {
    std::mutex lock;
    Block kept[8];
    std::size_t keptCount = 0;
    Block lent[32];
    std::size_t lentCount = 0;
};

Kept &kept() {
    static Kept k;
    return k;
}

// Unmaps every block that `k` keeps.
void unmapKept(Kept &k) {
    for (std::size_t i = 0; i < k.keptCount; ++i)
        munmap(k.kept[i].start, k.kept[i].size);
    k.keptCount = 0;
}

// Takes from `k` the smallest kept block of `size` bytes to twice that, or
// returns null after unmapping all the kept ones (none fits, and a new block
// beside them would hold more memory than freeing them would).
void *takeKept(Kept &k, std::size_t size) {
    std::size_t best = k.keptCount;
    for (std::size_t i = 0; i < k.keptCount; ++i)
        if (k.kept[i].size >= size && k.kept[i].size / 2 <= size &&
            (best == k.keptCount || k.kept[i].size < k.kept[best].size))
            best = i;
    if (best < k.keptCount && (k.kept[best].size == size || k.lentCount < std::size(k.lent))) {
        const Block b = k.kept[best];
        k.kept[best] = k.kept[--k.keptCount];
        if (b.size != size)
            k.lent[k.lentCount++] = b;
        return b.start;
    }
    unmapKept(k);
    return nullptr;
}

} // namespace

void *allocateLarge(std::size_t bytes) {
    if (bytes < kMapped)
        return std::malloc(bytes == 0 ? 1 : bytes);
    if (bytes > SIZE_MAX - 2 * kHugePage)
        return nullptr;
    {
        Kept &k = kept();
        std::lock_guard<std::mutex> hold(k.lock);
        if (void *block = takeKept(k, roundUp(bytes)))
            return block;
    }
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
#ifdef MADV_POPULATE_WRITE
    // Its pages made present now, in one call, rather than one fault at a
    // time as the arrays are first filled: in a virtual machine the faults
    // cost several times the call (the graph's edges, 46 MiB, took 64 to
    // 74 ms to write into fresh pages, 10 ms into present ones).  A kernel
    // without it (before Linux 5.14) refuses, and the pages come as before.
    madvise(reinterpret_cast<void *>(aligned), size, MADV_POPULATE_WRITE);
#endif
    return reinterpret_cast<void *>(aligned);
}

void freeLarge(void *block, std::size_t bytes) {
    if (bytes < kMapped) {
        std::free(block);
        return;
    }
    if (!block)
        return;
    Block b{block, roundUp(bytes)};
    Kept &k = kept();
    std::lock_guard<std::mutex> hold(k.lock);
    for (std::size_t i = 0; i < k.lentCount; ++i)
        if (k.lent[i].start == block) {
            b.size = k.lent[i].size;
            k.lent[i] = k.lent[--k.lentCount];
            break;
        }
    if (k.keptCount < std::size(k.kept))
        k.kept[k.keptCount++] = b;
    else
        munmap(b.start, b.size);
}

void releaseKeptBlocks() {
    Kept &k = kept();
    std::lock_guard<std::mutex> hold(k.lock);
    unmapKept(k);
}

} // namespace standin::platform
