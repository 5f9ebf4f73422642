#include "chart/speedchartwidget.h"
#include "i18n/i18n.h"
#include "report/historystore.h"
#include "report/numbertext.h"
#include "report/reportcsv.h"
#include "report/reportjson.h"
#include "report/reporttexts.h"
#include "report/reportwriter.h"
#include "report/runcomparison.h"
#include "ui/comparedialog.h"
#include "ui/historywindow.h"
#include "ui/resultactions.h"
#include "ui/resultstable.h"

#include <QClipboard>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(RunResult)

namespace {

StreamMetrics metrics(double avg, int seed)
{
    return {avg, avg * 1.3, avg * 0.4, 0.05 * seed, 0.07 * seed, 0.01 * seed, seed, 100 + seed};
}

QVector<SpeedPoint> series(int n, double base, int seed)
{
    QVector<SpeedPoint> points;
    for (int i = 0; i < n; ++i)
        points.append({i * 100.0 / n, base + std::sin(i * 0.37 + seed) * base / 3.0});
    return points;
}

// A run with every field away from its default, texts that need quoting in every format.
RunResult sampleRun(int streams, bool read, RunEnd end, const QString& label = "SD, \"卡\" <1>")
{
    RunResult r;
    r.programVersion = "1.0.3";
    r.started = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);
    r.ended = r.started.addSecs(95);
    r.card = {"/media/x/CARD/", label, "exfat", 31914983424LL, 31000000000LL};
    r.plan.rootPath = r.card.root;
    r.plan.testSize = 3LL << 30;
    r.plan.blockSize = 4 << 20;
    r.plan.streamCount = streams;
    r.plan.staggerMs = 250;
    r.plan.readEnabled = read;
    r.rules.jitterFail = 0.7;
    r.rules.perStreamWrite = 7.5;
    r.rules.slcTrim = false;
    r.rules.iterCount = 3;
    r.rounds = 3;
    r.roundsDone = end == RunEnd::Completed ? 3 : 1;
    r.end = end;
    if (end == RunEnd::Failed) {
        r.cause = FailureCause::DeviceError;
        r.failure = "Write failed (Input/output error)";
        r.errors = QStringList{r.failure};
    }
    for (int s = 0; s < streams; ++s)
        r.streamLabels.append(QString("Random stream #%1").arg(s + 1));
    r.figures.readMeasured = read;
    const int rows = streams >= 2 ? streams + 1 : 1;
    for (int i = 0; i < rows; ++i) {
        RunRow row;
        row.label = i == 0 ? QString() : r.streamLabels[i - 1];
        row.write = metrics(20.0 + i * 3.17, i + 1);
        row.read = read ? metrics(40.0 + i, i + 2) : StreamMetrics();
        row.verdict.write = Verdict(i % 3);
        row.verdict.read = read ? Verdict((i + 1) % 3) : Verdict::Pass;
        if (i == 2) {
            row.data.add("__card_speed_test_2.dat", 3, 8388608);
            row.verdict.data = Verdict::Fail;
            row.reasons = QStringList{"Data: 3 bad blocks", "Write: CV 14.0% > 10%"};
        }
        r.figures.rows.append(row);
    }
    r.writeSeries.card = series(120, 60.0, 0);
    r.readSeries.card = read ? series(90, 80.0, 1) : QVector<SpeedPoint>();
    for (int s = 0; s < streams; ++s) {
        r.writeSeries.streams.append(series(120, 20.0, s));
        r.readSeries.streams.append(read ? series(90, 40.0, s) : QVector<SpeedPoint>());
    }
    r.log =
        QStringList{"[05:06:07] ========== Speed test started ==========", "[05:07:42] done, 100%"};
    return r;
}

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

void compareSeries(const QVector<SpeedPoint>& a, const QVector<SpeedPoint>& b)
{
    QCOMPARE(a.size(), b.size());
    for (int i = 0; i < a.size(); ++i)
        QVERIFY2(same(a[i].percent, b[i].percent) && same(a[i].mbps, b[i].mbps),
                 qPrintable(QString("sample %1").arg(i)));
}

