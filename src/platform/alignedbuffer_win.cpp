#include "platform/alignedbuffer.h"

#include <malloc.h>

namespace platform {

AlignedBuffer::AlignedBuffer(std::size_t size)
{
    if (size == 0)
        return;
    data_ = _aligned_malloc(size, Alignment);
    if (data_)
        size_ = size;
}

AlignedBuffer::~AlignedBuffer()
{
    // _aligned_free accepts null, like free.
    _aligned_free(data_);
}

} // namespace platform
