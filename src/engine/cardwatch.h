#pragma once

#include "engine/runoutcome.h"

#include <QString>
#include <cstdint>

// The card a run is aimed at, as it was when the run began: whether it is still there, and why
// an operation on it failed, from the operating system's error code and the card's state at
// that moment. Copyable; every query asks the system afresh, from any thread.
class CardWatch
{
public:
    // Watches nothing: the card counts as present throughout (as it does when root could not
    // be reached at the start).
    CardWatch() = default;
    // Takes the identity of the volume now mounted at root.
    explicit CardWatch(const QString& root);

    const QString& root() const { return m_root; }
    // False once root is no longer the volume the watch began with (unmounted, pulled out, or
    // another card in its place).
    bool present() const;
    // Why an operation with the operating system's error osError failed; blockBytes is the
    // block that could not be stored (0 when nothing was being written).
    FailureCause causeOf(int osError, qint64 blockBytes) const;

private:
    QString m_root;
    bool m_known = false; // an identity was taken at the start
    std::uint64_t m_identity = 0;
};