void compareMetrics(const StreamMetrics& a, const StreamMetrics& b)
{
    QCOMPARE(a.avg, b.avg);
    QCOMPARE(a.max, b.max);
    QCOMPARE(a.min, b.min);
    QCOMPARE(a.jitter, b.jitter);
    QCOMPARE(a.cv, b.cv);
    QCOMPARE(a.dropRatio, b.dropRatio);
    QCOMPARE(a.dropCount, b.dropCount);
    QCOMPARE(a.sampleCount, b.sampleCount);
}

void compareResults(const RunResult& a, const RunResult& b)
{
    QCOMPARE(a.programVersion, b.programVersion);
    QCOMPARE(a.started, b.started);
    QCOMPARE(a.ended, b.ended);
    QCOMPARE(a.card.root, b.card.root);
    QCOMPARE(a.card.label, b.card.label);
    QCOMPARE(a.card.fileSystem, b.card.fileSystem);
    QCOMPARE(a.card.capacityBytes, b.card.capacityBytes);
    QCOMPARE(a.card.freeBytesBefore, b.card.freeBytesBefore);
    QCOMPARE(a.plan.rootPath, b.plan.rootPath);
    QCOMPARE(a.plan.sourceFiles, b.plan.sourceFiles);
    QCOMPARE(a.plan.testSize, b.plan.testSize);
    QCOMPARE(a.plan.blockSize, b.plan.blockSize);
    QCOMPARE(a.plan.streamCount, b.plan.streamCount);
    QCOMPARE(a.plan.staggerMs, b.plan.staggerMs);
    QCOMPARE(a.plan.readEnabled, b.plan.readEnabled);
    QCOMPARE(a.plan.rollFileSize, b.plan.rollFileSize);
    QCOMPARE(a.plan.rollFreeBytes, b.plan.rollFreeBytes);
    QCOMPARE(a.plan.rollRefills, b.plan.rollRefills);
    QCOMPARE(a.plan.rollVerify, b.plan.rollVerify);
    const VerdictRules &x = a.rules, &y = b.rules;
    const QVector<double> xs{x.jitterFail,    x.jitterWarn,   x.cvFail,       x.cvWarn,
                             x.dropFail,      x.dropWarn,     x.minSpeedMult, x.perStreamWrite,
                             x.perStreamRead, x.aggWriteFail, x.aggWriteWarn, x.aggReadFail,
                             x.aggReadWarn};
    const QVector<double> ys{y.jitterFail,    y.jitterWarn,   y.cvFail,       y.cvWarn,
                             y.dropFail,      y.dropWarn,     y.minSpeedMult, y.perStreamWrite,
                             y.perStreamRead, y.aggWriteFail, y.aggWriteWarn, y.aggReadFail,
                             y.aggReadWarn};
    QCOMPARE(xs, ys);
    QCOMPARE(QVector<int>({x.slcTrim, x.fullCap, x.iterCount, x.rollVerify}),
             QVector<int>({y.slcTrim, y.fullCap, y.iterCount, y.rollVerify}));
    QCOMPARE(a.rounds, b.rounds);
    QCOMPARE(a.roundsDone, b.roundsDone);
    QCOMPARE(a.streamLabels, b.streamLabels);
    QCOMPARE(a.figures.readMeasured, b.figures.readMeasured);
    QCOMPARE(a.figures.rows.size(), b.figures.rows.size());
    for (int i = 0; i < a.figures.rows.size(); ++i) {
        const RunRow &p = a.figures.rows[i], &q = b.figures.rows[i];
        QCOMPARE(p.label, q.label);
        compareMetrics(p.write, q.write);
        compareMetrics(p.read, q.read);
        QCOMPARE(p.verdict.write, q.verdict.write);
        QCOMPARE(p.verdict.read, q.verdict.read);
        QCOMPARE(p.verdict.data, q.verdict.data);
        QCOMPARE(p.reasons, q.reasons);
        QCOMPARE(p.data.badBlocks, q.data.badBlocks);
        QCOMPARE(p.data.firstBadOffset, q.data.firstBadOffset);
        QCOMPARE(p.data.firstBadFile, q.data.firstBadFile);
    }
    for (const auto& phase :
         {qMakePair(a.writeSeries, b.writeSeries), qMakePair(a.readSeries, b.readSeries)}) {
        compareSeries(phase.first.card, phase.second.card);
        QCOMPARE(phase.first.streams.size(), phase.second.streams.size());
        for (int s = 0; s < phase.first.streams.size(); ++s)
            compareSeries(phase.first.streams[s], phase.second.streams[s]);
    }
    QCOMPARE(a.errors, b.errors);
    QCOMPARE(a.log, b.log);
    QCOMPARE(a.end, b.end);
    QCOMPARE(a.cause, b.cause);
    QCOMPARE(a.failure, b.failure);
}

