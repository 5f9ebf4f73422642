#include "engine/speedtester.h"
#include "engine/testplan.h"
#include "enginetestutil.h"
#include "signalrecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace enginetest;
using Event = SignalRecorder::Event;

namespace {

const QString Started = "========== Speed test started ==========";
const QString Done = "========== Test complete ==========";
const QString Cancelled = "Test cancelled by user.";
const QString WriteRandomHeader = QString::fromUtf8("—— Write test (random data) ——");
const QRegularExpression WriteDone("^Write complete\\. Avg speed: \\d+\\.\\d\\d MB/s$");
const QRegularExpression ReadDone("^Read complete\\. Avg speed: \\d+\\.\\d\\d MB/s$");

QString testFile(const QString& root, int k)
{
    return root + QString("__card_speed_test_%1.dat").arg(k);
}

// Entries left in a folder, for "nothing of the run is left" checks.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
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

    void planDefaultsAndClamping();
    void testModePrecedence();
    void stopRequestedBeforeStartIsDiscarded();
    void deletingARunningEngineWaitsForIt();
    void randomDataRunBuildsWholeBlockFiles();
    void completeRunSignalsInOrder();
    void shortPhaseSendsOnlyTheFinalSample();
    void staggeredStreamsAndSamplingCadence();
    void stopInWritePhaseRemovesFiles();
    void stopInReadPhaseRemovesFiles();
    void failedStreamIsReportedAndFilesRemoved();
    void severalFailuresGiveOneErrorInStreamOrder();
    void failureInReadPhaseRemovesFiles();
    void sizeBelowOneBlockIsRefused();
    void textsFollowTheCurrentLanguage();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString root;
};

void SpeedTesterTest::planDefaultsAndClamping()
{
    SpeedTester e;
    QCOMPARE(e.plan().testSize, qint64(1073741824));
    QCOMPARE(e.plan().blockSize, qint64(1048576));
    QCOMPARE(e.plan().streamCount, 1);
    QCOMPARE(e.plan().staggerMs, 0);
    QVERIFY(!e.plan().readEnabled);
    QVERIFY(e.targetFiles().isEmpty());

    e.setStreamCount(0);
    QCOMPARE(e.plan().streamCount, 1);
    e.setStreamCount(40);
    QCOMPARE(e.plan().streamCount, 16);
    e.setStreamCount(-3);
    QCOMPARE(e.plan().streamCount, 1);
    e.setStreamCount(16);
    QCOMPARE(e.plan().streamCount, 16);
    e.setStreamCount(7);
    QCOMPARE(e.plan().streamCount, 7);

    e.setStaggerMs(-5);
    QCOMPARE(e.plan().staggerMs, 0);
    e.setStaggerMs(1500);
    QCOMPARE(e.plan().staggerMs, 1500);

    e.setRollingParams(5000, 9000, -2);
    QCOMPARE(e.plan().rollFileSize, qint64(5000));
    QCOMPARE(e.plan().rollFreeBytes, qint64(9000));
    QCOMPARE(e.plan().rollRefills, 0);
    e.setRollingParams(1, 2, 3);
    QCOMPARE(e.plan().rollRefills, 3);
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

void SpeedTesterTest::stopRequestedBeforeStartIsDiscarded()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    e.setRootPath(root);
    e.setTestSize(2 * Block);
    e.setBlockSize(Block);
    e.requestStop();
    e.start();
    QVERIFY(e.wait(60000));
    QCOMPARE(rec.count("writeFinished"), 1);
    QCOMPARE(rec.logs().last(), Done);
    QVERIFY(!rec.logs().contains(Cancelled));
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

void SpeedTesterTest::randomDataRunBuildsWholeBlockFiles()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    // The files exist with their full size when the write phase ends; look then.
    QVector<qint64> sizesSeen;
    rec.onEvent = [&](const Event& ev) {
        if (ev.name == "writeFinished") {
            for (int k = 1; k <= 4; ++k)
                sizesSeen.append(QFileInfo(testFile(root, k)).size());
        }
    };
    e.setRootPath(root);
    e.setStreamCount(3);
    e.setTestSize(1000000);
    e.setBlockSize(262144);
    e.start();
    QVERIFY(e.wait(60000));

    QCOMPARE(e.targetFiles(),
             QStringList({testFile(root, 1), testFile(root, 2), testFile(root, 3)}));
    QCOMPARE(e.fileSizes(), QVector<qint64>({786432, 786432, 786432}));
    QCOMPARE(e.plan().testSize, qint64(3 * 786432));
    QCOMPARE(sizesSeen, QVector<qint64>({786432, 786432, 786432, 0}));

    const QStringList logs = rec.logs();
    QCOMPARE(logs.size(), 10);
    QCOMPARE(logs.mid(0, 7), QStringList({Started, "Mode: Random data (3 parallel streams)",
                                          "Total: 2 MB   Block: 256 KB", WriteRandomHeader,
                                          "  Writing #1: __card_speed_test_1.dat",
                                          "  Writing #2: __card_speed_test_2.dat",
                                          "  Writing #3: __card_speed_test_3.dat"}));
    QVERIFY2(WriteDone.match(logs[7]).hasMatch(), qPrintable(logs[7]));
    QCOMPARE(logs[8], QString("Read test disabled, skipping."));
    QCOMPARE(logs[9], Done);
    QCOMPARE(rec.count("testError"), 0);
    QCOMPARE(rec.count("readProgress"), 0);
    QVERIFY(entriesOf(dir->path()).isEmpty());
}

