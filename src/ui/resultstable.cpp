#include "ui/resultstable.h"

#include "engine/units.h"
#include "ui/verdictcell.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QTableWidget>

#include <algorithm>

namespace {

struct ResultsTableTexts
{
    Q_DECLARE_TR_FUNCTIONS(ResultsTable)
};

const char* const kStyleSheet =
    "QTableWidget {   background: #ffffff;   alternate-background-color: #f7f9fc;   border: 1px "
    "solid #d0d7de;   border-radius: 4px;   gridline-color: transparent;   "
    "selection-background-color: transparent;}QTableWidget::item { padding: 4px 3px; border: "
    "none; }QHeaderView { background: transparent; }QHeaderView::section {   background: "
    "#eef1f5;   color: #333;   padding: 6px 4px;   font-weight: bold;   border: none;   "
    "border-bottom: 1px solid #d0d7de;}QHeaderView::section:first { border-top-left-radius: "
    "4px; }QHeaderView::section:last  { border-top-right-radius: 4px; }";

// Header keys of columns 0 and 4 to 16 (two short lines each), and what each column's tooltip
// explains; the columns in between are covered by spans.
struct HeaderText
{
    const char* key;
    const char* tip;
};
const HeaderText kHeaders[ResultsTable::ColumnCount] = {{"ColFile", "TipColFile"},
                                                        {"", ""},
                                                        {"", ""},
                                                        {"", ""},
                                                        {"HdrWriteAvg", "TipColAvg"},
                                                        {"HdrWriteMax", "TipColMax"},
                                                        {"HdrWriteMin", "TipColMin"},
                                                        {"HdrWriteJitter", "TipColJitter"},
                                                        {"HdrWriteCV", "TipColCV"},
                                                        {"HdrWriteDrop", "TipColDrop"},
                                                        {"HdrReadAvg", "TipColAvg"},
                                                        {"HdrReadMax", "TipColMax"},
                                                        {"HdrReadMin", "TipColMin"},
                                                        {"HdrReadJitter", "TipColJitter"},
                                                        {"HdrReadCV", "TipColCV"},
                                                        {"HdrReadDrop", "TipColDrop"},
                                                        {"ColVerdict", "TipColVerdict"},
                                                        {"", ""}};

constexpr int kLabelSpan = 4;
constexpr int kLabelTailWidth = 8;
constexpr int kVerdictSpan = 2;
constexpr int kFigureColumns = 6;

QTableWidgetItem* placeholder(bool bold)
{
    auto* item = new QTableWidgetItem(QStringLiteral("--"));
    item->setTextAlignment(Qt::AlignCenter);
    QFont font = item->font();
    font.setBold(bold);
    item->setFont(font);
    return item;
}

void setCell(QTableWidgetItem* item, const QString& text, const QColor& color)
{
    if (!item)
        return;
    item->setText(text);
    item->setForeground(QBrush(color));
    QFont font = item->font();
    font.setBold(true);
    item->setFont(font);
}

void setSpeed(QTableWidget* table, int row, int col, double value, double threshold)
{
    setCell(table->item(row, col), QString::number(value, 'f', 2),
            ResultsTable::speedColor(value, threshold));
}

QTableWidgetItem* setPercent(QTableWidget* table, int row, int col, double value, double warn,
                             double fail)
{
    QTableWidgetItem* item = table->item(row, col);
    setCell(item, QStringLiteral("%1%").arg(QString::number(value * 100.0, 'f', 1)),
            ResultsTable::percentColor(value, warn, fail));
    return item;
}

} // namespace

