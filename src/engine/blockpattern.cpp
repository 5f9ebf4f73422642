#include "engine/blockpattern.h"

#include <QRandomGenerator>

#include <cstdint>
#include <cstring>

namespace {

void putLe(unsigned char* out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

} // namespace

BlockPattern::BlockPattern(quint64 runId, quint32 fileIndex)
    : m_runId(runId)
    , m_fileIndex(fileIndex)
{}

void BlockPattern::fill(void* buffer, qint64 size)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::uint32_t x = 0xDEADBEEFu;
    const qint64 words = size / 4;
    for (qint64 w = 0; w < words; ++w) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        // Little-endian on every host, so the bytes on the card never depend on the CPU.
        putLe(bytes + w * 4, x, 4);
    }
}

quint64 BlockPattern::newRunId()
{
    return QRandomGenerator::system()->generate64();
}

void BlockPattern::stampBytes(unsigned char* out, quint32 blockIndex) const
{
    putLe(out, m_runId, 8);
    putLe(out + 8, m_fileIndex, 4);
    putLe(out + 12, blockIndex, 4);
}

void BlockPattern::stamp(void* block, qint64 blockSize, quint32 blockIndex) const
{
    if (blockSize < MinStampedBlock)
        return;
    stampBytes(static_cast<unsigned char*>(block) + blockSize - StampBytes, blockIndex);
}

bool BlockPattern::matches(const void* block, const void* pattern, qint64 blockSize,
                           quint32 blockIndex) const
{
    if (blockSize <= 0)
        return true;
    if (blockSize < MinStampedBlock)
        return std::memcmp(block, pattern, static_cast<std::size_t>(blockSize)) == 0;
    const auto body = static_cast<std::size_t>(blockSize - StampBytes);
    unsigned char expected[StampBytes];
    stampBytes(expected, blockIndex);
    return std::memcmp(block, pattern, body) == 0 &&
           std::memcmp(static_cast<const unsigned char*>(block) + body, expected, StampBytes) == 0;
}
