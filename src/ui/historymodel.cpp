#include "ui/historymodel.h"

#include "report/numbertext.h"
#include "report/reporttexts.h"
#include "ui/verdictcell.h"

namespace {

const char* const kHeaderKeys[HistoryModel::ColumnCount] = {
    "ColTime",      "ColCard",     "ColCapacity", "ColFileSystem", "ColMode",   "ColStreams",
    "ColBlockSize", "ColWriteAvg", "ColReadAvg",  "ColVerdict",    "ColOutcome"};

QString displayText(const HistoryEntry& e, int column)
{
    switch (column) {
    case HistoryModel::Time:
        return e.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case HistoryModel::Card:
        return e.card.label;
    case HistoryModel::Capacity:
        return ReportTexts::bytesText(e.card.capacityBytes);
    case HistoryModel::FileSystem:
        return e.fileSystem;
    case HistoryModel::Mode:
        return ReportTexts::modeText(e.mode);
    case HistoryModel::Streams:
        return QString::number(e.streams);
    case HistoryModel::BlockSize:
        return ReportTexts::bytesText(e.blockSize);
    case HistoryModel::WriteAvg:
        return NumberText::fixed(e.writeAvg, 2);
    case HistoryModel::ReadAvg:
        return e.readMeasured ? NumberText::fixed(e.readAvg, 2) : QStringLiteral("--");
    case HistoryModel::VerdictColumn:
        return verdictText(e.verdict);
    case HistoryModel::Outcome:
        return ReportTexts::endText(e.end);
    default:
        return QString();
    }
}

} // namespace

void HistoryModel::setEntries(QVector<HistoryEntry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

void HistoryModel::retranslate()
{
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!m_entries.isEmpty())
        emit dataChanged(index(0, 0), index(m_entries.size() - 1, ColumnCount - 1));
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_entries.size();
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return QVariant();
    const HistoryEntry& e = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return displayText(e, index.column());
    case Qt::ForegroundRole:
        if (index.column() == VerdictColumn)
            return VerdictCellStyle::verdictColor(e.verdict);
        // A run that did not complete is marked wherever the eye lands on it.
        if (index.column() == Outcome && e.end != RunEnd::Completed)
            return VerdictCellStyle::verdictColor(Verdict::Warn);
        return QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() >= Streams && index.column() <= ReadAvg)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return tr(kHeaderKeys[section]);
}
