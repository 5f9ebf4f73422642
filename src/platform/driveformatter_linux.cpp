// Formatting through the udisks2 disk service; see udisksformatter.h for how it waits.
#include "platform/driveformatter.h"
#include "platform/udisksformatter.h"
#include "platform/volumes.h"

#include <QtGlobal>

namespace platform {

FormatOutcome formatVolume(const std::string& root, std::uintptr_t)
{
    VolumeDevice device;
    if (!findVolumeDevice(root, device))
        return FormatOutcome::Unsupported;
    UdisksFormatRequest request;
    request.devicePath = device.devicePath;
    request.diskBytes = device.diskBytes;
    const UdisksFormatResult result = formatWithUdisks(request);
    // The window logs only the outcome; the reason goes to the same debug output.
    if (result.outcome != FormatOutcome::Done)
        qWarning("Format of %s (%s): %s", device.devicePath.c_str(), result.fileSystem.c_str(),
                 result.detail.c_str());
    return result.outcome;
}

} // namespace platform
