#include "report/reporttexts.h"

#include "engine/units.h"
#include "report/numbertext.h"
#include "ui/resultstable.h"

#include <QCoreApplication>

namespace {

struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(ReportTexts)
};

constexpr double MB = units::BytesPerMB;
constexpr double GB = double(units::GiB);

void appendFigures(QStringList& cells, const StreamMetrics& m, bool measured, bool percentSign)
{
    if (!measured) {
        for (int i = 0; i < 6; ++i)
            cells.append(QStringLiteral("--"));
        return;
    }
    const QString sign = percentSign ? QStringLiteral("%") : QString();
    cells << NumberText::fixed(m.avg, 2) << NumberText::fixed(m.max, 2)
          << NumberText::fixed(m.min, 2) << NumberText::fixed(m.jitter * 100.0, 1) + sign
          << NumberText::fixed(m.cv * 100.0, 1) + sign
          << NumberText::fixed(m.dropRatio * 100.0, 1) + sign;
}

} // namespace

QString ReportTexts::modeText(TestMode mode)
{
    switch (mode) {
    case TestMode::ExternalFiles:
        return Texts::tr("RadioExternalFile");
    case TestMode::RollingFill:
        return Texts::tr("LabelModeRolling");
    case TestMode::RandomData:
        break;
    }
    return Texts::tr("RadioRandom");
}

QString ReportTexts::endText(RunEnd end)
{
    switch (end) {
    case RunEnd::Stopped:
        return Texts::tr("LabelEndStopped");
    case RunEnd::Failed:
        return Texts::tr("LabelEndFailed");
    case RunEnd::Completed:
        break;
    }
    return Texts::tr("LabelEndCompleted");
}

QString ReportTexts::bytesText(qint64 bytes)
{
    if (bytes >= GB)
        return QStringLiteral("%1 GB").arg(NumberText::fixed(bytes / GB, 1));
    return QStringLiteral("%1 MB").arg(NumberText::fixed(bytes / MB, bytes >= MB ? 0 : 2));
}

QString ReportTexts::timeText(const QDateTime& time)
{
    return time.isValid()
               ? time.toOffsetFromUtc(time.toLocalTime().offsetFromUtc()).toString(Qt::ISODate)
               : QString();
}

QString ReportTexts::rowLabel(const RunResult& result, int row)
{
    if (row == 0)
        return Texts::tr("RowCardTotal");
    return ResultsTable::streamRowText(row, result.figures.rows.value(row).label);
}

QStringList ReportTexts::tableHeaders()
{
    QStringList headers;
    for (const char* key :
         {"ColFile", "ColWriteAvg", "ColWriteMax", "ColWriteMin", "ColWriteJitter", "ColWriteCV",
          "ColWriteDrop", "ColReadAvg", "ColReadMax", "ColReadMin", "ColReadJitter", "ColReadCV",
          "ColReadDrop", "ColVerdict"})
        headers.append(Texts::tr(key));
    return headers;
}

QStringList ReportTexts::tableCells(const RunResult& result, int row, bool withPercentSign)
{
    const RunRow& r = result.figures.rows.at(row);
    QStringList cells{rowLabel(result, row)};
    appendFigures(cells, r.write, r.write.sampleCount > 0 || r.write.avg > 0, withPercentSign);
    appendFigures(cells, r.read, result.figures.readMeasured, withPercentSign);
    cells.append(verdictText(r.verdict.overall()));
    return cells;
}
