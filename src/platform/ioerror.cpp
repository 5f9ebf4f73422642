#include "platform/ioerror.h"

namespace platform {

IoFailure classifyFailure(ErrorKind kind, const CardFacts& facts)
{
    if (kind == ErrorKind::None)
        return IoFailure::None;
    if (!facts.mounted || kind == ErrorKind::DeviceGone)
        return IoFailure::CardRemoved;
    switch (kind) {
    case ErrorKind::NoSpace:
        if (facts.spaceKnown && facts.freeBytes >= facts.blockBytes + BookkeepingSlack)
            return IoFailure::DeviceOutOfRoom;
        return IoFailure::CardFull;
    case ErrorKind::ReadOnly:
    case ErrorKind::AccessDenied:
        return IoFailure::WriteProtected;
    case ErrorKind::FileTooLarge:
        return IoFailure::FileTooLarge;
    case ErrorKind::DeviceIo:
        return IoFailure::DeviceError;
    default:
        return IoFailure::Other;
    }
}

} // namespace platform