void ResultsTable::setUp(QTableWidget* table)
{
    table->setColumnCount(ColumnCount);
    for (int c = 0; c < ColumnCount; ++c) {
        auto* header = new QTableWidgetItem;
        if (c == 0)
            header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        else if (c == VerdictColumn)
            header->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setHorizontalHeaderItem(c, header);
    }
    table->verticalHeader()->setVisible(false);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->setShowGrid(false);

    QHeaderView* header = table->horizontalHeader();
    header->setStretchLastSection(false);
    // The label spans columns 0 to 3; its last three columns (and the verdict's second) stay
    // narrow so that the figures get the width: a speed of 9999.99 MB/s must read in full at the
    // window's default size. Figure and verdict columns take what their header and contents need;
    // the label has the rest, so a stream's name is cut only when nothing else is left.
    header->setMinimumSectionSize(kLabelTailWidth);
    for (int c = 0; c < ColumnCount; ++c) {
        const bool labelTail = (c > 0 && c < kLabelSpan) || c == VerdictColumn + 1;
        const bool figure = c >= WriteColumn && c <= VerdictColumn;
        header->setSectionResizeMode(c, labelTail ? QHeaderView::Fixed
                                        : figure  ? QHeaderView::ResizeToContents
                                                  : QHeaderView::Stretch);
        if (labelTail)
            header->resizeSection(c, kLabelTailWidth);
    }
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setHighlightSections(false);
    table->verticalHeader()->setDefaultSectionSize(42);
    table->verticalHeader()->setMinimumSectionSize(42);

    table->setMinimumHeight(300);
    table->setMaximumHeight(500);
    table->setStyleSheet(QString::fromLatin1(kStyleSheet));
}

void ResultsTable::setReadColumnsVisible(QTableWidget* table, bool visible)
{
    for (int c = ReadColumn; c < ReadColumn + kFigureColumns; ++c)
        table->setColumnHidden(c, !visible);
}

void ResultsTable::retranslateHeaders(QTableWidget* table)
{
    const QString write = ResultsTableTexts::tr("GroupWriteTest");
    const QString read = ResultsTableTexts::tr("GroupReadTest");
    for (int c = 0; c < ColumnCount; ++c) {
        QTableWidgetItem* header = table->horizontalHeaderItem(c);
        if (!header || kHeaders[c].key[0] == '\0')
            continue;
        header->setText(ResultsTableTexts::tr(kHeaders[c].key));
        // The figure columns name their phase: "Write Test: average speed in MB/s ...".
        const bool figure = c >= WriteColumn && c < VerdictColumn;
        QString tip = ResultsTableTexts::tr(kHeaders[c].tip);
        if (figure)
            tip = tip.arg(c < ReadColumn ? write : read);
        header->setToolTip(tip);
    }
}

QString ResultsTable::streamRowText(int row, const QString& label)
{
    return QStringLiteral("#%1  %2").arg(QString::number(row), label);
}

void ResultsTable::build(QTableWidget* table, const QStringList& labels)
{
    const int streamRows = labels.size() >= 2 ? labels.size() : 0;
    table->clearSpans();
    table->setRowCount(streamRows + 1);

    for (int r = 0; r <= streamRows; ++r) {
        const bool total = r == 0;
        auto* label = new QTableWidgetItem(total ? ResultsTableTexts::tr("RowCardTotal")
                                                 : streamRowText(r, labels.at(r - 1)));
        label->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        QFont font = label->font();
        font.setBold(total);
        label->setFont(font);
        label->setForeground(QBrush(total ? QColor(51, 51, 51) : QColor(85, 85, 85)));
        if (!total)
            label->setToolTip(labels.at(r - 1));
        table->setItem(r, 0, label);
        table->setSpan(r, 0, 1, kLabelSpan);
        for (int c = WriteColumn; c < VerdictColumn; ++c)
            table->setItem(r, c, placeholder(total));
        table->setItem(r, VerdictColumn, placeholder(total));
        table->setSpan(r, VerdictColumn, 1, kVerdictSpan);
    }
    table->resizeRowsToContents();
}

void ResultsTable::relabel(QTableWidget* table, const QStringList& labels)
{
    if (table->rowCount() < 1)
        return;
    if (QTableWidgetItem* total = table->item(0, 0))
        total->setText(ResultsTableTexts::tr("RowCardTotal"));
    if (labels.size() < 2)
        return;
    const int last = std::min(table->rowCount() - 1, int(labels.size()));
    for (int r = 1; r <= last; ++r) {
        if (QTableWidgetItem* item = table->item(r, 0))
            item->setText(streamRowText(r, labels.at(r - 1)));
    }
}

