#include "bench/heap.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace benchheap {
namespace {

// A real run gets every large block fresh from the system and pays for
// its first touch.  glibc would instead keep blocks of up to 32 MiB once
// one was freed and hand them out again already touched, which makes the
// smaller sizes of a benchmark look cheaper than a run of them; a fixed
// threshold keeps every size on the same footing.
#if defined(__GLIBC__)
[[maybe_unused]] const int fixedThreshold = mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif

std::atomic<std::size_t> now{0};
std::atomic<std::size_t> most{0};

// Each block carries its size in front, so that unsized deletes know it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void *allocate(std::size_t size) noexcept {
    void *block = std::malloc(size + kHeader);
    if (!block)
        return nullptr;
    *static_cast<std::size_t *>(block) = size;
    const std::size_t in = now.fetch_add(size, std::memory_order_relaxed) + size;
    std::size_t seen = most.load(std::memory_order_relaxed);
    while (in > seen && !most.compare_exchange_weak(seen, in, std::memory_order_relaxed)) {
    }
    return static_cast<char *>(block) + kHeader;
}

void release(void *p) noexcept {
    if (!p)
        return;
    void *block = static_cast<char *>(p) - kHeader;
    now.fetch_sub(*static_cast<std::size_t *>(block), std::memory_order_relaxed);
    std::free(block);
}

void *allocateOrThrow(std::size_t size) {
    if (void *p = allocate(size))
        return p;
    throw std::bad_alloc();
}

} // namespace

std::size_t current() { return now.load(std::memory_order_relaxed); }
std::size_t peak() { return most.load(std::memory_order_relaxed); }
void resetPeak() { most.store(now.load(std::memory_order_relaxed), std::memory_order_relaxed); }

} // namespace benchheap

void *operator new(std::size_t size) { return benchheap::allocateOrThrow(size); }
void *operator new[](std::size_t size) { return benchheap::allocateOrThrow(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return benchheap::allocate(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return benchheap::allocate(size); }
void operator delete(void *p) noexcept { benchheap::release(p); }
void operator delete[](void *p) noexcept { benchheap::release(p); }
void operator delete(void *p, std::size_t) noexcept { benchheap::release(p); }
void operator delete[](void *p, std::size_t) noexcept { benchheap::release(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { benchheap::release(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { benchheap::release(p); }
