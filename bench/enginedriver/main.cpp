// Headless engine driver: runs one SpeedTester with a plan from the command line and prints
// every signal it emits as one JSON line, with a summary line at the end. A developer tool
// for benchmarks and scripts; the program itself has no command-line options.

#include "driveroptions.h"
#include "signalrecorder.h"

#include "engine/speedtester.h"
#include "i18n/i18n.h"

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

    SpeedTester tester(nullptr);
    tester.setRootPath(options.rootPath);
    tester.setSourceFiles(options.sourceFiles);
    tester.setTestSize(options.testSize);
    tester.setBlockSize(options.blockSize);
    tester.setStreamCount(options.streamCount);
    tester.setStaggerMs(options.staggerMs);
    tester.setReadEnabled(options.readEnabled);
    if (options.rollFileSize > 0) {
        const qint64 freeBytes = options.rollFreeBytes >= 0
                                     ? options.rollFreeBytes
                                     : QStorageInfo(options.rootPath).bytesAvailable();
        tester.setRollingParams(options.rollFileSize, freeBytes, options.rollRefills);
    }

    // Direct connections: the time stamp is taken on the engine's thread at the moment of the
    // emission, not when a queued delivery reaches this thread. All signals come from that one
    // thread, so the recorder needs no lock.
    const auto direct = Qt::DirectConnection;
    using R = SignalRecorder;
    QObject::connect(
        &tester, &SpeedTester::writeProgress, &tester,
        [&](int p, double c, double a) { recorder.progress(R::Write, now(), p, c, a); }, direct);
    QObject::connect(
        &tester, &SpeedTester::readProgress, &tester,
        [&](int p, double c, double a) { recorder.progress(R::Read, now(), p, c, a); }, direct);
    QObject::connect(
        &tester, &SpeedTester::fileWriteSample, &tester,
        [&](int i, int p, double c, double a) {
            recorder.streamSample(R::Write, now(), i, p, c, a);
        },
        direct);
    QObject::connect(
        &tester, &SpeedTester::fileReadSample, &tester,
        [&](int i, int p, double c, double a) {
            recorder.streamSample(R::Read, now(), i, p, c, a);
        },
        direct);
    QObject::connect(
        &tester, &SpeedTester::writeFinished, &tester,
        [&](double a) { recorder.phaseFinished(R::Write, now(), a); }, direct);
    QObject::connect(
        &tester, &SpeedTester::readFinished, &tester,
        [&](double a) { recorder.phaseFinished(R::Read, now(), a); }, direct);
    QObject::connect(
        &tester, &SpeedTester::testError, &tester,
        [&](const QString& m, FailureCause c, const QString& path) {
            recorder.testError(now(), m, static_cast<int>(c), path);
        },
        direct);
    // The rolling fill closes with its figures even when stopped; its last line tells.
    bool cancelled = false;
    QObject::connect(
        &tester, &SpeedTester::log, &tester,
        [&](const QString& m) {
            cancelled = m == QLatin1String("Test cancelled by user.");
            recorder.log(now(), m);
        },
        direct);
    QObject::connect(
        &tester, &SpeedTester::rollingFileProgress, &tester,
        [&](int c, int t, qlonglong w, qlonglong b) {
            recorder.rollingFileProgress(now(), c, t, w, b);
        },
        direct);
    QObject::connect(&tester, &QThread::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    g_tester.store(&tester);
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    if (options.stopAfterMs >= 0)
        QTimer::singleShot(options.stopAfterMs, &tester, [&tester] { tester.requestStop(); });

    tester.start();
    app.exec();
    tester.wait();
    g_tester.store(nullptr);

    recorder.writeSummary(now());
    if (recorder.hadError())
        return 1;
    const bool rolling = options.rollFileSize > 0;
    const bool complete = !cancelled && recorder.phaseDone(R::Write) &&
                          (rolling || !options.readEnabled || recorder.phaseDone(R::Read));
    return complete ? 0 : 3;
}
