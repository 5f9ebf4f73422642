#include "engine/speedtester.h"

#include "engine/blockpattern.h"
#include "engine/blockprogress.h"
#include "engine/enginereport.h"
#include "engine/fileworker.h"
#include "engine/rollingfill.h"
#include "engine/speedmeter.h"
#include "engine/testfilelist.h"
#include "engine/units.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using units::BytesPerMB;
constexpr int MaxStreams = 16;
constexpr qint64 SampleIntervalMs = 199; // a sample once more than this has passed
constexpr unsigned long TickMs = 50;

// Seconds on a clock, never below 1 ms, so a speed never divides by zero.
double secondsOf(const QElapsedTimer& clock)
{
    return std::max(0.001, static_cast<double>(clock.nsecsElapsed()) / 1e9);
}

int percentOf(qint64 done, qint64 whole, bool final)
{
    if (final)
        return 100;
    if (whole <= 0)
        return 0;
    return static_cast<int>(std::min<qint64>(100, done * 100 / whole));
}

} // namespace

// Working state of one phase; stream i is index i everywhere.
struct SpeedTester::Phase
{
    WorkerMode mode = WorkerMode::Write;
    QStringList sources;
    QStringList targets;
    QVector<qint64> sizes;
    qint64 expectedTotal = 0;
    std::vector<std::unique_ptr<FileWorker>> workers;
    QVector<bool> started;
    QVector<bool> finished; // the stream's last sample has been sent
    // Current speeds (SpeedMeter): per stream from its own block completions, for the card
    // from the sum of all streams up to the latest completion of any. A stream's first span
    // starts when it is started, or at the last sample before its first bytes.
    qint64 blockSize = 1;
    QVector<SpeedMeter> streamMeters;
    SpeedMeter cardMeter;
    QElapsedTimer phaseClock;   // stagger schedule
    QElapsedTimer averageClock; // every average speed of the phase
    QElapsedTimer sampleClock;  // sampling cadence

    qint64 totalBytes() const
    {
        qint64 total = 0;
        for (const auto& w : workers)
            total += w->bytesDone();
        return total;
    }
    bool anyRunning() const
    {
        return std::any_of(workers.begin(), workers.end(),
                           [](const auto& w) { return w->isRunning(); });
    }
    // Sleeps one tick, but wakes as soon as a running worker ends, so the end of the phase
    // (and with it the phase's average) is noticed at once rather than up to a tick late.
    void waitTick() const
    {
        for (const auto& w : workers) {
            if (w->isRunning()) {
                w->wait(TickMs);
                return;
            }
        }
        QThread::msleep(TickMs);
    }
};

// How the parts of a run reach the engine's signals; also the one place a failure is noted.
class SpeedTester::Report final : public EngineReport
{
public:
    explicit Report(SpeedTester& engine)
        : m_engine(engine)
    {}

    void progress(bool write, int percent, double currentMBps, double avgMBps) override
    {
        if (write)
            emit m_engine.writeProgress(percent, currentMBps, avgMBps);
        else
            emit m_engine.readProgress(percent, currentMBps, avgMBps);
    }
    void streamSample(bool write, int stream, int percent, double currentMBps,
                      double avgMBps) override
    {
        if (write)
            emit m_engine.fileWriteSample(stream, percent, currentMBps, avgMBps);
        else
            emit m_engine.fileReadSample(stream, percent, currentMBps, avgMBps);
    }
    void phaseFinished(bool write, double avgMBps) override
    {
        if (write)
            emit m_engine.writeFinished(avgMBps);
        else
            emit m_engine.readFinished(avgMBps);
    }
    void fillProgress(int currentFile, int totalFiles, qint64 bytesWritten,
                      qint64 bytesTotal) override
    {
        emit m_engine.rollingFileProgress(currentFile, totalFiles, bytesWritten, bytesTotal);
    }
    void mismatch(int stream, const QString& path, const FileWorker& worker) override
    {
        if (worker.badBlocks() <= 0)
            return;
        emit m_engine.dataMismatch(stream, path, worker.badBlocks(), worker.firstBadOffset());
        emit m_engine.log(SpeedTester::tr("LogDataMismatch")
                              .arg(path, QString::number(worker.badBlocks()),
                                   QString::number(worker.firstBadOffset())));
    }
    void fillCheckProgress(int fill, int fills, int percent, double currentMBps,
                           double avgMBps) override
    {
        emit m_engine.fillCheckProgress(fill, fills, percent, currentMBps, avgMBps);
    }
    void log(const QString& message) override { emit m_engine.log(message); }
    const CardWatch& card() const override { return m_engine.m_card; }
    void fail(FailureCause cause, const QString& message, const QString& path) override
    {
        RunOutcome& outcome = m_engine.m_outcome;
        if (outcome.kind != RunOutcome::Kind::Failed)
            outcome = {RunOutcome::Kind::Failed, cause, message, path};
        emit m_engine.testError(message);
    }

private:
    SpeedTester& m_engine;
};

