#include "session/capacityrules.h"

#include "engine/units.h"
#include "platform/volumes.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

struct CapacityTexts
{
    Q_DECLARE_TR_FUNCTIONS(CapacityTexts)
};

QString gib(double bytes)
{
    return QString::number(bytes / units::GiB, 'f', 1);
}

} // namespace

QString CapacityRules::driveItemText(const platform::VolumeInfo& volume)
{
    QString label = QString::fromStdString(volume.label);
    if (label.isEmpty())
        label = CapacityTexts::tr("DriveRemovable");
    QString size;
    if (volume.sizeKnown)
        size = QStringLiteral("%1/%2 GB")
                   .arg(gib(double(volume.freeBytes)), gib(double(volume.totalBytes)));
    return QStringLiteral("%1 [%2] %3 %4")
        .arg(QString::fromStdString(volume.root), label, QString::fromStdString(volume.fileSystem),
             size)
        .trimmed();
}

bool CapacityRules::hasFatFileLimit(const QString& fileSystem, quint64 totalBytes)
{
    if (fileSystem.isEmpty())
        return isSmallCard(totalBytes);
    return fileSystem.startsWith(QLatin1String("FAT"), Qt::CaseInsensitive) ||
           fileSystem.compare(QLatin1String("vfat"), Qt::CaseInsensitive) == 0 ||
           fileSystem.compare(QLatin1String("msdos"), Qt::CaseInsensitive) == 0;
}

bool CapacityRules::isSmallCard(quint64 totalBytes)
{
    // Unsigned wrap-around puts 0 far above the limit.
    return totalBytes - 1 <= SmallCardLimit - 1;
}

QVector<bool> CapacityRules::visibleSizes(const QVector<qint64>& sizes, quint64 totalBytes,
                                          const QString& fileSystem)
{
    const bool small = hasFatFileLimit(fileSystem, totalBytes);
    QVector<bool> visible;
    visible.reserve(sizes.size());
    for (qint64 size : sizes)
        visible << !(small && size > SmallCardMaxFile);
    return visible;
}

int CapacityRules::fittingIndex(int current, const QVector<bool>& visible)
{
    int lastVisible = -1;
    for (int i = 0; i < visible.size(); ++i) {
        if (visible[i])
            lastVisible = i;
    }
    if (current >= 0 && current < visible.size() && visible[current])
        return current;
    return lastVisible >= 0 ? lastVisible : current;
}

qint64 CapacityRules::rollingFillTotal(quint64 freeBytes, qint64 testSize, qint64 blockSize,
                                       int iterations)
{
    if (freeBytes < 1 || testSize < 1 || blockSize < 1)
        return 0;
    const quint64 fileSize = quint64(testSize / blockSize * blockSize);
    if (fileSize == 0)
        return 0;
    const quint64 files = freeBytes / fileSize;
    const quint64 tail = (freeBytes - files * fileSize) / quint64(blockSize) * quint64(blockSize);
    if (files == 0 && tail == 0)
        return 0;
    return qint64(files * fileSize + tail) * std::max(iterations, 1);
}

QString CapacityRules::totalSizeText(qint64 testSize, int streamCount, bool fullCap,
                                     qint64 blockSize, quint64 freeBytes, int iterations)
{
    if (fullCap && freeBytes >= 1 && testSize >= 1) {
        const qint64 total = rollingFillTotal(freeBytes, testSize, blockSize, iterations);
        return CapacityTexts::tr("TotalSizeRolling").arg(gib(double(total))).arg(iterations);
    }
    const qint64 total = qint64(streamCount) * testSize;
    if (double(total) / units::GiB >= 1.0)
        return CapacityTexts::tr("TotalSizeGB").arg(gib(double(total)));
    return CapacityTexts::tr("TotalSizeMB").arg(total / units::MiB);
}
