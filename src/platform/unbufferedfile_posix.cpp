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

} // namespace

// Moves exactly `size` bytes, resuming after a signal or a partial transfer; an error or the
// end of the file before `size` bytes is a failure. With the cache fallback the block's pages
// are dropped once moved (O_DSYNC has made written ones clean), so the card stays what is timed.
template<typename Call>
bool UnbufferedFile::transfer(std::size_t size, Call&& call)
{
    if (!isOpen()) {
        lastError_ = EBADF;
        return false;
    }
    const int fd = static_cast<int>(handle_);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = call(fd, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            lastError_ = n < 0 ? errno : 0;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (dropCache_)
        posix_fadvise(fd, offset_, static_cast<off_t>(size), POSIX_FADV_DONTNEED);
    offset_ += static_cast<std::int64_t>(size);
    return true;
}

UnbufferedFile::~UnbufferedFile()
{
    close();
}

bool UnbufferedFile::open(const std::string& utf8Path, Purpose purpose)
{
    close();
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
    char* bytes = static_cast<char*>(buffer);
    return transfer(
        size, [&](int fd, std::size_t done) { return ::read(fd, bytes + done, size - done); });
}

bool UnbufferedFile::writeBlock(const void* buffer, std::size_t size)
{
    const char* bytes = static_cast<const char*>(buffer);
    return transfer(
        size, [&](int fd, std::size_t done) { return ::write(fd, bytes + done, size - done); });
}

void UnbufferedFile::close()
{
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

} // namespace platform