SpeedTester::SpeedTester(QObject* parent)
    : RunEngine(parent)
{
    qRegisterMetaType<FailureCause>("FailureCause");
}

SpeedTester::SpeedTester(const TestPlan& plan, QObject* parent)
    : RunEngine(parent)
{
    setPlan(plan);
}

SpeedTester::~SpeedTester()
{
    m_stopFlag.store(1, std::memory_order_relaxed);
    wait();
}

void SpeedTester::setPlan(const TestPlan& plan)
{
    m_plan = plan;
    m_plan.streamCount = qBound(1, plan.streamCount, MaxStreams);
    m_plan.staggerMs = std::max(0, plan.staggerMs);
    m_plan.rollRefills = std::max(0, plan.rollRefills);
}

void SpeedTester::requestStop()
{
    m_stopFlag.store(1, std::memory_order_relaxed);
}

bool SpeedTester::stopRequested() const
{
    return m_stopFlag.load(std::memory_order_relaxed) != 0;
}

void SpeedTester::run()
{
    m_stopFlag.store(0, std::memory_order_relaxed);
    m_runId = BlockPattern::newRunId();
    m_card = CardWatch(m_plan.rootPath);
    m_outcome = RunOutcome();
    Report report(*this);
    runPlan(report);
    if (m_outcome.kind != RunOutcome::Kind::Failed && stopRequested())
        m_outcome.kind = RunOutcome::Kind::Stopped;
    emit ended(m_outcome);
}

void SpeedTester::runPlan(Report& report)
{
    const TestMode mode = testModeOf(m_plan);
    if (mode == TestMode::RollingFill) {
        RollingFill(report, m_plan, &m_stopFlag).run();
        return;
    }

    m_targetFiles.clear();
    m_fileSizes.clear();
    // Whole blocks are the unit of every size below; without a positive block there is
    // nothing that could be transferred.
    if (m_plan.blockSize <= 0) {
        report.fail(FailureCause::Other, tr("MsgSizeLtBlock"), QString());
        return;
    }

    TestFileList files;
    if (mode == TestMode::ExternalFiles) {
        files = TestFileList::externalFiles(m_plan.rootPath, m_plan.sourceFiles, m_plan.blockSize);
        for (const QString& skipped : files.skippedSources())
            emit log(tr("LogSkipSmall").arg(skipped));
        if (files.isEmpty()) {
            report.fail(FailureCause::MissingSource, tr("LogNoValidFiles"), QString());
            return;
        }
    } else {
        const qint64 perFile = m_plan.testSize / m_plan.blockSize * m_plan.blockSize;
        if (perFile <= 0) {
            report.fail(FailureCause::Other, tr("MsgSizeLtBlock"), QString());
            return;
        }
        const int streams = qBound(1, m_plan.streamCount, MaxStreams);
        files = TestFileList::randomData(m_plan.rootPath, perFile, streams);
    }
    m_targetFiles = files.targets();
    m_fileSizes = files.sizes();
    m_plan.testSize = files.totalBytes();

    const int n = m_targetFiles.size();
    emit log(tr("LogTestStart"));
    if (mode == TestMode::ExternalFiles)
        emit log(n >= 2 ? tr("LogModeExternalN").arg(n) : tr("LogModeExternal"));
    else
        emit log(n >= 2 ? tr("LogModeRandomN").arg(n) : tr("LogModeRandom"));
    emit log(
        tr("LogSizeBlock").arg(m_plan.testSize / units::MiB).arg(m_plan.blockSize / units::KiB));

    const bool written =
        runPhase(report, WorkerMode::Write, files.keptSources(), m_targetFiles, m_fileSizes,
                 m_plan.blockSize, m_plan.testSize, &m_stopFlag, m_plan.staggerMs, true);
    if (!written || stopRequested()) {
        removeTestFiles();
        if (stopRequested())
            emit log(tr("LogUserCancelled"));
        return;
    }

    if (!m_plan.readEnabled) {
        emit log(tr("LogReadDisabled"));
        removeTestFiles();
    } else {
        // The read workers get the sources too, to check each copy against its original.
        const bool read =
            runPhase(report, WorkerMode::Read, files.keptSources(), m_targetFiles, m_fileSizes,
                     m_plan.blockSize, m_plan.testSize, &m_stopFlag, m_plan.staggerMs, false);
        removeTestFiles();
        if (!read)
            return;
    }
    if (stopRequested())
        return;
    emit log(tr("LogTestDone"));
}

