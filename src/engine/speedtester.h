#pragma once

#include "engine/cardwatch.h"
#include "engine/runoutcome.h"
#include "engine/testplan.h"

#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>
#include <atomic>

class FileWorker;

// The test engine: one object carries out one run on its own thread. The window hands it a
// TestPlan through the setters before start(); everything the engine has to say leaves it
// through its signals, and the only thing that can be done to a running engine is
// requestStop().
class SpeedTester : public QThread
{
    Q_OBJECT
public:
    explicit SpeedTester(QObject* parent = nullptr);
    // Requests a stop and waits for the run to wind down (at most one block per stream).
    ~SpeedTester() override;

    // Plan setters: call only while the thread is not running.
    void setRootPath(const QString& rootPath);
    void setTestSize(qint64 bytes);
    void setBlockSize(qint64 bytes);
    void setSourceFiles(const QStringList& files);
    void setStreamCount(int count); // kept within 1..16
    void setStaggerMs(int ms);      // negative gives 0
    void setReadEnabled(bool enabled);
    void setRollingParams(qint64 fileSize, qint64 freeBytes, int refills); // refills >= 0
    // Rolling fill: read every fill back and check it before deleting it.
    void setRollingVerify(bool verify);

    // Callable from any thread at any time; returns at once. A request made before the
    // thread runs is discarded when the run begins.
    void requestStop();

    // Engine thread only: reports what a finished read worker found wrong in its file, as
    // dataMismatch and a log line (nothing when the file was clean).
    void reportMismatch(int fileIdx, const QString& path, const FileWorker& worker);

    // The card of the run, as found when the run began.
    const CardWatch& card() const { return m_card; }

    // The plan as set (testSize is the run's total once run() has built its files).
    const TestPlan& plan() const { return m_plan; }
    // The run's test files and the bytes of each; kept after run() has returned.
    const QStringList& targetFiles() const { return m_targetFiles; }
    const QVector<qint64>& fileSizes() const { return m_fileSizes; }

signals:
    void writeProgress(int percent, double currentSpeedMBps, double avgSpeedMBps);
    void readProgress(int percent, double currentSpeedMBps, double avgSpeedMBps);
    void fileWriteSample(int fileIdx, int percent, double curMBps, double avgMBps);
    void fileReadSample(int fileIdx, int percent, double curMBps, double avgMBps);
    void writeFinished(double avgSpeedMBps);
    void readFinished(double avgSpeedMBps);
    // A failure that ends the run (or the phase): the text as the user is told it, its cause
    // and the file or card it concerns (empty when none does).
    void testError(QString message, FailureCause cause, QString path);
    void log(QString message);
    // Rolling fill: the check of fill `fill` of `fills` has read `percent` of it, at these
    // speeds (MB/s); about every 200 ms while a fill is read back.
    void fillCheckProgress(int fill, int fills, int percent, double currentMBps, double avgMBps);
    void rollingFileProgress(int currentFile, int totalFiles, qlonglong bytesWritten,
                             qlonglong bytesTotal);
    // A file read back held blocks other than those written: once per such file, when its
    // read has ended (before the phase's closing signals). fileIdx is the stream's row (0 for
    // the rolling fill's single stream), filePath names the file, firstBadOffset is the byte
    // offset in it of the first bad block.
    void dataMismatch(int fileIdx, QString filePath, qlonglong badBlocks, qlonglong firstBadOffset);

protected:
    void run() override;

private:
    struct Phase;

    // One timed pass over all test files; true only when every stream completed and no
    // stop was requested.
    bool runPhase(WorkerMode mode, const QStringList& sources, const QStringList& targets,
                  const QVector<qint64>& sizes, qint64 blockSize, qint64 expectedTotal,
                  std::atomic<int>* stopFlag, int staggerMs, bool isWrite);
    void sampleProgress(Phase& phase, bool final);
    void logStreamStart(const Phase& phase, int i);
    void removeTestFiles();
    // The fill-entire-card stress test instead of the phases; false when the plan was refused.
    bool runRollingFill();
    bool stopRequested() const;

    TestPlan m_plan;
    QStringList m_targetFiles;
    QVector<qint64> m_fileSizes;
    std::atomic<int> m_stopFlag{0};
    CardWatch m_card;
    // Stamped into every block of the run, so no block of another run can pass for its own.
    quint64 m_runId = 0;
};
