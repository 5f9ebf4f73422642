#pragma once

#include "engine/runoutcome.h"
#include "engine/testplan.h"

#include <QMetaType>
#include <QString>
#include <QThread>

// What a test session needs of an engine: a plan handed over whole before start(), a stop that
// can be asked for at any time, and signals that carry everything the run has to say. One
// object carries out one run on its own thread; ended() is its last word.
class RunEngine : public QThread
{
    Q_OBJECT
public:
    explicit RunEngine(QObject* parent = nullptr);

    // Call only while the thread is not running.
    virtual void setPlan(const TestPlan& plan) = 0;
    virtual const TestPlan& plan() const = 0;
    // Callable from any thread at any time; returns at once.
    virtual void requestStop() = 0;

signals:
    // Card-total progress of a phase, speeds in MB/s.
    void writeProgress(int percent, double currentSpeedMBps, double avgSpeedMBps);
    void readProgress(int percent, double currentSpeedMBps, double avgSpeedMBps);
    // One stream's progress; stream is its row less one (0 for the rolling fill).
    void fileWriteSample(int stream, int percent, double curMBps, double avgMBps);
    void fileReadSample(int stream, int percent, double curMBps, double avgMBps);
    void writeFinished(double avgSpeedMBps);
    void readFinished(double avgSpeedMBps);
    // A failure the user must hear about at once; the run then ends as failed.
    void testError(QString message);
    void log(QString message);
    // Rolling fill: the check of fill `fill` of `fills` has read `percent` of it, at these
    // speeds (MB/s); about every 200 ms while a fill is read back.
    void fillCheckProgress(int fill, int fills, int percent, double currentMBps, double avgMBps);
    void rollingFileProgress(int currentFile, int totalFiles, qlonglong bytesWritten,
                             qlonglong bytesTotal);
    // A file read back held blocks other than those written: once per such file, when its
    // read has ended (before the phase's closing signals). filePath names the file,
    // firstBadOffset is the byte offset in it of the first bad block.
    void dataMismatch(int stream, QString filePath, qlonglong badBlocks, qlonglong firstBadOffset);
    // How the run ended: sent once per run, after every other signal of it.
    void ended(RunOutcome outcome);
};

Q_DECLARE_METATYPE(RunOutcome)
