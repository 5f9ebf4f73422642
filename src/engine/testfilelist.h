#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// The test files of one run at the card's root, with the bytes each stream moves. Built
// before anything is written, so a plan that cannot be carried out creates no file.
class TestFileList
{
public:
    // streamCount files "__card_speed_test_<k>.dat" of perFileSize bytes each. These names
    // are the tool's own: a leftover of an interrupted run is simply overwritten.
    static TestFileList randomData(const QString& rootPath, qint64 perFileSize, int streamCount);

    // One copy per source of at least one whole block, sized down to whole blocks and
    // named after its source. Names already at the card's root and names given earlier in
    // the run are never reused, compared without regard to letter case as FAT and exFAT
    // do, so a user's own file on the card is never overwritten and two streams never
    // share one card file. Missing sources, folders and sources below one block are
    // listed in skippedSources(). blockSize must be positive.
    static TestFileList externalFiles(const QString& rootPath, const QStringList& sources,
                                      qint64 blockSize);

    // The first of fileName, "base (1).suffix", "base (2).suffix" ... whose folded form is
    // not in `taken` (base: everything before the last dot; without a dot "name (k)").
    static QString freeName(const QString& fileName, const QSet<QString>& taken);
    // The form names are compared in.
    static QString foldName(const QString& name);
    // Folded names of everything at the root of a card (files, folders, hidden entries).
    static QSet<QString> namesAt(const QString& rootPath);

    const QStringList& targets() const { return m_targets; }
    const QVector<qint64>& sizes() const { return m_sizes; }
    // The sources that received a test file, one per target in target order.
    const QStringList& keptSources() const { return m_keptSources; }
    // Sources without a whole block, exactly as listed, in list order.
    const QStringList& skippedSources() const { return m_skippedSources; }
    qint64 totalBytes() const;
    bool isEmpty() const { return m_targets.isEmpty(); }

private:
    QStringList m_targets;
    QVector<qint64> m_sizes;
    QStringList m_keptSources;
    QStringList m_skippedSources;
};
