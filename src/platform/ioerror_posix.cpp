#include "platform/ioerror.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace platform {

ErrorKind errorKindOf(int osError)
{
    switch (osError) {
    case 0:
        return ErrorKind::None;
    case ENOSPC:
    case EDQUOT:
        return ErrorKind::NoSpace;
    case EROFS:
        return ErrorKind::ReadOnly;
    case EACCES:
    case EPERM:
        return ErrorKind::AccessDenied;
    case EFBIG:
        return ErrorKind::FileTooLarge;
    case EIO:
        return ErrorKind::DeviceIo;
    case ENODEV:
    case ENXIO:
        return ErrorKind::DeviceGone;
    case ENOENT:
    case ESTALE:
        return ErrorKind::NotFound;
    default:
        return ErrorKind::Other;
    }
}

std::string errorText(int osError)
{
    if (osError == 0)
        return {};
    char buffer[256] = {};
    // The GNU variant may return a static string instead of filling the buffer.
    return strerror_r(osError, buffer, sizeof buffer);
}

bool volumeIdentity(const std::string& root, std::uint64_t& identity)
{
    struct stat st;
    if (root.empty() || ::stat(root.c_str(), &st) != 0)
        return false;
    identity = static_cast<std::uint64_t>(st.st_dev);
    return true;
}

} // namespace platform
