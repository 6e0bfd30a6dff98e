// Two threads that work in steps meeting between them: neither goes on
// until both have come.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace standin::platform {

// Tells the processor that this thread spins on a load, where it can.
inline void pauseToSpin() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Where two threads meet: how many have come this time, how many times both
// have, and where the first to come sleeps when the other is long.
struct Meeting {
    std::atomic<uint32_t> arrived{0}, rounds{0};
    std::mutex lock;
    std::condition_variable woken;
};

// The first to come spins for a while, as the other is usually close behind
// and sleeping and waking again would cost as much as a step's work; then
// it sleeps until the other comes, giving up its processor, which the other
// may be waiting for when the machine runs more threads than it has cores.
// The spin is bounded by time, not by a count, as a pause instruction takes
// from ten to a few hundred cycles from one processor to the next.
constexpr std::chrono::microseconds kMeetingSpin{50};

// Waits at `m` until the other thread comes too; returns at once when `m`
// is null (one thread does both threads' steps).
inline void meet(Meeting *m) {
    if (!m)
        return;
    const uint32_t round = m->rounds.load(std::memory_order_acquire);
    if (m->arrived.fetch_add(1, std::memory_order_acq_rel) == 1) {
        m->arrived.store(0, std::memory_order_relaxed);
        {
            // Under the lock, so that the other cannot be between finding
            // the round unchanged and going to sleep.
            std::lock_guard<std::mutex> hold(m->lock);
            m->rounds.fetch_add(1, std::memory_order_release);
        }
        m->woken.notify_one();
        return;
    }
    const auto until = std::chrono::steady_clock::now() + kMeetingSpin;
    for (uint32_t spins = 1;; ++spins) {
        if (m->rounds.load(std::memory_order_acquire) != round)
            return;
        pauseToSpin();
        if (spins % 64 == 0 && std::chrono::steady_clock::now() > until)
            break;
    }
    std::unique_lock<std::mutex> hold(m->lock);
    m->woken.wait(hold, [&] { return m->rounds.load(std::memory_order_acquire) != round; });
}

} // namespace standin::platform
