#pragma once

#include "session/runresult.h"

#include <QDialog>

class QLabel;
class QTableWidget;
class SpeedChartWidget;

// Two stored runs compared: each one's results table, one above the other, with the figures that
// differ from the other's marked (tinted better or worse, the other's value in the tooltip), and
// both card-total curves on one chart, the first run as #1.
class CompareDialog : public QDialog
{
    Q_OBJECT

public:
    CompareDialog(const RunResult& first, const RunResult& second, QWidget* parent = nullptr);

    QTableWidget* table(int run) const { return m_tables[run]; }
    SpeedChartWidget* chart() const { return m_chart; }

    // Cell tints of a better and a worse figure.
    static QColor betterTint();
    static QColor worseTint();

protected:
    void changeEvent(QEvent* event) override;

private:
    void fill();

    RunResult m_runs[2];
    QLabel* m_captions[2] = {};
    QTableWidget* m_tables[2] = {};
    SpeedChartWidget* m_chart = nullptr;
};
