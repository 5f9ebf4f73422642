#pragma once

#include "session/runresult.h"
#include "session/testrequest.h"

#include <QObject>
#include <QString>
#include <QStringList>

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
    explicit TestSession(QObject* parent = nullptr);
    ~TestSession() override; // stops a running run and waits for it

    // Begins a run; false when it was refused (see refusalTitle() / refusalBody()).
    bool start(const TestRequest& request);
    void stop();
    bool isRunning() const;

    // The rules used to judge from now on; the run's shape (fill, rounds) stays as launched.
    void setRules(const VerdictRules& rules);

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
    // A log line, already stamped with its time.
    void logLine(QString line);
    // An error the user must hear about; the run then ends as RunEnd::Failed.
    void error(QString message);
    // The figures and verdicts after a phase ended or the rules changed.
    void figuresChanged(RunFigures figures);
    // Always the last signal of a run.
    void finished(RunResult result);
};
