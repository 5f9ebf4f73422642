#include "engine/testfilelist.h"

#include <QDir>
#include <QFileInfo>

TestFileList TestFileList::randomData(const QString& rootPath, qint64 perFileSize, int streamCount)
{
    TestFileList list;
    for (int k = 1; k <= streamCount; ++k) {
        list.m_targets.append(rootPath + QStringLiteral("__card_speed_test_%1.dat").arg(k));
        list.m_sizes.append(perFileSize);
    }
    return list;
}

TestFileList TestFileList::externalFiles(const QString& rootPath, const QStringList& sources,
                                         qint64 blockSize)
{
    TestFileList list;
    QSet<QString> taken = namesAt(rootPath);
    for (const QString& source : sources) {
        const QFileInfo info(source);
        // Only regular files are copied: a folder has a size of its own on some file
        // systems but cannot be read as a stream.
        const qint64 size = info.isFile() ? info.size() / blockSize * blockSize : 0;
        if (size <= 0) {
            list.m_skippedSources.append(source);
            continue;
        }
        const QString name = freeName(info.fileName(), taken);
        taken.insert(foldName(name));
        list.m_targets.append(rootPath + name);
        list.m_sizes.append(size);
        list.m_keptSources.append(source);
    }
    return list;
}

QString TestFileList::freeName(const QString& fileName, const QSet<QString>& taken)
{
    if (!taken.contains(foldName(fileName)))
        return fileName;
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? fileName : fileName.left(dot);
    const QString suffix = dot < 0 ? QString() : fileName.mid(dot + 1);
    for (int k = 1;; ++k) {
        // One pass of arg(): a name holding "%1" must not be substituted again.
        const QString number = QString::number(k);
        const QString candidate = dot < 0 ? QStringLiteral("%1 (%2)").arg(base, number)
                                          : QStringLiteral("%1 (%2).%3").arg(base, number, suffix);
        if (!taken.contains(foldName(candidate)))
            return candidate;
    }
}

QString TestFileList::foldName(const QString& name)
{
    return name.toCaseFolded();
}

QSet<QString> TestFileList::namesAt(const QString& rootPath)
{
    QSet<QString> names;
    if (rootPath.isEmpty())
        return names;
    const QStringList entries = QDir(rootPath).entryList(QDir::AllEntries | QDir::Hidden |
                                                         QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries)
        names.insert(foldName(entry));
    return names;
}

qint64 TestFileList::totalBytes() const
{
    qint64 total = 0;
    for (qint64 s : m_sizes)
        total += s;
    return total;
}
