#include "engine/speedtester.h"
#include "engine/testplan.h"
#include "enginetestutil.h"
#include "signalrecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace enginetest;
using Event = SignalRecorder::Event;

namespace {

const QString Cancelled = "Test cancelled by user.";
const QString WriteRandomHeader = QString::fromUtf8("—— Write test (random data) ——");

QString testFile(const QString& root, int k)
{
    return root + QString("__card_speed_test_%1.dat").arg(k);
}

QString readHeader(int streams, const char* stagger)
{
    return QString::fromUtf8("—— Read test (%1 files in parallel, stagger %2s) ——")
        .arg(streams)
        .arg(stagger);
}

// A phase's final sample ends right before `end`: the card at 100 %, then these streams at
// 100 % in stream order.
void checkFinalSample(const QVector<Event>& ev, int end, const QString& progress,
                      const QString& sample, const QVector<int>& streams)
{
    const int first = end - streams.size() - 1;
    QVERIFY(first >= 0);
    QCOMPARE(ev[first].name, progress);
    QCOMPARE(ev[first].args[0].toInt(), 100);
    for (int s = 0; s < streams.size(); ++s) {
        QCOMPARE(ev[first + 1 + s].name, sample);
        QCOMPARE(ev[first + 1 + s].args.mid(0, 2), QVariantList({streams[s], 100}));
    }
}

} // namespace

class SpeedTesterTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        root = dir->path() + "/";
    }

    void planClamping();
    void testModePrecedence();
    void deletingARunningEngineWaitsForIt();
    void completeRunSignalsInOrder();
    void shortPhaseSendsOnlyTheFinalSample();
    void staggeredStreamsAndSamplingCadence();
    void stopRemovesFiles_data();
    void stopRemovesFiles();
    void failedStreamsGiveOneErrorAndFilesAreRemoved();
    void failureInReadPhaseRemovesFiles();
    void sizeBelowOneBlockIsRefused();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString root;
};

void SpeedTesterTest::planClamping()
{
    SpeedTester e;
    for (const auto& [given, kept] : {std::pair{0, 1}, {40, 16}, {-3, 1}, {16, 16}, {7, 7}}) {
        e.setStreamCount(given);
        QCOMPARE(e.plan().streamCount, kept);
    }
    for (const auto& [given, kept] : {std::pair{-5, 0}, {1500, 1500}}) {
        e.setStaggerMs(given);
        QCOMPARE(e.plan().staggerMs, kept);
    }
    for (const auto& [given, kept] : {std::pair{-2, 0}, {3, 3}}) {
        e.setRollingParams(5000, 9000, given);
        QCOMPARE(e.plan().rollRefills, kept);
    }
}

void SpeedTesterTest::testModePrecedence()
{
    TestPlan p;
    QCOMPARE(testModeOf(p), TestMode::RandomData);
    p.rollFileSize = 1 << 20; // no free bytes: not a rolling fill
    QCOMPARE(testModeOf(p), TestMode::RandomData);
    p.sourceFiles << "/x/clip.mp4";
    QCOMPARE(testModeOf(p), TestMode::ExternalFiles);
    p.rollFreeBytes = 1 << 30;
    QCOMPARE(testModeOf(p), TestMode::RollingFill);
    p.rollFileSize = 0;
    QCOMPARE(testModeOf(p), TestMode::ExternalFiles);
}

void SpeedTesterTest::deletingARunningEngineWaitsForIt()
{
    auto e = std::make_unique<SpeedTester>();
    SignalRecorder rec(e.get());
    e->setRootPath(root);
    e->setTestSize(4096 * Block); // 256 MiB: still running when deleted
    e->setBlockSize(Block);
    e->start();
    QTRY_VERIFY_WITH_TIMEOUT(rec.indexOf("log", WriteRandomHeader) >= 0, 30000);
    e.reset();
    const int seen = rec.events().size();
    QVERIFY(!QFileInfo::exists(testFile(root, 1)));
    QCOMPARE(rec.logs().last(), Cancelled);
    QCOMPARE(rec.count("writeFinished"), 0);
    QTest::qWait(300);
    QCOMPARE(rec.events().size(), seen);
}

