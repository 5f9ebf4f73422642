// verifycost: what checking read-back data costs the CPU, per GiB read.
//
// The read worker compares every block the card returns with what it must hold. Blocks come
// fresh from the card (not in the CPU's caches), so the blocks checked here are spread over a
// pool far larger than the caches. Three checks are timed on this thread's CPU clock:
//   pattern   random data: the stamped pattern (one memcmp of the block, one of its stamp)
//   memcmp    file copy, the comparison alone: the card's block against the source's
//   copy      file copy in full: the source's block read through the page cache, then compared
// Usage: verifycost [GiB to check per case, default 4]

#include "engine/blockpattern.h"
#include "engine/units.h"
#include "platform/alignedbuffer.h"
#include "platform/unbufferedfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

namespace {

using units::GiB;
constexpr qint64 PoolBytes = 256 * units::MiB;

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double wallSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Runs check(blockIndex) until `bytes` have been checked; prints CPU ms per GiB.
void timeCase(const char* name, qint64 block, qint64 bytes,
              const std::function<bool(qint64)>& check)
{
    const qint64 blocks = bytes / block;
    qint64 bad = 0;
    const double cpu0 = threadCpuSeconds();
    const double wall0 = wallSeconds();
    for (qint64 b = 0; b < blocks; ++b)
        bad += check(b) ? 0 : 1;
    const double cpu = threadCpuSeconds() - cpu0;
    const double wall = wallSeconds() - wall0;
    const double gib = double(blocks * block) / GiB;
    std::printf("%-8s block %5lld KiB  %7.1f ms CPU per GiB  %6.2f GiB/s  (bad %lld)\n", name,
                static_cast<long long>(block / 1024), cpu * 1000 / gib, gib / wall,
                static_cast<long long>(bad));
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 perCase = (argc > 1 ? std::atoll(argv[1]) : 4) * GiB;
    if (perCase <= 0) {
        std::fprintf(stderr, "usage: verifycost [GiB per case]\n");
        return 2;
    }
    const quint64 runId = BlockPattern::newRunId();
    for (const qint64 block : {64 * units::KiB, units::MiB, 8 * units::MiB}) {
        const qint64 poolBlocks = PoolBytes / block;
        // The pool holds what the card gave back; the expected buffers are the worker's.
        platform::AlignedBuffer pool(static_cast<std::size_t>(PoolBytes));
        platform::AlignedBuffer pattern(static_cast<std::size_t>(block));
        platform::AlignedBuffer source(static_cast<std::size_t>(block));
        if (pool.isNull() || pattern.isNull() || source.isNull()) {
            std::fprintf(stderr, "verifycost: out of memory\n");
            return 1;
        }
        auto* poolBytes = static_cast<unsigned char*>(pool.data());
        const BlockPattern stamp(runId, 3);
        BlockPattern::fill(pattern.data(), block);
        // Both halves of the pool hold the same blocks, so a block of one half can stand for
        // the source of the same block in the other.
        const qint64 half = poolBlocks / 2;
        for (qint64 b = 0; b < poolBlocks; ++b) {
            std::memcpy(poolBytes + b * block, pattern.data(), static_cast<std::size_t>(block));
            stamp.stamp(poolBytes + b * block, block, static_cast<quint32>(b % half));
        }
        const auto at = [&](qint64 b) { return poolBytes + (b % poolBlocks) * block; };

        timeCase("pattern", block, perCase, [&](qint64 b) {
            return stamp.matches(at(b), pattern.data(), block,
                                 static_cast<quint32>(b % poolBlocks % half));
        });
        timeCase("memcmp", block, perCase, [&](qint64 b) {
            const qint64 j = b % half;
            return std::memcmp(at(j), at(j + half), static_cast<std::size_t>(block)) == 0;
        });

        // The source: the pool written to a file that stays in the page cache.
        QTemporaryFile file(QDir(QFile::exists("/dev/shm") ? "/dev/shm" : QDir::tempPath())
                                .filePath("verifycost-XXXXXX"));
        if (!file.open() ||
            file.write(reinterpret_cast<const char*>(poolBytes), PoolBytes) != PoolBytes) {
            std::fprintf(stderr, "verifycost: cannot write the source file\n");
            return 1;
        }
        file.flush();
        platform::UnbufferedFile src;
        qint64 posInFile = 0;
        timeCase("copy", block, perCase, [&](qint64 b) {
            if (posInFile == 0) {
                src.close();
                if (!src.open(file.fileName().toStdString(),
                              platform::UnbufferedFile::Purpose::CopySource))
                    return false;
            }
            const bool read = src.readBlock(source.data(), static_cast<std::size_t>(block));
            posInFile = (posInFile + block) % PoolBytes;
            return read && std::memcmp(at(b), source.data(), static_cast<std::size_t>(block)) == 0;
        });
    }
    return 0;
}
