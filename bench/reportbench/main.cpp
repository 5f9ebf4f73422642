// reportbench [--streams 16] [--samples 20000] [--runs 10000] [--example DIR]
//
// Writes every report format of one long run and opens a history of many runs in a History
// window, filtering it by card; prints the wall and CPU time of each (best of three) and fails
// when a report takes 200 ms or more, or opening or filtering the history 300 ms or more (by
// wall or CPU time: a busy machine stretches the first).
// With --example it only writes a sample report of a four-stream run into DIR, in every format
// (docs/report-example.png is Chromium's screenshot of its page).

#include "i18n/i18n.h"
#include "report/historystore.h"
#include "report/reportchart.h"
#include "report/reportcsv.h"
#include "report/reporthtml.h"
#include "report/reportjson.h"
#include "report/reportwriter.h"
#include "ui/historywindow.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

struct Timing
{
    double wallMs = 1e9;
    double cpuMs = 1e9;
};

Timing best(int repeats, const std::function<void()>& work)
{
    Timing t;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer wall;
        const std::clock_t cpu = std::clock();
        wall.start();
        work();
        t.wallMs = std::min(t.wallMs, wall.nsecsElapsed() / 1e6);
        t.cpuMs = std::min(t.cpuMs, (std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
    }
    return t;
}

QVector<SpeedPoint> series(int n, double base, int seed)
{
    QVector<SpeedPoint> points(n);
    for (int i = 0; i < n; ++i)
        points[i] = {i * 100.0 / n,
                     base * (1.0 + 0.3 * std::sin(i * 0.013 + seed)) + (i * 7919 % 97) / 13.0};
    return points;
}

RunResult longRun(int streams, int samples)
{
    RunResult r;
    r.programVersion = QStringLiteral("1.0.3");
    r.started = QDateTime::currentDateTimeUtc();
    r.ended = r.started.addSecs(samples / 5);
    r.card = {QStringLiteral("/media/bench/CARD/"), QStringLiteral("BENCH"),
              QStringLiteral("exfat"), 64LL << 30, 63LL << 30};
    r.plan.streamCount = streams;
    r.plan.readEnabled = true;
    r.figures.readMeasured = true;
    for (int s = 0; s < streams; ++s)
        r.streamLabels.append(QStringLiteral("Random stream #%1").arg(s + 1));
    for (int row = 0; row <= streams; ++row) {
        RunRow rr;
        rr.label = row ? r.streamLabels[row - 1] : QString();
        rr.write = {20.0 + row, 30.0, 10.0, 0.2, 0.15, 0.05, 100, samples};
        rr.read = {40.0 + row, 50.0, 30.0, 0.1, 0.08, 0.0, 0, samples};
        r.figures.rows.append(rr);
    }
    for (PhaseSeries* phase : {&r.writeSeries, &r.readSeries}) {
        const double base = phase == &r.writeSeries ? 20.0 : 40.0;
        phase->card = series(samples, base * streams, 0);
        for (int s = 0; s < streams; ++s)
            phase->streams.append(series(samples, base, s + 1));
    }
    for (int i = 0; i < 200; ++i)
        r.log.append(QStringLiteral("[12:00:%1] log line %2").arg(i % 60).arg(i));
    return r;
}

// A limit of 0 only reports the time.
void print(const char* what, const Timing& t, double limitMs, bool& ok)
{
    std::printf("%-44s %8.1f ms wall %8.1f ms CPU", what, t.wallMs, t.cpuMs);
    if (limitMs <= 0) {
        std::printf("\n");
        return;
    }
    const bool within = t.wallMs < limitMs || t.cpuMs < limitMs;
    ok = ok && within;
    std::printf("  (limit %.0f ms)%s\n", limitMs, within ? "" : "  OVER");
}

// A history of `runs` runs of 20 cards: one stored the ordinary way, then copied by SQL.
bool fillHistory(const QString& path, int runs)
{
    {
        HistoryStore store;
        if (!store.open(path) || store.store(longRun(4, 300)) < 0)
            return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fill");
        db.setDatabaseName(path);
        if (!db.open())
            return false;
        QSqlQuery q(db);
        const QString columns = QStringLiteral(
            "started, card_label, capacity, file_system, mode, streams, block_size, write_avg,"
            " read_avg, verdict, result, outcome");
        while (true) {
            q.exec(QStringLiteral("SELECT COUNT(*) FROM runs"));
            q.next();
            const int have = q.value(0).toInt();
            if (have >= runs)
                break;
            q.exec(QStringLiteral("INSERT INTO runs (%1) SELECT %1 FROM runs LIMIT %2")
                       .arg(columns)
                       .arg(runs - have));
        }
        q.exec(QStringLiteral("UPDATE runs SET card_label = 'CARD ' || (id % 20),"
                              " started = strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-' || id ||"
                              " ' minutes')"));
    }
    QSqlDatabase::removeDatabase("fill");
    return true;
}

bool writeExample(const QString& folder)
{
    RunResult run = longRun(4, 600);
    run.card.label = QStringLiteral("SDXC 64GB");
    run.plan.testSize = 4LL << 30;
    run.plan.blockSize = 1 << 20;
    run.rounds = run.roundsDone = 1;
    // A card whose cache runs out a third of the way: the write curves drop and one stream
    // trips the steadiness rules.
    for (QVector<SpeedPoint>& stream : run.writeSeries.streams) {
        for (int i = 200; i < stream.size(); ++i)
            stream[i].mbps *= 0.55;
    }
    RunRow& slow = run.figures.rows[3];
    slow.write = {13.4, 24.9, 6.1, 0.48, 0.31, 0.06, 36, 600};
    slow.verdict.write = Verdict::Warn;
    slow.reasons = QStringList{QStringLiteral("Write jitter 48.0% > 45%")};
    run.figures.rows[0].verdict.write = Verdict::Warn;
    run.figures.rows[0].reasons = slow.reasons;
    QDir().mkpath(folder);
    for (ReportFormat format : ReportWriter::formats()) {
        QString error;
        const QString path =
            QDir(folder).filePath(QStringLiteral("report-example.") + ReportWriter::suffix(format));
        if (!ReportWriter::save(run, path, format, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.3"));
    QCommandLineParser parser;
    parser.addOption({"streams", "Streams of the long run.", "n", "16"});
    parser.addOption({"samples", "Samples per series.", "n", "20000"});
    parser.addOption({"runs", "Runs in the history.", "n", "10000"});
    parser.addOption({"example", "Write a sample report into this folder.", "dir"});
    parser.process(app);
    // English texts from private settings: the user's own are left alone.
    QStandardPaths::setTestModeEnabled(true);
    QSettings().setValue(QStringLiteral("ui/language"), 1);
    I18n::instance()->initLanguage();

    if (parser.isSet("example"))
        return writeExample(parser.value("example")) ? 0 : 1;

    QTemporaryDir dir;
    const RunResult run = longRun(parser.value("streams").toInt(), parser.value("samples").toInt());
    const QDateTime now = QDateTime::currentDateTime();
    std::printf("Run of %d streams, %d samples per series\n", parser.value("streams").toInt(),
                parser.value("samples").toInt());

    bool ok = true;
    QByteArray png;
    print("JSON", best(3, [&] { ReportJson::write(run); }), 200, ok);
    print("CSV, results table", best(3, [&] { ReportCsv::resultsTable(run); }), 200, ok);
    print("CSV, samples", best(3, [&] { ReportCsv::samples(run); }), 200, ok);
    print("PNG chart", best(3, [&] { png = ReportChart::png(run); }), 200, ok);
    print("HTML with its chart",
          best(3, [&] { ReportHtml::page(run, ReportChart::png(run), now); }), 200, ok);
    for (ReportFormat format : ReportWriter::formats()) {
        const QString path = dir.filePath(QStringLiteral("report.") + ReportWriter::suffix(format));
        QString error;
        const QByteArray what = "saved as " + ReportWriter::suffix(format).toLatin1() +
                                (format == ReportFormat::Csv ? " (both files)" : "");
        print(what.constData(),
              best(3, [&] { ok = ReportWriter::save(run, path, format, &error) && ok; }), 200, ok);
    }

    const int runs = parser.value("runs").toInt();
    const QString history = dir.filePath(QStringLiteral("history.sqlite"));
    if (!fillHistory(history, runs)) {
        std::fprintf(stderr, "could not build the history\n");
        return 1;
    }
    std::printf("History of %d runs\n", runs);
    print("store one long run",
          best(1,
               [&] {
                   HistoryStore store;
                   store.open(history);
                   store.store(run);
               }),
          0, ok);
    print("open the store and list every run",
          best(3,
               [&] {
                   HistoryStore store;
                   store.open(history);
                   store.list();
               }),
          300, ok);
    HistoryStore store;
    store.open(history);
    print("open the History window", best(3, [&] { HistoryWindow window(&store); }), 300, ok);
    HistoryWindow window(&store);
    auto* combo = window.findChild<QComboBox*>(QStringLiteral("historyCardCombo"));
    int next = 0;
    print("filter the window by card",
          best(3, [&] { combo->setCurrentIndex(1 + next++ % (combo->count() - 1)); }), 300, ok);
    print("back to all cards",
          best(3,
               [&] {
                   combo->setCurrentIndex(0);
                   combo->setCurrentIndex(1);
               }),
          600, ok);
    return ok ? 0 : 1;
}