void SpeedTesterTest::completeRunSignalsInOrder()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    e.setRootPath(root);
    e.setStreamCount(2);
    e.setTestSize(8 * Block);
    e.setBlockSize(Block);
    e.setReadEnabled(true);
    e.start();
    QVERIFY(e.wait(60000));

    const QVector<Event> ev = rec.events();
    QCOMPARE(rec.count("testError"), 0);
    QCOMPARE(rec.count("rollingFileProgress"), 0);
    QCOMPARE(rec.count("writeFinished"), 1);
    QCOMPARE(rec.count("readFinished"), 1);

    // Opening lines, then the write phase, then the read phase, then the closing line.
    const QStringList logs = rec.logs();
    QCOMPARE(logs.mid(0, 6), QStringList({Started, "Mode: Random data (2 parallel streams)",
                                          "Total: 1 MB   Block: 64 KB", WriteRandomHeader,
                                          "  Writing #1: __card_speed_test_1.dat",
                                          "  Writing #2: __card_speed_test_2.dat"}));
    QVERIFY(WriteDone.match(logs[6]).hasMatch());
    QCOMPARE(logs.mid(7, 3),
             QStringList({QString::fromUtf8("—— Read test (2 files in parallel, stagger 0.0s) ——"),
                          "  Reading #1: __card_speed_test_1.dat",
                          "  Reading #2: __card_speed_test_2.dat"}));
    QVERIFY(ReadDone.match(logs[10]).hasMatch());
    QCOMPARE(logs[11], Done);
    QCOMPARE(logs.size(), 12);
    QCOMPARE(ev.last().name, QString("log"));

    // Each phase ends with: final sample (card then streams at 100 %), the closing
    // progress (100, avg, avg), the finished signal with the same avg, the done line.
    const struct
    {
        const char* progress;
        const char* sample;
        const char* finished;
        QRegularExpression done;
    } phases[] = {{"writeProgress", "fileWriteSample", "writeFinished", WriteDone},
                  {"readProgress", "fileReadSample", "readFinished", ReadDone}};
    int phaseEnd = -1;
    for (const auto& ph : phases) {
        const int fin = rec.indexOf(ph.finished);
        QVERIFY(fin > phaseEnd);
        const Event& closing = ev[fin - 1];
        QCOMPARE(closing.name, QString(ph.progress));
        QCOMPARE(closing.args[0].toInt(), 100);
        const double avg = ev[fin].args[0].toDouble();
        QVERIFY(avg > 0);
        QCOMPARE(closing.args[1].toDouble(), avg);
        QCOMPARE(closing.args[2].toDouble(), avg);
        QVERIFY(ph.done.match(ev[fin + 1].args[0].toString()).hasMatch());
        QVERIFY(ev[fin + 1].args[0].toString().contains(QString::number(avg, 'f', 2)));
        // The final sample: card total at 100 % and then both streams at 100 %.
        QCOMPARE(ev[fin - 4].name, QString(ph.progress));
        QCOMPARE(ev[fin - 4].args[0].toInt(), 100);
        for (int s = 0; s < 2; ++s) {
            QCOMPARE(ev[fin - 3 + s].name, QString(ph.sample));
            QCOMPARE(ev[fin - 3 + s].args[0].toInt(), s);
            QCOMPARE(ev[fin - 3 + s].args[1].toInt(), 100);
        }
        // Every sample of this phase lies between the previous phase's end and this one.
        for (int i = 0; i < ev.size(); ++i) {
            if (ev[i].name == ph.progress || ev[i].name == ph.sample) {
                QVERIFY(i > phaseEnd && i < fin);
                const int pct = ev[i].args[ev[i].name == ph.progress ? 0 : 1].toInt();
                QVERIFY(pct >= 0 && pct <= 100);
            }
        }
        phaseEnd = fin + 1;
    }
    // Read samples never come before the read header.
    QVERIFY(rec.indexOf("readProgress") >
            rec.indexOf("log",
                        QString::fromUtf8("—— Read test (2 files in parallel, stagger 0.0s) ——")));
    QVERIFY(entriesOf(dir->path()).isEmpty());
}