// The window's own results table for a run: what the CSV and the copy must agree with.
void fillWindowTable(QTableWidget* table, const RunResult& r)
{
    ResultsTable::setUp(table);
    ResultsTable::retranslateHeaders(table);
    ResultsTable::build(table, r.streamLabels);
    QVector<StreamMetrics> write, read;
    for (const RunRow& row : r.figures.rows)
        write << row.write, read << row.read;
    ResultsTable::fillPhase(table, true, write, r.rules.perStreamWrite, r.rules);
    if (r.figures.readMeasured)
        ResultsTable::fillPhase(table, false, read, r.rules.perStreamRead, r.rules);
    QVector<RowVerdict> verdicts;
    for (const RunRow& row : r.figures.rows)
        verdicts << row.verdict;
    ResultsTable::setVerdicts(table, write, read, verdicts, r.rules);
    ResultsTable::setReadColumnsVisible(table, r.figures.readMeasured);
}

// Parsed by Python's csv module, the reference reader of spreadsheet-style CSV.
QList<QStringList> readCsv(const QString& path)
{
    QProcess python;
    python.start("python3", {"-c",
                             "import csv, json, sys\n"
                             "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', "
                             "newline='')))\n"
                             "sys.stdout.write(json.dumps(rows))",
                             path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {};
    QList<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        rows.append(row.toVariant().toStringList());
    return rows;
}

QByteArray createV1Database(const QString& path, const QList<RunResult>& runs)
{
    const QString name = "v1-fixture";
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        if (!db.open())
            return "open";
        QSqlQuery q(db);
        // The first schema as it went out: no outcome column, no card index.
        q.exec("CREATE TABLE runs (id INTEGER PRIMARY KEY AUTOINCREMENT, started TEXT NOT NULL,"
               " card_label TEXT NOT NULL, capacity INTEGER NOT NULL, file_system TEXT NOT NULL,"
               " mode INTEGER NOT NULL, streams INTEGER NOT NULL, block_size INTEGER NOT NULL,"
               " write_avg REAL NOT NULL, read_avg REAL, verdict INTEGER NOT NULL,"
               " result BLOB NOT NULL)");
        q.exec("PRAGMA user_version = 1");
        for (const RunResult& r : runs) {
            q.prepare("INSERT INTO runs (started, card_label, capacity, file_system, mode,"
                      " streams, block_size, write_avg, read_avg, verdict, result)"
                      " VALUES (?, ?, ?, ?, 0, ?, ?, ?, NULL, ?, ?)");
            for (const QVariant& v :
                 QVariantList{r.started.toString(Qt::ISODateWithMs), r.card.label,
                              r.card.capacityBytes, r.card.fileSystem, r.streamLabels.size(),
                              r.plan.blockSize, r.figures.rows[0].write.avg, int(r.figures.card()),
                              qCompress(ReportJson::write(r))})
                q.addBindValue(v);
            if (!q.exec())
                return q.lastError().text().toUtf8();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return {};
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName("QuorvelTests");
        QCoreApplication::setApplicationName("tst_report");
        QSettings().setValue("ui/language", 1);
        I18n::instance()->initLanguage();
        QVERIFY(tmp.isValid());
    }

    void jsonReadsBackWhatWasWritten_data()
    {
        QTest::addColumn<RunResult>("run");
        QTest::newRow("one stream, write only") << sampleRun(1, false, RunEnd::Completed);
        QTest::newRow("three streams, read, failed") << sampleRun(3, true, RunEnd::Failed);
        RunResult odd = sampleRun(2, true, RunEnd::Stopped, QString());
        odd.writeSeries.streams[1][3].mbps = std::nan("");
        odd.readSeries.card.clear();
        odd.plan.sourceFiles = QStringList{"/home/u/a,b.mp4", "/home/u/视频.mov"};
        odd.ended = QDateTime();
        QTest::newRow("stopped, empty and undefined samples, no end time") << odd;
    }
    void jsonReadsBackWhatWasWritten()
    {
        QFETCH(RunResult, run);
        const QByteArray json = ReportJson::write(run);
        QVERIFY(QJsonDocument::fromJson(json).isObject());
        RunResult back;
        QString error;
        QVERIFY2(ReportJson::read(json, &back, &error), qPrintable(error));
        compareResults(back, run);
    }

    void jsonRefusesWhatIsNotOurs_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("not JSON") << QByteArray("{\"schema\": ");
        QTest::newRow("another schema") << QByteArray("{\"schema\": \"x\", \"version\": 1}");
        QByteArray newer = ReportJson::write(sampleRun(1, false, RunEnd::Completed));
        newer.replace("\"version\": 1", "\"version\": 99");
        QTest::newRow("newer version") << newer;
    }
    void jsonRefusesWhatIsNotOurs()
    {
        QFETCH(QByteArray, json);
        RunResult untouched = sampleRun(1, false, RunEnd::Completed, "keep");
        QString error;
        QVERIFY(!ReportJson::read(json, &untouched, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(untouched.card.label, QString("keep"));
    }

    // Python's csv module reads the table's rows and columns, each cell as the window shows it.
    void csvHasTheTableRowsAndColumns()
    {
        if (QStandardPaths::findExecutable("python3").isEmpty())
            QSKIP("python3 is not installed");
        const RunResult run = sampleRun(3, true, RunEnd::Completed);
        const QString path = tmp.filePath("table.csv");
        QString error;
        QVERIFY2(ReportWriter::save(run, path, ReportFormat::Csv, &error), qPrintable(error));

        const QList<QStringList> rows = readCsv(path);
        QCOMPARE(rows.size(), run.figures.rows.size() + 1);
        QTableWidget table;
        fillWindowTable(&table, run);
        const QStringList headers = rows[0];
        for (const QStringList& row : rows)
            QCOMPARE(row.size(), headers.size());
        for (int r = 0; r < table.rowCount(); ++r) {
            for (int c : {0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}) {
                // The window breaks its headers in two lines; the file has them on one.
                const QString header = table.horizontalHeaderItem(c)->text().replace('\n', ' ');
                QVERIFY2(headers.contains(header), qPrintable(header));
                QString shown = table.item(r, c)->text();
                shown.remove('%');
                QCOMPARE(rows[r + 1][headers.indexOf(header)], shown);
            }
            QCOMPARE(rows[r + 1].last(), run.figures.rows[r].reasons.join("; "));
        }

        // One line per sample number and phase; the last stream's last read sample is last.
        const QList<QStringList> samples = readCsv(ReportWriter::samplesPath(path));
        QCOMPARE(samples.size(), 1 + run.writeSeries.card.size() + run.readSeries.card.size());
        const int speed = samples[0].indexOf(ReportTexts::rowLabel(run, 3) + " · Speed (MB/s)");
        QCOMPARE(speed, 9);
        QCOMPARE(samples.last()[0], QString("Read"));
        QCOMPARE(samples.last()[1].toInt(), run.readSeries.streams[2].size());
        QVERIFY(qAbs(samples.last()[speed].toDouble() - run.readSeries.streams[2].last().mbps) <
                0.001);
        for (const QStringList& row : samples)
            QCOMPARE(row.size(), samples[0].size());
    }

    // The page renders in a real browser: no errors, its table and its chart on screen.
    void htmlLoadsInChromium()
    {
        const QString chromium = QStandardPaths::findExecutable("chromium");
        if (chromium.isEmpty())
            QSKIP("chromium is not installed");
        const RunResult run = sampleRun(3, true, RunEnd::Completed);
        const QString page = tmp.filePath("report.html");
        QString error;
        QVERIFY2(ReportWriter::save(run, page, ReportFormat::Html, &error), qPrintable(error));

        const QString shot = tmp.filePath("report.png");
        QProcess browser;
        browser.start(chromium,
                      {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                       "--no-first-run", "--disable-background-networking",
                       "--disable-component-update", "--disable-sync", "--enable-logging=stderr",
                       "--hide-scrollbars", "--user-data-dir=" + tmp.filePath("profile"),
                       "--window-size=1280,2200", "--screenshot=" + shot,
                       QUrl::fromLocalFile(page).toString()});
        QVERIFY(browser.waitForFinished(120000));
        const QString log = browser.readAllStandardError();
        QCOMPARE(browser.exitCode(), 0);
        QVERIFY2(!log.contains("CONSOLE") && !log.contains("Uncaught"), qPrintable(log));

        const QImage image(shot);
        QVERIFY(!image.isNull());
        // The chart's first stream line and the table's fail colour are both on screen.
        bool line = false, fail = false;
        const QColor lineColor = QColor(0x21, 0x96, 0xF3).darker(120);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                line |= qAbs(c.red() - lineColor.red()) + qAbs(c.green() - lineColor.green()) +
                            qAbs(c.blue() - lineColor.blue()) <
                        12;
                fail |= c == ResultsTable::badColor();
            }
        }
        QVERIFY(line);
        QVERIFY(fail);
    }

    // The quick fixed-point path prints what an exact one does, near halves included.
    void fixedNumbersAreExact()
    {
        QVector<double> values{0.0,     0.005,  0.015,    1.125,  2.675,
                               23.4712, 99.995, -3.14159, -0.004, 1e17};
        QRandomGenerator random(7);
        for (int i = 0; i < 20000; ++i)
            values << random.generateDouble() * std::pow(10.0, i % 7);
        for (double v : values) {
            for (int decimals : {1, 2, 3})
                QCOMPARE(NumberText::fixed(v, decimals), QString::number(v, 'f', decimals));
        }
    }

    void defaultFileNames_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "SANDISK" << int(ReportFormat::Html)
                               << "SANDISK_20260304T050607.html";
        QTest::newRow("unsafe characters") << " a/b:c*d?\"e<f>g|h\\i j " << int(ReportFormat::Csv)
                                           << "a_b_c_d__e_f_g_h_i_j_20260304T050607.csv";
        QTest::newRow("no label") << "" << int(ReportFormat::Json) << "card_20260304T050607.json";
        QTest::newRow("Chinese") << "我的卡" << int(ReportFormat::Png)
                                 << "我的卡_20260304T050607.png";
    }
    void defaultFileNames()
    {
        QFETCH(QString, label);
        QFETCH(int, format);
        QFETCH(QString, name);
        const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
        QCOMPARE(ReportWriter::defaultFileName(label, when, ReportFormat(format)), name);
        QCOMPARE(int(ReportWriter::formatOf(name.toUpper(), ReportFormat::Html)), format);
    }

    // A report that cannot be written says where and leaves the file that was there.
    void failedSaveKeepsTheOldFile()
    {
        const QString blocked = tmp.filePath("blocked");
        QVERIFY(QDir().mkpath(blocked + "/x-samples.csv")); // a folder where a file must go
        QFile old(blocked + "/x.csv");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QString error;
        QVERIFY(!ReportWriter::save(sampleRun(2, false, RunEnd::Completed), blocked + "/x.csv",
                                    ReportFormat::Csv, &error));
        QVERIFY2(error.contains("x-samples.csv"), qPrintable(error));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
    }

    void firstSchemaMigrates()
    {
        const QString path = tmp.filePath("v1.sqlite");
        const RunResult stopped = sampleRun(2, false, RunEnd::Stopped, "OLD");
        const RunResult done = sampleRun(1, true, RunEnd::Completed, "OLD");
        QCOMPARE(createV1Database(path, {stopped, done}), QByteArray());

        HistoryStore store;
        QVERIFY2(store.open(path), qPrintable(store.offReason()));
        const QVector<HistoryEntry> entries = store.list();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].end, RunEnd::Completed); // same start: the later id first
        QCOMPARE(entries[1].end, RunEnd::Stopped);
        QVERIFY(store.store(sampleRun(1, false, RunEnd::Failed, "NEW")) > 0);
        RunResult back;
        QVERIFY(store.load(entries[1].id, &back));
        compareResults(back, stopped);

        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("PRAGMA user_version") && q.next());
        QCOMPARE(q.value(0).toInt(), HistoryStore::SchemaVersion);
        QVERIFY(q.exec("SELECT name FROM sqlite_master WHERE type = 'index'") && q.next());
        q.finish();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("check");
    }

    // A history that cannot be used is off, says why, and takes runs without a fault.
    void unusableHistoryIsOff_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("folderIsFile");
        QTest::newRow("corrupt") << QByteArray(4096, '\x5a') << false;
        QTest::newRow("not a folder") << QByteArray() << true;
    }
    void unusableHistoryIsOff()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, folderIsFile);
        const QString path = HistoryStore::defaultPath();
        QDir(QFileInfo(path).absolutePath()).removeRecursively();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(folderIsFile ? QFileInfo(path).absolutePath() + "/sub" : path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        HistoryStore direct;
        QVERIFY(!direct.open(folderIsFile ? file.fileName() + "/history.sqlite" : path));
        QVERIFY(!direct.offReason().isEmpty());
        QCOMPARE(direct.store(sampleRun(1, false, RunEnd::Completed)), qint64(-1));
        QVERIFY(direct.list().isEmpty());

        if (!folderIsFile) {
            QMainWindow window;
            QTableWidget table;
            ResultActions actions(&window, &table);
            QSignalSpy log(&actions, &ResultActions::logLine);
            actions.setResult(sampleRun(1, false, RunEnd::Completed));
            actions.setResult(sampleRun(1, false, RunEnd::Stopped));
            QCOMPARE(log.size(), 1); // said once, not at every run
            QVERIFY(log[0][0].toString().startsWith("History is off: "));
            QVERIFY(actions.saveButton()->isEnabled());
            QCOMPARE(actions.result()->end, RunEnd::Stopped);
        }
        QDir(QFileInfo(path).absolutePath()).removeRecursively();
    }

    // Another program holding the database locked costs a store, not the program.
    void lockedHistoryRefusesTheStore()
    {
        const QString path = tmp.filePath("locked.sqlite");
        HistoryStore store;
        QVERIFY(store.open(path));
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "locker");
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec("BEGIN EXCLUSIVE"));
            QCOMPARE(store.store(sampleRun(1, false, RunEnd::Completed)), qint64(-1));
            QVERIFY(!store.lastError().isEmpty());
            QVERIFY(q.exec("COMMIT"));
        }
        QSqlDatabase::removeDatabase("locker");
        QVERIFY(store.store(sampleRun(1, false, RunEnd::Completed)) > 0);
    }

    // Stored, listed newest first, filtered by card, compared side by side, deleted.
    void storeListCompareDelete()
    {
        HistoryStore store;
        QVERIFY(store.open(tmp.filePath("history.sqlite")));
        RunResult older = sampleRun(3, true, RunEnd::Completed, "CARD A");
        RunResult newer = sampleRun(2, true, RunEnd::Failed, "CARD A");
        newer.started = older.started.addDays(1);
        newer.figures.rows[0].write.avg = older.figures.rows[0].write.avg + 5.0;
        RunResult other = sampleRun(1, false, RunEnd::Completed, "CARD B");
        for (const RunResult* r : {&older, &newer, &other})
            QVERIFY(store.store(*r) > 0);

        HistoryWindow window(&store);
        auto* view = window.findChild<QTableView*>("historyView");
        auto* combo = window.findChild<QComboBox*>("historyCardCombo");
        QCOMPARE(view->model()->rowCount(), 3);
        QCOMPARE(view->model()->index(0, 1).data().toString(), QString("CARD A"));
        QCOMPARE(view->model()->index(0, 10).data().toString(), QString("Failed"));
        QCOMPARE(combo->count(), 3);
        combo->setCurrentIndex(1);
        QCOMPARE(view->model()->rowCount(), 2);

        view->selectAll();
        window.compareSelected();
        auto* compare = window.findChild<CompareDialog*>();
        QVERIFY(compare);
        // The newer run wrote faster: its card-total average is tinted better, the older worse.
        QTableWidgetItem* olderAvg = compare->table(0)->item(0, ResultsTable::WriteColumn);
        QTableWidgetItem* newerAvg = compare->table(1)->item(0, ResultsTable::WriteColumn);
        QCOMPARE(olderAvg->background().color(), CompareDialog::worseTint());
        QCOMPARE(newerAvg->background().color(), CompareDialog::betterTint());
        QVERIFY(olderAvg->toolTip().contains(newerAvg->text()));
        QCOMPARE(compare->table(0)->item(0, ResultsTable::WriteColumn + 1)->background().style(),
                 Qt::NoBrush);
        QCOMPARE(compare->table(0)->rowCount(), 4);
        QCOMPARE(compare->chart()->streamCount(), 2);
        QCOMPARE(compare->chart()->writeSpeedOf(1).size(), newer.writeSeries.card.size());
        const auto cells = RunComparison::compare(older, newer);
        QCOMPARE(cells[3][0], CellDifference::Unmatched); // stream 3 ran in the older run only

        QTimer::singleShot(0, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Yes)->click();
        });
        view->selectRow(0);
        window.deleteSelected();
        QCOMPARE(store.list().size(), 2);
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(combo->currentIndex(), 1); // the filter stays on its card
    }

    // Selection, Ctrl+C and Copy all give tab-separated text with the headers of the visible
    // columns; a cell spanning columns is copied once.
    void copyTheResults()
    {
        QMainWindow window;
        auto* table = new QTableWidget;
        window.setCentralWidget(table);
        const RunResult run = sampleRun(3, false, RunEnd::Completed);
        fillWindowTable(table, run);
        ResultActions actions(&window, table);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        table->setRangeSelected(QTableWidgetSelectionRange(1, 2, 2, 4), true);
        table->setFocus();
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QApplication::clipboard()->text().split('\n');
        QCOMPARE(lines.value(0), QString("File\tWrite Avg"));
        QCOMPARE(lines.value(1), table->item(1, 0)->text() + '\t' + table->item(1, 4)->text());
        QCOMPARE(lines.size(), 4); // two rows and the closing line break

        actions.copyAll();
        const QStringList all = QApplication::clipboard()->text().split('\n');
        QCOMPARE(all.size(), table->rowCount() + 2);
        QCOMPARE(all[0].split('\t').size(), 8); // label, six write figures, verdict
        QCOMPARE(all[1].split('\t').last(), table->item(0, ResultsTable::VerdictColumn)->text());
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
