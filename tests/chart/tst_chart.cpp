#include "chart/chartgeometry.h"
#include "chart/speedchartwidget.h"
#include "i18n/i18n.h"

#include <QStandardPaths>
#include <QtTest>

#include <cmath>

namespace {

class ChartProbe : public SpeedChartWidget
{
public:
    int paints = 0;
    void paintEvent(QPaintEvent* e) override { ++paints, SpeedChartWidget::paintEvent(e); }
};

const QColor WindowColor(0x30, 0x60, 0x90);
const QColor PlotFill(0xFA, 0xFA, 0xFA);
const QColor Blue(0x21, 0x96, 0xF3);
const QColor BlueLine = Blue.darker(120);

// 400 x 200, read half shown: plot 55..344 x 14..179, split at 200; hidden: plot right 389.
constexpr int W = 400;
constexpr int H = 200;

void prepare(SpeedChartWidget& w, int streams, bool readVisible = true)
{
    w.resize(W, H);
    w.setReadVisible(readVisible);
    w.setStreams(QVector<QString>(streams, "s").toList());
}

QImage renderChart(SpeedChartWidget& w)
{
    QImage img(W, H, QImage::Format_ARGB32_Premultiplied);
    w.render(&img);
    return img;
}

bool isBlank(const QImage& img, const QRect& r)
{
    QImage plain(r.size(), img.format());
    plain.fill(WindowColor);
    return img.copy(r) == plain;
}

} // namespace

class TestChart : public QObject
{
    Q_OBJECT

    ChartProbe shown;

    // Posted events can post more (a language change, then the repaint it asks for).
    template<typename Action>
    int paintsDuring(Action action)
    {
        QTest::qWait(1);
        shown.paints = 0;
        action();
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        return shown.paints;
    }

private slots:
    void initTestCase()
    {
        // No language is settled: captions show their Simplified source text until a switch.
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName("QuorvelTests");
        QApplication::setPalette(QPalette(WindowColor));
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
    }

    void samplesAndRepaints()
    {
        QVERIFY(paintsDuring([&] { shown.setStreams({"a", "b", "c"}); }) > 0);
        QCOMPARE(paintsDuring([&] {
                     shown.addWriteSample(-1, 10, 5.0), shown.addReadSample(3, 10, 5.0);
                     shown.addWriteSample(0, 10, qInf()), shown.addReadSample(1, 10, qQNaN());
                 }),
                 0);
        QVERIFY(shown.writeSpeedOf(0).isEmpty() && shown.readSpeedOf(1).isEmpty());
        QVERIFY(paintsDuring([&] { shown.addReadSample(1, 150, 1.0); }) > 0);
        shown.addReadSample(1, -5, 2.0);
        QCOMPARE(shown.readPercentOf(1), (QVector<int>{100, 0}));
        QVERIFY(paintsDuring([&] { shown.clearSamples(); }) > 0);
        QVERIFY(shown.names().size() == 3 && shown.readSpeedOf(1).isEmpty());
        for (int m = 1; m <= 20; ++m) { // mean of the last 15 raw values
            shown.addWriteSample(1, m, 10.0 * m);
            QCOMPARE(shown.writeSmoothedOf(1).last(), 10.0 * (std::max(1, m - 14) + m) / 2);
        }
    }

    void scales()
    {
        // Each step (from decimal text, so the double nearest it) is the ceiling of itself and
        // of everything down to just above the step before it.
        double before = 8e-8;
        for (int e = -7; e <= 12; ++e) {
            for (const char* m : {"1", "1.2", "1.5", "2", "2.5", "3", "4", "5", "6", "8"}) {
                const double step = QString("%1e%2").arg(m).arg(e).toDouble();
                for (double x : {step, std::nextafter(step, 0.0), std::nextafter(before, 1e300)})
                    QVERIFY2(niceCeil(x) == step, qPrintable(QString::number(x, 'g', 17)));
                before = step;
            }
        }

        QVERIFY(chartScaleMaximum({{3.0, 9.9}, {}}) == 12 &&
                chartScaleMaximum({{3.0}, {25.0}}) == 30);
        // 8 % headroom, no more and no less: 12.096 and 19.98 lie just past and short of a step.
        QCOMPARE(chartScaleMaximum({{11.2}}), 15.0);
        QCOMPARE(chartScaleMaximum({{18.5}}), 20.0);
        QStringList labels;
        for (double value : {0.0, 2.4, 9.6, 12.0, 5.0, 25.0})
            labels << chartScaleLabel(value);
        QCOMPARE(labels.join(' '), QString("0.0 2.4 9.6 12 5.0 25"));

        // Runs of one percent keep their first and last point; a line also covers the run's
        // full height.
        QVector<QLineF> spans;
        auto y = [](double value) { return 179 - 166 * value / 12; };
        QCOMPARE(
            ChartGeometry(W, H, true)
                .seriesPoints({0, 0, 0, 0, 5, 5, 10}, {1, 9, 0, 4, 2, 3, 7}, false, 12, &spans),
            (QVector<QPointF>{{55, y(1)}, {55, y(4)}, {62.25, y(2)}, {62.25, y(3)}, {69.5, y(7)}}));
        QCOMPARE(spans, QVector<QLineF>{QLineF(55, y(0), 55, y(9))});
    }

