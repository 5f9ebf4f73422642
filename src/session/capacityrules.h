#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

namespace platform {
struct VolumeInfo;
}

// Size arithmetic of the drive list: what a drive item says, which test sizes a card can hold
// and how much a test will write.
class CapacityRules
{
public:
    // Cards up to this capacity are formatted FAT32 ...
    static constexpr quint64 SmallCardLimit = 34359738368ull;
    // ... whose 4 GiB file limit leaves this as the largest test file.
    static constexpr qint64 SmallCardMaxFile = 3758096384;

    // "E:\ [CAM] FAT32 28.7/29.7 GB"; a missing label reads "Removable", missing parts leave
    // no stray blanks.
    static QString driveItemText(const platform::VolumeInfo& volume);

    // Between 1 byte and 32 GiB inclusive; an unknown capacity (0) is not small.
    static bool isSmallCard(quint64 totalBytes);
    // Whether the card's file system caps a file at 4 GiB: every FAT (FAT32, FAT16, FAT12)
    // whatever the card's size, no other named one (exFAT, NTFS, ext4); a card whose file
    // system is unknown by its size, as small cards are formatted FAT32.
    static bool hasFatFileLimit(const QString& fileSystem, quint64 totalBytes);
    // Which of the test sizes a card of totalBytes with that file system (empty: unknown) can
    // be tested with.
    static QVector<bool> visibleSizes(const QVector<qint64>& sizes, quint64 totalBytes,
                                      const QString& fileSystem = QString());
    // The index to select: current while it stays visible, else the largest visible size
    // (current again when nothing is visible).
    static int fittingIndex(int current, const QVector<bool>& visible);

    // What a fill of the whole free space writes in files of the test size rounded down to whole
    // blocks, a shorter tail file included, times the number of fills (at least 1).
    static qint64 rollingFillTotal(quint64 freeBytes, qint64 testSize, qint64 blockSize,
                                   int iterations);

    // The text of the total-size label. With fullCap the estimate of the rolling fill is shown,
    // as long as the free space and the test size are known.
    static QString totalSizeText(qint64 testSize, int streamCount, bool fullCap, qint64 blockSize,
                                 quint64 freeBytes, int iterations);
};
