#include "engine/cardwatch.h"

#include "platform/ioerror.h"
#include "platform/volumes.h"

#include <algorithm>

namespace {

FailureCause causeOf(platform::IoFailure failure)
{
    using platform::IoFailure;
    switch (failure) {
    case IoFailure::None:
        return FailureCause::None;
    case IoFailure::CardFull:
        return FailureCause::CardFull;
    case IoFailure::DeviceOutOfRoom:
        return FailureCause::DeviceOutOfRoom;
    case IoFailure::WriteProtected:
        return FailureCause::WriteProtected;
    case IoFailure::FileTooLarge:
        return FailureCause::FileTooLarge;
    case IoFailure::DeviceError:
        return FailureCause::DeviceError;
    case IoFailure::CardRemoved:
        return FailureCause::CardRemoved;
    case IoFailure::Other:
        break;
    }
    return FailureCause::Other;
}

} // namespace

CardWatch::CardWatch(const QString& root)
    : m_root(root)
{
    m_known = platform::volumeIdentity(root.toStdString(), m_identity);
}

bool CardWatch::present() const
{
    // Without an identity from the start there is nothing to compare with: the card's own
    // errors then tell what happened.
    if (m_root.isEmpty() || !m_known)
        return true;
    std::uint64_t now = 0;
    return platform::volumeIdentity(m_root.toStdString(), now) && now == m_identity;
}

FailureCause CardWatch::causeOf(int osError, qint64 blockBytes) const
{
    platform::ErrorKind kind = platform::errorKindOf(osError);
    // A write that stores nothing and gives no reason has met the end of the room there is.
    if (kind == platform::ErrorKind::None && blockBytes > 0)
        kind = platform::ErrorKind::NoSpace;
    platform::CardFacts facts;
    facts.mounted = present();
    facts.blockBytes = static_cast<std::uint64_t>(std::max<qint64>(0, blockBytes));
    platform::VolumeSpace space;
    if (kind == platform::ErrorKind::NoSpace && facts.mounted && !m_root.isEmpty() &&
        platform::queryVolumeSpace(m_root.toStdString(), space)) {
        facts.spaceKnown = true;
        facts.freeBytes = space.freeBytes;
    }
    // A read that ends early without a code: the file is shorter than written, or the card gone.
    if (kind == platform::ErrorKind::None)
        return facts.mounted ? FailureCause::Other : FailureCause::CardRemoved;
    return ::causeOf(platform::classifyFailure(kind, facts));
}
