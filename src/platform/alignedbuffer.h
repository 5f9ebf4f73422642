#pragma once

#include <cstddef>

namespace platform {

// A block buffer fit for unbuffered I/O: its address is aligned to 4096 bytes, which is a
// multiple of every sector size a card reports. Allocated once, freed on destruction.
class AlignedBuffer
{
public:
    static constexpr std::size_t Alignment = 4096;

    explicit AlignedBuffer(std::size_t size);
    ~AlignedBuffer();
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;

    // Null when the allocation failed (or size was 0).
    void* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool isNull() const { return data_ == nullptr; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace platform
