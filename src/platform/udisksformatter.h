#pragma once

#include "platform/driveformatter.h"

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Formatting a block device through the udisks2 service on D-Bus (Linux only), the way the
// desktop's disk tools do it, so that an ordinary user is asked by the desktop's
// authorisation agent instead of needing root.
//
// Steps: Manager.ResolveDevice finds the device's object; Block.HintSystem refuses system
// disks; a mounted file system is unmounted; Block.Format writes the new one ("vfat" up to
// 32 GiB of card, "exfat" above, keeping the label as far as the new file system can carry
// it, with the partition type updated); Filesystem.Mount mounts it again.
//
// Outcomes: every step done → Done. No bus, no udisks service, a device udisks does not know,
// or a system disk → Unsupported. The user dismissing the authorisation prompt
// (org.freedesktop.UDisks2.Error.NotAuthorizedDismissed) → Cancelled. Any other error,
// including a failing final mount after a successful format → Failed.
//
// Waiting: each call is sent asynchronously and awaited in a local QEventLoop, so a GUI
// thread keeps painting and serving timers while the (possibly minutes long) format runs.
// User input (mouse, keys) is held back during the wait so that nothing the user does can
// start a second format or change the window under the caller; other events, queued
// signals included, are delivered, so the caller must not depend on state that they could
// change. A call made while another is waiting returns Failed at once. Needs a
// QCoreApplication; without one the result is Failed.
struct UdisksFormatRequest
{
    std::string devicePath;           // "/dev/sdb1"
    std::uint64_t diskBytes = 0;      // capacity of the whole card, chooses the file system
    std::optional<std::string> label; // UTF-8; none: keep the file system's current label
    std::string busAddress;           // a D-Bus address; empty: the system bus (tests use
                                      // a bus of their own)
};

struct UdisksFormatResult
{
    FormatOutcome outcome = FormatOutcome::Failed;
    std::string fileSystem; // the type asked for, once chosen
    std::string mountPoint; // where the new file system is mounted, on Done
    std::string detail;     // on any other outcome: the step and the service's message
};

UdisksFormatResult formatWithUdisks(const UdisksFormatRequest& request);

} // namespace platform
