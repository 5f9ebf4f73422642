#include "platform/alignedbuffer.h"

#include <cstdlib>

namespace platform {

AlignedBuffer::AlignedBuffer(std::size_t size)
{
    void* p = nullptr;
    if (size > 0 && posix_memalign(&p, Alignment, size) == 0) {
        data_ = p;
        size_ = size;
    }
}

AlignedBuffer::~AlignedBuffer()
{
    std::free(data_);
}

} // namespace platform
