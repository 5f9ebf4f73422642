// windowbench [--streams N] [--file-mb M] [--shots DIR]
//
// Run inside bench/card-sim --usb-root (the emulated card as a USB card). Opens the main window,
// picks N source files of M MiB each (16 and 48 by default: one stream per file), runs a write
// and read test with the read phase on, and meanwhile measures how late a zero-timer fires on
// the main thread, every 10 ms for the whole run. Prints the count, median, 99th percentile
// and maximum. With --shots, saves the finished window in the three languages as
// DIR/quorvelcard-after-{en,zh_CN,zh_TW}.png.
// Exit code: 0 when the 99th percentile is under 50 ms, 1 when not, 2 for bad arguments,
// 77 without an emulated card.

#include "dialoganswerer.h"
#include "i18n/i18n.h"
#include "platform/volumes.h"
#include "ui/mainwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

constexpr double LimitMs = 50.0;

// Posts a zero-timer every 10 ms and records how long it waited for the event loop.
class LatencyProbe : public QObject
{
public:
    LatencyProbe()
    {
        connect(&tick, &QTimer::timeout, this, [this] {
            const qint64 posted = clock.nsecsElapsed();
            QTimer::singleShot(
                0, this, [this, posted] { lateMs.append((clock.nsecsElapsed() - posted) / 1e6); });
        });
        clock.start();
        tick.start(10);
    }
    void stop() { tick.stop(); }
    double percentile(double q) const
    {
        QVector<double> sorted = lateMs;
        std::sort(sorted.begin(), sorted.end());
        if (sorted.isEmpty())
            return 0;
        return sorted.at(std::min(int(q * sorted.size()), sorted.size() - 1));
    }
    QVector<double> lateMs;

private:
    QElapsedTimer clock;
    QTimer tick;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"streams", "source files, one stream each", "N", "16"});
    parser.addOption({"file-mb", "size of each source file in MiB", "M", "48"});
    parser.addOption({"shots", "save pictures of the finished window here", "DIR"});
    parser.addHelpOption();
    parser.process(app);
    const int streams = parser.value("streams").toInt();
    const int fileMb = parser.value("file-mb").toInt();
    if (streams < 1 || streams > 64 || fileMb < 1) {
        QTextStream(stderr) << "windowbench: bad --streams or --file-mb\n";
        return 2;
    }
    const QString card = QString::fromLocal8Bit(qgetenv("CARD_ROOT"));
    if (card.isEmpty()) {
        QTextStream(stderr) << "windowbench: run me inside bench/card-sim\n";
        return 77;
    }

    QTemporaryDir config, sources;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication::setOrganizationName("Quorvel");
    QApplication::setApplicationName("QuorvelCard");
    QApplication::setApplicationVersion("1.0.3");
    QSettings().setValue("ui/language", 1);
    I18n::instance()->initLanguage();
    if (platform::listRemovableVolumes().empty()) {
        QTextStream(stderr) << "windowbench: no removable card: run card-sim with --usb-root\n";
        return 77;
    }

    MainWindow window;
    window.show();
    DialogAnswerer answerer;
    auto button = [&](const char* name) {
        return window.findChild<QAbstractButton*>(QLatin1String(name));
    };
    button("externalFileRadio")->click();
    button("readTestCheck")->click();
    for (int i = 1; i <= streams; ++i) {
        QFile file(sources.path() + QStringLiteral("/clip%1.mp4").arg(i, 2, 10, QChar('0')));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(fileMb) << 20))
            return 2;
        answerer.files << file.fileName();
        button("browseButton")->click();
    }
    answerer.buttons << QMessageBox::No; // no format

    LatencyProbe probe;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (button("startButton")->isEnabled())
            app.quit();
    });
    QTimer::singleShot(0, [&] {
        button("startButton")->click();
        poll.start(100);
    });
    app.exec();
    probe.stop();

    const double p99 = probe.percentile(0.99);
    QTextStream(stdout) << QStringLiteral("streams %1, samples %2, median %3 ms, p99 %4 ms, "
                                          "max %5 ms\n")
                               .arg(streams)
                               .arg(probe.lateMs.size())
                               .arg(probe.percentile(0.5), 0, 'f', 2)
                               .arg(p99, 0, 'f', 2)
                               .arg(probe.percentile(1.0), 0, 'f', 2);

    if (parser.isSet("shots")) {
        QDir().mkpath(parser.value("shots"));
        const QList<QPair<const char*, const char*>> languages = {
            {"langEnglishAction", "en"},
            {"langSimplifiedAction", "zh_CN"},
            {"langTraditionalAction", "zh_TW"}};
        for (const auto& language : languages) {
            window.findChild<QAction*>(QLatin1String(language.first))->trigger();
            // Let the menu bar and the layouts settle on the new texts (the application has
            // quit, so no new event loop would run).
            QElapsedTimer settle;
            settle.start();
            while (settle.elapsed() < 300)
                QApplication::processEvents(QEventLoop::AllEvents, 50);
            // The designed size, then the window of a 1366 x 768 screen and of a 1920 x 1080 one
            // at a scale of 1.5 (1280 x 720 logical pixels), less a panel and a title bar.
            const QList<QPair<QString, QSize>> sizes = {
                {QString(), window.size()},
                {QStringLiteral("1366x768-"), QSize(1366, 706)},
                {QStringLiteral("1920x1080x1.5-"), QSize(1280, 658)}};
            const QSize designed = window.size();
            for (const auto& size : sizes) {
                window.setMinimumSize(size.second.boundedTo(designed));
                window.resize(size.second);
                settle.restart();
                while (settle.elapsed() < 300)
                    QApplication::processEvents(QEventLoop::AllEvents, 50);
                window.grab().save(QStringLiteral("%1/quorvelcard-after-%2%3.png")
                                       .arg(parser.value("shots"), size.first, language.second));
            }
            window.resize(designed);
        }
    }
    return p99 < LimitMs ? 0 : 1;
}
