#pragma once

#include <cstdint>
#include <string>

namespace platform {

// What an operating system's error code (errno, or GetLastError on Windows) says by itself
// about a failed file operation, before the state of the card is taken into account.
enum class ErrorKind
{
    None,
    NoSpace,      // ENOSPC; ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL
    ReadOnly,     // EROFS; ERROR_WRITE_PROTECT
    AccessDenied, // EACCES, EPERM; ERROR_ACCESS_DENIED
    FileTooLarge, // EFBIG; ERROR_FILE_TOO_LARGE
    DeviceIo,     // EIO; ERROR_CRC, ERROR_IO_DEVICE
    DeviceGone,   // ENODEV, ENXIO; ERROR_NOT_READY, ERROR_DEVICE_NOT_CONNECTED, ERROR_DEV_NOT_EXIST
    NotFound,     // ENOENT, ESTALE; ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND
    Other,
};

ErrorKind errorKindOf(int osError);

// The system's own description of an error code, in UTF-8; empty for 0.
std::string errorText(int osError);

// Why a file operation on the card failed, all things considered.
enum class IoFailure
{
    None,
    CardFull,        // the file system has no room left for the next block
    DeviceOutOfRoom, // refused for want of room while the file system reports plenty
    WriteProtected,
    FileTooLarge, // the file system's per-file limit
    DeviceError,  // the card or the reader reported an I/O error
    CardRemoved,
    Other,
};

// What was known about the card when an operation on it failed.
struct CardFacts
{
    bool mounted = true;          // the card's root is still the volume the run began on
    bool spaceKnown = false;      // freeBytes was read after the failure
    std::uint64_t freeBytes = 0;  // available to the caller, reserved blocks not counted
    std::uint64_t blockBytes = 0; // the block that could not be stored
};

// The file system keeps part of its free space for its own bookkeeping (directory entries,
// extent trees, allocation units), so a card reporting less than this beyond the next block
// is full; with more free it refused for want of room it did not lack.
constexpr std::uint64_t BookkeepingSlack = 16u << 20;

// Pure: a removed card explains any error; otherwise the error's kind, with ENOSPC split by the
// free space the file system reports. Access refusals on the card are a write protection (the
// card's own files are always the program's to write).
IoFailure classifyFailure(ErrorKind kind, const CardFacts& facts);

// The identity of the volume that holds root, a volume's root or any folder on it (the device
// number on Linux, the volume serial number on Windows); false when root is not reachable.
bool volumeIdentity(const std::string& root, std::uint64_t& identity);

} // namespace platform
