#pragma once

#include "engine/blockpattern.h"
#include "engine/blockprogress.h"
#include "engine/cardwatch.h"
#include "engine/runoutcome.h"

#include <QString>
#include <QThread>
#include <atomic>

namespace platform {
class UnbufferedFile;
}

// Moves the bytes of one stream on its own thread: writes one test file with the random
// pattern or with the contents of a source file, or reads one test file back. Whole blocks
// only, bypassing the cache for the card. The engine samples bytesDone() while it runs and
// reads succeeded() and errorString() after wait().
//
// A read job also checks what comes back: every block is compared with what it must hold (the
// stamped pattern, or the same block of the file the target was copied from), while the next
// block is already being read, so the card never waits for a comparison.
class FileWorker : public QThread
{
    Q_OBJECT
public:
    // mode: 0 (WorkerMode::Write) writes, anything else reads targetPath back. An empty
    // sourcePath makes a write job write the random pattern; for a read job a non-empty
    // sourcePath names the file the target was copied from, read through the cache to check
    // the target against. stopFlag may be null (the job cannot be stopped); a non-zero value
    // ends the job before the next block.
    FileWorker(int mode, const QString& sourcePath, const QString& targetPath, qint64 totalBytes,
               qint64 blockSize, const std::atomic<int>* stopFlag, QObject* parent = nullptr);
    // Does not wait: delete a worker only after its thread has finished.
    ~FileWorker() override;

    qint64 bytesDone() const { return m_progress.bytes(); }
    // bytesDone() with the moment its last block completed, read as one consistent pair.
    BlockProgress::Snapshot progress() const { return m_progress.load(); }
    bool succeeded() const { return m_succeeded; }
    QString errorString() const { return m_errorString; }
    // Why the job failed, from the operating system's error and the card's state then (None
    // when it did not fail); the error text is worded from it.
    FailureCause cause() const { return m_cause; }
    // What the failure concerns: the card's root when the card itself failed (full, protected,
    // gone, out of room), the file to copy when it could not be read, else the target.
    QString errorPath() const;
    // The job failed because the card had no room left for the file or its next block.
    bool outOfSpace() const { return m_cause == FailureCause::CardFull; }

    // Set before start(). The card the job works on, as the run found it at its start; without
    // it the job watches the target's folder from the job's construction. A job notices within
    // a fraction of a second that the card has gone and ends with CardRemoved.
    void setCard(const CardWatch& card) { m_card = card; }

    // Set before start(). The run's random number and the file's index, stamped into every
    // random-data block written and expected in every block read back (default 0 and 0).
    void setStreamIdentity(quint64 runId, quint32 fileIndex);
    // Set before start(). Whether a read job checks the blocks it reads (default on).
    void setVerify(bool verify) { m_verify = verify; }

    // After wait(): the blocks read back that did not hold what they must, and the byte offset
    // in the file of the first of them (-1 when there was none). Blocks read before an error or
    // a stop are counted.
    qint64 badBlocks() const { return m_badBlocks; }
    qint64 firstBadOffset() const { return m_firstBadOffset; }

    // Fills `size` bytes with the stream pattern (whole 32-bit words only, little-endian).
    // Every block of every random-data file carries these bytes but for its stamp.
    static void fillPattern(void* buffer, qint64 size) { BlockPattern::fill(buffer, size); }

protected:
    void run() override;

private:
    bool stopRequested() const;
    // The read loop with its checker; source is open only when the target is a copy. False
    // when a stop ended it.
    bool readAndVerify(platform::UnbufferedFile& target, platform::UnbufferedFile& source,
                       void* firstBuffer, qint64 blocks);
    // Notes the failure of an operation on the card's file (a write when `writing`), classified
    // from the system's error; `what` says what could not be done.
    void targetFailed(const QString& what, int osError, bool writing);
    // Notes a failure to read the file being copied.
    void sourceFailed(const QString& what, int osError);
    // Checks, at most a few times a second, that the card is still there; false (with the
    // failure noted) once it has gone.
    bool cardStillThere();

    const int m_mode;
    const QString m_sourcePath;
    const QString m_targetPath;
    const qint64 m_totalBytes;
    const qint64 m_blockSize;
    const std::atomic<int>* const m_stopFlag;
    BlockProgress m_progress;
    CardWatch m_card;
    qint64 m_cardCheckedNs = 0;
    bool m_succeeded = false;
    FailureCause m_cause = FailureCause::None;
    QString m_errorString;
    quint64 m_runId = 0;
    quint32 m_fileIndex = 0;
    bool m_verify = true;
    qint64 m_badBlocks = 0;
    qint64 m_firstBadOffset = -1;
};
