#include "engine/rollingfill.h"

#include "engine/blockpattern.h"
#include "engine/blockprogress.h"
#include "engine/enginereport.h"
#include "engine/fileworker.h"
#include "engine/speedtester.h"
#include "engine/units.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

using units::BytesPerMB;
constexpr qint64 SampleIntervalNs = 199999999; // a sample once more than this has passed
constexpr unsigned long WaitMs = 200;

int saturated(qint64 count)
{
    return static_cast<int>(std::min<qint64>(count, INT_MAX));
}

QString tr(const char* key)
{
    return SpeedTester::tr(key);
}

} // namespace

qint64 RollingFill::Layout::sizeAt(qint64 position) const
{
    return position == filesPerFill - 1 && tailSize > 0 ? tailSize : fileSize;
}

RollingFill::Layout RollingFill::layoutOf(const TestPlan& plan)
{
    Layout l;
    if (plan.blockSize <= 0)
        return l;
    l.fileSize = plan.rollFileSize / plan.blockSize * plan.blockSize;
    if (l.fileSize <= 0)
        return l;
    const qint64 freeBytes = std::max<qint64>(0, plan.rollFreeBytes);
    l.fullFiles = freeBytes / l.fileSize;
    const qint64 fullBytes = l.fullFiles * l.fileSize;
    l.tailSize = (freeBytes - fullBytes) / plan.blockSize * plan.blockSize;
    l.filesPerFill = l.fullFiles + (l.tailSize > 0 ? 1 : 0);
    l.fills = std::max(1, plan.rollRefills);
    l.totalFiles = l.filesPerFill * l.fills;
    l.totalBytes = (fullBytes + l.tailSize) * l.fills;
    return l;
}

RollingFill::RollingFill(EngineReport& report, const TestPlan& plan,
                         const std::atomic<int>* stopFlag)
    : m_report(report)
    , m_plan(plan)
    , m_stopFlag(stopFlag)
    , m_layout(layoutOf(plan))
    , m_runId(BlockPattern::newRunId())
{}

RollingFill::~RollingFill() = default;

bool RollingFill::stopRequested() const
{
    return m_stopFlag && m_stopFlag->load(std::memory_order_relaxed) != 0;
}

QString RollingFill::pathOf(qint64 index) const
{
    return m_plan.rootPath + QStringLiteral("__roll_%1.dat").arg(index);
}

bool RollingFill::run()
{
    const Layout& l = m_layout;
    if (l.fileSize <= 0) {
        m_report.fail(FailureCause::Other, tr("LogFileTooSmall"), QString());
        return false;
    }
    if (l.filesPerFill <= 0) {
        m_report.fail(FailureCause::CardFull, tr("LogCardFull"), m_plan.rootPath);
        return false;
    }

    m_report.log(tr("LogRollingStart"));
    m_report.log(tr("LogRollingParams")
                     .arg(l.fileSize / units::MiB)
                     .arg(l.filesPerFill)
                     .arg(l.fills)
                     .arg(l.totalFiles));
    if (l.tailSize > 0)
        m_report.log(tr("LogRollingTail").arg(l.tailSize / units::MiB));

    m_clock.start();
    m_lastBlockNs = BlockProgress::steadyNowNs();
    m_meter.start(m_plan.blockSize, m_lastBlockNs);
    const int totalFiles = saturated(l.totalFiles);
    bool failed = false;
    qint64 i = 0;
    for (; !stopRequested(); ++i) {
        const qint64 position = i % l.filesPerFill;
        // Every further fill starts on an empty card: the whole previous fill goes at once,
        // once it has been read back and checked when that is asked for.
        if (i > 0 && position == 0) {
            if (!verifyFill(i / l.filesPerFill)) {
                failed = true;
                break;
            }
            deleteFill(true);
        }
        if (position == 0)
            m_fillStart = m_written;
        const FileOutcome outcome = writeFile(i, l.sizeAt(position));
        if (outcome == FileOutcome::FillEndsFull)
            i += l.filesPerFill - 1 - position; // the next fill starts with the next file
        failed = outcome == FileOutcome::Failed;
        if (failed || i >= l.totalFiles - 1)
            break;
    }
    // The last fill is checked before the closing figures, so its findings reach the window
    // before the end of the test's only phase, on which the verdicts are made.
    if (!failed && !stopRequested())
        failed =
            !verifyFill(std::min(i, l.totalFiles - 1) / l.filesPerFill + 1) && !stopRequested();

    const double average =
        m_written / BytesPerMB / std::max(0.001, static_cast<double>(writeClockNs()) / 1e9);
    if (failed) {
        // A failed test is not closed: the figures stay where the bytes stopped, and no
        // verdict is made on them.
        const int percent = l.totalBytes > 0 ? static_cast<int>(m_written * 100 / l.totalBytes) : 0;
        m_report.progress(true, percent, m_lastCurrent, average);
    } else {
        // Closing figures, also after a stop: the front end closes the stream with them.
        m_report.progress(true, 100, m_lastCurrent, average);
        m_report.streamSample(true, 0, 100, m_lastCurrent, average);
        m_report.fillProgress(totalFiles, totalFiles, m_written, l.totalBytes);
        m_report.phaseFinished(true, average);
    }

    deleteFill(false);
    if (stopRequested())
        m_report.log(tr("LogUserCancelled"));
    else if (!failed)
        m_report.log(tr("LogRollingDone"));
    return true;
}

