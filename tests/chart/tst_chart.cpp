#include "chart/chartgeometry.h"
#include "chart/speedchartwidget.h"
#include "i18n/i18n.h"

#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

// Counts its paints, and lets a test call the chart's own change handler past QWidget::event.
class ChartProbe : public SpeedChartWidget
{
public:
    using SpeedChartWidget::changeEvent;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        SpeedChartWidget::paintEvent(event);
    }
};

const QColor WindowColor(0x30, 0x60, 0x90);
const QColor PlotFill(0xFA, 0xFA, 0xFA);
const QColor Blue(0x21, 0x96, 0xF3);

// 400 x 200 with the read half shown: plot 55..344 x 14..179, split at 200, grid rows 179,
// 146, 113, 80, 47, 13. With it hidden: plot right 389, split 390.
constexpr int W = 400;
constexpr int H = 200;

void prepare(SpeedChartWidget& w, int streams, bool readVisible = true)
{
    QPalette pal = w.palette();
    pal.setColor(QPalette::Window, WindowColor);
    w.setPalette(pal);
    w.resize(W, H);
    w.setReadVisible(readVisible);
    QStringList names;
    for (int i = 0; i < streams; ++i)
        names << QString::number(i);
    w.setStreams(names);
}

QImage renderChart(SpeedChartWidget& w)
{
    QImage img(W, H, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    w.render(&img);
    return img;
}

bool near(QColor a, QColor b, int tol = 2)
{
    return std::abs(a.red() - b.red()) <= tol && std::abs(a.green() - b.green()) <= tol &&
           std::abs(a.blue() - b.blue()) <= tol;
}

bool isBlank(const QImage& img, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y) != WindowColor)
                return false;
    return true;
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT

    ChartProbe* shown = nullptr;

    int paintsDuring(const std::function<void()>& action)
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        shown->paints = 0;
        action();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        return shown->paints;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName("QuorvelTests");
        QCoreApplication::setApplicationName("tst_chart");
        QSettings().setValue("ui/language", 1);
        I18n::instance()->initLanguage();
        shown = new ChartProbe;
        shown->resize(W, H);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
    }
    void cleanupTestCase() { delete shown; }

    void samplesAndRepaints()
    {
        SpeedChartWidget& w = *shown;
        QVERIFY(paintsDuring([&] { w.setStreams({"a", "b", "c"}); }) > 0);
        QCOMPARE(paintsDuring([&] {
                     for (int unknown : {-1, 3}) {
                         w.addWriteSample(unknown, 10, 5.0);
                         w.addReadSample(unknown, 10, 5.0);
                     }
                     w.addWriteSample(0, 10, std::numeric_limits<double>::infinity());
                     w.addReadSample(1, 10, std::nan(""));
                 }),
                 0);
        QVERIFY(paintsDuring([&] { w.addWriteSample(2, 50, 12.0); }) > 0);
        for (int s = 0; s < 3; ++s)
            QVERIFY(w.writeSpeedOf(s).size() == (s == 2) && w.readSpeedOf(s).isEmpty());
        QCOMPARE(w.writePercentOf(2), QVector<int>{50});
        QCOMPARE(w.writeSmoothedOf(2), QVector<double>{12.0});

        w.addReadSample(1, 150, 1.0);
        w.addReadSample(1, -5, 2.0);
        w.addReadSample(1, 100, 3.0);
        QCOMPARE(w.readPercentOf(1), (QVector<int>{100, 0, 100}));
        QCOMPARE(w.readSpeedOf(1), (QVector<double>{1.0, 2.0, 3.0}));

        QVERIFY(paintsDuring([&] { w.setReadVisible(false); }) > 0);
        QCOMPARE(w.readSpeedOf(1).size(), 3);
        w.setReadVisible(true);

        QVERIFY(paintsDuring([&] { w.clearSamples(); }) > 0);
        QCOMPARE(w.names(), (QStringList{"a", "b", "c"}));
        for (int s = 0; s < 3; ++s)
            QVERIFY(w.writeSpeedOf(s).isEmpty() && w.readSmoothedOf(s).isEmpty());
        w.addReadSample(0, 10, 5.0);
        QCOMPARE(w.readSpeedOf(0).size(), 1);

        w.setStreams({"x", "y"});
        QVERIFY(w.streamCount() == 2 && w.readSpeedOf(0).isEmpty());
        w.setStreams({});
        w.addWriteSample(0, 10, 5.0);
        QVERIFY(w.streamCount() == 0 && w.writeSpeedOf(0).isEmpty());
    }

    void movingMean()
    {
        SpeedChartWidget w;
        w.setStreams({"a", "b"});
        for (int m = 1; m <= 20; ++m) {
            w.addWriteSample(1, m, 10.0 * m);
            // Mean of 10 * j for j from max(1, m - 14) to m.
            QCOMPARE(w.writeSmoothedOf(1).last(), 10.0 * (std::max(1, m - 14) + m) / 2);
            QCOMPARE(w.writeSpeedOf(1).last(), 10.0 * m);
        }
        QVERIFY(w.readSmoothedOf(1).isEmpty() && w.writeSmoothedOf(0).isEmpty());
    }

    void niceCeilValues()
    {
        // The series from decimal text, so each value is the double nearest the exact one.
        QVector<double> series;
        for (int e = -9; e <= 14; ++e)
            for (const char* m : {"1", "1.2", "1.5", "2", "2.5", "3", "4", "5", "6", "8"})
                series << QStringLiteral("%1e%2").arg(QLatin1String(m)).arg(e).toDouble();
        std::sort(series.begin(), series.end());
        QVector<double> inputs;
        for (double v : series)
            if (v >= 1e-7 && v <= 1e12)
                inputs << v << std::nextafter(v, 0.0) << std::nextafter(v, 1e300);
        for (double x = 1e-7; x < 1e12; x *= 1.0137)
            inputs << x;
        for (double x : inputs) {
            const double expected = *std::lower_bound(series.begin(), series.end(), x);
            if (niceCeil(x) != expected)
                QFAIL(qPrintable(QString("niceCeil(%1) = %2, expected %3")
                                     .arg(x, 0, 'g', 17)
                                     .arg(niceCeil(x), 0, 'g', 17)
                                     .arg(expected, 0, 'g', 17)));
        }
        QCOMPARE(niceCeil(0.0), 0.0);
        QCOMPARE(niceCeil(-3.0), -3.0);
        QVERIFY(std::isnan(niceCeil(std::nan(""))));
    }

    void scalesAndGeometry()
    {
        QCOMPARE(chartScaleMaximum({}), 12.0);
        QCOMPARE(chartScaleMaximum({{3.0, 9.9}, {}}), 12.0);
        QCOMPARE(chartScaleMaximum({{3.0}, {25.0, 7.0}}), 30.0);
        // 8 % headroom, no more and no less: 12.096 and 19.98 lie just past and short of a step.
        QCOMPARE(chartScaleMaximum({{11.2}}), 15.0);
        QCOMPARE(chartScaleMaximum({{18.5}}), 20.0);
        QStringList labels;
        for (double top : {12.0, 30.0, 25.0})
            for (int i = 0; i <= 5; ++i)
                labels << chartScaleLabel(i * top / 5);
        QCOMPARE(labels.join(' '), QString("0.0 2.4 4.8 7.2 9.6 12 0.0 6.0 12 18 24 30 "
                                           "0.0 5.0 10 15 20 25"));
        QCOMPARE(chartStreamColor(3), QColor(0xF4, 0x43, 0x36));

        const ChartGeometry g(W, H, true);
        QCOMPARE(g.readX(50), 272.0);
        QCOMPARE(g.valueY(6.0, 12.0), 96.0);
        QCOMPARE(g.readCaptionRect(), QRect(200, 181, 145, 18));
        QCOMPARE(g.legendStartX(10), 30);
        QCOMPARE(ChartGeometry(W, H, false).writeCaptionRect(), QRect(55, 181, 335, 18));

        // Runs of one percent keep their first and last point; a line must also cover the
        // run's full height.
        QVector<QLineF> spans;
        auto y = [](double value) { return 179 - 166 * value / 12; };
        QCOMPARE(
            g.seriesPoints({0, 0, 0, 0, 5, 5, 10}, {1, 9, 0, 4, 2, 3, 7}, false, 12, &spans),
            (QVector<QPointF>{{55, y(1)}, {55, y(4)}, {62.25, y(2)}, {62.25, y(3)}, {69.5, y(7)}}));
        QCOMPARE(spans, QVector<QLineF>{QLineF(55, y(0), 55, y(9))});
    }

    void emptyAndBareChart()
    {
        // Without streams: frame, grid and scales, but no divider, legend or captions.
        SpeedChartWidget w;
        prepare(w, 0);
        QImage img = renderChart(w);
        const QColor frame(0xC8, 0xC8, 0xC8);
        const QColor grid(0xE1, 0xE1, 0xE1);
        const std::pair<QPoint, QColor> bare[] = {
            {{0, H - 1}, WindowColor}, {{54, 100}, WindowColor}, {{100, 100}, PlotFill},
            {{55, 100}, frame},        {{344, 100}, frame},      {{100, 14}, frame},
            {{100, 179}, frame},       {{100, 146}, grid},       {{100, 145}, PlotFill},
            {{100, 13}, grid},         {{200, 100}, PlotFill},   {{187, 23}, PlotFill}};
        for (const auto& [at, colour] : bare)
            QVERIFY2(img.pixelColor(at) == colour, qPrintable(img.pixelColor(at).name()));
        QVERIFY(isBlank(img, QRect(55, 181, 290, 18)));
        QVERIFY(!isBlank(img, QRect(0, 0, 51, 14)));     // "MB/s"
        QVERIFY(!isBlank(img, QRect(348, 105, 47, 16))); // right scale

        prepare(w, 1);
        img = renderChart(w);
        QCOMPARE(img.pixelColor(200, 100), QColor(0xAA, 0xAA, 0xAA));
        QCOMPARE(img.pixelColor(187, 23), Blue);
        QVERIFY(!isBlank(img, QRect(55, 181, 290, 18)));

        prepare(w, 9);
        img = renderChart(w); // legend from 55 + (290 - 9 * 34) / 2 = 47
        QCOMPARE(img.pixelColor(47 + 4, 23), Blue);
        QCOMPARE(img.pixelColor(47 + 34 + 4, 23), QColor(0x4C, 0xAF, 0x50));
        QCOMPARE(img.pixelColor(47 + 8 * 34 + 4, 23), Blue);
    }

    void areasAndLines()
    {
        // Flat 30 MB/s: scale 40, curve at y = 179 - 166 * 0.75 = 54.5.
        for (int streams : {1, 2}) {
            SpeedChartWidget w;
            prepare(w, streams);
            for (int pc = 0; pc <= 100; pc += 5)
                w.addWriteSample(0, pc, 30.0);
            const QImage img = renderChart(w);
            const double t = (100.5 - 14) / (179 - 14); // gradient position of row 100
            const double alpha = streams == 1 ? 180 - 130 * t : 90 - 65 * t;
            auto mix = [&](int c) { return int(std::lround(250 + (c - 250) * alpha / 255)); };
            const QColor area(mix(Blue.red()), mix(Blue.green()), mix(Blue.blue()));
            QVERIFY2(near(img.pixelColor(120, 100), area, 4),
                     qPrintable(img.pixelColor(120, 100).name() + " vs " + area.name()));
            QVERIFY(near(img.pixelColor(120, 54), Blue.darker(120)));
            QCOMPARE(img.pixelColor(120, 40), PlotFill);
            QCOMPARE(img.pixelColor(300, 100), PlotFill); // read half empty
        }

        // A burst that rises and falls within one percent still shows as a vertical stroke
        // at that percent: peak 100 gives a scale of 120, and 60 MB/s lies at y = 96.
        SpeedChartWidget w;
        prepare(w, 1);
        for (int i = 0; i < 30; ++i)
            w.addWriteSample(0, 10, 10.0);
        for (double v : {100.0, 10.0})
            for (int i = 0; i < 300; ++i)
                w.addWriteSample(0, 50, v);
        QCOMPARE(*std::max_element(w.writeSmoothedOf(0).begin(), w.writeSmoothedOf(0).end()),
                 100.0);
        const QImage img = renderChart(w);
        QVERIFY(near(img.pixelColor(127, 96), Blue.darker(120)));
        QCOMPARE(img.pixelColor(110, 96), PlotFill);
    }

    // A lone burst or stall among thousands of samples must still reach its pixel, at the x
    // of its own percent; both extremes of one column show; the area ends at the last sample.
    void loneExtremes_data()
    {
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("spikeAt");
        QTest::addColumn<int>("dipAt");
        QTest::newRow("burst") << false << 2010 << -1;
        QTest::newRow("stall") << true << -1 << 1010;
        QTest::newRow("burst first") << false << 0 << -1;
        QTest::newRow("stall last") << true << -1 << 3999;
        QTest::newRow("both in a column") << false << 2010 << 2030;
    }
    void loneExtremes()
    {
        QFETCH(bool, read);
        QFETCH(int, spikeAt);
        QFETCH(int, dipAt);
        SpeedChartWidget w;
        prepare(w, 1);
        const int count = 4000; // percent 10..90, about 50 samples a percent
        for (int i = 0; i < count; ++i) {
            const double v = i == spikeAt ? 330.0 : i == dipAt ? 0.6 : 30.0;
            if (read)
                w.addReadSample(0, 10 + 80 * i / (count - 1), v);
            else
                w.addWriteSample(0, 10 + 80 * i / (count - 1), v);
        }
        const QVector<int>& pc = read ? w.readPercentOf(0) : w.writePercentOf(0);
        const QVector<double>& sm = read ? w.readSmoothedOf(0) : w.writeSmoothedOf(0);
        const ChartGeometry g(W, H, true);
        const double scale = chartScaleMaximum({sm});
        auto column = [&](int i) { return int(read ? g.readX(pc[i]) : g.writeX(pc[i])); };
        const QImage img = renderChart(w);
        const QColor line = Blue.darker(120);
        auto check = [&](int i, int inward) {
            const double y = g.valueY(sm[i], scale);
            const int row = int(std::floor(y)) + inward;
            QVERIFY2(near(img.pixelColor(column(i), row), line), qPrintable(QString::number(row)));
            QVERIFY(!near(img.pixelColor(column(i) + 4, row), line));
        };
        if (spikeAt >= 0)
            check(int(std::max_element(sm.begin(), sm.end()) - sm.begin()), 1);
        if (dipAt >= 0)
            check(int(std::min_element(sm.begin(), sm.end()) - sm.begin()), -1);
        QCOMPARE(img.pixelColor(column(count - 1) + 3, 170), PlotFill);
        QVERIFY(img.pixelColor(column(count - 1) - 2, 170) != PlotFill);
    }

    // Filled one by one with a translucent brush, the pieces paint what the whole area does.
    void areaPieces_data()
    {
        QTest::addColumn<QVector<QPointF>>("curve");
        QTest::addColumn<int>("band");
        QTest::addColumn<int>("pieces");
        QVector<QPointF> ragged;
        for (double x = 3.5; x < 70; x += 1.9)
            ragged << QPointF(x, 10 + 25 * std::abs(std::sin(x))) << QPointF(x, 12 + x / 3);
        QTest::newRow("ragged") << ragged << 16 << 5; // cuts at 19, 35, 51, 67
        QTest::newRow("points on cuts")
            << QVector<QPointF>{{3, 40}, {16, 10}, {16, 30}, {32, 5}, {32.5, 20}} << 13 << 3;
        QTest::newRow("within a band") << QVector<QPointF>{{10.5, 20}, {12.5, 30}} << 64 << 1;
        QTest::newRow("folds back")
            << QVector<QPointF>{{5, 20}, {40, 10}, {20, 30}, {60, 25}} << 16 << 1;
    }
    void areaPieces()
    {
        QFETCH(QVector<QPointF>, curve);
        QFETCH(int, band);
        QFETCH(int, pieces);
        const QVector<QPolygonF> parts = ::areaPieces(curve, 50, band);
        QCOMPARE(parts.size(), pieces);
        QPolygonF whole(curve);
        whole.prepend(QPointF(curve.first().x(), 50));
        whole.append(QPointF(curve.last().x(), 50));
        auto paint = [](const QVector<QPolygonF>& polygons) {
            QImage img(80, 60, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::white);
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x21, 0x96, 0xF3, 90));
            for (const QPolygonF& polygon : polygons)
                p.drawPolygon(polygon);
            return img;
        };
        const QImage a = paint({whole});
        const QImage b = paint(parts);
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                QVERIFY2(near(a.pixelColor(x, y), b.pixelColor(x, y), 1),
                         qPrintable(QString("%1,%2").arg(x).arg(y)));
    }

    void hiddenReadHalf()
    {
        SpeedChartWidget w;
        prepare(w, 1, false);
        for (int pc = 0; pc <= 100; pc += 5) {
            w.addWriteSample(0, pc, 30.0);
            w.addReadSample(0, pc, 200.0);
        }
        QImage img = renderChart(w);
        const QColor edge = img.pixelColor(385, 150); // write area reaches the far right
        QVERIFY2(edge.blue() - edge.red() > 30, qPrintable(edge.name()));
        QVERIFY(isBlank(img, QRect(392, 0, 8, H))); // no right-hand scale

        // Stored read samples must not leak into the plot's last column.
        w.clearSamples();
        for (int pc = 0; pc <= 100; pc += 5) {
            w.addWriteSample(0, pc / 2, 30.0);
            w.addReadSample(0, pc, 200.0);
        }
        img = renderChart(w);
        for (int y = 15; y < 179; ++y) {
            const QColor c = img.pixelColor(388, y);
            QVERIFY2(c.red() == c.blue(), qPrintable(QString::number(y) + " " + c.name()));
        }
    }

    void unitsClearOfTopLabels()
    {
        SpeedChartWidget w;
        prepare(w, 1);
        w.addWriteSample(0, 50, 100.0);
        w.addReadSample(0, 50, 100.0); // both scales end at 120
        const QImage img = renderChart(w);
        // Columns with ink in a band of rows: the unit alone reaches rows 0..5, the top
        // label alone rows 15..20.
        auto inkColumns = [&](int x1, int x2, int y1, int y2) {
            QVector<int> cols;
            for (int x = x1; x <= x2; ++x)
                if (!isBlank(img, QRect(QPoint(x, y1), QPoint(x, y2))))
                    cols << x;
            return cols;
        };
        for (bool left : {true, false}) {
            const int x1 = left ? 0 : 348;
            const int x2 = left ? 50 : W - 1;
            const QVector<int> unit = inkColumns(x1, x2, 0, 5);
            const QVector<int> label = inkColumns(x1, x2, 15, 20);
            QVERIFY(!unit.isEmpty() && !label.isEmpty());
            QVERIFY(left ? unit.last() < label.first() : label.last() < unit.first());
        }
    }

    // Captions are looked up at paint time, so a language switch repaints and changes them.
    void captionsFollowLanguage()
    {
        auto paintsAfter = [&](QEvent::Type type) {
            return paintsDuring([&] {
                QEvent event(type);
                shown->changeEvent(&event);
            });
        };
        QVERIFY(paintsAfter(QEvent::LanguageChange) > 0);
        QCOMPARE(paintsAfter(QEvent::ToolTipChange), 0);

        SpeedChartWidget w;
        prepare(w, 1);
        auto captions = [&] { // write caption under 55..199, read caption under 200..344
            const QImage img = renderChart(w);
            return qMakePair(img.copy(55, 181, 145, 18), img.copy(200, 181, 145, 18));
        };
        I18n::instance()->setLanguage(SimplifiedChinese);
        const auto chinese = captions();
        QVERIFY(paintsDuring([] { I18n::instance()->setLanguage(English); }) > 0);
        const auto english = captions();
        QVERIFY(chinese.first != english.first && chinese.second != english.second);
        QVERIFY(english.first != english.second);
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
