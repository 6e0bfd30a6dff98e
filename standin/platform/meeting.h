// Two threads that work in steps meeting between them: neither goes on
// until both have come.
#pragma once

#include <atomic>
#include <cstdint>

namespace standin::platform {

// Tells the processor that this thread spins on a load, where it can.
inline void pauseToSpin() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Where two threads meet: how many have come this time, and how many times
// both have.
struct Meeting {
    std::atomic<uint32_t> arrived{0}, rounds{0};
};

// The first to come spins for up to about a millisecond, as the other is
// usually close behind (sleeping and waking again would cost as much as a
// step's work), then sleeps until the other comes (the machine may be
// running other work).
constexpr uint32_t kMeetingSpins = 200000;

// Waits at `m` until the other thread comes too; returns at once when `m`
// is null (one thread does both threads' steps).
inline void meet(Meeting *m) {
    if (!m)
        return;
    const uint32_t round = m->rounds.load(std::memory_order_acquire);
    if (m->arrived.fetch_add(1, std::memory_order_acq_rel) == 1) {
        m->arrived.store(0, std::memory_order_relaxed);
        m->rounds.fetch_add(1, std::memory_order_release);
        m->rounds.notify_one();
        return;
    }
    for (uint32_t spins = 0; spins < kMeetingSpins; ++spins) {
        if (m->rounds.load(std::memory_order_acquire) != round)
            return;
        pauseToSpin();
    }
    while (m->rounds.load(std::memory_order_acquire) == round)
        m->rounds.wait(round, std::memory_order_acquire);
}

} // namespace standin::platform