void SpeedTesterTest::completeRunSignalsInOrder()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    // The files exist with their full size when the write phase ends; look then.
    QVector<qint64> sizesSeen;
    rec.onEvent = [&](const Event& ev) {
        for (int k = 1; k <= 4 && ev.name == "writeFinished"; ++k)
            sizesSeen.append(QFileInfo(testFile(root, k)).size());
    };
    // Each stream's size is rounded down to whole blocks; the total line counts all streams.
    QVERIFY(runRandom(e, root, 3, 400000, true));
    QCOMPARE(e.targetFiles(),
             QStringList({testFile(root, 1), testFile(root, 2), testFile(root, 3)}));
    QCOMPARE(e.fileSizes(), QVector<qint64>({6 * Block, 6 * Block, 6 * Block}));
    QCOMPARE(e.plan().testSize, 18 * Block);
    QCOMPARE(sizesSeen, QVector<qint64>({6 * Block, 6 * Block, 6 * Block, 0}));
    QCOMPARE(rec.count("testError") + rec.count("rollingFileProgress"), 0);
    QCOMPARE(rec.count("writeFinished"), 1);
    QCOMPARE(rec.count("readFinished"), 1);
    const QString w = "  Writing #%1: __card_speed_test_%1.dat";
    const QString r = "  Reading #%1: __card_speed_test_%1.dat";
    QCOMPARE(rec.logs(), QStringList({Started, "Mode: Random data (3 parallel streams)",
                                      "Total: 1 MB   Block: 64 KB", WriteRandomHeader, w.arg(1),
                                      w.arg(2), w.arg(3), rec.doneLine(true), readHeader(3, "0.0"),
                                      r.arg(1), r.arg(2), r.arg(3), rec.doneLine(false), Done}));

    // Each phase ends with: final sample, the closing progress (100, avg, avg), the finished
    // signal with the same avg, the done line.
    const QVector<Event> ev = rec.events();
    int phaseEnd = -1;
    for (const bool write : {true, false}) {
        const QString progress = write ? "writeProgress" : "readProgress";
        const QString sample = write ? "fileWriteSample" : "fileReadSample";
        const int fin = rec.indexOf(write ? "writeFinished" : "readFinished");
        QVERIFY(fin > phaseEnd);
        const double avg = ev[fin].args[0].toDouble();
        QVERIFY(avg > 0);
        QCOMPARE(ev[fin - 1].name, progress);
        QCOMPARE(ev[fin - 1].args, QVariantList({100, avg, avg}));
        QCOMPARE(ev[fin + 1].args[0].toString(), rec.doneLine(write));
        checkFinalSample(ev, fin - 1, progress, sample, {0, 1, 2});
        // Every sample of this phase lies between the previous phase's end and this one.
        for (int i = 0; i < ev.size(); ++i) {
            if (ev[i].name == progress || ev[i].name == sample) {
                QVERIFY(i > phaseEnd && i < fin);
                const int pct = ev[i].args[ev[i].name == progress ? 0 : 1].toInt();
                QVERIFY(pct >= 0 && pct <= 100);
            }
        }
        phaseEnd = fin + 1;
    }
    QVERIFY(rec.indexOf("readProgress") > rec.indexOf("log", readHeader(3, "0.0")));
    QVERIFY(entriesOf(dir->path()).isEmpty());
}

