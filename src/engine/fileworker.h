#pragma once

#include "engine/blockprogress.h"

#include <QString>
#include <QThread>
#include <atomic>

// Moves the bytes of one stream on its own thread: writes one test file with the random
// pattern or with the contents of a source file, or reads one test file back. Whole blocks
// only, bypassing the cache for the card. The engine samples bytesDone() while it runs and
// reads succeeded() and errorString() after wait().
class FileWorker : public QThread
{
    Q_OBJECT
public:
    // mode: 0 (WorkerMode::Write) writes, anything else reads targetPath back. An empty
    // sourcePath makes a write job write the random pattern. stopFlag may be null (the job
    // cannot be stopped); a non-zero value ends the job before the next block.
    FileWorker(int mode, const QString& sourcePath, const QString& targetPath, qint64 totalBytes,
               qint64 blockSize, const std::atomic<int>* stopFlag, QObject* parent = nullptr);
    // Does not wait: delete a worker only after its thread has finished.
    ~FileWorker() override;

    qint64 bytesDone() const { return m_progress.bytes(); }
    // bytesDone() with the moment its last block completed, read as one consistent pair.
    BlockProgress::Snapshot progress() const { return m_progress.load(); }
    bool succeeded() const { return m_succeeded; }
    QString errorString() const { return m_errorString; }
    // The job failed because the card had no room left for the file or its next block; the
    // error text then says so rather than naming a bare write failure.
    bool outOfSpace() const { return m_outOfSpace; }

    // Fills `size` bytes with the stream pattern (whole 32-bit words only, little-endian).
    // Every block of every random-data file carries these same bytes.
    static void fillPattern(void* buffer, qint64 size);

protected:
    void run() override;

private:
    bool stopRequested() const;
    // Notes a failed write (or creation, `writing` false) of the target and its error text.
    void targetFailed(const QString& text, int osError, bool writing);

    const int m_mode;
    const QString m_sourcePath;
    const QString m_targetPath;
    const qint64 m_totalBytes;
    const qint64 m_blockSize;
    const std::atomic<int>* const m_stopFlag;
    BlockProgress m_progress;
    bool m_succeeded = false;
    bool m_outOfSpace = false;
    QString m_errorString;
};