void SpeedTesterTest::shortPhaseSendsOnlyTheFinalSample()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    e.setRootPath(root);
    e.setTestSize(Block);
    e.setBlockSize(Block);
    e.start();
    QVERIFY(e.wait(60000));
    const qint64 phaseMs = rec.named("writeFinished").value(0).ms -
                           rec.events().value(rec.indexOf("log", WriteRandomHeader)).ms;
    if (phaseMs >= 190)
        QSKIP("the machine is too loaded for a write phase below 200 ms");
    // Only the final sample and the closing progress.
    const QVector<Event> progress = rec.named("writeProgress");
    QCOMPARE(progress.size(), 2);
    QCOMPARE(progress[0].args[0].toInt(), 100);
    const QVector<Event> samples = rec.named("fileWriteSample");
    QCOMPARE(samples.size(), 1);
    QCOMPARE(samples[0].args[0].toInt(), 0);
    QCOMPARE(samples[0].args[1].toInt(), 100);
    // One stream: no stream start line.
    QVERIFY(!rec.logs().join('\n').contains("Writing #"));
}

void SpeedTesterTest::staggeredStreamsAndSamplingCadence()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    e.setRootPath(root);
    e.setStreamCount(2);
    e.setStaggerMs(1200);
    e.setTestSize(2 * Block);
    e.setBlockSize(Block);
    e.setReadEnabled(true);
    e.start();
    QVERIFY(e.wait(60000));
    QCOMPARE(rec.count("testError"), 0);

    const QVector<Event> ev = rec.events();
    const int first = rec.indexOf("log", "  Writing #1: __card_speed_test_1.dat");
    const int second = rec.indexOf("log", "  Writing #2: __card_speed_test_2.dat");
    QVERIFY(first >= 0 && second > first);
    QVERIFY2(ev[second].ms - ev[first].ms >= 1100, "the second stream started too early");

    // Stream 1 is sampled before stream 2 has started, stream 2 never before its start.
    const int writeEnd = rec.indexOf("writeFinished");
    int periodic = 0;
    for (int i = 0; i < writeEnd; ++i) {
        if (ev[i].name == "fileWriteSample" && ev[i].args[0].toInt() == 1)
            QVERIFY(i > second);
        if (ev[i].name == "writeProgress" && i < second)
            ++periodic;
    }
    // Stream 1 finished long before stream 2: it reports 100 % once and then falls silent,
    // also in the final sample.
    int stream1At100 = -1;
    for (int i = 0; i < writeEnd; ++i) {
        if (ev[i].name != "fileWriteSample" || ev[i].args[0].toInt() != 0)
            continue;
        QCOMPARE(stream1At100, -1);
        if (ev[i].args[1].toInt() == 100)
            stream1At100 = i;
    }
    QVERIFY(stream1At100 >= 0);
    // Over about 1.2 s, a sample every 200 to 250 ms (generous bounds for a loaded machine).
    const qint64 span = ev[second].ms - ev[first].ms;
    QVERIFY2(periodic >= 1, "no sample while the second stream waited");
    QVERIFY2(periodic <= span / 199 + 1, "samples came faster than every 200 ms");

    QVERIFY(rec.logs().contains(
        QString::fromUtf8("—— Read test (2 files in parallel, stagger 1.2s) ——")));
    QCOMPARE(rec.logs().last(), Done);
    QVERIFY(entriesOf(dir->path()).isEmpty());
}

