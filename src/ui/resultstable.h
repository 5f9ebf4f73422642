#pragma once

#include "analysis/verdict.h"
#include "session/runresult.h"

#include <QColor>
#include <QStringList>
#include <QVector>

class QTableWidget;

// The results table of the main window: row 0 is the card total, row i + 1 stream i. The
// figures live in the sample series; these functions only write them into cells.
class ResultsTable
{
public:
    static constexpr int ColumnCount = 18;
    static constexpr int WriteColumn = 4; // avg, max, min, jitter, CV, drop
    static constexpr int ReadColumn = 10;
    static constexpr int VerdictColumn = 16;

    static QColor goodColor() { return QColor(25, 118, 210); }
    static QColor warnColor() { return QColor(230, 126, 34); }
    static QColor badColor() { return QColor(211, 47, 47); }

    // Look and behaviour, once per table.
    static void setUp(QTableWidget* table);
    static void setReadColumnsVisible(QTableWidget* table, bool visible);
    // Header texts in the current language.
    static void retranslateHeaders(QTableWidget* table);

    // A fresh table for a run with these stream labels, every figure "--". A single stream has
    // no row of its own: the card total says it all.
    static void build(QTableWidget* table, const QStringList& labels);
    // The labels again in the current language; figures stay.
    static void relabel(QTableWidget* table, const QStringList& labels);
    static QString streamRowText(int row, const QString& label);

    // Figures of a finished phase, one record per row from row 0. Speeds below speedThreshold
    // show red.
    static void fillPhase(QTableWidget* table, bool write, const QVector<StreamMetrics>& rows,
                          double speedThreshold, const VerdictRules& rules);
    // Verdict cells of the rows that have records; streams[i] is what the data check found in
    // stream i (none: clean).
    static void setVerdicts(QTableWidget* table, const QVector<StreamMetrics>& writeRows,
                            const QVector<StreamMetrics>& readRows,
                            const QVector<RowVerdict>& verdicts, const VerdictRules& rules,
                            const QVector<DataIntegrity>& streams = {});

    // A run's figures as far as they are measured and judged; the per-stream minimums of the
    // rules colour the speeds. Nothing when the table has no rows (a stopped run's). The rows of
    // a failed run are a Fail, their tooltip saying why.
    static void show(QTableWidget* table, const RunFigures& figures, const VerdictRules& rules);

    static QColor speedColor(double value, double threshold);
    static QColor percentColor(double value, double warn, double fail);
};
