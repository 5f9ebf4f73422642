#include "chart/chartgeometry.h"

#include <QPoint>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int PlotLeft = 55;
constexpr int PlotTop = 14;
constexpr int RightMarginWithRead = 55;
constexpr int RightMarginWithoutRead = 10;
constexpr int BottomMargin = 20;

// The series in tenths, so every candidate is an integer scaled by an exact power of ten.
constexpr std::array<int, 10> NiceTenths = {10, 12, 15, 20, 25, 30, 40, 50, 60, 80};

// 10^n for n >= 0, exact as long as the power of ten fits a double's mantissa (n <= 22).
double powerOfTen(int n)
{
    double p = 1.0;
    for (int i = 0; i < n; ++i)
        p *= 10.0;
    return p;
}

// tenths * 10^(exponent - 1), rounded once: dividing by an exact power of ten instead of
// multiplying by an inexact negative one gives the double nearest the decimal value.
double niceValue(int tenths, int exponent)
{
    const int shift = exponent - 1;
    if (shift >= 0)
        return tenths * powerOfTen(shift);
    if (-shift <= 22)
        return tenths / powerOfTen(-shift);
    return tenths * std::pow(10.0, shift);
}

} // namespace

ChartGeometry::ChartGeometry(int width, int height, bool readVisible)
    : m_left(PlotLeft)
    , m_top(PlotTop)
    , m_right(width - 1 - (readVisible ? RightMarginWithRead : RightMarginWithoutRead))
    , m_bottom(height - 1 - BottomMargin)
    , m_readVisible(readVisible)
{}

QRect ChartGeometry::plotRect() const
{
    return QRect(QPoint(m_left, m_top), QPoint(m_right, m_bottom));
}

double ChartGeometry::halfWidth() const
{
    return m_readVisible ? plotWidth() * 0.5 : double(plotWidth());
}

double ChartGeometry::splitX() const
{
    return m_left + halfWidth();
}

int ChartGeometry::dividerColumn() const
{
    return int(std::floor(splitX()));
}

double ChartGeometry::writeX(int percent) const
{
    return m_left + (percent / 100.0) * (splitX() - m_left);
}

double ChartGeometry::readX(int percent) const
{
    const double sx = splitX();
    return sx + (percent / 100.0) * (m_right - sx);
}

double ChartGeometry::valueY(double value, double scaleMax) const
{
    return double(m_bottom) - double(plotHeight()) * (value / scaleMax);
}

QVector<PercentRun> percentRuns(const QVector<int>& percent, const QVector<double>& values)
{
    const int k = std::min(percent.size(), values.size());
    QVector<PercentRun> runs;
    runs.reserve(std::min(k, 101));
    int first = 0;
    while (first < k) {
        const int pc = percent[first];
        PercentRun run{pc, values[first], values[first], values[first], values[first]};
        int next = first + 1;
        for (; next < k && percent[next] == pc; ++next) {
            run.low = std::min(run.low, values[next]);
            run.high = std::max(run.high, values[next]);
        }
        run.last = values[next - 1];
        runs.append(run);
        first = next;
    }
    return runs;
}

QVector<QPointF> ChartGeometry::seriesPoints(const QVector<PercentRun>& runs, bool readHalf,
                                             double scaleMax, QVector<QLineF>* columnSpans) const
{
    QVector<QPointF> points;
    points.reserve(2 * runs.size());
    for (const PercentRun& run : runs) {
        const double x = readHalf ? readX(run.percent) : writeX(run.percent);
        points.append(QPointF(x, valueY(run.first, scaleMax)));
        if (run.last != run.first)
            points.append(QPointF(x, valueY(run.last, scaleMax)));
        if (columnSpans &&
            (run.low < std::min(run.first, run.last) || run.high > std::max(run.first, run.last))) {
            columnSpans->append(
                QLineF(x, valueY(run.low, scaleMax), x, valueY(run.high, scaleMax)));
        }
    }
    return points;
}

QVector<QPointF> ChartGeometry::seriesPoints(const QVector<int>& percent,
                                             const QVector<double>& values, bool readHalf,
                                             double scaleMax, QVector<QLineF>* columnSpans) const
{
    return seriesPoints(percentRuns(percent, values), readHalf, scaleMax, columnSpans);
}

int ChartGeometry::gridLineY(int i) const
{
    return m_bottom - (plotHeight() * i) / 5;
}

QRect ChartGeometry::leftLabelRect(int lineY) const
{
    return QRect(QPoint(0, lineY - 8), QPoint(50, lineY + 7));
}

