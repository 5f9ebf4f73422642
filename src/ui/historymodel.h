#pragma once

#include "report/historystore.h"

#include <QAbstractTableModel>
#include <QVector>

// The stored runs as the History window lists them, one row per run, newest first.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        Time,
        Card,
        Capacity,
        FileSystem,
        Mode,
        Streams,
        BlockSize,
        WriteAvg,
        ReadAvg,
        VerdictColumn,
        Outcome,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(QVector<HistoryEntry> entries);
    const HistoryEntry& entry(int row) const { return m_entries.at(row); }
    // The headers and texts in the current language again.
    void retranslate();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVector<HistoryEntry> m_entries;
};
