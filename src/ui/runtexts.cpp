#include "ui/runtexts.h"

#include "analysis/verdictrules.h"

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

bool RunTexts::windowRepeats(const VerdictRules& rules)
{
    return !rules.fullCap && rules.iterCount >= 2;
}

int RunTexts::overallPercent(int percent, int round, const VerdictRules& rules)
{
    if (!windowRepeats(rules))
        return percent;
    return (percent + (round - 1) * 100) / rules.iterCount;
}

QString RunTexts::roundPrefix(int round, const VerdictRules& rules)
{
    if (!windowRepeats(rules))
        return QString();
    return RunTextsTr::tr("RoundPrefix").arg(round).arg(rules.iterCount);
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
    constexpr double GiB = 1073741824.0;
    return RunTextsTr::tr("RollingProgress")
        .arg(currentFile)
        .arg(totalFiles)
        .arg(QString::number(double(bytesWritten) / GiB, 'f', 1))
        .arg(QString::number(double(bytesTotal) / GiB, 'f', 1));
}

QString RunTexts::filesSummary(int fileCount, qint64 totalBytes)
{
    if (fileCount < 1)
        return RunTextsTr::tr("HintNoFileSelected");
    return RunTextsTr::tr("SummaryFilesSelected")
        .arg(fileCount)
        .arg(QString::number(double(totalBytes) / 1048576.0, 'f', 1));
}

QString RunTexts::logLine(const QTime& time, const QString& message)
{
    return QStringLiteral("[%1] %2").arg(time.toString(QStringLiteral("hh:mm:ss")), message);
}
