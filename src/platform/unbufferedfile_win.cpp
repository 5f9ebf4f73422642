#include "platform/unbufferedfile.h"

#include "platform/win32openargs.h"

#include <climits>
#include <windows.h>

namespace platform {

static_assert(win32::GenericRead == static_cast<std::uint32_t>(GENERIC_READ));
static_assert(win32::GenericWrite == static_cast<std::uint32_t>(GENERIC_WRITE));
static_assert(win32::FileShareRead == FILE_SHARE_READ);
static_assert(win32::CreateAlways == CREATE_ALWAYS);
static_assert(win32::OpenExisting == OPEN_EXISTING);
static_assert(win32::FlagWriteThrough == static_cast<std::uint32_t>(FILE_FLAG_WRITE_THROUGH));
static_assert(win32::FlagNoBuffering == FILE_FLAG_NO_BUFFERING);
static_assert(win32::FlagSequentialScan == FILE_FLAG_SEQUENTIAL_SCAN);

namespace {

constexpr std::intptr_t NoHandle = -1;

HANDLE toHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

// UTF-8 to UTF-16 for the wide API. Refuses malformed UTF-8 and embedded NULs (which would
// silently cut the path short) instead of opening some other file.
bool toWide(const std::string& utf8, std::wstring& wide, int& error)
{
    wide.clear();
    if (utf8.empty())
        return true;
    if (utf8.find('\0') != std::string::npos || utf8.size() > static_cast<std::size_t>(INT_MAX)) {
        error = ERROR_INVALID_NAME;
        return false;
    }
    const int length = static_cast<int>(utf8.size());
    const int wideLength =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    wide.resize(static_cast<std::size_t>(wideLength));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, &wide[0],
                            wideLength) != wideLength) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    return true;
}

} // namespace

// One call moves the whole block; the length travels as a DWORD, so a larger block is
// refused rather than silently cut. A short count is a failure like a failed call.
template<typename Call>
bool UnbufferedFile::transfer(std::size_t size, Call&& call)
{
    if (!isOpen()) {
        lastError_ = ERROR_INVALID_HANDLE;
        return false;
    }
    if (size > MAXDWORD) {
        lastError_ = ERROR_INVALID_PARAMETER;
        return false;
    }
    DWORD done = 0;
    if (!call(static_cast<DWORD>(size), &done)) {
        lastError_ = static_cast<int>(GetLastError());
        return false;
    }
    if (done != size) {
        lastError_ = 0;
        return false;
    }
    return true;
}

UnbufferedFile::~UnbufferedFile()
{
    close();
}

bool UnbufferedFile::open(const std::string& utf8Path, Purpose purpose)
{
    close();
    lastError_ = 0;

    std::wstring path;
    if (!toWide(utf8Path, path, lastError_))
        return false;
    const Win32OpenArgs args = win32OpenArgs(purpose);
    const HANDLE h = CreateFileW(path.c_str(), args.desiredAccess, args.shareMode, nullptr,
                                 args.creationDisposition, args.flagsAndAttributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastError_ = static_cast<int>(GetLastError());
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool UnbufferedFile::isOpen() const
{
    return handle_ != NoHandle;
}

bool UnbufferedFile::readBlock(void* buffer, std::size_t size)
{
    return transfer(size, [&](DWORD length, DWORD* done) {
        return ReadFile(toHandle(handle_), buffer, length, done, nullptr);
    });
}

bool UnbufferedFile::writeBlock(const void* buffer, std::size_t size)
{
    return transfer(size, [&](DWORD length, DWORD* done) {
        return WriteFile(toHandle(handle_), buffer, length, done, nullptr);
    });
}

void UnbufferedFile::close()
{
    if (handle_ != NoHandle) {
        CloseHandle(toHandle(handle_));
        handle_ = NoHandle;
    }
}

} // namespace platform
