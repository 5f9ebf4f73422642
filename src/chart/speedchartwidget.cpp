#include "chart/speedchartwidget.h"

#include "chart/chartgeometry.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

template<typename T>
const QVector<T>& seriesOf(const QVector<QVector<T>>& series, int stream)
{
    static const QVector<T> empty;
    return stream >= 0 && stream < series.size() ? series[stream] : empty;
}

template<typename T>
void resetSeries(QVector<QVector<T>>& series, int count)
{
    series.clear();
    series.resize(count);
}

template<typename T>
void emptySeries(QVector<QVector<T>>& series)
{
    for (QVector<T>& s : series)
        s.clear();
}

// Width of the pieces an area is filled in: narrow enough to keep each fill's rows short,
// wide enough that the calls stay few.
constexpr int AreaBand = 64;

QPen chartPen(const QColor& color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

// What one series shows in its half: its curve, which starts at the half's left edge at the
// height of its first point, and the vertical spans of the columns whose samples reach beyond
// the curve there. Built once per repaint for both the area and the line.
struct HalfTrace
{
    QVector<QPointF> curve;
    QVector<QLineF> spans;
};

HalfTrace traceOf(const ChartGeometry& g, const QVector<PercentRun>& runs, bool readHalf,
                  double leftEdge, double scaleMax)
{
    HalfTrace t;
    const QVector<QPointF> points = g.seriesPoints(runs, readHalf, scaleMax, &t.spans);
    t.curve.reserve(points.size() + 1);
    t.curve << QPointF(leftEdge, points.first().y()) << points;
    return t;
}

// The line through a series, drawn as separate segments: the raster engine rasterises each
// straight segment directly, while a path goes through the general stroker (joins, outline,
// then a fill of that outline), which costs several times as much. The square caps of
// neighbouring segments overlap where they meet and stand in for the bevel joins. The spans
// have flat caps, so they end where the samples do.
void drawLine(QPainter& p, const HalfTrace& t, const QColor& color)
{
    QVector<QLineF> segments;
    segments.reserve(t.curve.size() - 1);
    for (int i = 1; i < t.curve.size(); ++i)
        segments.append(QLineF(t.curve[i - 1], t.curve[i]));
    p.setPen(chartPen(color, 2));
    p.drawLines(segments);
    if (!t.spans.isEmpty()) {
        p.setPen(QPen(color, 2, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
        p.drawLines(t.spans);
    }
}

} // namespace

SpeedChartWidget::SpeedChartWidget(QWidget* parent)
    : QWidget(parent)
{
    setMinimumHeight(160);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SpeedChartWidget::setStreams(const QStringList& names)
{
    streamNames = names;
    const int n = names.size();
    resetSeries(writePercent, n);
    resetSeries(writeSpeed, n);
    resetSeries(writeSmoothed, n);
    resetSeries(readPercent, n);
    resetSeries(readSpeed, n);
    resetSeries(readSmoothed, n);
    update();
}

void SpeedChartWidget::clearSamples()
{
    emptySeries(writePercent);
    emptySeries(writeSpeed);
    emptySeries(writeSmoothed);
    emptySeries(readPercent);
    emptySeries(readSpeed);
    emptySeries(readSmoothed);
    update();
}

void SpeedChartWidget::addWriteSample(int stream, int percent, double mbps)
{
    if (appendSample(writePercent, writeSpeed, writeSmoothed, stream, percent, mbps))
        update();
}

void SpeedChartWidget::addReadSample(int stream, int percent, double mbps)
{
    if (appendSample(readPercent, readSpeed, readSmoothed, stream, percent, mbps))
        update();
}

bool SpeedChartWidget::appendSample(QVector<QVector<int>>& percents,
                                    QVector<QVector<double>>& speeds,
                                    QVector<QVector<double>>& smoothed, int stream, int percent,
                                    double mbps)
{
    if (stream < 0 || stream >= streamNames.size())
        return false;
    // An infinite or undefined speed would poison the moving mean and blow the scale up for
    // the rest of the run.
    if (!std::isfinite(mbps))
        return false;

    percents[stream].append(std::clamp(percent, 0, 100));
    QVector<double>& raw = speeds[stream];
    raw.append(mbps);

    const int m = raw.size();
    const int first = std::max(m - SmoothingWindow, 0);
    double sum = 0.0;
    for (int i = first; i < m; ++i)
        sum += raw[i];
    smoothed[stream].append(sum / (m - first));
    return true;
}

void SpeedChartWidget::setReadVisible(bool visible)
{
    readVisible = visible;
    update();
}

const QVector<int>& SpeedChartWidget::writePercentOf(int stream) const
{
    return seriesOf(writePercent, stream);
}

const QVector<double>& SpeedChartWidget::writeSpeedOf(int stream) const
{
    return seriesOf(writeSpeed, stream);
}

const QVector<double>& SpeedChartWidget::writeSmoothedOf(int stream) const
{
    return seriesOf(writeSmoothed, stream);
}

const QVector<int>& SpeedChartWidget::readPercentOf(int stream) const
{
    return seriesOf(readPercent, stream);
}

const QVector<double>& SpeedChartWidget::readSpeedOf(int stream) const
{
    return seriesOf(readSpeed, stream);
}

const QVector<double>& SpeedChartWidget::readSmoothedOf(int stream) const
{
    return seriesOf(readSmoothed, stream);
}

void SpeedChartWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        update();
    QWidget::changeEvent(event);
}

void SpeedChartWidget::paintEvent(QPaintEvent*)
{
    const ChartGeometry g(width(), height(), readVisible);
    const QRect plot = g.plotRect();
    const int n = streamNames.size();

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    p.fillRect(rect(), palette().color(QPalette::Window));
    p.fillRect(plot, QColor(0xFA, 0xFA, 0xFA));

    // Each series is condensed once; its runs give both the scale and the curve.
    QVector<QVector<PercentRun>> writeRuns(n);
    QVector<QVector<PercentRun>> readRuns(n);
    double writePeak = 0.0;
    double readPeak = 0.0;
    for (int s = 0; s < n; ++s) {
        writeRuns[s] = percentRuns(writePercent.at(s), writeSmoothed.at(s));
        for (const PercentRun& run : writeRuns.at(s))
            writePeak = std::max(writePeak, run.high);
        // Hidden read samples neither draw nor scale anything.
        if (readVisible) {
            readRuns[s] = percentRuns(readPercent.at(s), readSmoothed.at(s));
            for (const PercentRun& run : readRuns.at(s))
                readPeak = std::max(readPeak, run.high);
        }
    }
    const double writeMax = chartScaleForPeak(writePeak);
    const double readMax = readVisible ? chartScaleForPeak(readPeak) : 0.0;
    p.setFont(QFont(font().family(), 8));

    // One-pixel lines go through pixel centres so they cover exactly the row or column that
    // the layout gives them instead of blurring over two.
    const QColor labelColor(0x78, 0x78, 0x78);
    for (int i = 0; i < ChartGeometry::GridLines; ++i) {
        const int y = g.gridLineY(i);
        p.setPen(chartPen(QColor(0xE1, 0xE1, 0xE1), 1));
        p.drawLine(QLineF(g.left() + 0.5, y + 0.5, g.right() + 0.5, y + 0.5));
        p.setPen(labelColor);
        p.drawText(g.leftLabelRect(y), Qt::AlignRight | Qt::AlignVCenter,
                   chartScaleLabel(i * writeMax / 5));
        if (readVisible) {
            p.drawText(g.rightLabelRect(y), Qt::AlignLeft | Qt::AlignVCenter,
                       chartScaleLabel(i * readMax / 5));
        }
    }

    const QString unit = QStringLiteral("MB/s");
    p.drawText(g.leftUnitRect(), Qt::AlignLeft | Qt::AlignBottom, unit);
    if (readVisible)
        p.drawText(g.rightUnitRect(), Qt::AlignRight | Qt::AlignBottom, unit);

    const QColor frameColor(0xC8, 0xC8, 0xC8);
    const QRectF frame(plot.left() + 0.5, plot.top() + 0.5, plot.width() - 1, plot.height() - 1);
    if (n == 0) {
        p.setPen(chartPen(frameColor, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(frame);
        return;
    }

    const int topAlpha = n == 1 ? 180 : 90;
    const int bottomAlpha = n == 1 ? 50 : 25;
    const double sx = g.splitX();
    // Areas first, then lines, each stream write half before read half.
    QVector<QVector<HalfTrace>> traces(n);
    for (int s = 0; s < n; ++s) {
        if (!writeRuns.at(s).isEmpty())
            traces[s].append(traceOf(g, writeRuns.at(s), false, g.left(), writeMax));
        if (!readRuns.at(s).isEmpty())
            traces[s].append(traceOf(g, readRuns.at(s), true, sx, readMax));
    }

    p.setPen(Qt::NoPen);
    for (int s = 0; s < n; ++s) {
        const QColor color = chartStreamColor(s);
        QColor topColor = color;
        topColor.setAlpha(topAlpha);
        QColor bottomColor = color;
        bottomColor.setAlpha(bottomAlpha);
        QLinearGradient gradient(0, g.top(), 0, g.bottom());
        gradient.setColorAt(0, topColor);
        gradient.setColorAt(1, bottomColor);
        p.setBrush(gradient);
        for (const HalfTrace& t : traces[s]) {
            for (const QPolygonF& piece : areaPieces(t.curve, g.bottom(), AreaBand))
                p.drawPolygon(piece);
        }
    }

    p.setBrush(Qt::NoBrush);
    for (int s = 0; s < n; ++s) {
        const QColor lineColor = chartStreamColor(s).darker(120);
        for (const HalfTrace& t : traces[s])
            drawLine(p, t, lineColor);
    }

    const double dividerX = g.dividerColumn() + 0.5;
    p.setPen(chartPen(QColor(0xAA, 0xAA, 0xAA), 1));
    p.drawLine(QLineF(dividerX, g.top() + 0.5, dividerX, g.bottom() + 0.5));

    p.setPen(chartPen(frameColor, 1));
    p.drawRect(frame);

    p.setPen(QColor(0x64, 0x64, 0x64));
    p.drawText(g.writeCaptionRect(), Qt::AlignCenter, tr("写入"));
    if (readVisible)
        p.drawText(g.readCaptionRect(), Qt::AlignCenter, tr("读取"));

    for (int s = 0; s < n; ++s) {
        p.fillRect(g.legendSquare(s, n), chartStreamColor(s));
        p.setPen(QColor(0x3C, 0x3C, 0x3C));
        p.drawText(g.legendTextRect(s, n), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("#%1").arg(s + 1));
    }
}
