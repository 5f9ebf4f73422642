#pragma once

#include <QColor>
#include <QLineF>
#include <QPointF>
#include <QPolygonF>
#include <QRect>
#include <QString>
#include <QVector>

// A stretch of consecutive samples of a series that share one percent, and so one x. A line
// through them enters at the first, leaves at the last and covers low..high in between.
struct PercentRun
{
    int percent;
    double first;
    double last;
    double low;
    double high;
};

// The runs of a series in order. Percent is a whole number, so a half holds at most 101
// such columns however many samples arrive: this is the one walk over every sample.
QVector<PercentRun> percentRuns(const QVector<int>& percent, const QVector<double>& values);

// Where everything of the speed chart goes for a widget of a given size. Pure arithmetic, so
// the layout can be checked without painting. Rectangles have inclusive edges (QRect).
class ChartGeometry
{
public:
    ChartGeometry(int width, int height, bool readVisible);

    int left() const { return m_left; }
    int top() const { return m_top; }
    int right() const { return m_right; }
    int bottom() const { return m_bottom; }
    int plotWidth() const { return m_right - m_left + 1; }
    int plotHeight() const { return m_bottom - m_top + 1; }
    bool readVisible() const { return m_readVisible; }
    QRect plotRect() const;

    // Width of one half (the whole plot when the read half is hidden) and the real x where
    // the write half ends and the read half begins.
    double halfWidth() const;
    double splitX() const;
    // The pixel column the divider between the halves is painted in.
    int dividerColumn() const;

    double writeX(int percent) const;
    double readX(int percent) const;
    double valueY(double value, double scaleMax) const;

    // The plot positions of one series in one half. Samples with the same percent share one
    // x, so of each such run only the first and the last sample are kept: the points in
    // between lie on a vertical edge and add nothing to a filled area. A line through them
    // still covers their whole height, so when columnSpans is given it receives, for each run
    // whose lowest or highest sample lies outside its first..last range, the vertical segment
    // from the lowest to the highest. Drawn apart, these are far cheaper to stroke than the
    // back-and-forth they replace, which in a long run is hundreds of zigzags per column.
    QVector<QPointF> seriesPoints(const QVector<PercentRun>& runs, bool readHalf, double scaleMax,
                                  QVector<QLineF>* columnSpans = nullptr) const;
    QVector<QPointF> seriesPoints(const QVector<int>& percent, const QVector<double>& values,
                                  bool readHalf, double scaleMax,
                                  QVector<QLineF>* columnSpans = nullptr) const;

    // Horizontal grid line i (0 = bottom edge, 5 = one pixel above the top edge).
    int gridLineY(int i) const;
    QRect leftLabelRect(int lineY) const;
    QRect rightLabelRect(int lineY) const;
    // The "MB/s" units sit in the outer corners: the top scale labels, centred on the top
    // grid line, reach up into the same rows, so a unit label right above them would run
    // into them.
    QRect leftUnitRect() const;
    QRect rightUnitRect() const;
    QRect writeCaptionRect() const;
    QRect readCaptionRect() const;

    // Legend entries are numbered from 0 here; the caption shows index + 1.
    int legendStartX(int streamCount) const;
    QRect legendSquare(int index, int streamCount) const;
    QRect legendTextRect(int index, int streamCount) const;

    static constexpr int GridLines = 6;
    static constexpr int LegendEntryWidth = 34;

private:
    int m_left;
    int m_top;
    int m_right;
    int m_bottom;
    bool m_readVisible;
};

// For a positive finite x, the smallest value of the series 1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6, 8
// times a power of ten that is not below x. Anything else is returned unchanged: there is no
// sensible scale to round it to.
double niceCeil(double x);

// Scale maximum of one half: the peak of all series (at least 10) with 8 % headroom, rounded
// up with niceCeil.
double chartScaleMaximum(const QVector<QVector<double>>& series);
double chartScaleForPeak(double peak);

// The area between a curve and the baseline y = bottom, as polygons that together cover it
// exactly, each at most `band` pixels wide. The cuts lie on whole-pixel x, where antialiasing
// gives every pixel wholly to one side, so filling the pieces one by one paints the same
// pixels as filling the whole area at once, translucent brushes included; but an
// antialiased fill costs a search along each row for every edge it adds, so narrow pieces
// fill far faster than one wide area with a ragged top. A curve whose x ever decreases
// could fold back over a cut and is returned whole. The curve needs at least one point.
QVector<QPolygonF> areaPieces(const QVector<QPointF>& curve, double bottom, int band);

// Scale label text: one decimal below 10, none from 10 on.
QString chartScaleLabel(double value);

// Colour of stream s (from 0); the eight colours repeat.
QColor chartStreamColor(int stream);
