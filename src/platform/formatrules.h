#pragma once

#include "platform/driveformatter.h"
#include "platform/win32drive.h"

#include <cstdint>
#include <string>

// The decisions of formatting that do not need a drive, kept free of system calls so that
// they are checked on every system.
namespace platform {

namespace win32 {
constexpr std::uint32_t ShFmtIdDefault = 0xFFFFu;
constexpr std::uint32_t ShFmtError = 0xFFFFFFFFu;
constexpr std::uint32_t ShFmtCancel = 0xFFFFFFFEu;
constexpr std::uint32_t ShFmtNoFormat = 0xFFFFFFFDu;
} // namespace win32

// What the shell's format dialog ended with; every value but the three errors is the
// identifier of the new format, a success.
constexpr FormatOutcome outcomeOfShFormatDrive(std::uint32_t result)
{
    switch (result) {
    case win32::ShFmtError:
        return FormatOutcome::Failed;
    case win32::ShFmtCancel:
        return FormatOutcome::Cancelled;
    case win32::ShFmtNoFormat:
        return FormatOutcome::Unsupported;
    default:
        return FormatOutcome::Done;
    }
}

// The memory-card rule: up to 32 GiB (SDSC, SDHC) FAT32, above (SDXC) exFAT. A card of
// unknown size gets FAT32, which every device reads.
constexpr std::uint64_t FatCardLimitBytes = 32ull * 1024 * 1024 * 1024;

inline std::string fileSystemForCard(std::uint64_t diskBytes)
{
    return diskBytes > FatCardLimitBytes ? "exfat" : "vfat";
}

// The part of a volume label (UTF-8) that the new file system can carry, so that keeping an
// old label never makes the format fail: FAT takes at most 11 printable ASCII characters
// without *?.,;:/\|+=<>[]" ; exFAT at most 11 UTF-16 units of anything. Characters FAT
// cannot carry are left out, the rest is cut to length, trailing blanks are dropped.
inline std::string labelForFileSystem(const std::string& label, const std::string& fileSystem)
{
    std::string out;
    if (fileSystem == "vfat") {
        const std::string banned = "*?.,;:/\\|+=<>[]\"";
        for (const char c : label) {
            if (out.size() == 11)
                break;
            if (c >= 0x20 && c < 0x7F && banned.find(c) == std::string::npos)
                out += c;
        }
    } else {
        std::size_t units = 0;
        for (std::size_t i = 0; i < label.size();) {
            const auto lead = static_cast<unsigned char>(label[i]);
            const std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            const std::size_t need = len == 4 ? 2 : 1; // beyond the BMP: a surrogate pair
            if (units + need > 11 || i + len > label.size())
                break;
            out.append(label, i, len);
            units += need;
            i += len;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

} // namespace platform
