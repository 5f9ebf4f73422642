#pragma once

#include "engine/fillcheck.h"
#include "engine/speedmeter.h"
#include "engine/testplan.h"

#include <QElapsedTimer>
#include <QStringList>
#include <atomic>

class FileWorker;
class EngineReport;

// The rolling-fill stress test: fills the card's free space with equal files and a tail file,
// written one after another by a single FileWorker, then deletes the whole fill and writes the
// card full again, as many times as asked. Reports as one write stream plus a file counter,
// through the report of the engine it runs for, on that engine's thread.
class RollingFill
{
public:
    // The shape of the test, derived from the plan. Counts are 64-bit so that a tiny file size
    // on a large card cannot overflow them; the signals carry them saturated to int.
    struct Layout
    {
        qint64 fileSize = 0;     // every file but the tail, whole blocks
        qint64 fullFiles = 0;    // files of fileSize per fill
        qint64 tailSize = 0;     // the rest of the free space in whole blocks; 0 for none
        qint64 filesPerFill = 0; // fullFiles, plus one with a tail
        int fills = 0;           // the refills asked for, at least 1
        qint64 totalFiles = 0;
        qint64 totalBytes = 0;

        // Size of the file at this place within a fill (0-based).
        qint64 sizeAt(qint64 position) const;
    };
    // fileSize is 0 or less when the plan's file size is below one block.
    static Layout layoutOf(const TestPlan& plan);

    RollingFill(EngineReport& report, const TestPlan& plan, const std::atomic<int>* stopFlag);
    ~RollingFill();
    RollingFill(const RollingFill&) = delete;
    RollingFill& operator=(const RollingFill&) = delete;

    // True when the fill ran (whatever its outcome); false when the plan was refused, with its
    // failure reported and nothing written.
    bool run();

private:
    enum class FileOutcome
    {
        Written,
        FillEndsFull, // the card ran out of room in a fill's last file: the fill is complete
        Failed,
    };

    FileOutcome writeFile(qint64 index, qint64 size);
    // Whether running out of room while writing this file still leaves a complete fill.
    bool fillIsAsGoodAsFull(qint64 index) const;
    void sample(const FileWorker& worker, qint64 index);
    void deleteFill(bool reportFailures);
    // With the plan's rollVerify: reads the current fill back and checks it. False when the test
    // must end (a file could not be read, or a stop).
    bool verifyFill(qint64 fill);
    // The test's clock without the time spent checking fills: every write speed runs on it.
    qint64 writeClockNs() const { return m_clock.nsecsElapsed() - m_checkNs; }
    bool stopRequested() const;
    QString pathOf(qint64 index) const;

    EngineReport& m_report;
    const TestPlan m_plan;
    const std::atomic<int>* const m_stopFlag;
    Layout m_layout;

    QStringList m_fillFiles; // the current fill's files, in writing order
    // The same with the bytes each received, for the check before the fill is deleted.
    QVector<FillCheck::File> m_fillWritten;
    // Stamped into every block, so a block that lands on another is told apart from it.
    const quint64 m_runId;
    qint64 m_checkNs = 0;   // time spent checking fills
    qint64 m_written = 0;   // bytes of every completed file
    qint64 m_fillStart = 0; // m_written when the current fill began
    QElapsedTimer m_clock;  // the whole test: sampling cadence and every average
    qint64 m_lastSampleNs = 0;
    double m_lastCurrent = 0;
    SpeedMeter m_meter;
    qint64 m_lastBlockNs = 0; // completion time of the latest block of any finished file
};