void SpeedTesterTest::stopInWritePhaseRemovesFiles()
{
    // Stopped at the header (before any block) and at the first sample (mid-transfer).
    for (const QString& trigger : {QString("log"), QString("writeProgress")}) {
        SpeedTester e;
        SignalRecorder rec(&e);
        rec.onEvent = [&](const Event& ev) {
            if (ev.name == trigger &&
                (trigger != "log" || ev.args[0].toString() == WriteRandomHeader))
                e.requestStop();
        };
        e.setRootPath(root);
        e.setStreamCount(2);
        e.setTestSize(2048 * Block);
        e.setBlockSize(Block);
        e.setReadEnabled(true);
        e.start();
        QVERIFY(e.wait(120000));
        QCOMPARE(rec.logs().last(), Cancelled);
        QCOMPARE(rec.count("writeFinished"), 0);
        QCOMPARE(rec.count("testError"), 0);
        QCOMPARE(rec.count("readProgress"), 0);
        QVERIFY(!rec.logs().contains(Done));
        // A stopped phase sends no closing sample.
        for (const Event& p : rec.named("writeProgress"))
            QVERIFY(p.args[0].toInt() < 100);
        QVERIFY2(entriesOf(dir->path()).isEmpty(), qPrintable(entriesOf(dir->path()).join(',')));
    }
}

void SpeedTesterTest::stopInReadPhaseRemovesFiles()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    const QString readHeader = QString::fromUtf8("—— Read test ——");
    rec.onEvent = [&](const Event& ev) {
        if (ev.name == "log" && ev.args[0].toString() == readHeader)
            e.requestStop();
    };
    e.setRootPath(root);
    e.setTestSize(64 * Block);
    e.setBlockSize(Block);
    e.setReadEnabled(true);
    e.start();
    QVERIFY(e.wait(120000));
    QCOMPARE(rec.count("writeFinished"), 1);
    QCOMPARE(rec.count("readFinished"), 0);
    QCOMPARE(rec.count("testError"), 0);
    // The read phase ends silently: its header is the last line.
    QCOMPARE(rec.logs().last(), readHeader);
    QVERIFY(entriesOf(dir->path()).isEmpty());
}

void SpeedTesterTest::failedStreamIsReportedAndFilesRemoved()
{
    // A folder stands where the second stream's file should be created.
    QVERIFY(QDir(dir->path()).mkdir("__card_speed_test_2.dat"));
    SpeedTester e;
    SignalRecorder rec(&e);
    e.setRootPath(root);
    e.setStreamCount(3);
    e.setTestSize(4 * Block);
    e.setBlockSize(Block);
    e.setReadEnabled(true);
    e.start();
    QVERIFY(e.wait(60000));

    const QVector<Event> errors = rec.named("testError");
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors[0].args[0].toString(),
             QString("Cannot create target file: %1").arg(testFile(root, 2)));
    // The other streams completed: the window saw 100 % before the error.
    const QVector<Event> ev = rec.events();
    const int err = rec.indexOf("testError");
    QCOMPARE(ev[err - 1].name, QString("fileWriteSample"));
    int streamsAt100 = 0;
    for (int i = err - 1; i >= 0 && ev[i].name == "fileWriteSample"; --i) {
        QVERIFY(ev[i].args[0].toInt() != 1);
        streamsAt100 += ev[i].args[1].toInt() == 100;
    }
    QCOMPARE(streamsAt100, 2);
    QCOMPARE(ev[err - 3].name, QString("writeProgress"));
    QCOMPARE(ev[err - 3].args[0].toInt(), 100);
    QCOMPARE(rec.count("writeFinished"), 0);
    QCOMPARE(rec.count("readProgress"), 0);
    QVERIFY(!rec.logs().contains(Done));
    QVERIFY(!rec.logs().contains(Cancelled));
    // The run's files are gone; the folder, not the run's own, stays.
    QCOMPARE(entriesOf(dir->path()), QStringList({"__card_speed_test_2.dat"}));
}

