// Memory for the large scratch arrays of the mesh's geometry.  A block of
// many megabytes that is filled once costs more in the system's page faults
// than in the work done in it, above all in a virtual machine: on Linux
// such a block is mapped on its own and the kernel asked to back it with
// huge pages (transparent huge pages, where the system allows them for
// blocks that ask), which takes one fault per 2 MiB rather than per 4 KiB,
// and its pages made present in one call before it is filled.
// Elsewhere, and for small blocks, it is ordinary heap memory.
#pragma once

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

namespace standin::platform {

// A block of at least `bytes` bytes, aligned for any type; null when there
// is no memory for it.  Free it with freeLarge and the same `bytes`.  On
// Linux a few large blocks freed are kept mapped, and the next block that
// fits (up to half their size) takes one: its pages are already in memory,
// and a fresh block's first touch costs page faults that, in a virtual
// machine, take longer than filling it.  A block that fits none of them
// unmaps them first, so that keeping them never holds more memory at once.
// Safe from several threads.
void *allocateLarge(std::size_t bytes);
void freeLarge(void *block, std::size_t bytes);

// Unmaps the freed blocks kept for reuse: for the end of a stage whose
// scratch arrays no later stage needs.
void releaseKeptBlocks();

// An allocator for std::vector that takes its blocks from allocateLarge.
// Growing a vector without a value leaves the new elements uninitialised
// (their bytes are whatever the block held): such arrays are filled before
// they are read, and zeroing them first would cost as much again.
template <typename T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U> &) {}
    T *allocate(std::size_t n) {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        void *block = allocateLarge(n * sizeof(T));
        if (!block)
            throw std::bad_alloc();
        return static_cast<T *>(block);
    }
    void deallocate(T *block, std::size_t n) { freeLarge(block, n * sizeof(T)); }
    template <typename U>
    void construct(U *at) {
        ::new (static_cast<void *>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U *at, Args &&...args) {
        ::new (static_cast<void *>(at)) U(std::forward<Args>(args)...);
    }
    template <typename U>
    bool operator==(const LargeAllocator<U> &) const {
        return true;
    }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

} // namespace standin::platform
