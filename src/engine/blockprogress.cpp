#include "engine/blockprogress.h"

#include <chrono>
#include <thread>

void BlockProgress::publish(qint64 bytes, qint64 stampNs)
{
    const unsigned sequence = m_sequence.load(std::memory_order_relaxed);
    m_sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    m_bytes.store(bytes, std::memory_order_relaxed);
    m_stampNs.store(stampNs, std::memory_order_relaxed);
    m_sequence.store(sequence + 2, std::memory_order_release);
}

BlockProgress::Snapshot BlockProgress::load() const
{
    for (;;) {
        const unsigned before = m_sequence.load(std::memory_order_acquire);
        if ((before & 1u) == 0) {
            Snapshot snapshot;
            snapshot.bytes = m_bytes.load(std::memory_order_relaxed);
            snapshot.stampNs = m_stampNs.load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (m_sequence.load(std::memory_order_relaxed) == before)
                return snapshot;
        }
        std::this_thread::yield();
    }
}

qint64 BlockProgress::steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