void SpeedTesterTest::severalFailuresGiveOneErrorInStreamOrder()
{
    QVERIFY(QDir(dir->path()).mkdir("__card_speed_test_3.dat"));
    QVERIFY(QDir(dir->path()).mkdir("__card_speed_test_1.dat"));
    SpeedTester e;
    SignalRecorder rec(&e);
    e.setRootPath(root);
    e.setStreamCount(4);
    e.setTestSize(Block);
    e.setBlockSize(Block);
    e.start();
    QVERIFY(e.wait(60000));
    const QString text = "Cannot create target file: %1";
    QCOMPARE(rec.named("testError").size(), 1);
    QCOMPARE(rec.named("testError")[0].args[0].toString(),
             text.arg(testFile(root, 1)) + "\n" + text.arg(testFile(root, 3)));
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
    e.setRootPath(root);
    e.setStreamCount(2);
    e.setTestSize(3 * Block);
    e.setBlockSize(Block);
    e.setReadEnabled(true);
    e.start();
    QVERIFY(e.wait(60000));
    QCOMPARE(rec.named("testError").size(), 1);
    QCOMPARE(rec.named("testError")[0].args[0].toString(),
             QString("Read failed (%1)").arg(testFile(root, 2)));
    QCOMPARE(rec.count("readFinished"), 0);
    const QVector<Event> ev = rec.events();
    QCOMPARE(ev.last().name, QString("testError"));
    // The final read sample (card total at 100 %, then the streams) precedes the error.
    int i = ev.size() - 2;
    while (i > 0 && ev[i].name == "fileReadSample")
        --i;
    QVERIFY(i < ev.size() - 2);
    QCOMPARE(ev[i].name, QString("readProgress"));
    QCOMPARE(ev[i].args[0].toInt(), 100);
    QVERIFY(!rec.logs().contains(Done));
    QVERIFY(entriesOf(dir->path()).isEmpty());
}

void SpeedTesterTest::sizeBelowOneBlockIsRefused()
{
    for (const qint64 block : {Block, qint64(0)}) {
        SpeedTester e;
        SignalRecorder rec(&e);
        e.setRootPath(root);
        e.setStreamCount(4);
        e.setTestSize(Block - 4096);
        e.setBlockSize(block);
        e.start();
        QVERIFY(e.wait(60000));
        QCOMPARE(rec.events().size(), 1);
        QCOMPARE(rec.named("testError").value(0).args.value(0).toString(),
                 QString("Test size is smaller than block size."));
        QVERIFY(e.targetFiles().isEmpty());
        QVERIFY(entriesOf(dir->path()).isEmpty());
    }
}

void SpeedTesterTest::textsFollowTheCurrentLanguage()
{
    SpeedTester e;
    SignalRecorder rec(&e);
    e.setRootPath(root);
    e.setTestSize(Block);
    e.setBlockSize(Block);
    setLanguage(SimplifiedChinese);
    e.start();
    const bool ended = e.wait(60000);
    setLanguage(English);
    QVERIFY(ended);
    QCOMPARE(rec.logs().value(0), QString::fromUtf8("========== 速度测试开始 =========="));
    QVERIFY(!rec.logs().contains(Done));
}

int runSpeedTesterTests(int argc, char** argv)
{
    SpeedTesterTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_speedtester.moc"
