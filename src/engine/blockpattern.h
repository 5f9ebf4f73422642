#pragma once

#include <QtGlobal>

// What one block of a random-data (or rolling-fill) test file holds: the stream pattern, with
// a 16-byte stamp in its last bytes that tells the block apart from every other block of the
// run and from every other run: the run's random number (64-bit), the file's index and the
// block's index (32-bit each), little-endian. A card that hands back another block's data (a
// counterfeit whose storage wraps around) or a stale block of an earlier run is caught by the
// stamp; a card that corrupts a block by the pattern. The first 8 bytes of every block are the
// pattern's and never change.
class BlockPattern
{
public:
    static constexpr qint64 StampBytes = 16;
    // Blocks smaller than this carry the pattern only: the stamp would overlap the first bytes.
    static constexpr qint64 MinStampedBlock = 8 + StampBytes;

    BlockPattern(quint64 runId, quint32 fileIndex);

    // Fills `size` bytes with the stream pattern (whole 32-bit words only, little-endian).
    static void fill(void* buffer, qint64 size);
    // A fresh random number for a run.
    static quint64 newRunId();

    // Writes block blockIndex's stamp into the last bytes of `block` (which holds the
    // pattern). Cheap: 16 bytes per block, so the pattern is made only once per stream.
    void stamp(void* block, qint64 blockSize, quint32 blockIndex) const;
    // True when `block` holds exactly what block blockIndex was written with; `pattern` is a
    // block filled by fill(). Compares at memory speed, without copying.
    bool matches(const void* block, const void* pattern, qint64 blockSize,
                 quint32 blockIndex) const;

    quint64 runId() const { return m_runId; }
    quint32 fileIndex() const { return m_fileIndex; }

private:
    void stampBytes(unsigned char* out, quint32 blockIndex) const;

    quint64 m_runId;
    quint32 m_fileIndex;
};
