#include "report/reportcsv.h"

#include "report/numbertext.h"
#include "report/reporttexts.h"

#include <QCoreApplication>

#include <algorithm>
#include <charconv>

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

// One line per sample number: the phase, the number, then each series' percent and speed,
// empty where a series has fewer samples.
void appendPhase(QByteArray& out, const PhaseSeries& phase, bool write)
{
    QByteArray phaseField;
    ReportCsv::appendField(phaseField, CsvTexts::tr(write ? "LabelWrite" : "LabelRead"));
    QVector<const QVector<SpeedPoint>*> series{&phase.card};
    int length = phase.card.size();
    for (const QVector<SpeedPoint>& stream : phase.streams) {
        series.append(&stream);
        length = std::max(length, int(stream.size()));
    }
    char number[16];
    for (int i = 0; i < length; ++i) {
        out.append(phaseField);
        out.append(',');
        out.append(number, int(std::to_chars(number, number + sizeof number, i + 1).ptr - number));
        for (const QVector<SpeedPoint>* points : series) {
            out.append(',');
            if (i < points->size())
                NumberText::appendFixed(out, points->at(i).percent, 2);
            out.append(',');
            if (i < points->size())
                NumberText::appendFixed(out, points->at(i).mbps, 3);
        }
        out.append(kLineEnd);
    }
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
    const PhaseSeries& write = result.writeSeries;
    const PhaseSeries& read = result.readSeries;
    QStringList headers{CsvTexts::tr("ColPhase"), CsvTexts::tr("ColSample")};
    const int series = 1 + std::max(write.streams.size(), read.streams.size());
    for (int s = 0; s < series; ++s) {
        const QString label = ReportTexts::rowLabel(result, s);
        headers << QStringLiteral("%1 · %2").arg(label, CsvTexts::tr("ColProgress"))
                << QStringLiteral("%1 · %2").arg(label, CsvTexts::tr("ColSpeed"));
    }
    QByteArray out(kBom);
    out.reserve(16 * series * (write.card.size() + read.card.size() + 2));
    appendLine(out, headers);
    appendPhase(out, write, true);
    appendPhase(out, read, false);
    return out;
}
