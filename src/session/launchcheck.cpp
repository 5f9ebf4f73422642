#include "session/launchcheck.h"

#include "engine/units.h"
#include "session/capacityrules.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

struct LaunchTexts
{
    Q_DECLARE_TR_FUNCTIONS(LaunchCheck)
};

Refusal warning(const char* titleKey, const QString& body)
{
    return {false, LaunchTexts::tr(titleKey), body};
}

Refusal planRandom(const LaunchRequest& request, LaunchPlan& plan)
{
    const qint64 fileSize = request.testSize / request.blockSize * request.blockSize;
    if (fileSize <= 0)
        return warning("MsgErrorTitle", LaunchTexts::tr("MsgSizeLtBlock"));
    if (CapacityRules::hasFatFileLimit(request.fileSystem, request.capacity) &&
        fileSize > CapacityRules::SmallCardMaxFile)
        return warning("MsgCapLimitTitle", LaunchTexts::tr("MsgCapLimitBody"));

    plan.fileSize = fileSize;
    plan.streamCount = request.fullCap ? 1 : request.streamCount;
    plan.required = quint64(plan.streamCount) * quint64(fileSize);
    plan.sourcePaths.clear();
    plan.streams.clear();
    if (request.fullCap) {
        plan.streams << StreamSource::rollingWrite();
    } else {
        for (int n = 1; n <= plan.streamCount; ++n)
            plan.streams << StreamSource::randomStream(n);
    }
    return {};
}

Refusal planFiles(const LaunchRequest& request, LaunchPlan& plan)
{
    if (request.fullCap)
        return warning("MsgModeConflictTitle", LaunchTexts::tr("MsgModeConflictBody"));
    if (request.sourcePaths.isEmpty())
        return warning("MsgErrorTitle", LaunchTexts::tr("MsgPickFileFirst"));

    quint64 total = 0;
    qint64 largest = 0;
    QStringList missing;
    QVector<StreamSource> streams;
    for (const QString& path : request.sourcePaths) {
        const QFileInfo info(path);
        if (!info.exists() || !info.isFile()) {
            missing << path;
            continue;
        }
        const qint64 size = info.size() / request.blockSize * request.blockSize;
        total += quint64(size);
        largest = std::max(largest, size);
        // The engine runs no stream for a file without a whole block.
        if (size > 0)
            streams << StreamSource::externalFile(info.fileName());
    }
    if (!missing.isEmpty())
        return warning("MsgErrorTitle", LaunchTexts::tr("MsgFilesMissing").arg(missing.join('\n')));
    if (total == 0)
        return warning("MsgErrorTitle", LaunchTexts::tr("MsgFilesTooSmall"));
    if (CapacityRules::hasFatFileLimit(request.fileSystem, request.capacity) &&
        largest > CapacityRules::SmallCardMaxFile)
        return warning("MsgCapLimitTitle", LaunchTexts::tr("MsgCapLimitFilesBody"));

    plan.fileSize = 0;
    plan.streamCount = 1;
    plan.required = total;
    plan.sourcePaths = request.sourcePaths;
    plan.streams = streams;
    return {};
}

} // namespace

Refusal LaunchCheck::noDrive()
{
    return warning("MsgNoRemovableTitle", LaunchTexts::tr("MsgNoRemovableBody"));
}

Refusal LaunchCheck::notRemovable(const QString& root)
{
    return {true, LaunchTexts::tr("MsgBlockedTitle"), LaunchTexts::tr("MsgBlockedBody").arg(root)};
}

Refusal LaunchCheck::formatNoAccess()
{
    return warning("MsgErrorTitle", LaunchTexts::tr("MsgFormatNoAccess"));
}

Refusal LaunchCheck::plan(const LaunchRequest& request, LaunchPlan& plan)
{
    if (request.blockSize <= 0)
        return warning("MsgErrorTitle", LaunchTexts::tr("MsgSizeLtBlock"));
    return request.randomMode ? planRandom(request, plan) : planFiles(request, plan);
}

Refusal LaunchCheck::freeSpace(quint64 required, quint64 freeBytes)
{
    if (freeBytes >= required)
        return {};
    return warning(
        "MsgLowSpaceTitle",
        LaunchTexts::tr("MsgLowSpaceBody").arg(required / units::MiB).arg(freeBytes / units::MiB));
}

Refusal LaunchCheck::fillRoom(quint64 freeBytes)
{
    if (freeBytes >= MinFillBytes)
        return {};
    return {false, LaunchTexts::tr("MsgLowSpaceTitle"),
            LaunchTexts::tr("MsgFillNoRoomBody")
                .arg(freeBytes / units::MiB)
                .arg(MinFillBytes / units::MiB)};
}

QString LaunchCheck::formatOutcomeText(platform::FormatOutcome outcome)
{
    switch (outcome) {
    case platform::FormatOutcome::Failed:
        return LaunchTexts::tr("MsgFormatFailed");
    case platform::FormatOutcome::Cancelled:
        return LaunchTexts::tr("MsgFormatCancelled");
    case platform::FormatOutcome::Unsupported:
        return LaunchTexts::tr("MsgFormatUnsupported");
    case platform::FormatOutcome::Done:
        break;
    }
    return LaunchTexts::tr("MsgFormatDone");
}
