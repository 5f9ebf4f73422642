#include "cli/clirunner.h"

#include "cli/clioptions.h"
#include "cli/resultstext.h"
#include "cli/terminaltext.h"
#include "platform/interruptcatcher.h"
#include "platform/terminal.h"
#include "platform/volumes.h"
#include "report/historystore.h"
#include "report/reportwriter.h"
#include "session/capacityrules.h"
#include "session/launchcheck.h"
#include "session/runtexts.h"
#include "session/testsession.h"
#include "settings/verdictsettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTimer>

#include <cstdio>

namespace {

struct CliRunnerTr
{
    Q_DECLARE_TR_FUNCTIONS(CliRunner)
};

// Often enough that a stop follows Ctrl-C at once, as it follows the Stop button.
constexpr int InterruptPollMs = 50;

void write(std::FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

void refuse(const QString& title, const QString& body)
{
    write(stderr, title + QLatin1Char('\n') + body + QLatin1Char('\n'));
}

// Roots compare without their trailing separator; drive letters in any case.
QString comparable(const QString& root)
{
    QString r = QDir::fromNativeSeparators(root);
    while (r.size() > 1 && r.endsWith(QLatin1Char('/')))
        r.chop(1);
#ifdef Q_OS_WIN
    r = r.toUpper();
#endif
    return r;
}

QJsonValue sizeValue(bool known, std::uint64_t bytes)
{
    return known ? QJsonValue(double(bytes)) : QJsonValue();
}

} // namespace

CliRunner::CliRunner(QObject* parent)
    : QObject(parent)
{}

CliRunner::~CliRunner() = default;

int CliRunner::run(const CliOptions& options)
{
    if (!options.error.isEmpty()) {
        write(stderr, QStringLiteral("quorvelcard-cli: ") + options.error + QLatin1Char('\n') +
                          CliRunnerTr::tr("CliTryHelp").arg(QStringLiteral("quorvelcard-cli")) +
                          QLatin1Char('\n'));
        return ExitRefused;
    }
    switch (options.action) {
    case CliOptions::Action::Help:
        write(stdout, CliRunnerTr::tr("CliHelp") + QLatin1Char('\n'));
        return ExitPass;
    case CliOptions::Action::Version:
        write(stdout,
              QStringLiteral("quorvelcard-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return ExitPass;
    case CliOptions::Action::List:
        return listDrives(options.json);
    case CliOptions::Action::Run:
        break;
    }
    return runTest(options);
}

int CliRunner::listDrives(bool json)
{
    const std::vector<platform::VolumeInfo> volumes = platform::listRemovableVolumes();
    if (json) {
        QJsonArray drives;
        for (const platform::VolumeInfo& v : volumes) {
            drives.append(QJsonObject{
                {QStringLiteral("root"), QString::fromStdString(v.root)},
                {QStringLiteral("label"), QString::fromStdString(v.label)},
                {QStringLiteral("fileSystem"), QString::fromStdString(v.fileSystem)},
                {QStringLiteral("freeBytes"), sizeValue(v.sizeKnown, v.freeBytes)},
                {QStringLiteral("totalBytes"), sizeValue(v.sizeKnown, v.totalBytes)},
            });
        }
        write(stdout, QString::fromUtf8(QJsonDocument(drives).toJson(QJsonDocument::Indented)));
        return ExitPass;
    }
    if (volumes.empty())
        write(stderr, CliRunnerTr::tr("CliNoDrives") + QLatin1Char('\n'));
    for (const platform::VolumeInfo& v : volumes)
        write(stdout, CapacityRules::driveItemText(v) + QLatin1Char('\n'));
    return ExitPass;
}

QString CliRunner::listedRoot(const QString& given, const QStringList& roots)
{
    const QString canonical = QFileInfo(given).canonicalFilePath();
    for (const QString& root : roots) {
        const QString r = comparable(root);
        if (r == comparable(given) || (!canonical.isEmpty() && r == comparable(canonical)))
            return root;
    }
    return QString();
}

bool CliRunner::loadRulesFile(const QString& path, VerdictRules* rules, QString* error)
{
    const QFileInfo info(path);
    QSettings file(path, QSettings::IniFormat);
    if (!info.isFile() || !info.isReadable() || file.status() != QSettings::NoError) {
        *error = CliRunnerTr::tr("CliErrRulesFile").arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (!file.childGroups().contains(QStringLiteral("verdict"))) {
        *error = CliRunnerTr::tr("CliErrRulesGroup").arg(QDir::toNativeSeparators(path));
        return false;
    }
    *rules = VerdictSettings::load(file).rules;
    return true;
}

int CliRunner::exitCodeOf(const RunResult& result)
{
    switch (result.end) {
    case RunEnd::Stopped:
        return ExitInterrupted;
    case RunEnd::Failed:
        return ExitTestError;
    case RunEnd::Completed:
        break;
    }
    switch (result.figures.card()) {
    case Verdict::Warn:
        return ExitWarn;
    case Verdict::Fail:
        return ExitFail;
    case Verdict::Pass:
        break;
    }
    return ExitPass;
}

int CliRunner::runTest(const CliOptions& options)
{
    // The thresholds are the user's (or the file's); the run's shape is the options' alone, so
    // that a command line does the same whatever was last set up in the window.
    VerdictRules rules;
    QString error;
    if (options.rulesFile.isEmpty()) {
        rules = VerdictSettings::load().rules;
    } else if (!loadRulesFile(options.rulesFile, &rules, &error)) {
        write(stderr, QStringLiteral("quorvelcard-cli: ") + error + QLatin1Char('\n'));
        return ExitRefused;
    }
    rules.fullCap = options.fill;
    rules.iterCount = options.fill ? options.fills : options.rounds;
    rules.rollVerify = options.verifyFill;

    // A report that could not be written at the end of a long run would waste it.
    if (!options.reportFile.isEmpty() && !QFileInfo(options.reportFile).absoluteDir().exists()) {
        write(stderr, QStringLiteral("quorvelcard-cli: ") +
                          CliRunnerTr::tr("CliErrReportFolder")
                              .arg(QDir::toNativeSeparators(options.reportFile)) +
                          QLatin1Char('\n'));
        return ExitRefused;
    }

    QStringList roots;
    for (const platform::VolumeInfo& v : platform::listRemovableVolumes())
        roots << QString::fromStdString(v.root);
    const QString root = listedRoot(options.drive, roots);
    if (root.isEmpty()) {
        const Refusal refusal = LaunchCheck::notRemovable(options.drive);
        refuse(refusal.title, refusal.body);
        return ExitRefused;
    }

    TestRequest request;
    request.root = root;
    for (const QString& file : options.files)
        request.sourceFiles << QFileInfo(file).absoluteFilePath();
    request.testSize = options.testSize;
    request.blockSize = options.blockSize;
    request.streamCount = options.streamCount;
    request.readEnabled = options.read && !options.fill;
    request.rules = rules;

    m_quiet = options.quiet;
    m_terminal = platform::isTerminal(platform::StdStream::Error);
    m_readEnabled = request.readEnabled;
    m_progress = ProgressState();
    m_progress.rolling = options.fill;

    m_session = std::make_unique<TestSession>();
    TestSession* s = m_session.get();
    connect(s, &TestSession::roundStarted, this, &CliRunner::onRoundStarted);
    connect(s, &TestSession::phaseProgress, this, &CliRunner::onPhaseProgress);
    connect(s, &TestSession::fillProgress, this, &CliRunner::onFillProgress);
    connect(s, &TestSession::fillCheckProgress, this,
            [this](int fill, int fills, int percent, double, double, qint64 elapsedMs) {
                onFillCheckProgress(fill, fills, percent, elapsedMs);
            });
    connect(s, &TestSession::logLine, this, &CliRunner::onLogLine);
    connect(s, &TestSession::error, this, &CliRunner::onError);
    connect(s, &TestSession::finished, &m_loop, &QEventLoop::quit);

    // Caught from here on: the run must always get the chance to remove its files.
    m_interrupts = std::make_unique<platform::InterruptCatcher>();
    if (!s->start(request)) {
        refuse(s->refusalTitle(), s->refusalBody());
        return ExitRefused;
    }
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, &CliRunner::checkInterrupts);
    poll.start(InterruptPollMs);
    if (s->isRunning())
        m_loop.exec();
    poll.stop();
    endProgressLine();

    const RunResult& result = s->result();
    if (result.end == RunEnd::Completed)
        write(stdout, ResultsText::table(result.figures));
    else if (result.end == RunEnd::Stopped)
        say(CliRunnerTr::tr("CliStopped"));
    else if (!m_errorShown)
        say(CliRunnerTr::tr("LogErrorPrefix").arg(result.failure));
    keepInHistory(result);
    const int code = exitCodeOf(result);
    if (!options.reportFile.isEmpty() && !writeReport(result, options.reportFile))
        return code == ExitInterrupted ? code : int(ExitTestError);
    return code;
}

void CliRunner::keepInHistory(const RunResult& result)
{
    // As the window keeps every run; a history that is off holds nothing up.
    HistoryStore history;
    QString problem;
    if (!history.open(HistoryStore::defaultPath()))
        problem = CliRunnerTr::tr("LogHistoryOff").arg(history.offReason());
    else if (history.store(result) < 0)
        problem = CliRunnerTr::tr("LogHistoryNotStored").arg(history.lastError());
    if (!problem.isEmpty() && !m_quiet)
        say(problem);
}

bool CliRunner::writeReport(const RunResult& result, const QString& path)
{
    QString error;
    if (!ReportWriter::save(result, path, ReportWriter::formatOf(path, ReportFormat::Json),
                            &error)) {
        say(CliRunnerTr::tr("MsgSaveFailedBody").arg(error));
        return false;
    }
    if (!m_quiet)
        say(CliRunnerTr::tr("LogReportSaved").arg(QDir::toNativeSeparators(path)));
    return true;
}

void CliRunner::onRoundStarted(int round, int rounds)
{
    m_plainDecile = -1;
    m_progress.round = round;
    m_progress.rounds = rounds;
}

void CliRunner::onPhaseProgress(bool write, int percent, double currentMBps, double avgMBps,
                                qint64 elapsedMs)
{
    // The log says how a phase ended; the line goes on with the next one.
    if (m_progressStarted && write != m_progress.write)
        m_plainDecile = -1;
    m_progressStarted = true;
    m_progress.write = write;
    m_progress.percent = percent;
    m_progress.currentMBps = currentMBps;
    m_progress.avgMBps = avgMBps;
    m_progress.elapsedMs = elapsedMs;
    (write ? m_writePercent : m_readPercent) = percent;
    // Each phase moves the same bytes; the estimate takes them as equally long.
    const double done =
        m_readEnabled ? (m_writePercent + m_readPercent) / 200.0 : m_writePercent / 100.0;
    m_progress.leftMs = ProgressLine::timeLeftMs(done, elapsedMs);
    showProgress();
}

void CliRunner::onFillProgress(int currentFile, int totalFiles, qint64 bytesWritten,
                               qint64 bytesTotal)
{
    m_progress.fillText =
        RunTexts::rollingProgressText(currentFile, totalFiles, bytesWritten, bytesTotal);
}

void CliRunner::onFillCheckProgress(int fill, int fills, int percent, qint64 elapsedMs)
{
    // The check reads the fill back; the line keeps the fill's write speeds and says how far
    // the check is until the next fill's files begin.
    m_progress.fillText = CliRunnerTr::tr("FillCheckProgress").arg(fill).arg(fills).arg(percent);
    m_progress.elapsedMs = elapsedMs;
    showProgress();
}

void CliRunner::onLogLine(const QString& line)
{
    if (!m_quiet)
        say(line);
}

void CliRunner::onError(const QString& message)
{
    m_errorShown = true;
    say(CliRunnerTr::tr("LogErrorPrefix").arg(message));
}

void CliRunner::checkInterrupts()
{
    const int caught = m_interrupts->count();
    if (caught <= m_interruptsSeen)
        return;
    const bool first = m_interruptsSeen == 0;
    m_interruptsSeen = caught;
    // A terminal echoes ^C where the cursor is; it is cleared with the progress line, which
    // goes for good.
    if (m_terminal)
        m_shownWidth += 2;
    // A second Ctrl-C only hears that the files are still being removed: leaving now would
    // leave them on the card.
    say(CliRunnerTr::tr(first ? "CliInterrupted" : "CliStillRemoving"));
    if (first)
        m_session->stop();
}

void CliRunner::say(const QString& line)
{
    if (m_shownWidth > 0)
        write(stderr, TerminalText::redraw(QString(), m_shownWidth) + QLatin1Char('\r'));
    write(stderr, line + QLatin1Char('\n'));
    if (m_shownWidth > 0) {
        m_shownWidth = 0;
        showProgress();
    }
}

void CliRunner::showProgress()
{
    if (m_quiet || !m_progressStarted || m_interruptsSeen > 0)
        return;
    const QString text = ProgressLine::text(m_progress);
    if (!m_terminal) {
        // Plain lines for logs and pipes: every tenth of a phase, and its end.
        const int decile = m_progress.percent / 10;
        if (decile != m_plainDecile) {
            m_plainDecile = decile;
            write(stderr, text + QLatin1Char('\n'));
        }
        return;
    }
    // One column short of the width, so the terminal never wraps the line.
    const int columns = platform::terminalColumns(platform::StdStream::Error);
    const QString line = TerminalText::fitted(text, columns - 1);
    write(stderr, TerminalText::redraw(line, m_shownWidth));
    m_shownWidth = qMax(1, TerminalText::width(line));
}

void CliRunner::endProgressLine()
{
    if (m_shownWidth > 0)
        write(stderr, QStringLiteral("\n"));
    m_shownWidth = 0;
}
