// Removable volumes through the Windows volume services: drive letters from the drive mask,
// only the removable drive type, names and sizes of each such drive.
#include "platform/volumes.h"
#include "platform/win32drive.h"

#include <windows.h>

namespace platform {

namespace {

constexpr DWORD NameChars = 260;

// "E:\\" for letter index 4.
std::wstring rootOf(int index)
{
    return std::wstring{static_cast<wchar_t>(L'A' + index), L':', L'\\'};
}

std::string toUtf8(const wchar_t* wide)
{
    const int length = lstrlenW(wide);
    if (length == 0)
        return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, length, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

// The letter index of a root of the form "E:\\" (either case), -1 for anything else: a
// folder below a drive root is not a volume root.
int letterIndex(const std::string& root)
{
    return root.size() == 3 ? win32DriveNumber(root) : -1;
}

bool isRemovableLetter(DWORD mask, int index)
{
    return index >= 0 && (mask & (DWORD{1} << index)) != 0 &&
           GetDriveTypeW(rootOf(index).c_str()) == DRIVE_REMOVABLE;
}

bool querySpace(const std::wstring& root, VolumeSpace& space)
{
    ULARGE_INTEGER freeToCaller{}, total{};
    if (!GetDiskFreeSpaceExW(root.c_str(), &freeToCaller, &total, nullptr))
        return false;
    space.freeBytes = freeToCaller.QuadPart;
    space.totalBytes = total.QuadPart;
    return true;
}

} // namespace

std::vector<VolumeInfo> listRemovableVolumes()
{
    std::vector<VolumeInfo> volumes;
    const DWORD mask = GetLogicalDrives();
    for (int index = 0; index < 26; ++index) {
        if (!isRemovableLetter(mask, index))
            continue;
        const std::wstring root = rootOf(index);
        VolumeInfo info;
        info.root = std::string{static_cast<char>('A' + index), ':', '\\'};
        wchar_t name[NameChars] = {};
        wchar_t fileSystem[NameChars] = {};
        // A drive whose volume cannot be read (no medium, unknown file system) is still listed.
        if (GetVolumeInformationW(root.c_str(), name, NameChars, nullptr, nullptr, nullptr,
                                  fileSystem, NameChars)) {
            info.label = toUtf8(name);
            info.fileSystem = toUtf8(fileSystem);
        }
        VolumeSpace space;
        if (querySpace(root, space)) {
            info.sizeKnown = true;
            info.freeBytes = space.freeBytes;
            info.totalBytes = space.totalBytes;
        }
        volumes.push_back(std::move(info));
    }
    return volumes;
}

bool queryVolumeSpace(const std::string& root, VolumeSpace& space)
{
    const int index = letterIndex(root);
    return index >= 0 && querySpace(rootOf(index), space);
}

bool isRemovableVolume(const std::string& root)
{
    return isRemovableLetter(GetLogicalDrives(), letterIndex(root));
}

bool findVolumeDevice(const std::string& root, VolumeDevice& device)
{
    const int index = letterIndex(root);
    if (!isRemovableLetter(GetLogicalDrives(), index))
        return false;
    device.devicePath = std::string{static_cast<char>('A' + index), ':', '\\'};
    VolumeSpace space;
    device.diskBytes = querySpace(rootOf(index), space) ? space.totalBytes : 0;
    return true;
}

} // namespace platform
