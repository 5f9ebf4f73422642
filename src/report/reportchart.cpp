#include "report/reportchart.h"

#include "chart/speedchartwidget.h"

#include <QBuffer>
#include <QImage>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

// The chart's axis is whole percents; a sample sits at the percent the live chart gave it.
int axisPercent(double percent)
{
    return std::isfinite(percent) ? int(std::floor(percent)) : 0;
}

void feed(SpeedChartWidget* chart, int stream, const QVector<SpeedPoint>& points, bool write)
{
    for (const SpeedPoint& p : points) {
        if (!(p.mbps > 0.0))
            continue;
        if (write)
            chart->addWriteSample(stream, axisPercent(p.percent), p.mbps);
        else
            chart->addReadSample(stream, axisPercent(p.percent), p.mbps);
    }
}

bool hasSamples(const PhaseSeries& phase)
{
    if (!phase.card.isEmpty())
        return true;
    for (const QVector<SpeedPoint>& s : phase.streams) {
        if (!s.isEmpty())
            return true;
    }
    return false;
}

} // namespace

void ReportChart::load(SpeedChartWidget* chart, const RunResult& result)
{
    // A single stream's curve is the card total's, whichever of the two was kept.
    const int streams = std::max(1, int(result.streamLabels.size()));
    QStringList names = result.streamLabels;
    while (names.size() < streams)
        names.append(QString());
    chart->setStreams(names);
    chart->setReadVisible(result.figures.readMeasured || hasSamples(result.readSeries));
    const auto streamSeries = [streams](const PhaseSeries& phase, int s) {
        return streams == 1 && phase.streams.value(0).isEmpty() ? phase.card
                                                                : phase.streams.value(s);
    };
    for (int s = 0; s < streams; ++s) {
        feed(chart, s, streamSeries(result.writeSeries, s), true);
        feed(chart, s, streamSeries(result.readSeries, s), false);
    }
}

void ReportChart::loadCardTotals(SpeedChartWidget* chart, const RunResult& first,
                                 const RunResult& second)
{
    chart->setStreams({first.card.label, second.card.label});
    chart->setReadVisible(hasSamples(first.readSeries) || hasSamples(second.readSeries));
    feed(chart, 0, first.writeSeries.card, true);
    feed(chart, 0, first.readSeries.card, false);
    feed(chart, 1, second.writeSeries.card, true);
    feed(chart, 1, second.readSeries.card, false);
}

QByteArray ReportChart::png(const RunResult& result, QSize size)
{
    SpeedChartWidget chart;
    chart.setAttribute(Qt::WA_DontShowOnScreen);
    chart.resize(size);
    chart.setPalette(QPalette(Qt::white));
    load(&chart, result);

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    chart.render(&image);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