void SpeedTesterTest::shortPhaseSendsOnlyTheFinalSample()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    e.requestStop(); // made before the run begins, it is discarded
    QVERIFY(runRandom(e, root, 1, Block, false));
    // One stream: no stream start line.
    QCOMPARE(rec.logs(), QStringList({Started, "Mode: Random data", "Total: 0 MB   Block: 64 KB",
                                      WriteRandomHeader, rec.doneLine(true),
                                      "Read test disabled, skipping.", Done}));
    QCOMPARE(rec.count("readProgress"), 0);
    QVERIFY(entriesOf(dir->path()).isEmpty());
    const qint64 phaseMs = rec.named("writeFinished").value(0).ms -
                           rec.events().value(rec.indexOf("log", WriteRandomHeader)).ms;
    if (phaseMs >= 190)
        QSKIP("the machine is too loaded for a write phase below 200 ms");
    // Only the final sample and the closing progress.
    QCOMPARE(rec.count("writeProgress"), 2);
    QCOMPARE(rec.count("fileWriteSample"), 1);
    checkFinalSample(rec.events(), rec.indexOf("writeFinished") - 1, "writeProgress",
                     "fileWriteSample", {0});
}

void SpeedTesterTest::staggeredStreamsAndSamplingCadence()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    e.setStaggerMs(1200);
    QVERIFY(runRandom(e, root, 2, 2 * Block, true));
    QCOMPARE(rec.count("testError"), 0);

    const QVector<Event> ev = rec.events();
    const int header = rec.indexOf("log", WriteRandomHeader);
    const int first = rec.indexOf("log", "  Writing #1: __card_speed_test_1.dat");
    const int second = rec.indexOf("log", "  Writing #2: __card_speed_test_2.dat");
    QVERIFY(header >= 0 && first > header && second > first);
    // The stagger is timed from a moment between the header and the first stream's line; the
    // header is the bound that holds however long a busy machine takes to start that stream
    // (the stamps are whole milliseconds: 1 ms of slack).
    const qint64 span = ev[second].ms - ev[header].ms;
    QVERIFY2(span >= 1199, qPrintable(QString::number(span)));

    // Stream 2 is never sampled before its start. Stream 1 finished long before stream 2:
    // it reports 100 % once and then falls silent, also in the final sample.
    const int writeEnd = rec.indexOf("writeFinished");
    int periodic = 0;
    int stream1At100 = -1;
    for (int i = 0; i < writeEnd; ++i) {
        if (ev[i].name == "writeProgress" && i < second)
            ++periodic;
        if (ev[i].name != "fileWriteSample")
            continue;
        if (ev[i].args[0].toInt() == 1) {
            QVERIFY(i > second);
            continue;
        }
        QCOMPARE(stream1At100, -1);
        if (ev[i].args[1].toInt() == 100)
            stream1At100 = i;
    }
    QVERIFY(stream1At100 >= 0);
    // Over about 1.2 s, a sample every 200 to 250 ms (generous bounds for a loaded machine).
    QVERIFY2(periodic >= 1, "no sample while the second stream waited");
    QVERIFY2(periodic <= span / 199 + 1, "samples came faster than every 200 ms");

    QVERIFY(rec.logs().contains(readHeader(2, "1.2")));
    QCOMPARE(rec.logs().last(), Done);
    QVERIFY(entriesOf(dir->path()).isEmpty());
}

void SpeedTesterTest::stopRemovesFiles_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("text"); // for a log trigger
    QTest::addColumn<int>("streams");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("inRead");
    QTest::newRow("write, before any block")
        << "log" << WriteRandomHeader << 2 << 2048 * Block << false;
    QTest::newRow("write, mid-transfer")
        << "writeProgress" << QString() << 2 << 2048 * Block << false;
    QTest::newRow("read, before any block")
        << "log" << QString::fromUtf8("—— Read test ——") << 1 << 64 * Block << true;
}

