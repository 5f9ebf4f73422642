#include "report/reportcsv.h"

#include "report/numbertext.h"
#include "report/reporttexts.h"

#include <QCoreApplication>

namespace {

struct CsvTexts
{
    Q_DECLARE_TR_FUNCTIONS(ReportCsv)
};

const char* const kBom = "\xEF\xBB\xBF";
const char* const kLineEnd = "\r\n";

// Columns of each phase's figures taken from the table, and the counts that follow them.
constexpr int FigureColumns = 6;

void appendLine(QByteArray& out, const QStringList& fields)
{
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out.append(',');
        ReportCsv::appendField(out, fields[i]);
    }
    out.append(kLineEnd);
}

QString countText(const StreamMetrics& m, bool measured, int value)
{
    return measured && m.sampleCount > 0 ? QString::number(value) : QString();
}

void appendSeries(QByteArray& out, const QByteArray& prefix, const QVector<SpeedPoint>& points)
{
    for (int i = 0; i < points.size(); ++i) {
        out.append(prefix);
        out.append(QByteArray::number(i + 1));
        out.append(',');
        NumberText::appendFixed(out, points[i].percent, 2);
        out.append(',');
        NumberText::appendFixed(out, points[i].mbps, 3);
        out.append(kLineEnd);
    }
}

void appendPhase(QByteArray& out, const RunResult& result, const PhaseSeries& phase, bool write)
{
    QByteArray phaseField;
    ReportCsv::appendField(phaseField, CsvTexts::tr(write ? "LabelWrite" : "LabelRead"));
    const auto prefix = [&](int row) {
        QByteArray p = phaseField + ',';
        ReportCsv::appendField(p, ReportTexts::rowLabel(result, row));
        return p + ',';
    };
    appendSeries(out, prefix(0), phase.card);
    for (int s = 0; s < phase.streams.size(); ++s)
        appendSeries(out, prefix(s + 1), phase.streams[s]);
}

} // namespace

void ReportCsv::appendField(QByteArray& line, const QString& field)
{
    const QByteArray utf8 = field.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') &&
        !utf8.contains('\r')) {
        line.append(utf8);
        return;
    }
    QByteArray quoted = utf8;
    quoted.replace('"', "\"\"");
    line.append('"').append(quoted).append('"');
}

QByteArray ReportCsv::resultsTable(const RunResult& result)
{
    QStringList headers = ReportTexts::tableHeaders();
    headers.insert(1 + FigureColumns, CsvTexts::tr("ColWriteDropCount"));
    headers.insert(2 + FigureColumns, CsvTexts::tr("ColWriteSamples"));
    headers.insert(3 + 2 * FigureColumns, CsvTexts::tr("ColReadDropCount"));
    headers.insert(4 + 2 * FigureColumns, CsvTexts::tr("ColReadSamples"));
    headers << CsvTexts::tr("ColBadBlocks") << CsvTexts::tr("ColReasons");

    QByteArray out(kBom);
    appendLine(out, headers);
    const bool read = result.figures.readMeasured;
    for (int row = 0; row < result.figures.rows.size(); ++row) {
        const RunRow& r = result.figures.rows[row];
        QStringList cells = ReportTexts::tableCells(result, row, false);
        for (QString& cell : cells) {
            if (cell == QLatin1String("--"))
                cell.clear();
        }
        cells.insert(1 + FigureColumns, countText(r.write, true, r.write.dropCount));
        cells.insert(2 + FigureColumns, countText(r.write, true, r.write.sampleCount));
        cells.insert(3 + 2 * FigureColumns, countText(r.read, read, r.read.dropCount));
        cells.insert(4 + 2 * FigureColumns, countText(r.read, read, r.read.sampleCount));
        cells << QString::number(r.data.badBlocks) << r.reasons.join(QStringLiteral("; "));
        appendLine(out, cells);
    }
    return out;
}

QByteArray ReportCsv::samples(const RunResult& result)
{
    QByteArray out(kBom);
    appendLine(out, {CsvTexts::tr("ColPhase"), CsvTexts::tr("ColSeries"), CsvTexts::tr("ColSample"),
                     CsvTexts::tr("ColProgress"), CsvTexts::tr("ColSpeed")});
    appendPhase(out, result, result.writeSeries, true);
    appendPhase(out, result, result.readSeries, false);
    return out;
}
