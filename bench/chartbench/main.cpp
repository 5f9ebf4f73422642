// chartbench [output-folder]
//   Writes sample charts for a person to look at: chart-1.png, chart-4.png and chart-16.png (a
//   plausible run with 1, 4 and 16 streams), chart-16-writeonly.png (read half hidden),
//   chart-1x20000-spikes.png (one long stream with a lone burst and a lone stall in each
//   half), chart-narrow-4x2000.png (fewer pixel columns than percent steps) and
//   chart-16x20000.png (the long run that is timed). Then times repaints of 16 streams with
//   20000 write and 20000 read samples each (and of 16 short streams, for comparison) and
//   prints the medians.
//
// chartbench --diff before-folder after-folder [tolerance]
//   Compares every PNG of the first folder with the one of the same name in the second and
//   prints how many pixels differ by more than the tolerance (default 8 out of 255) in any
//   channel. Writes a picture of each difference to after-folder/diff/: the later chart faded
//   to light grey, with every differing pixel in red. Exits with 1 when a picture is missing or
//   differs in size.

#include "chart/speedchartwidget.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int ImageWidth = 900;
constexpr int ImageHeight = 320;

int percentOf(int i, int samples)
{
    return int(qint64(i + 1) * 100 / samples);
}

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
        const int percent = percentOf(i, samplesPerStream);
        for (int s = 0; s < streams; ++s) {
            const double noise = 0.75 + 0.5 * rng.generateDouble();
            const double base = percent < 30 + 2 * s ? writeFast : writeSlow;
            chart.addWriteSample(s, percent, base * noise);
        }
    }
    for (int i = 0; i < samplesPerStream; ++i) {
        const int percent = percentOf(i, samplesPerStream);
        for (int s = 0; s < streams; ++s)
            chart.addReadSample(s, percent, read * (0.9 + 0.2 * rng.generateDouble()));
    }
}

// One steady stream with a single raw burst and a single raw stall in each half: each must
// stay visible among thousands of ordinary samples.
void feedSpikes(SpeedChartWidget& chart, int samples)
{
    QRandomGenerator rng(3u);
    chart.setStreams({QStringLiteral("spikes")});
    for (int i = 0; i < samples; ++i) {
        const double odd = i == samples * 37 / 100 ? 900.0 : i == samples * 63 / 100 ? 0.1 : 0;
        chart.addWriteSample(0, percentOf(i, samples),
                             odd > 0 ? odd : 40.0 + 4.0 * rng.generateDouble());
    }
    for (int i = 0; i < samples; ++i) {
        const double odd = i == samples / 5 ? 0.1 : i == samples * 4 / 5 ? 1200.0 : 0;
        chart.addReadSample(0, percentOf(i, samples),
                            odd > 0 ? odd : 60.0 + 6.0 * rng.generateDouble());
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

int channelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

int compareFolders(const QString& beforeFolder, const QString& afterFolder, int tolerance,
                   QTextStream& out)
{
    const QDir before(beforeFolder);
    const QDir after(afterFolder);
    const QDir diffDir(after.filePath(QStringLiteral("diff")));
    if (!QDir().mkpath(diffDir.path())) {
        out << "Cannot create the folder " << QDir::toNativeSeparators(diffDir.path()) << "\n";
        return 1;
    }
    const QStringList names = before.entryList({QStringLiteral("*.png")}, QDir::Files);
    if (names.isEmpty()) {
        out << "No PNG files in " << QDir::toNativeSeparators(before.path()) << "\n";
        return 1;
    }
    int result = 0;
    for (const QString& name : names) {
        const QImage a = QImage(before.filePath(name)).convertToFormat(QImage::Format_ARGB32);
        const QImage b = QImage(after.filePath(name)).convertToFormat(QImage::Format_ARGB32);
        if (b.isNull() || a.size() != b.size()) {
            out << name << ": " << (b.isNull() ? "missing or unreadable" : "size differs") << " in "
                << QDir::toNativeSeparators(after.path()) << "\n";
            result = 1;
            continue;
        }
        QImage picture(b.size(), QImage::Format_ARGB32);
        int differing = 0;
        int largest = 0;
        QPoint largestAt;
        for (int y = 0; y < b.height(); ++y) {
            const QRgb* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
            const QRgb* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
            QRgb* target = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < b.width(); ++x) {
                const int d = channelDistance(lineA[x], lineB[x]);
                if (d > largest) {
                    largest = d;
                    largestAt = QPoint(x, y);
                }
                const int grey = 215 + qGray(lineB[x]) * 40 / 255;
                target[x] = d > tolerance ? qRgb(255, 0, 0) : qRgb(grey, grey, grey);
                differing += d > tolerance;
            }
        }
        const QString diffPath = diffDir.filePath(name);
        if (!picture.save(diffPath))
            out << "Cannot write " << QDir::toNativeSeparators(diffPath) << "\n";
        out << name << ": " << differing << " of " << b.width() * b.height()
            << " pixels differ by more than " << tolerance << " (largest difference " << largest
            << (largest > 0 ? QStringLiteral(" at %1,%2").arg(largestAt.x()).arg(largestAt.y())
                            : QString())
            << ")\n";
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);

    if (!args.isEmpty() && args.first() == QLatin1String("--diff")) {
        bool ok = args.size() == 3;
        const int tolerance = args.size() == 4 ? args[3].toInt(&ok) : 8;
        if (args.size() < 3 || args.size() > 4 || !ok || tolerance < 0) {
            out << "Usage: chartbench --diff before-folder after-folder [tolerance 0..255]\n";
            return 2;
        }
        return compareFolders(args[1], args[2], tolerance, out);
    }

    const QString folder = args.isEmpty() ? QDir::currentPath() : args.first();
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

    feedSpikes(chart, 20000);
    if (!save(QStringLiteral("chart-1x20000-spikes.png")))
        return 1;
    chart.resize(240, 200);
    feed(chart, 4, 2000, 5u);
    if (!save(QStringLiteral("chart-narrow-4x2000.png")))
        return 1;
    chart.resize(ImageWidth, ImageHeight);

    // The short run shows the fixed cost of the translucent areas; the long one what the
    // sample count adds to it.
    for (int samples : {300, 20000})
        timeRepaints(chart, 16, samples, out);
    if (!save(QStringLiteral("chart-16x20000.png")))
        return 1;
    return 0;
}
