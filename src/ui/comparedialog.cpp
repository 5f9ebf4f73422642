#include "ui/comparedialog.h"

#include "chart/speedchartwidget.h"
#include "report/reportchart.h"
#include "report/reporttexts.h"
#include "report/runcomparison.h"
#include "ui/resultstable.h"

#include <QEvent>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The window's results table columns of each compared cell (verdict last).
int columnOf(int cell)
{
    if (cell == RunComparison::VerdictCell)
        return ResultsTable::VerdictColumn;
    return (cell < 6 ? ResultsTable::WriteColumn : ResultsTable::ReadColumn) + cell % 6;
}

QVector<StreamMetrics> phaseRows(const RunResult& run, bool write)
{
    QVector<StreamMetrics> rows;
    for (const RunRow& row : run.figures.rows)
        rows.append(write ? row.write : row.read);
    return rows;
}

// The results as the window showed them at the run's end.
void showResult(QTableWidget* table, const RunResult& run, bool readColumns)
{
    ResultsTable::retranslateHeaders(table);
    ResultsTable::build(table, run.streamLabels);
    ResultsTable::setReadColumnsVisible(table, readColumns);
    const QVector<StreamMetrics> write = phaseRows(run, true);
    const QVector<StreamMetrics> read = phaseRows(run, false);
    ResultsTable::fillPhase(table, true, write, run.rules.perStreamWrite, run.rules);
    if (run.figures.readMeasured)
        ResultsTable::fillPhase(table, false, read, run.rules.perStreamRead, run.rules);
    QVector<RowVerdict> verdicts;
    QVector<DataIntegrity> streams;
    for (int r = 0; r < run.figures.rows.size(); ++r) {
        verdicts.append(run.figures.rows[r].verdict);
        if (r > 0)
            streams.append(run.figures.rows[r].data);
    }
    ResultsTable::setVerdicts(table, write, read, verdicts, run.rules, streams);
}

void markDifferences(QTableWidget* table, const RunResult& mine, const RunResult& other)
{
    const QVector<QVector<CellDifference>> cells = RunComparison::compare(mine, other);
    for (int r = 0; r < cells.size() && r < table->rowCount(); ++r) {
        for (int c = 0; c < RunComparison::Cells; ++c) {
            QTableWidgetItem* item = table->item(r, columnOf(c));
            const CellDifference d = cells[r][c];
            if (!item || d == CellDifference::Same || d == CellDifference::Unmatched)
                continue;
            // The verdict cell keeps its own tint; its tooltip says what the other run got.
            if (c != RunComparison::VerdictCell) {
                item->setBackground(d == CellDifference::Better ? CompareDialog::betterTint()
                                                                : CompareDialog::worseTint());
            }
            item->setToolTip(CompareDialog::tr("TipOtherRun")
                                 .arg(RunComparison::figureText(other.figures.rows[r], c)));
        }
    }
}

} // namespace

CompareDialog::CompareDialog(const RunResult& first, const RunResult& second, QWidget* parent)
    : QDialog(parent)
    , m_runs{first, second}
{
    setObjectName(QStringLiteral("compareDialog"));
    resize(1300, 1000);
    // One above the other: each table needs the window's whole width for its eighteen columns.
    auto* column = new QVBoxLayout(this);
    for (int i = 0; i < 2; ++i) {
        m_captions[i] = new QLabel;
        m_captions[i]->setWordWrap(true);
        m_tables[i] = new QTableWidget(0, ResultsTable::ColumnCount);
        ResultsTable::setUp(m_tables[i]);
        // The window's look paints no item backgrounds, and the marks are backgrounds.
        m_tables[i]->setStyleSheet(QString());
        m_tables[i]->setMinimumHeight(150);
        column->addWidget(m_captions[i]);
        column->addWidget(m_tables[i], 1);
    }
    m_chart = new SpeedChartWidget;
    m_chart->setMinimumHeight(260);
    column->addWidget(m_chart, 1);
    fill();
}

QColor CompareDialog::betterTint()
{
    return QColor(46, 160, 67, 45);
}

QColor CompareDialog::worseTint()
{
    return QColor(211, 47, 47, 40);
}

void CompareDialog::fill()
{
    setWindowTitle(tr("DlgCompareTitle"));
    const bool read = m_runs[0].figures.readMeasured || m_runs[1].figures.readMeasured;
    for (int i = 0; i < 2; ++i) {
        const RunResult& run = m_runs[i];
        m_captions[i]->setText(QStringLiteral("<b>#%1  %2</b> · %3 · %4 · %5 · %6")
                                   .arg(QString::number(i + 1), run.card.label.toHtmlEscaped(),
                                        ReportTexts::bytesText(run.card.capacityBytes),
                                        run.card.fileSystem.toHtmlEscaped(),
                                        ReportTexts::timeText(run.started),
                                        ReportTexts::endText(run.end)));
        showResult(m_tables[i], run, read);
        markDifferences(m_tables[i], run, m_runs[1 - i]);
    }
    ReportChart::loadCardTotals(m_chart, m_runs[0], m_runs[1]);
}

void CompareDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        fill();
    QDialog::changeEvent(event);
}
