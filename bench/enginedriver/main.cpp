// Headless engine driver: runs a plan from the command line through a test session, as the
// program runs a test, and prints every signal of its engine as one JSON line, with a summary
// line at the end. A developer tool for benchmarks and scripts; the program itself has no
// command-line options.

#include "driveroptions.h"
#include "signalrecorder.h"

#include "engine/speedtester.h"
#include "i18n/i18n.h"
#include "session/testsession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<SpeedTester*> g_tester{nullptr};

extern "C" void onStopSignal(int)
{
    // requestStop() only stores into an atomic flag, which is safe inside a signal handler.
    if (SpeedTester* tester = g_tester.load())
        tester->requestStop();
}

void installEnglish()
{
    // Private settings in test mode, so the user's own language choice is never touched.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("QuorvelTests"));
    QCoreApplication::setApplicationName(QStringLiteral("enginedriver"));
    QSettings().setValue(QStringLiteral("ui/language"), 1);
    I18n::instance()->initLanguage();
}

// Every engine signal into the recorder, on the engine's own thread.
template<typename Clock>
void hookRecorder(SpeedTester* tester, SignalRecorder& recorder, Clock now)
{
    const auto direct = Qt::DirectConnection;
    using R = SignalRecorder;
    QObject::connect(
        tester, &RunEngine::writeProgress, tester,
        [&recorder, now](int p, double c, double a) {
            recorder.progress(R::Write, now(), p, c, a);
        },
        direct);
    QObject::connect(
        tester, &RunEngine::readProgress, tester,
        [&recorder, now](int p, double c, double a) { recorder.progress(R::Read, now(), p, c, a); },
        direct);
    QObject::connect(
        tester, &RunEngine::fileWriteSample, tester,
        [&recorder, now](int s, int p, double c, double a) {
            recorder.streamSample(R::Write, now(), s, p, c, a);
        },
        direct);
    QObject::connect(
        tester, &RunEngine::fileReadSample, tester,
        [&recorder, now](int s, int p, double c, double a) {
            recorder.streamSample(R::Read, now(), s, p, c, a);
        },
        direct);
    QObject::connect(
        tester, &RunEngine::writeFinished, tester,
        [&recorder, now](double a) { recorder.phaseFinished(R::Write, now(), a); }, direct);
    QObject::connect(
        tester, &RunEngine::readFinished, tester,
        [&recorder, now](double a) { recorder.phaseFinished(R::Read, now(), a); }, direct);
    // The engine's last word carries the failure with its cause and the file or card.
    QObject::connect(
        tester, &RunEngine::ended, tester,
        [&recorder, now](const RunOutcome& o) {
            if (o.kind == RunOutcome::Kind::Failed)
                recorder.testError(now(), o.message, static_cast<int>(o.cause), o.path);
        },
        direct);
    QObject::connect(
        tester, &RunEngine::log, tester,
        [&recorder, now](const QString& m) { recorder.log(now(), m); }, direct);
    QObject::connect(
        tester, &RunEngine::rollingFileProgress, tester,
        [&recorder, now](int c, int t, qlonglong w, qlonglong b) {
            recorder.rollingFileProgress(now(), c, t, w, b);
        },
        direct);
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    QCoreApplication app(argc, argv);

    DriverOptions options;
    bool help = false;
    QString error;
    if (!parseDriverOptions(app.arguments().mid(1), &options, &help, &error)) {
        std::fprintf(stderr, "enginedriver: %s\n\n%s", qPrintable(error),
                     qPrintable(driverUsage()));
        return 2;
    }
    if (help) {
        std::fputs(qPrintable(driverUsage()), stdout);
        return 0;
    }

    installEnglish();

    SignalRecorder recorder([](const QByteArray& line) {
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    const auto now = [&clock] { return static_cast<double>(clock.nsecsElapsed()) / 1e6; };

    TestPlan plan;
    plan.rootPath = options.rootPath;
    plan.sourceFiles = options.sourceFiles;
    plan.testSize = options.testSize;
    plan.blockSize = options.blockSize;
    plan.streamCount = options.streamCount;
    plan.staggerMs = options.staggerMs;
    plan.readEnabled = options.readEnabled;
    if (options.rollFileSize > 0) {
        plan.rollFileSize = options.rollFileSize;
        plan.rollFreeBytes = options.rollFreeBytes >= 0
                                 ? options.rollFreeBytes
                                 : QStorageInfo(options.rootPath).bytesAvailable();
        plan.rollRefills = options.rollRefills;
    }
    // The session runs the plan as the program would, round logic and judging included; the
    // recorder hears the engine directly: the time stamp is taken on the engine's thread at the
    // moment of the emission, not when a queued delivery reaches this thread. All signals come
    // from that one thread, so the recorder needs no lock.
    TestSession session;
    session.setEngineFactory([&] {
        auto* tester = new SpeedTester;
        hookRecorder(tester, recorder, now);
        g_tester.store(tester);
        return tester;
    });
    RunEnd end = RunEnd::Completed;
    QObject::connect(&session, &TestSession::finished, &app, [&](const RunResult& result) {
        end = result.end;
        app.quit();
    });

    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    if (options.stopAfterMs >= 0)
        QTimer::singleShot(options.stopAfterMs, &session, [&session] { session.stop(); });

    session.startPlan(plan);
    app.exec();
    g_tester.store(nullptr);

    recorder.writeSummary(now());
    if (recorder.hadError())
        return 1;
    const bool rolling = options.rollFileSize > 0;
    using R = SignalRecorder;
    const bool complete = end == RunEnd::Completed && recorder.phaseDone(R::Write) &&
                          (rolling || !options.readEnabled || recorder.phaseDone(R::Read));
    return complete ? 0 : 3;
}