void SpeedTesterTest::stopRemovesFiles()
{
    QFETCH(QString, trigger);
    QFETCH(QString, text);
    QFETCH(int, streams);
    QFETCH(qint64, size);
    QFETCH(bool, inRead);
    SpeedTester e;
    SignalRecorder rec(&e);
    rec.onEvent = [&](const Event& ev) {
        if (ev.name == trigger && (text.isNull() || ev.args[0].toString() == text))
            e.requestStop();
    };
    QVERIFY(runRandom(e, root, streams, size, true));
    QCOMPARE(rec.count("writeFinished"), int(inRead));
    QCOMPARE(rec.count("readFinished"), 0);
    QCOMPARE(rec.count("testError"), 0);
    // A stopped read phase ends silently: its header is the last line.
    QCOMPARE(rec.logs().last(), inRead ? text : Cancelled);
    // A stopped phase sends no closing sample, and a stopped write never reaches the read.
    for (const Event& p : rec.named(inRead ? "readProgress" : "writeProgress"))
        QVERIFY(p.args[0].toInt() < 100);
    if (!inRead)
        QCOMPARE(rec.count("readProgress"), 0);
    QVERIFY2(entriesOf(dir->path()).isEmpty(), qPrintable(entriesOf(dir->path()).join(',')));
}

void SpeedTesterTest::failedStreamsGiveOneErrorAndFilesAreRemoved()
{
    // Folders stand where the first and third streams' files should be created.
    QVERIFY(QDir(dir->path()).mkdir("__card_speed_test_3.dat"));
    QVERIFY(QDir(dir->path()).mkdir("__card_speed_test_1.dat"));
    SpeedTester e;
    SignalRecorder rec(&e);
    QVERIFY(runRandom(e, root, 4, 2 * Block, true));

    const QString text = "Cannot create target file: %1";
    QCOMPARE(rec.count("testError"), 1);
    QCOMPARE(rec.named("testError")[0].args[0].toString(),
             text.arg(testFile(root, 1)) + "\n" + text.arg(testFile(root, 3)));
    // The other streams completed: the window saw them at 100 % right before the error.
    checkFinalSample(rec.events(), rec.indexOf("testError"), "writeProgress", "fileWriteSample",
                     {1, 3});
    QCOMPARE(rec.count("writeFinished"), 0);
    QCOMPARE(rec.events().last().name, QString("testError")); // no read, no closing line
    // The run's files are gone; the folders, not the run's own, stay.
    QCOMPARE(entriesOf(dir->path()),
             QStringList({"__card_speed_test_1.dat", "__card_speed_test_3.dat"}));
}

void SpeedTesterTest::failureInReadPhaseRemovesFiles()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    // Between the phases the second file loses its last block.
    rec.onEvent = [&](const Event& ev) {
        if (ev.name == "writeFinished")
            QFile::resize(testFile(root, 2), 2 * Block);
    };
    QVERIFY(runRandom(e, root, 2, 3 * Block, true));
    QCOMPARE(rec.count("testError"), 1);
    QCOMPARE(rec.named("testError")[0].args[0].toString(),
             QString("Read failed (%1)").arg(testFile(root, 2)));
    QCOMPARE(rec.count("readFinished"), 0);
    // The final read sample precedes the error, which ends the run.
    const QVector<Event> ev = rec.events();
    QCOMPARE(ev.last().name, QString("testError"));
    checkFinalSample(ev, ev.size() - 1, "readProgress", "fileReadSample", {0, 1});
    QVERIFY(!rec.logs().contains(Done));
    QVERIFY(entriesOf(dir->path()).isEmpty());
}

void SpeedTesterTest::sizeBelowOneBlockIsRefused()
{
    // Texts are looked up when they are sent, in the language current then.
    const QString english = "Test size is smaller than block size.";
    const QString chinese = QString::fromUtf8("测试大小小于块大小。");
    for (const auto& [block, language] : {std::pair{Block, English}, {0, SimplifiedChinese}}) {
        SpeedTester e;
        SignalRecorder rec(&e);
        setLanguage(language);
        const bool ended = runRandom(e, root, 4, Block - 4096, false, block);
        setLanguage(English);
        QVERIFY(ended);
        QCOMPARE(rec.events().size(), 1);
        QCOMPARE(rec.named("testError").value(0).args.value(0).toString(),
                 language == English ? english : chinese);
        QVERIFY(e.targetFiles().isEmpty());
        QVERIFY(entriesOf(dir->path()).isEmpty());
    }
}

int runSpeedTesterTests(int argc, char** argv)
{
    SpeedTesterTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_speedtester.moc"
