#include "chart/chartgeometry.h"
#include "chart/speedchartwidget.h"
#include "i18n/i18n.h"

#include <QStandardPaths>
#include <QtTest>

#include <cmath>
#include <limits>

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

// 400 x 200 with the read half shown: plot 55..344 x 14..179, split at 200, grid rows 179,
// 146, 113, 80, 47, 13. With it hidden: plot right 389.
constexpr int W = 400;
constexpr int H = 200;

void prepare(SpeedChartWidget& w, int streams, bool readVisible = true)
{
    w.resize(W, H);
    w.setReadVisible(readVisible);
    QStringList names;
    while (names.size() < streams)
        names << "s";
    w.setStreams(names);
}

QImage renderChart(SpeedChartWidget& w)
{
    QImage img(W, H, QImage::Format_ARGB32_Premultiplied);
    w.render(&img);
    return img;
}

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
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
        QPalette pal;
        pal.setColor(QPalette::Window, WindowColor);
        QApplication::setPalette(pal);
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
    }

    void samplesAndRepaints()
    {
        QVERIFY(paintsDuring([&] { shown.setStreams({"a", "b", "c"}); }) > 0);
        QCOMPARE(paintsDuring([&] {
                     shown.addWriteSample(-1, 10, 5.0);
                     shown.addReadSample(3, 10, 5.0);
                     shown.addWriteSample(0, 10, std::numeric_limits<double>::infinity());
                     shown.addReadSample(1, 10, std::nan(""));
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

    void niceCeilAndScales()
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
        QVERIFY(niceCeil(-3.0) == -3.0 && std::isnan(niceCeil(std::nan(""))));

        QCOMPARE(chartScaleMaximum({{3.0, 9.9}, {}}), 12.0);
        QCOMPARE(chartScaleMaximum({{3.0}, {25.0, 7.0}}), 30.0);
        // 8 % headroom, no more and no less: 12.096 and 19.98 lie just past and short of a step.
        QCOMPARE(chartScaleMaximum({{11.2}}), 15.0);
        QCOMPARE(chartScaleMaximum({{18.5}}), 20.0);
        QStringList labels;
        for (double top : {12.0, 25.0})
            for (int i = 0; i <= 5; ++i)
                labels << chartScaleLabel(i * top / 5);
        QCOMPARE(labels.join(' '), QString("0.0 2.4 4.8 7.2 9.6 12 0.0 5.0 10 15 20 25"));
    }

    // Runs of one percent keep their first and last point; a line also covers the run's full
    // height. The read half runs from 200 to 344.
    void seriesPoints()
    {
        const ChartGeometry g(W, H, true);
        QVector<QLineF> spans;
        auto y = [](double value) { return 179 - 166 * value / 12; };
        QCOMPARE(
            g.seriesPoints({0, 0, 0, 0, 5, 5, 10}, {1, 9, 0, 4, 2, 3, 7}, false, 12, &spans),
            (QVector<QPointF>{{55, y(1)}, {55, y(4)}, {62.25, y(2)}, {62.25, y(3)}, {69.5, y(7)}}));
        QCOMPARE(spans, QVector<QLineF>{QLineF(55, y(0), 55, y(9))});
        QCOMPARE(g.seriesPoints({0, 50}, {6, 6}, true, 12),
                 (QVector<QPointF>{{200, 96}, {272, 96}}));
    }

    void frameGridAndLegend()
    {
        // Without streams: frame, grid and scales, but no divider, legend or captions.
        SpeedChartWidget w;
        prepare(w, 0);
        QImage img = renderChart(w);
        const QColor frame(0xC8, 0xC8, 0xC8);
        const QColor grid(0xE1, 0xE1, 0xE1);
        const std::pair<QPoint, QColor> bare[] = {
            {{54, 100}, WindowColor}, {{55, 100}, frame},     {{344, 100}, frame},
            {{100, 14}, frame},       {{100, 179}, frame},    {{100, 146}, grid},
            {{100, 145}, PlotFill},   {{200, 100}, PlotFill}, {{187, 23}, PlotFill}};
        for (const auto& [at, colour] : bare)
            QVERIFY2(img.pixelColor(at) == colour, qPrintable(img.pixelColor(at).name()));
        QVERIFY(isBlank(img, QRect(55, 181, 290, 18)) && !isBlank(img, QRect(348, 105, 47, 16)));

        prepare(w, 9);
        img = renderChart(w); // legend from 55 + (290 - 9 * 34) / 2 = 47
        QCOMPARE(img.pixelColor(200, 100), QColor(0xAA, 0xAA, 0xAA));
        QCOMPARE(img.pixelColor(47 + 4, 23), Blue);
        QCOMPARE(img.pixelColor(47 + 34 + 4, 23), QColor(0x4C, 0xAF, 0x50));
        QCOMPARE(img.pixelColor(47 + 8 * 34 + 4, 23), Blue);
        // Captions are looked up at paint time, so a language switch repaints and changes them.
        QVERIFY(paintsDuring([] { I18n::instance()->setLanguage(English); }) > 0);
        const QImage english = renderChart(w);
        for (const QRect& caption : {QRect(55, 181, 145, 18), QRect(200, 181, 145, 18)})
            QVERIFY(!isBlank(img, caption) && english.copy(caption) != img.copy(caption));
    }

    // Writes at 30 MB/s (scale 40, line at row 54.5) and reads at 100 MB/s (scale 120, row
    // 40.7), each in its own half; hidden reads neither draw nor leave a right-hand scale. A
    // burst inside the run at 50 % lifts the mean to 35 (row 33.8) and back: a vertical stroke.
    void halvesAndScales_data()
    {
        QTest::addColumn<bool>("readVisible");
        QTest::addColumn<int>("writeEnd");
        QTest::newRow("both") << true << 100;
        QTest::newRow("read hidden") << false << 50;
    }
    void halvesAndScales()
    {
        QFETCH(bool, readVisible);
        QFETCH(int, writeEnd);
        SpeedChartWidget w;
        prepare(w, 1, readVisible);
        for (int pc = 0; pc <= 100; pc += 5) {
            for (int i = 0; pc <= writeEnd && i < (pc == 50 ? 20 : 1); ++i)
                w.addWriteSample(0, pc, i == 1 ? 90.0 : 30.0);
            w.addReadSample(0, pc, 100.0);
        }
        const QImage img = renderChart(w);
        const int burst = int(ChartGeometry(W, H, readVisible).writeX(50));
        auto line = [&](int x, int y) { return near(img.pixelColor(x, y), BlueLine); };
        QVERIFY(line(burst, 40) && !line(burst + 4, 40));
        QVERIFY(line(120, 54) && img.pixelColor(120, 50) == PlotFill);
        const QColor area = img.pixelColor(120, 100);
        QVERIFY2(area.blue() - area.red() > 30, qPrintable(area.name()));
        if (readVisible)
            QVERIFY(line(270, 40) && img.pixelColor(270, 36) == PlotFill && !line(190, 40));
        else
            QVERIFY(img.pixelColor(300, 100) == PlotFill && isBlank(img, QRect(392, 0, 8, H)));
    }
};

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
