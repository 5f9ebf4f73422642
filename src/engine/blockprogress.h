#pragma once

#include <QtGlobal>

#include <atomic>

// A stream's byte count together with the moment its last counted block completed. The worker
// publishes both after every block; the engine reads them as one consistent pair without a
// lock (a sequence lock: one writer, a reader retries while a write is under way). Speeds are
// then measured between block completions, so counting whole blocks never aliases against the
// engine's sampling clock.
class BlockProgress
{
public:
    struct Snapshot
    {
        qint64 bytes = 0;
        qint64 stampNs = 0; // steadyNowNs() when the last counted block completed; 0 before
    };

    // Writer thread only.
    void publish(qint64 bytes, qint64 stampNs);
    // Any thread.
    Snapshot load() const;
    qint64 bytes() const { return m_bytes.load(std::memory_order_relaxed); }

    // The monotonic clock the stamps are taken on, in nanoseconds.
    static qint64 steadyNowNs();

private:
    std::atomic<unsigned> m_sequence{0}; // odd while a write is under way
    std::atomic<qint64> m_bytes{0};
    std::atomic<qint64> m_stampNs{0};
};
