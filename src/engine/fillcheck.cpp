#include "engine/fillcheck.h"

#include "engine/blockprogress.h"
#include "engine/enginereport.h"
#include "engine/fileworker.h"
#include "engine/speedmeter.h"
#include "engine/testplan.h"
#include "engine/units.h"

#include <algorithm>

namespace {

constexpr unsigned long SampleMs = 200;

} // namespace

FillCheck::Outcome FillCheck::run(EngineReport& report, const QVector<File>& files, quint64 runId,
                                  qint64 blockSize, const std::atomic<int>* stopFlag, int fill,
                                  int fills)
{
    const auto stopped = [stopFlag] {
        return stopFlag && stopFlag->load(std::memory_order_relaxed) != 0;
    };
    report.log(tr("LogVerifyFill").arg(fill).arg(fills));
    qint64 total = 0;
    for (const File& file : files)
        total += file.bytes;
    const qint64 startedNs = BlockProgress::steadyNowNs();
    SpeedMeter meter;
    meter.start(blockSize, startedNs);
    qint64 done = 0;                // bytes of the files read completely
    qint64 lastBlockNs = startedNs; // when the last of them completed
    // The check's progress, with `bytes` read of the fill, the last block completed at blockNs
    // and `inFlight` bytes that may be under way.
    const auto sample = [&](qint64 bytes, qint64 blockNs, qint64 inFlight) {
        const qint64 nowNs = BlockProgress::steadyNowNs();
        const double current = meter.sample(bytes, blockNs, inFlight, nowNs);
        const double average =
            bytes / units::BytesPerMB / std::max(0.001, (nowNs - startedNs) / 1e9);
        const int percent =
            total > 0 ? static_cast<int>(std::min<qint64>(100, bytes * 100 / total)) : 0;
        report.fillCheckProgress(fill, fills, percent, current, average);
    };
    bool clean = true;
    for (const File& file : files) {
        if (stopped())
            return Outcome::Stopped;
        FileWorker reader(static_cast<int>(WorkerMode::Read), QString(), file.path, file.bytes,
                          blockSize, stopFlag);
        reader.setStreamIdentity(runId, file.index);
        reader.setCard(report.card());
        reader.start();
        // A fill of a large card takes minutes to read: its progress is shown as it goes.
        while (!reader.wait(SampleMs)) {
            const BlockProgress::Snapshot now = reader.progress();
            sample(done + now.bytes, now.bytes > 0 ? now.stampNs : lastBlockNs, blockSize);
        }
        if (stopped())
            return Outcome::Stopped;
        report.mismatch(0, file.path, reader);
        clean = clean && reader.badBlocks() == 0;
        if (!reader.succeeded()) {
            const QString error = reader.errorString();
            report.fail(reader.cause(), error.isEmpty() ? tr("ErrRead").arg(file.path) : error,
                        reader.errorPath());
            return Outcome::Failed;
        }
        done += file.bytes;
        if (reader.progress().stampNs > 0)
            lastBlockNs = reader.progress().stampNs;
    }
    sample(done, lastBlockNs, 0);
    if (!clean)
        return Outcome::BadData;
    report.log(tr("LogVerifyFillOk").arg(fill).arg(fills));
    return Outcome::Clean;
}
