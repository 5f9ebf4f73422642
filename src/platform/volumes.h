#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One removable volume that a test may be aimed at.
struct VolumeInfo
{
    std::string root;       // "E:\\" on Windows; the mount point with a trailing '/' on Linux
    std::string label;      // empty when unknown (the window then shows "Removable")
    std::string fileSystem; // empty when unknown
    bool sizeKnown = false;
    std::uint64_t freeBytes = 0; // available to the calling user
    std::uint64_t totalBytes = 0;
};

struct VolumeSpace
{
    std::uint64_t freeBytes = 0; // available to the calling user
    std::uint64_t totalBytes = 0;
};

// What formatting needs to know about a removable volume.
struct VolumeDevice
{
    std::string devicePath;      // "/dev/sdb1" on Linux; the root itself ("E:\\") on Windows
    std::uint64_t diskBytes = 0; // capacity of the whole card, 0 when unknown
};

// The removable volumes of this machine in display order: drive letters ascending on Windows,
// roots sorted on Linux. System disks are never listed. On Linux a volume mounted in several
// places is listed once, and the system's files (proc/self/mountinfo, sys/, run/udev/data/,
// dev/disk/) are read below the folder named by the environment variable
// QUORVELCARD_SYSTEM_ROOT when it is set, at every call (mount points stay real paths).
std::vector<VolumeInfo> listRemovableVolumes();

// Free and total bytes of the volume at root; false when the query fails.
bool queryVolumeSpace(const std::string& root, VolumeSpace& space);

// Whether root is, at this moment, the root of a removable volume: "E:\\" (either case) on
// Windows; on Linux the exact mount point, with or without its trailing '/'. A folder below a
// root is not one.
bool isRemovableVolume(const std::string& root);

// The device behind a removable volume's root; false when root is not one.
bool findVolumeDevice(const std::string& root, VolumeDevice& device);

} // namespace platform
