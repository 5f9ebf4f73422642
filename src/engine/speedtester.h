#pragma once

#include "engine/cardwatch.h"
#include "engine/runengine.h"
#include "engine/testplan.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <atomic>

class FileWorker;

// The test engine: one object carries out one run on its own thread. It takes its TestPlan
// whole before start(); everything the engine has to say leaves it through its signals, and
// the only thing that can be done to a running engine is requestStop().
class SpeedTester : public RunEngine
{
    Q_OBJECT
public:
    explicit SpeedTester(QObject* parent = nullptr);
    explicit SpeedTester(const TestPlan& plan, QObject* parent = nullptr);
    // Requests a stop and waits for the run to wind down (at most one block per stream).
    ~SpeedTester() override;

    // Keeps the stream count within 1..16 and the stagger and refills at 0 or more.
    void setPlan(const TestPlan& plan) override;
    // The plan as set (testSize is the run's total once run() has built its files).
    const TestPlan& plan() const override { return m_plan; }

    // Callable from any thread at any time; returns at once. A request made before the
    // thread runs is discarded when the run begins.
    void requestStop() override;

    // The card of the run, as found when the run began.
    const CardWatch& card() const { return m_card; }
    // The run's test files and the bytes of each; kept after run() has returned.
    const QStringList& targetFiles() const { return m_targetFiles; }
    const QVector<qint64>& fileSizes() const { return m_fileSizes; }

protected:
    void run() override;

private:
    struct Phase;
    class Report;

    // The run itself; its outcome is gathered in m_outcome.
    void runPlan(Report& report);
    // One timed pass over all test files; true only when every stream completed and no
    // stop was requested.
    bool runPhase(Report& report, WorkerMode mode, const QStringList& sources,
                  const QStringList& targets, const QVector<qint64>& sizes, qint64 blockSize,
                  qint64 expectedTotal, std::atomic<int>* stopFlag, int staggerMs, bool isWrite);
    void sampleProgress(Phase& phase, bool final);
    void logStreamStart(const Phase& phase, int i);
    void removeTestFiles();
    bool stopRequested() const;

    TestPlan m_plan;
    QStringList m_targetFiles;
    QVector<qint64> m_fileSizes;
    std::atomic<int> m_stopFlag{0};
    RunOutcome m_outcome;
    CardWatch m_card;
    // Stamped into every block of the run, so no block of another run can pass for its own.
    quint64 m_runId = 0;
};
