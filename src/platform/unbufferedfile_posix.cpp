#include "platform/unbufferedfile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

int openFlags(UnbufferedFile::Purpose purpose)
{
    switch (purpose) {
    case UnbufferedFile::Purpose::ReadBack:
        return O_RDONLY | O_DIRECT;
    case UnbufferedFile::Purpose::CopySource:
        return O_RDONLY;
    case UnbufferedFile::Purpose::WriteTarget:
        return O_WRONLY | O_CREAT | O_TRUNC | O_DIRECT | O_DSYNC;
    }
    return O_RDONLY;
}

int openNoIntr(const char* path, int flags)
{
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Moves exactly `size` bytes, resuming after a signal or a partial transfer. Returns false
// on an error or at end of file before `size` bytes.
template<typename Fn>
bool transferAll(Fn&& fn, std::size_t size, int& error)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = fn(done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        if (n == 0) {
            error = 0;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

UnbufferedFile::~UnbufferedFile()
{
    close();
}

bool UnbufferedFile::open(const std::string& utf8Path, Purpose purpose)
{
    close();
    purpose_ = purpose;
    dropCache_ = false;
    offset_ = 0;
    lastError_ = 0;

    // The C string would end at an embedded NUL and name some other file.
    if (utf8Path.find('\0') != std::string::npos) {
        lastError_ = EINVAL;
        return false;
    }
    const int flags = openFlags(purpose);
    int fd = openNoIntr(utf8Path.c_str(), flags);
    if (fd < 0 && errno == EINVAL && (flags & O_DIRECT)) {
        // Some file systems (certain FUSE mounts) refuse direct I/O. Keep the writes
        // synchronous and evict every transferred block, so the card is still what is timed.
        fd = openNoIntr(utf8Path.c_str(), flags & ~O_DIRECT);
        dropCache_ = fd >= 0;
    }
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    handle_ = fd;
    const int fd32 = static_cast<int>(handle_);
    if (purpose != Purpose::WriteTarget)
        posix_fadvise(fd32, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (dropCache_ && purpose == Purpose::ReadBack)
        posix_fadvise(fd32, 0, 0, POSIX_FADV_DONTNEED);
    return true;
}

bool UnbufferedFile::isOpen() const
{
    return handle_ >= 0;
}

bool UnbufferedFile::readBlock(void* buffer, std::size_t size)
{
    if (!isOpen()) {
        lastError_ = EBADF;
        return false;
    }
    const int fd = static_cast<int>(handle_);
    char* bytes = static_cast<char*>(buffer);
    const bool ok = transferAll(
        [&](std::size_t done) { return ::read(fd, bytes + done, size - done); }, size, lastError_);
    if (ok && dropCache_)
        posix_fadvise(fd, offset_, static_cast<off_t>(size), POSIX_FADV_DONTNEED);
    if (ok)
        offset_ += static_cast<std::int64_t>(size);
    return ok;
}

bool UnbufferedFile::writeBlock(const void* buffer, std::size_t size)
{
    if (!isOpen()) {
        lastError_ = EBADF;
        return false;
    }
    const int fd = static_cast<int>(handle_);
    const char* bytes = static_cast<const char*>(buffer);
    const bool ok = transferAll(
        [&](std::size_t done) { return ::write(fd, bytes + done, size - done); }, size, lastError_);
    // O_DSYNC has made the block durable, so its pages are clean and can be dropped.
    if (ok && dropCache_)
        posix_fadvise(fd, offset_, static_cast<off_t>(size), POSIX_FADV_DONTNEED);
    if (ok)
        offset_ += static_cast<std::int64_t>(size);
    return ok;
}

void UnbufferedFile::close()
{
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

} // namespace platform
