#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// One file on the card (or a copy source) opened for whole-block transfers.
// Card files bypass the operating system's cache so that the card itself is measured;
// the copy source is read through the cache. Paths are UTF-8.
class UnbufferedFile
{
public:
    enum class Purpose
    {
        ReadBack,    // an existing card file, read unbuffered and sequentially
        CopySource,  // an existing file, read sequentially through the cache
        WriteTarget, // a card file, created or truncated, written unbuffered and write-through
    };

    UnbufferedFile() = default;
    ~UnbufferedFile();
    UnbufferedFile(const UnbufferedFile&) = delete;
    UnbufferedFile& operator=(const UnbufferedFile&) = delete;

    // False when the file cannot be opened (or created) for that purpose, or when the path
    // is not valid UTF-8 (Windows) or holds a NUL byte.
    bool open(const std::string& utf8Path, Purpose purpose);
    bool isOpen() const;

    // Transfer exactly `size` bytes at the current position. A failed call or a short count
    // is a failure. For card files the buffer must come from AlignedBuffer and `size` must
    // be a multiple of 4096.
    bool readBlock(void* buffer, std::size_t size);
    bool writeBlock(const void* buffer, std::size_t size);

    void close();

    // The operating system's code of the last failure (errno or GetLastError); 0 if none, and
    // also 0 when the call itself succeeded but moved fewer bytes (end of file).
    int lastError() const { return lastError_; }

private:
    // One whole-block request through `call`, with the bookkeeping every transfer shares.
    template<typename Call>
    bool transfer(std::size_t size, Call&& call);

    std::intptr_t handle_ = -1; // a file descriptor, or a HANDLE on Windows
    // Set when the file system refused direct I/O: transferred pages are then dropped
    // from the cache after every block instead.
    bool dropCache_ = false;
    std::int64_t offset_ = 0; // where the next block starts; for the cache drop
    int lastError_ = 0;
};

} // namespace platform
