#include "engine/fillcheck.h"

#include "engine/enginereport.h"
#include "engine/fileworker.h"
#include "engine/testplan.h"

FillCheck::Outcome FillCheck::run(EngineReport& report, const QVector<File>& files, quint64 runId,
                                  qint64 blockSize, const std::atomic<int>* stopFlag, int fill,
                                  int fills)
{
    const auto stopped = [stopFlag] {
        return stopFlag && stopFlag->load(std::memory_order_relaxed) != 0;
    };
    report.log(tr("LogVerifyFill").arg(fill).arg(fills));
    bool clean = true;
    for (const File& file : files) {
        if (stopped())
            return Outcome::Stopped;
        FileWorker reader(static_cast<int>(WorkerMode::Read), QString(), file.path, file.bytes,
                          blockSize, stopFlag);
        reader.setStreamIdentity(runId, file.index);
        reader.start();
        reader.wait();
        if (stopped())
            return Outcome::Stopped;
        report.mismatch(0, file.path, reader);
        clean = clean && reader.badBlocks() == 0;
        if (!reader.succeeded()) {
            const QString error = reader.errorString();
            report.fail(FailureCause::Other, error.isEmpty() ? tr("ErrRead").arg(file.path) : error,
                        file.path);
            return Outcome::Failed;
        }
    }
    if (!clean)
        return Outcome::BadData;
    report.log(tr("LogVerifyFillOk").arg(fill).arg(fills));
    return Outcome::Clean;
}
