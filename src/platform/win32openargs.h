#pragma once

#include "platform/unbufferedfile.h"

#include <cstdint>

namespace platform {

// The CreateFileW arguments of each purpose, kept as plain numbers so that they can be
// checked on any system; the Windows implementation asserts at compile time that they equal
// the <windows.h> constants it stands for.
struct Win32OpenArgs
{
    std::uint32_t desiredAccess;
    std::uint32_t shareMode;
    std::uint32_t creationDisposition;
    std::uint32_t flagsAndAttributes;
};

namespace win32 {
constexpr std::uint32_t GenericRead = 0x80000000u;
constexpr std::uint32_t GenericWrite = 0x40000000u;
constexpr std::uint32_t FileShareNone = 0;
constexpr std::uint32_t FileShareRead = 0x00000001u;
constexpr std::uint32_t CreateAlways = 2;
constexpr std::uint32_t OpenExisting = 3;
constexpr std::uint32_t FlagWriteThrough = 0x80000000u;
constexpr std::uint32_t FlagNoBuffering = 0x20000000u;
constexpr std::uint32_t FlagSequentialScan = 0x08000000u;
} // namespace win32

// Card files bypass the cache (and writes go straight through to the card); the copy
// source is read through the cache. Nobody may open the target while it is written.
constexpr Win32OpenArgs win32OpenArgs(UnbufferedFile::Purpose purpose)
{
    using namespace win32;
    switch (purpose) {
    case UnbufferedFile::Purpose::ReadBack:
        return {GenericRead, FileShareRead, OpenExisting, FlagNoBuffering | FlagSequentialScan};
    case UnbufferedFile::Purpose::CopySource:
        return {GenericRead, FileShareRead, OpenExisting, FlagSequentialScan};
    case UnbufferedFile::Purpose::WriteTarget:
        return {GenericWrite, FileShareNone, CreateAlways,
                FlagWriteThrough | FlagNoBuffering | FlagSequentialScan};
    }
    return {GenericRead, FileShareRead, OpenExisting, FlagSequentialScan};
}

} // namespace platform