    void frameGridAndLegend()
    {
        // Without streams: frame, grid and scales, but no divider, legend or captions.
        SpeedChartWidget w;
        prepare(w, 0);
        QImage img = renderChart(w);
        QStringList colours; // outside, frame left, right and top, grid, plot, legend square
        for (QPoint at : {QPoint(54, 100), QPoint(55, 100), QPoint(344, 100), QPoint(100, 14),
                          QPoint(100, 146), QPoint(200, 100), QPoint(187, 23)})
            colours << img.pixelColor(at).name();
        QCOMPARE(colours.join(' '),
                 QString("#306090 #c8c8c8 #c8c8c8 #c8c8c8 #e1e1e1 #fafafa #fafafa"));
        QVERIFY(isBlank(img, QRect(55, 181, 290, 18)) && !isBlank(img, QRect(348, 105, 47, 16)));

        prepare(w, 9);
        img = renderChart(w); // legend from 55 + (290 - 9 * 34) / 2 = 47
        QCOMPARE(img.pixelColor(200, 100), QColor(0xAA, 0xAA, 0xAA));
        QVERIFY(img.pixelColor(47 + 4, 23) == Blue && img.pixelColor(47 + 8 * 34 + 4, 23) == Blue);
        QCOMPARE(img.pixelColor(47 + 34 + 4, 23), QColor(0x4C, 0xAF, 0x50));
        // Captions are looked up at paint time, so a language switch repaints and changes them.
        QVERIFY(paintsDuring([] { I18n::instance()->setLanguage(English); }) > 0);
        const QImage english = renderChart(w);
        for (const QRect& caption : {QRect(55, 181, 145, 18), QRect(200, 181, 145, 18)})
            QVERIFY(!isBlank(img, caption) && english.copy(caption) != img.copy(caption));
    }

    // Writes at 30 MB/s (scale 40, row 54.5), reads at 100 (scale 120, row 40.7), each in its half;
    // a burst within 50 % lifts the mean to 35 (row 33.8) and back. Hidden reads draw nothing.
    void halvesAndScales()
    {
        for (bool readVisible : {true, false}) {
            SpeedChartWidget w;
            prepare(w, 1, readVisible);
            for (int pc = 0; pc <= 100; pc += 5) {
                for (int i = 0; pc <= (readVisible ? 100 : 50) && i < (pc == 50 ? 20 : 1); ++i)
                    w.addWriteSample(0, pc, i == 1 ? 90.0 : 30.0);
                w.addReadSample(0, pc, 100.0);
            }
            const QImage img = renderChart(w);
            const int burst = int(ChartGeometry(W, H, readVisible).writeX(50));
            auto line = [&](int x, int y) { return img.pixel(x, y) == BlueLine.rgb(); };
            QVERIFY(line(burst, 40) && !line(burst + 4, 40));
            QVERIFY(line(120, 54) && img.pixelColor(120, 50) == PlotFill);
            QVERIFY(img.pixelColor(120, 100).blue() - img.pixelColor(120, 100).red() > 30); // area
            if (readVisible)
                QVERIFY(line(270, 40) && img.pixelColor(270, 36) == PlotFill && !line(190, 40));
            else
                QVERIFY(img.pixelColor(300, 100) == PlotFill && isBlank(img, QRect(392, 0, 8, H)));
        }
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
