#pragma once

#include "analysis/phasesamples.h"
#include "session/launchcheck.h"
#include "session/runjudge.h"
#include "session/runresult.h"
#include "session/streamsource.h"
#include "session/testrequest.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

class RunEngine;

// One run as a user asks for it, without widgets: checks the request, runs every round with a
// fresh engine, collects samples, data-check findings and errors, judges each phase and ends with
// one RunResult. The window, the command line and the bench drivers are its front ends; they
// show what its signals say and never keep run state of their own.
//
// Interface contract (front ends code against this; the implementation may add to it):
//   - start() checks the request (the refusals that need no dialog: no drive, not removable,
//     sizes, files, free space) and either refuses it, returning the refusal's title and body
//     through `refusalTitle` / `refusalBody` and emitting nothing, or begins the run.
//   - While running, the signals below arrive on the session's thread, in order; finished()
//     is always the last one, exactly once per started run.
//   - stop() may be called at any time; the run ends as RunEnd::Stopped after removing its files.
//   - setRules() re-judges the last figures (running or finished) and emits figuresChanged().
class TestSession : public QObject
{
    Q_OBJECT
public:
    // Makes the engine of each round; the default makes a SpeedTester.
    using EngineFactory = std::function<RunEngine*()>;

    explicit TestSession(QObject* parent = nullptr);
    ~TestSession() override; // stops a running run and waits for it

    // For a stand-in engine; takes effect at the next round's launch.
    void setEngineFactory(EngineFactory factory);

    // The checks a front end makes before it offers to format the card: drive, removable,
    // sizes and files. start() makes them again, followed by the free space.
    static Refusal checkRequest(const TestRequest& request);

    // Begins a run; false when it was refused (see refusalTitle() / refusalBody()).
    bool start(const TestRequest& request);
    // Runs one engine plan as given, in one round, without the checks of a request: for the
    // developer tools that measure the engine on any folder.
    void startPlan(const TestPlan& plan);
    void stop();
    bool isRunning() const;

    // The rules used to judge from now on; the run's shape (fill, rounds) stays as launched.
    void setRules(const VerdictRules& rules);
    // The read switch for the rounds that have not begun yet.
    void setReadEnabled(bool enabled);

    // The streams of the run in progress or of the last run, in row order; their labels follow
    // the language in force.
    const QVector<StreamSource>& streamSources() const { return m_sources; }
    // The round in progress (1-based), 0 while idle.
    int round() const { return m_round; }

    // The refusal of the last start() that returned false, in the current language.
    QString refusalTitle() const;
    QString refusalBody() const;
    // Whether the last refusal is critical (an error) rather than a warning.
    bool refusalCritical() const;

    // The run in progress as collected so far, or the last run's result once it has finished.
    const RunResult& result() const;

signals:
    // The run has begun: one label per stream, in row order.
    void runStarted(QStringList streamLabels);
    // Round `round` of `rounds` begins (1-based; rounds is 1 for a single run).
    void roundStarted(int round, int rounds);
    // Card-total progress of the current phase. percent is the whole run's (rounds included),
    // speeds in MB/s (current 0 while nothing moved), elapsed since the run began.
    void phaseProgress(bool write, int percent, double currentMBps, double avgMBps,
                       qint64 elapsedMs);
    // One stream's sample; percent as in phaseProgress.
    void streamSample(bool write, int stream, int percent, double currentMBps, double avgMBps);
    // Rolling fill: file currentFile of totalFiles, bytes written of the whole test.
    void fillProgress(int currentFile, int totalFiles, qint64 bytesWritten, qint64 bytesTotal);
    // Rolling fill: the check of fill `fill` of `fills` has read `percent` of it, at these
    // speeds (MB/s); elapsed since the run began.
    void fillCheckProgress(int fill, int fills, int percent, double currentMBps, double avgMBps,
                           qint64 elapsedMs);
    // A log line, already stamped with its time.
    void logLine(QString line);
    // An error the user must hear about; the run then ends as RunEnd::Failed.
    void error(QString message);
    // The figures and verdicts after a phase ended or the rules changed.
    void figuresChanged(RunFigures figures);
    // Always the last signal of a run.
    void finished(RunResult result);

private:
    void begin();
    TestPlan roundPlan() const;
    void launchRound();
    void endRun(RunEnd end);
    void log(const QString& message);
    void onProgress(bool write, int percent, double current, double average);
    void onStreamSample(bool write, int stream, int percent, double current, double average);
    void onPhaseFinished(bool write, double average);
    void onDataMismatch(int stream, const QString& path, qint64 badBlocks, qint64 firstBadOffset);
    void onEngineError(const QString& message);
    void onEngineEnded(const RunOutcome& outcome);
    int overallPercent(int percent) const;
    void judge();

    EngineFactory m_factory;
    std::unique_ptr<RunEngine> m_engine;
    Refusal m_refusal;

    TestRequest m_request;
    LaunchPlan m_launch;
    std::optional<TestPlan> m_givenPlan; // a plan run as given, instead of the request's
    QVector<StreamSource> m_sources;
    VerdictRules m_rules; // judges the figures; the request's rules shape the run
    bool m_readEnabled = false;
    bool m_repeats = false; // the session itself repeats the run, round after round
    int m_round = 0;
    bool m_running = false;
    bool m_stopping = false;
    bool m_failed = false;
    PhaseState m_phases;
    QElapsedTimer m_clock;

    PhaseSamples m_writeSamples;
    PhaseSamples m_readSamples;
    // What the read-back found wrong, per stream, over every round of the run.
    QVector<DataIntegrity> m_integrity;
    RunResult m_result;
};

Q_DECLARE_METATYPE(RunFigures)
Q_DECLARE_METATYPE(RunResult)
