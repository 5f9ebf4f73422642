#include "session/runtexts.h"

#include "analysis/verdictrules.h"
#include "engine/units.h"

#include <QCoreApplication>
#include <QTime>

namespace {

struct RunTextsTr
{
    Q_DECLARE_TR_FUNCTIONS(RunTexts)
};

QString twoDigits(qint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString RunTexts::elapsedText(qint64 ms)
{
    const qint64 t = ms < 0 ? 0 : ms;
    const qint64 s = t / 1000;
    const QString minSec = twoDigits((s % 3600) / 60) + QLatin1Char(':') + twoDigits(s % 60);
    if (t >= 3600000)
        return twoDigits(t / 3600000) + QLatin1Char(':') + minSec;
    return minSec;
}

bool RunTexts::sessionRepeats(const VerdictRules& rules)
{
    return !rules.fullCap && rules.iterCount >= 2;
}

int RunTexts::overallPercent(int percent, int round, const VerdictRules& rules)
{
    if (!sessionRepeats(rules))
        return percent;
    return (percent + (round - 1) * 100) / rules.iterCount;
}

QString RunTexts::roundPrefix(int round, int rounds)
{
    if (rounds < 2)
        return QString();
    return RunTextsTr::tr("RoundPrefix").arg(round).arg(rounds);
}

QString RunTexts::progressText(double currentSpeed, double avgSpeed, qint64 elapsedMs)
{
    return RunTextsTr::tr("ProgressLive")
        .arg(QString::number(currentSpeed, 'f', 2), QString::number(avgSpeed, 'f', 2),
             elapsedText(elapsedMs));
}

QString RunTexts::rollingProgressText(int currentFile, int totalFiles, qint64 bytesWritten,
                                      qint64 bytesTotal)
{
    return RunTextsTr::tr("RollingProgress")
        .arg(currentFile)
        .arg(totalFiles)
        .arg(QString::number(double(bytesWritten) / units::GiB, 'f', 1))
        .arg(QString::number(double(bytesTotal) / units::GiB, 'f', 1));
}

QString RunTexts::filesSummary(int fileCount, qint64 totalBytes)
{
    if (fileCount < 1)
        return RunTextsTr::tr("HintNoFileSelected");
    return RunTextsTr::tr("SummaryFilesSelected", nullptr, fileCount)
        .arg(fileCount)
        .arg(QString::number(double(totalBytes) / units::BytesPerMB, 'f', 1));
}

QString RunTexts::logLine(const QTime& time, const QString& message)
{
    return QStringLiteral("[%1] %2").arg(time.toString(QStringLiteral("hh:mm:ss")), message);
}