void SpeedTester::removeTestFiles()
{
    // A card that has gone leaves its files with it; the folder now at its root is not its own.
    if (!m_card.present())
        return;
    for (const QString& path : qAsConst(m_targetFiles))
        QFile::remove(path);
}

bool SpeedTester::runPhase(Report& report, WorkerMode mode, const QStringList& sources,
                           const QStringList& targets, const QVector<qint64>& sizes,
                           qint64 blockSize, qint64 expectedTotal, std::atomic<int>* stopFlag,
                           int staggerMs, bool isWrite)
{
    const int n = targets.size();
    if (n == 0)
        return false;
    const auto stopped = [stopFlag] {
        return stopFlag && stopFlag->load(std::memory_order_relaxed) != 0;
    };

    const QString stagger = QString::number(staggerMs / 1000.0, 'f', 1);
    if (isWrite) {
        if (sources.isEmpty())
            emit log(tr("LogWriteRandom"));
        else if (n > 1)
            emit log(tr("LogWriteParallelFiles").arg(QString::number(n), stagger));
        else
            emit log(tr("LogWriteFileCopy"));
    } else {
        emit log(n < 2 ? tr("LogRead")
                       : tr("LogReadParallelFiles").arg(QString::number(n), stagger));
    }

    Phase phase;
    phase.mode = mode;
    phase.sources = sources;
    phase.targets = targets;
    phase.sizes = sizes;
    phase.expectedTotal = expectedTotal;
    for (int i = 0; i < n; ++i) {
        const QString source = sources.isEmpty() ? QString() : sources.value(i);
        phase.workers.push_back(std::make_unique<FileWorker>(
            static_cast<int>(mode), source, targets[i], sizes.value(i), blockSize, stopFlag));
        phase.workers.back()->setStreamIdentity(m_runId, static_cast<quint32>(i));
        phase.workers.back()->setCard(m_card);
    }
    phase.started.fill(false, n);
    phase.finished.fill(false, n);
    phase.blockSize = blockSize;
    phase.streamMeters.fill(SpeedMeter(), n);

    phase.phaseClock.start();
    phase.workers[0]->start();
    phase.started[0] = true;
    phase.streamMeters[0].start(blockSize, BlockProgress::steadyNowNs());
    if (n != 1)
        logStreamStart(phase, 0);
    phase.averageClock.start();
    phase.sampleClock.start();
    phase.cardMeter.start(blockSize, BlockProgress::steadyNowNs());

    // Supervision: start the streams on their schedule, sample about every 200 ms, and
    // notice the end of the last worker or a stop within one tick.
    int next = 1;
    for (;;) {
        while (next < n && phase.phaseClock.elapsed() >= qint64(staggerMs) * next) {
            phase.workers[next]->start();
            phase.started[next] = true;
            phase.streamMeters[next].start(blockSize, BlockProgress::steadyNowNs());
            logStreamStart(phase, next);
            ++next;
        }
        if (stopped())
            break;
        if (next >= n && !phase.anyRunning())
            break;
        if (phase.sampleClock.elapsed() > SampleIntervalMs)
            sampleProgress(phase, false);
        phase.waitTick();
    }

    for (const auto& w : phase.workers)
        w->wait();
    // A stop ends the phase silently; errors that happened before it are not reported.
    if (stopped())
        return false;

    const qint64 total = phase.totalBytes();
    // The streams that failed, and the cause that tells the most: a failure of the card itself
    // (each stream then reports it in the same words) wins over another's plain error.
    QStringList errors;
    const FileWorker* failed = nullptr;
    for (const auto& w : phase.workers) {
        if (w->succeeded() || w->errorString().isEmpty())
            continue;
        errors.append(w->errorString());
        if (!failed || failed->cause() == FailureCause::Other)
            failed = w.get();
    }
    // Only a phase that moved all its bytes closes at 100 %; a failed one stays where it stopped.
    sampleProgress(phase, !failed);
    if (mode == WorkerMode::Read) {
        for (int i = 0; i < n; ++i)
            report.mismatch(i, targets[i], *phase.workers[i]);
    }
    if (failed) {
        errors.removeDuplicates();
        report.fail(failed->cause(), errors.join(QLatin1Char('\n')), failed->errorPath());
        return false;
    }

    const double avg = total / BytesPerMB / secondsOf(phase.averageClock);
    const QString avgText = QString::number(avg, 'f', 2);
    if (mode == WorkerMode::Write) {
        emit writeProgress(100, avg, avg);
        emit writeFinished(avg);
        emit log(tr("LogWriteDone").arg(avgText));
    } else {
        emit readProgress(100, avg, avg);
        emit readFinished(avg);
        emit log(tr("LogReadDone").arg(avgText));
    }
    return true;
}

