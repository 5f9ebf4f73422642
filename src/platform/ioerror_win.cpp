#include "platform/ioerror.h"

#include <windows.h>

#include <vector>

namespace platform {

ErrorKind errorKindOf(int osError)
{
    switch (static_cast<DWORD>(osError)) {
    case ERROR_SUCCESS:
        return ErrorKind::None;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ErrorKind::NoSpace;
    case ERROR_WRITE_PROTECT:
        return ErrorKind::ReadOnly;
    case ERROR_ACCESS_DENIED:
        return ErrorKind::AccessDenied;
    case ERROR_FILE_TOO_LARGE:
        return ErrorKind::FileTooLarge;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
        return ErrorKind::DeviceIo;
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
        return ErrorKind::DeviceGone;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ErrorKind::NotFound;
    default:
        return ErrorKind::Other;
    }
}

std::string errorText(int osError)
{
    if (osError == 0)
        return {};
    wchar_t* wide = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(osError), 0, reinterpret_cast<wchar_t*>(&wide), 0, nullptr);
    std::string utf8;
    if (length > 0 && wide) {
        DWORD end = length; // the system's text ends in a line break
        while (end > 0 &&
               (wide[end - 1] == L'\r' || wide[end - 1] == L'\n' || wide[end - 1] == L' '))
            --end;
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(end), nullptr, 0,
                                              nullptr, nullptr);
        if (bytes > 0) {
            utf8.resize(static_cast<std::size_t>(bytes));
            WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(end), &utf8[0], bytes, nullptr,
                                nullptr);
        }
    }
    LocalFree(wide);
    return utf8.empty() ? "error " + std::to_string(osError) : utf8;
}

bool volumeIdentity(const std::string& root, std::uint64_t& identity)
{
    const int wideLength =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, root.c_str(), -1, nullptr, 0);
    if (root.empty() || wideLength <= 0)
        return false;
    std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, root.c_str(), -1, wide.data(), wideLength);
    // Any folder is on some volume; its root is what the volume's identity is asked of.
    wchar_t volume[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(wide.data(), volume, MAX_PATH))
        return false;
    DWORD serial = 0;
    // A card pulled from its reader leaves the letter but fails here (ERROR_NOT_READY); another
    // card in its place has another serial number.
    if (!GetVolumeInformationW(volume, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        return false;
    identity = serial;
    return true;
}

} // namespace platform
