#pragma once

#include <QModelIndexList>
#include <QString>
#include <QVector>

class QAbstractItemModel;

// A table selection as tab-separated text with a header line, ready to paste into a spreadsheet.
class TableCopy
{
public:
    // `columns` are the columns worth copying, in order (the visible ones that start a cell); a
    // selected column between them counts for the nearest one on its left, as a cell spanning
    // several columns belongs to its first. The text has the headers of the columns that hold a
    // selected cell, then one line per row that does, empty where a cell is not selected.
    static QString text(const QAbstractItemModel& model, const QModelIndexList& selected,
                        const QVector<int>& columns);
};
