#include "cli/resultstext.h"

#include "cli/terminaltext.h"
#include "session/runresult.h"

#include <QCoreApplication>
#include <QVector>

namespace {

struct ResultsTextTr
{
    Q_DECLARE_TR_FUNCTIONS(ResultsText)
};

// After the row's label and its phase; speeds in MB/s, ratios in percent.
const char* const kFigureColumns[] = {"CliColAvg", "CliColMin", "CliColJitter", "CliColCV",
                                      "CliColDrop"};

QStringList figureCells(const StreamMetrics& m)
{
    const auto percent = [](double ratio) { return QString::number(ratio * 100.0, 'f', 1) + '%'; };
    return {QString::number(m.avg, 'f', 2), QString::number(m.min, 'f', 2), percent(m.jitter),
            percent(m.cv), percent(m.dropRatio)};
}

QString rowLabel(int row, const RunRow& r)
{
    // Numbered as the window's table numbers them.
    return row == 0 ? ResultsTextTr::tr("RowCardTotal")
                    : QStringLiteral("#%1  %2").arg(QString::number(row), r.label);
}

} // namespace

QString ResultsText::table(const RunFigures& figures)
{
    // One line per phase keeps the table within a terminal's width, unlike the window's one
    // line per row.
    QVector<QStringList> cells;
    QStringList header{ResultsTextTr::tr("ColFile"), QString()};
    for (const char* key : kFigureColumns)
        header << ResultsTextTr::tr(key);
    header << ResultsTextTr::tr("ColVerdict");
    cells << header;
    for (int row = 0; row < figures.rows.size(); ++row) {
        const RunRow& r = figures.rows.at(row);
        cells << (QStringList{rowLabel(row, r), ResultsTextTr::tr("LabelWrite")}
                  << figureCells(r.write) << verdictText(r.verdict.overall()));
        if (figures.readMeasured)
            cells << (QStringList{QString(), ResultsTextTr::tr("LabelRead")} << figureCells(r.read)
                                                                             << QString());
    }

    QVector<int> widths(header.size(), 0);
    for (const QStringList& line : qAsConst(cells)) {
        for (int c = 0; c < line.size(); ++c)
            widths[c] = qMax(widths[c], TerminalText::width(line.at(c)));
    }
    QString out;
    for (const QStringList& line : qAsConst(cells)) {
        QString text;
        for (int c = 0; c < line.size(); ++c) {
            const QString& cell = line.at(c);
            const QString gap(widths[c] - TerminalText::width(cell), QLatin1Char(' '));
            // Labels and verdicts read from the left, figures line up on the right.
            const bool figure = c > 1 && c < line.size() - 1;
            text += (c > 0 ? QStringLiteral("  ") : QString()) +
                    (figure ? gap + cell : cell + (c < line.size() - 1 ? gap : QString()));
        }
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        out += text + QLatin1Char('\n');
    }

    out += QLatin1Char('\n');
    for (int row = 0; row < figures.rows.size(); ++row) {
        const RunRow& r = figures.rows.at(row);
        if (!r.reasons.isEmpty())
            out += rowLabel(row, r) + QStringLiteral(": ") + r.reasons.join(QStringLiteral("; ")) +
                   QLatin1Char('\n');
    }
    out += ResultsTextTr::tr("CliCardVerdict").arg(verdictText(figures.card())) + QLatin1Char('\n');
    return out;
}