RollingFill::FileOutcome RollingFill::writeFile(qint64 index, qint64 size)
{
    const QString path = pathOf(index);
    m_fillFiles.append(path);
    m_report.fillProgress(saturated(index + 1), saturated(m_layout.totalFiles), m_written,
                          m_layout.totalBytes);

    auto worker = std::make_unique<FileWorker>(static_cast<int>(WorkerMode::Write), QString(), path,
                                               size, m_plan.blockSize, m_stopFlag);
    worker->setStreamIdentity(m_runId, static_cast<quint32>(index));
    worker->setCard(m_report.card());
    worker->start();
    while (worker->isRunning()) {
        // Returns at once when the file is complete, so its end is sampled without delay.
        worker->wait(WaitMs);
        if (stopRequested())
            break;
        if (writeClockNs() - m_lastSampleNs > SampleIntervalNs)
            sample(*worker, index);
    }
    worker->wait();

    const BlockProgress::Snapshot done = worker->progress();
    m_written += done.bytes;
    if (done.bytes > 0) {
        m_lastBlockNs = std::max(m_lastBlockNs, done.stampNs);
        m_fillWritten.append({path, done.bytes, static_cast<quint32>(index)});
    }
    if (worker->succeeded() || stopRequested())
        return FileOutcome::Written;

    if (worker->outOfSpace() && fillIsAsGoodAsFull(index)) {
        m_report.log(tr("LogFillEndsFull").arg(path));
        return FileOutcome::FillEndsFull;
    }
    const QString error = worker->errorString();
    m_report.fail(worker->cause(), error.isEmpty() ? tr("LogWriteFailed") : error,
                  worker->errorPath());
    return FileOutcome::Failed;
}

bool RollingFill::fillIsAsGoodAsFull(qint64 index) const
{
    // A file system takes part of the free space measured at launch for its own bookkeeping
    // (directory entries, extent trees, whole allocation units), so the last file of a fill
    // may find the card full: the fill has then done what it was for. With many small files
    // the bookkeeping can outgrow the tail and end the fill a file or two earlier; it stays
    // far below 1 % of the fill on FAT, exFAT and ext4 even with 64 KB files. Running out
    // of room earlier than that is a fault.
    const Layout& l = m_layout;
    if (index % l.filesPerFill == l.filesPerFill - 1)
        return true;
    const qint64 planned = l.totalBytes / l.fills;
    const qint64 lacking = planned - (m_written - m_fillStart);
    return lacking <= planned / 100;
}

void RollingFill::sample(const FileWorker& worker, qint64 index)
{
    const BlockProgress::Snapshot progress = worker.progress();
    const qint64 nowTotal = m_written + progress.bytes;
    // Measured up to the latest completed block, of this file or of an earlier one.
    const qint64 stampNs = progress.bytes > 0 ? progress.stampNs : m_lastBlockNs;
    const qint64 nowNs = writeClockNs();
    // One block is under way between files too: the gap while a file is closed and the next
    // one created is time the card takes like any other.
    m_lastCurrent =
        m_meter.sample(nowTotal, stampNs, m_plan.blockSize, BlockProgress::steadyNowNs());
    const double average =
        nowTotal / BytesPerMB / std::max(0.001, static_cast<double>(nowNs) / 1e9);
    const int percent =
        m_layout.totalBytes > 0
            ? static_cast<int>(std::min<qint64>(100, nowTotal * 100 / m_layout.totalBytes))
            : 0;
    m_report.progress(true, percent, m_lastCurrent, average);
    m_report.streamSample(true, 0, percent, m_lastCurrent, average);
    m_report.fillProgress(saturated(index + 1), saturated(m_layout.totalFiles), nowTotal,
                          m_layout.totalBytes);
    m_lastSampleNs = nowNs;
}

void RollingFill::deleteFill(bool reportFailures)
{
    // A card that has gone took its files along; the folder now at its root is not its own.
    if (!m_report.card().present()) {
        m_fillFiles.clear();
        m_fillWritten.clear();
        return;
    }
    for (const QString& path : qAsConst(m_fillFiles)) {
        // A file that is already gone needs no warning.
        if (!QFile::remove(path) && reportFailures && QFileInfo::exists(path))
            m_report.log(tr("LogCantDelete").arg(path));
    }
    m_fillFiles.clear();
    m_fillWritten.clear();
}

bool RollingFill::verifyFill(qint64 fill)
{
    if (!m_plan.rollVerify || m_fillWritten.isEmpty())
        return true;
    const qint64 started = m_clock.nsecsElapsed();
    const FillCheck::Outcome outcome =
        FillCheck::run(m_report, m_fillWritten, m_runId, m_plan.blockSize, m_stopFlag,
                       saturated(fill), m_layout.fills);
    // Reading is no writing: the pause leaves every write speed, current and average, as if
    // the next file followed at once.
    const qint64 pause = m_clock.nsecsElapsed() - started;
    m_checkNs += pause;
    m_meter.shift(pause);
    m_lastBlockNs += pause;
    return outcome == FillCheck::Outcome::Clean || outcome == FillCheck::Outcome::BadData;
}
