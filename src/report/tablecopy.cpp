#include "report/tablecopy.h"

#include <QAbstractItemModel>
#include <QMap>
#include <QSet>

#include <algorithm>

namespace {

// A tab or a line break inside a cell would start a new cell or row in the spreadsheet.
QString field(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

QString TableCopy::text(const QAbstractItemModel& model, const QModelIndexList& selected,
                        const QVector<int>& columns)
{
    QMap<int, QSet<int>> rows; // row -> columns of `columns` selected in it
    QSet<int> used;
    for (const QModelIndex& index : selected) {
        const auto after = std::upper_bound(columns.begin(), columns.end(), index.column());
        if (after == columns.begin())
            continue;
        const int column = *(after - 1);
        rows[index.row()].insert(column);
        used.insert(column);
    }
    if (rows.isEmpty())
        return QString();

    QVector<int> shown;
    for (int column : columns) {
        if (used.contains(column))
            shown.append(column);
    }
    QStringList lines;
    QStringList cells;
    for (int column : shown)
        cells.append(field(model.headerData(column, Qt::Horizontal).toString()));
    lines.append(cells.join(QLatin1Char('\t')));
    for (auto row = rows.cbegin(); row != rows.cend(); ++row) {
        cells.clear();
        for (int column : shown) {
            cells.append(row->contains(column)
                             ? field(model.index(row.key(), column).data().toString())
                             : QString());
        }
        lines.append(cells.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
