#pragma once

#include "session/runresult.h"

#include <QByteArray>
#include <QSize>

class SpeedChartWidget;

// The speed chart of a finished run, drawn by the window's own chart widget from the run's
// stored series, so a report shows what the window showed.
class ReportChart
{
public:
    static constexpr QSize DefaultSize{1200, 420};

    // Every stream's write and read samples, as the window fed them live (samples of no
    // speed left out); the read half shows when a read phase ran.
    static void load(SpeedChartWidget* chart, const RunResult& result);
    // The card-total curves of two runs, as streams #1 and #2 of one chart.
    static void loadCardTotals(SpeedChartWidget* chart, const RunResult& first,
                               const RunResult& second);
    // The chart as a PNG image.
    static QByteArray png(const RunResult& result, QSize size = DefaultSize);
};
