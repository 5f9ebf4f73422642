// chartbench [output-folder]
//
// Writes chart-1.png, chart-4.png and chart-16.png (a plausible run with 1, 4 and 16
// streams), chart-16-writeonly.png (read half hidden) and chart-16x20000.png (the long run
// that is timed) for a person to look at, then times repaints of 16 streams with 20000 write
// and 20000 read samples each (and of 16 short streams, for comparison) and prints the
// medians.

#include "chart/speedchartwidget.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <ctime>

namespace {

constexpr int ImageWidth = 900;
constexpr int ImageHeight = 320;

// A card whose write speed falls once its fast cache is full, shared by all streams, with
// noise on every sample; reads stay steady.
void feed(SpeedChartWidget& chart, int streams, int samplesPerStream, quint32 seed)
{
    QRandomGenerator rng(seed);
    QStringList names;
    for (int s = 0; s < streams; ++s)
        names << QStringLiteral("__card_speed_test_%1.dat").arg(s + 1);
    chart.setStreams(names);
    const double writeFast = 85.0 / streams;
    const double writeSlow = 28.0 / streams;
    const double read = 92.0 / streams;
    for (int i = 0; i < samplesPerStream; ++i) {
        const int percent = int(qint64(i + 1) * 100 / samplesPerStream);
        for (int s = 0; s < streams; ++s) {
            const double noise = 0.75 + 0.5 * rng.generateDouble();
            const double base = percent < 30 + 2 * s ? writeFast : writeSlow;
            chart.addWriteSample(s, percent, base * noise);
        }
    }
    for (int i = 0; i < samplesPerStream; ++i) {
        const int percent = int(qint64(i + 1) * 100 / samplesPerStream);
        for (int s = 0; s < streams; ++s)
            chart.addReadSample(s, percent, read * (0.9 + 0.2 * rng.generateDouble()));
    }
}

QImage renderChart(SpeedChartWidget& chart)
{
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    chart.render(&image);
    return image;
}

void timeRepaints(SpeedChartWidget& chart, int streams, int samples, QTextStream& out)
{
    feed(chart, streams, samples, 42u);
    // Processor time as well as wall time: the machines we share are often busy.
    QVector<double> times;
    QVector<double> cpuTimes;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer timer;
        const std::clock_t cpuStart = std::clock();
        timer.start();
        renderChart(chart);
        times << timer.nsecsElapsed() / 1e6;
        cpuTimes << double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    out << "repaint " << chart.width() << "x" << chart.height() << ", " << streams << " streams x "
        << samples << " write + " << samples << " read samples: median "
        << QString::number(times[times.size() / 2], 'f', 1) << " ms (min "
        << QString::number(times.first(), 'f', 1) << ", max "
        << QString::number(times.last(), 'f', 1) << ", " << times.size()
        << " repaints), processor time median "
        << QString::number(cpuTimes[cpuTimes.size() / 2], 'f', 1) << " ms\n";
    out.flush();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);

    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    if (!QDir().mkpath(folder)) {
        out << "Cannot create the output folder " << folder << "\n";
        return 1;
    }

    SpeedChartWidget chart;
    chart.resize(ImageWidth, ImageHeight);
    auto save = [&](const QString& name) {
        const QString path = QDir(folder).filePath(name);
        const bool saved = renderChart(chart).save(path);
        out << (saved ? "wrote " : "Cannot write ") << QDir::toNativeSeparators(path) << "\n";
        out.flush();
        return saved;
    };
    for (int streams : {1, 4, 16}) {
        feed(chart, streams, 300, 7u + quint32(streams));
        if (!save(QStringLiteral("chart-%1.png").arg(streams)))
            return 1;
    }
    chart.setReadVisible(false);
    if (!save(QStringLiteral("chart-16-writeonly.png")))
        return 1;
    chart.setReadVisible(true);

    // The short run shows the fixed cost of the translucent areas; the long one what the
    // sample count adds to it.
    for (int samples : {300, 20000})
        timeRepaints(chart, 16, samples, out);
    if (!save(QStringLiteral("chart-16x20000.png")))
        return 1;
    return 0;
}
