#pragma once

#include "cli/progressline.h"

#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace platform {
class InterruptCatcher;
}
struct CliOptions;
struct RunFigures;
struct RunResult;
struct VerdictRules;
class TestSession;

// The command line's front end to a test session: lists the drives, or starts a run, shows its
// progress and log on the error stream, stops it on Ctrl-C and prints the results on the output
// stream. It keeps no run state of its own beyond what it shows.
class CliRunner : public QObject
{
    Q_OBJECT
public:
    explicit CliRunner(QObject* parent = nullptr);
    ~CliRunner() override;

    // Does what the options ask; returns the exit code (CliExit).
    int run(const CliOptions& options);

    // The exit code of a finished run: the card's verdict when it completed.
    static int exitCodeOf(const RunResult& result);
    // The listed root that `given` names (with or without its trailing separator, or through a
    // link); empty when it names none.
    static QString listedRoot(const QString& given, const QStringList& roots);
    // The [verdict] group of an ini file over the defaults; false with error set when the file
    // cannot be read or has no such group.
    static bool loadRulesFile(const QString& path, VerdictRules* rules, QString* error);

private:
    int listDrives(bool json);
    int runTest(const CliOptions& options);
    void keepInHistory(const RunResult& result);
    bool writeReport(const RunResult& result, const QString& path);

    void onRoundStarted(int round, int rounds);
    void onPhaseProgress(bool write, int percent, double currentMBps, double avgMBps,
                         qint64 elapsedMs);
    void onFillProgress(int currentFile, int totalFiles, qint64 bytesWritten, qint64 bytesTotal);
    void onFillCheckProgress(int fill, int fills, int percent, qint64 elapsedMs);
    void onLogLine(const QString& line);
    void onError(const QString& message);
    void checkInterrupts();

    // A line on the error stream, above the progress line when one is shown.
    void say(const QString& line);
    void showProgress();
    void endProgressLine();

    std::unique_ptr<TestSession> m_session;
    std::unique_ptr<platform::InterruptCatcher> m_interrupts;
    QEventLoop m_loop;
    bool m_terminal = false;
    bool m_quiet = false;
    bool m_readEnabled = false;
    int m_interruptsSeen = 0;
    bool m_errorShown = false;
    ProgressState m_progress;
    bool m_progressStarted = false;
    int m_writePercent = 0;
    int m_readPercent = 0;
    int m_shownWidth = 0;   // columns of the progress line on the terminal; 0 when none shows
    int m_plainDecile = -1; // the last tenth of the phase a plain progress line reported
};