void ResultsTable::fillPhase(QTableWidget* table, bool write, const QVector<StreamMetrics>& rows,
                             double speedThreshold, const VerdictRules& rules)
{
    const int first = write ? WriteColumn : ReadColumn;
    const int count = std::min(table->rowCount(), int(rows.size()));
    for (int r = 0; r < count; ++r) {
        const StreamMetrics& m = rows.at(r);
        // Avg, Max and Min describe one span; say which samples it leaves out.
        const QString span = m.slcCut > 0 || m.unjudged > 0
                                 ? ResultsTableTexts::tr("TipSpanLeftOut")
                                       .arg(m.sampleCount)
                                       .arg(m.slcCut)
                                       .arg(m.unjudged)
                                 : QString();
        for (int k = 0; k < 3; ++k) {
            const double speed = k == 0 ? m.avg : k == 1 ? m.max : m.min;
            setSpeed(table, r, first + k, speed, speedThreshold);
            // Makers rate cards in MB of 10^6 bytes; the table's MB is 2^20.
            QStringList tip = {ResultsTableTexts::tr("TipDecimalSpeed")
                                   .arg(QString::number(speed, 'f', 2))
                                   .arg(QString::number(speed * units::BytesPerMB / 1e6, 'f', 2))};
            if (!span.isEmpty())
                tip << span;
            if (QTableWidgetItem* item = table->item(r, first + k))
                item->setToolTip(tip.join(QLatin1Char('\n')));
        }
        setPercent(table, r, first + 3, m.jitter, rules.jitterWarn, rules.jitterFail);
        setPercent(table, r, first + 4, m.cv, rules.cvWarn, rules.cvFail);
        if (QTableWidgetItem* drop =
                setPercent(table, r, first + 5, m.dropRatio, rules.dropWarn, rules.dropFail)) {
            drop->setToolTip(
                ResultsTableTexts::tr("VerdictDropSamples").arg(m.dropCount).arg(m.sampleCount));
        }
    }
}

void ResultsTable::setVerdicts(QTableWidget* table, const QVector<StreamMetrics>& writeRows,
                               const QVector<StreamMetrics>& readRows,
                               const QVector<RowVerdict>& verdicts, const VerdictRules& rules,
                               const QVector<DataIntegrity>& streams)
{
    const int count = std::min(table->rowCount(), int(verdicts.size()));
    for (int r = 0; r < count; ++r) {
        const StreamMetrics write = r < writeRows.size() ? writeRows.at(r) : StreamMetrics();
        const StreamMetrics read = r < readRows.size() ? readRows.at(r) : StreamMetrics();
        const DataIntegrity data = r == 0 ? cardIntegrity(streams) : streams.value(r - 1);
        VerdictCellStyle::apply(table->item(r, VerdictColumn), verdicts.at(r).overall(),
                                verdictTooltip(write, read, rules, data));
    }
    table->resizeRowsToContents();
}

QColor ResultsTable::speedColor(double value, double threshold)
{
    return value < threshold ? badColor() : goodColor();
}

QColor ResultsTable::percentColor(double value, double warn, double fail)
{
    if (value > fail)
        return badColor();
    if (value > warn)
        return warnColor();
    return goodColor();
}

void ResultsTable::show(QTableWidget* table, const RunFigures& figures, const VerdictRules& rules)
{
    if (table->rowCount() < 1 || figures.rows.isEmpty())
        return;
    QVector<StreamMetrics> writeRows, readRows;
    QVector<RowVerdict> verdicts;
    for (const RunRow& row : figures.rows) {
        writeRows << row.write;
        readRows << row.read;
        verdicts << row.verdict;
    }
    // The streams' findings; a single stream's live in the card total's row.
    QVector<DataIntegrity> streams;
    for (int i = figures.rows.size() == 1 ? 0 : 1; i < figures.rows.size(); ++i)
        streams << figures.rows[i].data;
    if (figures.writeMeasured)
        fillPhase(table, true, writeRows, rules.perStreamWrite, rules);
    if (figures.readMeasured)
        fillPhase(table, false, readRows, rules.perStreamRead, rules);
    if (!figures.failure.isEmpty()) {
        // A failed run's rows say why they failed, not what their partial figures would say.
        const int count = std::min(table->rowCount(), int(figures.rows.size()));
        for (int r = 0; r < count; ++r) {
            if (QTableWidgetItem* item = table->item(r, VerdictColumn))
                VerdictCellStyle::apply(item, Verdict::Fail,
                                        figures.rows[r].reasons.join(QLatin1Char('\n')));
        }
        table->resizeRowsToContents();
    } else if (figures.judged) {
        setVerdicts(table, writeRows, readRows, verdicts, rules, streams);
    }
}