QRect ChartGeometry::rightLabelRect(int lineY) const
{
    return QRect(QPoint(m_right + 4, lineY - 8), QPoint(m_right + 50, lineY + 7));
}

QRect ChartGeometry::leftUnitRect() const
{
    return QRect(QPoint(0, 0), QPoint(50, 13));
}

QRect ChartGeometry::rightUnitRect() const
{
    return QRect(QPoint(m_right + 4, 0), QPoint(m_right + RightMarginWithRead - 1, 13));
}

QRect ChartGeometry::writeCaptionRect() const
{
    const int hw = int(halfWidth());
    return QRect(QPoint(m_left, m_bottom + 2), QPoint(m_left + hw - 1, m_bottom + 19));
}

QRect ChartGeometry::readCaptionRect() const
{
    const int x = int(splitX());
    const int hw = int(halfWidth());
    return QRect(QPoint(x, m_bottom + 2), QPoint(x + hw - 1, m_bottom + 19));
}

int ChartGeometry::legendStartX(int streamCount) const
{
    return int(m_left + (plotWidth() - LegendEntryWidth * streamCount) * 0.5);
}

QRect ChartGeometry::legendSquare(int index, int streamCount) const
{
    const int x = legendStartX(streamCount) + LegendEntryWidth * index;
    return QRect(QPoint(x, m_top + 5), QPoint(x + 9, m_top + 14));
}

QRect ChartGeometry::legendTextRect(int index, int streamCount) const
{
    const int x = legendStartX(streamCount) + LegendEntryWidth * index;
    return QRect(QPoint(x + 13, m_top + 4), QPoint(x + 34, m_top + 15));
}

double niceCeil(double x)
{
    if (!(x > 0.0) || !std::isfinite(x))
        return x;
    // log10 may round an x just below a power of ten up to it: that decade's first value is
    // then the answer anyway. One rounded down finds its answer in the decade after.
    const int e = int(std::floor(std::log10(x)));
    for (int exponent = e; exponent <= e + 1; ++exponent) {
        for (int tenths : NiceTenths) {
            const double candidate = niceValue(tenths, exponent);
            if (candidate >= x)
                return candidate;
        }
    }
    return niceValue(10, e + 2);
}

double chartScaleMaximum(const QVector<QVector<double>>& series)
{
    double peak = 10.0;
    for (const QVector<double>& values : series) {
        for (double v : values) {
            if (v > peak)
                peak = v;
        }
    }
    return chartScaleForPeak(peak);
}

double chartScaleForPeak(double peak)
{
    return niceCeil(std::max(peak, 10.0) * 1.08);
}

QVector<QPolygonF> areaPieces(const QVector<QPointF>& curve, double bottom, int band)
{
    const double left = curve.first().x();
    const double right = curve.last().x();
    QVector<QPolygonF> pieces;
    const bool rising = std::is_sorted(curve.begin(), curve.end(),
                                       [](QPointF a, QPointF b) { return a.x() < b.x(); });
    if (!rising || band < 1) {
        QPolygonF whole(curve);
        whole.prepend(QPointF(left, bottom));
        whole.append(QPointF(right, bottom));
        return {whole};
    }
    pieces.reserve(int((right - left) / band) + 2);
    QPolygonF piece(QVector<QPointF>{QPointF(left, bottom), curve.first()});
    double cut = std::floor(left) + band;
    for (int i = 1; i < curve.size(); ++i) {
        const QPointF a = curve[i - 1];
        const QPointF b = curve[i];
        for (; cut < b.x(); cut += band) {
            const QPointF c(cut, a.y() + (cut - a.x()) / (b.x() - a.x()) * (b.y() - a.y()));
            piece << c << QPointF(cut, bottom);
            pieces << piece;
            piece = QPolygonF(QVector<QPointF>{QPointF(cut, bottom), c});
        }
        piece << b;
    }
    piece << QPointF(right, bottom);
    pieces << piece;
    return pieces;
}

QString chartScaleLabel(double value)
{
    return QString::number(value, 'f', value < 10.0 ? 1 : 0);
}

QColor chartStreamColor(int stream)
{
    static const std::array<QColor, 8> colors = {
        QColor(0x21, 0x96, 0xF3), QColor(0x4C, 0xAF, 0x50), QColor(0xFF, 0x98, 0x00),
        QColor(0xF4, 0x43, 0x36), QColor(0x9C, 0x27, 0xB0), QColor(0x00, 0xBC, 0xD4),
        QColor(0xFF, 0xC1, 0x07), QColor(0x79, 0x55, 0x48),
    };
    const int n = int(colors.size());
    return colors[size_t(((stream % n) + n) % n)];
}