void SpeedTester::sampleProgress(Phase& phase, bool final)
{
    const int n = int(phase.workers.size());
    QVector<BlockProgress::Snapshot> progress(n);
    qint64 total = 0;
    qint64 cardStampNs = 0;
    qint64 inFlight = 0; // one block under way in every stream that still moves
    for (int i = 0; i < n; ++i) {
        progress[i] = phase.workers[i]->progress();
        total += progress[i].bytes;
        if (progress[i].bytes > 0)
            cardStampNs = std::max(cardStampNs, progress[i].stampNs);
        if (phase.started[i] && phase.workers[i]->isRunning())
            inFlight += std::min(phase.blockSize, phase.sizes.value(i) - progress[i].bytes);
    }

    const qint64 nowNs = BlockProgress::steadyNowNs();
    const double current = phase.cardMeter.sample(total, cardStampNs, inFlight, nowNs);
    const double averageSeconds = secondsOf(phase.averageClock);
    const double average = total / BytesPerMB / averageSeconds;
    const int percent = percentOf(total, phase.expectedTotal, final);
    const bool writing = phase.mode == WorkerMode::Write;
    if (writing)
        emit writeProgress(percent, current, average);
    else
        emit readProgress(percent, current, average);

    for (int i = 0; i < n; ++i) {
        if (!phase.started[i] || phase.finished[i])
            continue;
        const qint64 bytes = progress[i].bytes;
        if (bytes == 0) {
            // The stream's first span starts at the last sample before its first bytes.
            phase.streamMeters[i].start(phase.blockSize, nowNs);
            continue;
        }
        const bool running = phase.workers[i]->isRunning();
        const qint64 underWay =
            running ? std::min(phase.blockSize, phase.sizes.value(i) - bytes) : 0;
        const double streamCurrent =
            phase.streamMeters[i].sample(bytes, progress[i].stampNs, underWay, nowNs);
        // Every stream's average runs on the phase's clock, not from its own start.
        const double streamAverage = bytes / BytesPerMB / averageSeconds;
        const int streamPercent = percentOf(bytes, phase.sizes.value(i), final);
        if (writing)
            emit fileWriteSample(i, streamPercent, streamCurrent, streamAverage);
        else
            emit fileReadSample(i, streamPercent, streamCurrent, streamAverage);
        if (phase.workers[i]->isFinished() && bytes >= phase.sizes.value(i))
            phase.finished[i] = true;
    }
    phase.sampleClock.restart();
}

void SpeedTester::logStreamStart(const Phase& phase, int i)
{
    // The read phase names the card's files; its sources are only there to check the copies.
    const bool bySource = phase.mode == WorkerMode::Write && i < phase.sources.size();
    const QString& path = bySource ? phase.sources[i] : phase.targets[i];
    const QString label =
        QStringLiteral("#%1: %2").arg(QString::number(i + 1), QFileInfo(path).fileName());
    emit log(phase.mode == WorkerMode::Write ? tr("LogBeginWrite").arg(label)
                                             : tr("LogBeginRead").arg(label));
}
