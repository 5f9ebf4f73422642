#include "report/runcomparison.h"

#include "analysis/verdict.h"
#include "report/numbertext.h"

namespace {

const StreamMetrics& phaseOf(const RunRow& row, int cell)
{
    return cell < 6 ? row.write : row.read;
}

double valueOf(const RunRow& row, int cell)
{
    const StreamMetrics& m = phaseOf(row, cell);
    switch (cell % 6) {
    case 0:
        return m.avg;
    case 1:
        return m.max;
    case 2:
        return m.min;
    case 3:
        return m.jitter;
    case 4:
        return m.cv;
    default:
        return m.dropRatio;
    }
}

bool higherIsBetter(int cell)
{
    return cell % 6 < 3;
}

} // namespace

QString RunComparison::figureText(const RunRow& row, int cell)
{
    if (cell == VerdictCell)
        return verdictText(row.verdict.overall());
    const double v = valueOf(row, cell);
    return higherIsBetter(cell) ? NumberText::fixed(v, 2)
                                : NumberText::fixed(v * 100.0, 1) + QLatin1Char('%');
}

QVector<QVector<CellDifference>> RunComparison::compare(const RunResult& mine,
                                                        const RunResult& other)
{
    const bool bothRead = mine.figures.readMeasured && other.figures.readMeasured;
    QVector<QVector<CellDifference>> cells;
    for (int r = 0; r < mine.figures.rows.size(); ++r) {
        QVector<CellDifference> row(Cells, CellDifference::Unmatched);
        if (r < other.figures.rows.size()) {
            const RunRow& a = mine.figures.rows[r];
            const RunRow& b = other.figures.rows[r];
            for (int c = 0; c < Cells; ++c) {
                if (c >= 6 && c < VerdictCell && !bothRead) {
                    row[c] = CellDifference::Same;
                    continue;
                }
                if (figureText(a, c) == figureText(b, c)) {
                    row[c] = CellDifference::Same;
                    continue;
                }
                bool better;
                if (c == VerdictCell)
                    better = int(a.verdict.overall()) < int(b.verdict.overall());
                else
                    better = higherIsBetter(c) == (valueOf(a, c) > valueOf(b, c));
                row[c] = better ? CellDifference::Better : CellDifference::Worse;
            }
        }
        cells.append(row);
    }
    return cells;
}
