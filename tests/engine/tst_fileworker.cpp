#include "engine/fileworker.h"
#include "engine/testplan.h"
#include "enginetestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace enginetest;

namespace {

const int WriteJob = static_cast<int>(WorkerMode::Write);
const int ReadJob = static_cast<int>(WorkerMode::Read);

// Runs one job to its end on its own thread and hands the finished worker back.
std::unique_ptr<FileWorker> runJob(int mode, const QString& source, const QString& target,
                                   qint64 total, qint64 block,
                                   const std::atomic<int>* stop = nullptr)
{
    auto w = std::make_unique<FileWorker>(mode, source, target, total, block, stop);
    w->start();
    w->wait();
    return w;
}

const QByteArray PatternHead = QByteArray::fromHex("b7207d4742911d8e");

} // namespace

class FileWorkerTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(dir.isValid()); }

    void randomWriteRepeatsThePatternInEveryBlock();
    void onlyWholeBlocksAreTransferred();
    void jobBelowOneBlockSucceedsWithNothingMoved();
    void copyHoldsTheSourcesWholeBlocks();
    void shortCopySourceFailsAfterItsWholeBlocks();
    void shortFileFailsReadBack();
    void readBackOfAWrittenFileSucceeds();
    void stopBeforeTheFirstBlock();
    void stopFlagIsSeenBetweenBlocks();
    void openFailuresNameTheFile();
    void openFailuresFollowTheLanguage();
    void unusableBlockSizeIsABufferFailure();
    void progressStampsTheLastCountedBlock();
    void progressIsReadAsOneConsistentPair();

private:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

void FileWorkerTest::randomWriteRepeatsThePatternInEveryBlock()
{
    const QString target = path("r.dat");
    auto w = runJob(WriteJob, QString(), target, 3 * Block, Block);
    QVERIFY(w->succeeded());
    QVERIFY(w->errorString().isEmpty());
    QCOMPARE(w->bytesDone(), 3 * Block);

    const QByteArray data = readAll(target);
    QCOMPARE(data.size(), int(3 * Block));
    const QByteArray first = data.left(int(Block));
    for (int b = 0; b < 3; ++b) {
        QCOMPARE(data.mid(int(b * Block), 8), PatternHead);
        QVERIFY(data.mid(int(b * Block), int(Block)) == first);
    }
    // The pattern is not a short repetition: the words keep changing through the block.
    QVERIFY(first.mid(8, 8) != PatternHead);
    QVERIFY(first.right(8) != PatternHead);

    // A second worker (another stream) writes the very same bytes.
    const QString other = path("r2.dat");
    auto w2 = runJob(WriteJob, QString(), other, Block, Block);
    QVERIFY(w2->succeeded());
    QVERIFY(readAll(other) == first);
}

void FileWorkerTest::onlyWholeBlocksAreTransferred()
{
    const QString target = path("half.dat");
    auto w = runJob(WriteJob, QString(), target, 2 * Block + Block / 2, Block);
    QVERIFY(w->succeeded());
    QCOMPARE(w->bytesDone(), 2 * Block);
    QCOMPARE(QFileInfo(target).size(), 2 * Block);

    auto r = runJob(ReadJob, QString(), target, 2 * Block + Block / 2, Block);
    QVERIFY2(r->succeeded(), qPrintable(r->errorString()));
    QCOMPARE(r->bytesDone(), 2 * Block);
}

void FileWorkerTest::jobBelowOneBlockSucceedsWithNothingMoved()
{
    const QString target = path("tiny.dat");
    auto w = runJob(WriteJob, QString(), target, Block - 1, Block);
    QVERIFY(w->succeeded());
    QCOMPARE(w->bytesDone(), qint64(0));
    QVERIFY(QFileInfo::exists(target));
    QCOMPARE(QFileInfo(target).size(), qint64(0));

    auto r = runJob(ReadJob, QString(), target, Block - 1, Block);
    QVERIFY(r->succeeded());
    QCOMPARE(r->bytesDone(), qint64(0));
}

void FileWorkerTest::copyHoldsTheSourcesWholeBlocks()
{
    const QString source = path("src.bin");
    const QByteArray content = distinctBytes(3 * Block + 1000, 7);
    QVERIFY(writeAll(source, content));
    const QString target = path("copy.bin");
    auto w = runJob(WriteJob, source, target, 3 * Block, Block);
    QVERIFY2(w->succeeded(), qPrintable(w->errorString()));
    QCOMPARE(w->bytesDone(), 3 * Block);
    QVERIFY(readAll(target) == content.left(int(3 * Block)));
    // The source is only read.
    QVERIFY(readAll(source) == content);
}

void FileWorkerTest::shortCopySourceFailsAfterItsWholeBlocks()
{
    const QString source = path("short.bin");
    const QByteArray content = distinctBytes(2 * Block + 100, 3);
    QVERIFY(writeAll(source, content));
    const QString target = path("copy.bin");
    auto w = runJob(WriteJob, source, target, 4 * Block, Block);
    QVERIFY(!w->succeeded());
    QCOMPARE(w->errorString(), QString("Reading source file failed (%1)").arg(source));
    QCOMPARE(w->bytesDone(), 2 * Block);
    // The partly written target stays; the engine removes it.
    QVERIFY(readAll(target) == content.left(int(2 * Block)));
}

void FileWorkerTest::shortFileFailsReadBack()
{
    const QString target = path("one.dat");
    QVERIFY(runJob(WriteJob, QString(), target, Block, Block)->succeeded());
    auto r = runJob(ReadJob, QString(), target, 3 * Block, Block);
    QVERIFY(!r->succeeded());
    QCOMPARE(r->errorString(), QString("Read failed (%1)").arg(target));
    QCOMPARE(r->bytesDone(), Block);
}

void FileWorkerTest::readBackOfAWrittenFileSucceeds()
{
    const QString target = path("rb.dat");
    QVERIFY(runJob(WriteJob, QString(), target, 4 * Block, 2 * Block)->succeeded());
    auto r = runJob(ReadJob, QString(), target, 4 * Block, 2 * Block);
    QVERIFY2(r->succeeded(), qPrintable(r->errorString()));
    QCOMPARE(r->bytesDone(), 4 * Block);
}

void FileWorkerTest::stopBeforeTheFirstBlock()
{
    std::atomic<int> stop{1};
    const QString target = path("stopped.dat");
    auto w = runJob(WriteJob, QString(), target, 4 * Block, Block, &stop);
    QVERIFY(!w->succeeded());
    QVERIFY(w->errorString().isEmpty());
    QCOMPARE(w->bytesDone(), qint64(0));
    QVERIFY(QFileInfo::exists(target));
    QCOMPARE(QFileInfo(target).size(), qint64(0));

    // Any non-zero value stops, and a read job stops the same way.
    QVERIFY(writeAll(path("full.dat"), distinctBytes(2 * Block, 1)));
    stop = -7;
    auto r = runJob(ReadJob, QString(), path("full.dat"), 2 * Block, Block, &stop);
    QVERIFY(!r->succeeded());
    QVERIFY(r->errorString().isEmpty());
    QCOMPARE(r->bytesDone(), qint64(0));
}

void FileWorkerTest::stopFlagIsSeenBetweenBlocks()
{
    // A large job stopped while it runs ends early, short of its total, without an error.
    std::atomic<int> stop{0};
    const qint64 total = 4096 * Block; // 256 MiB: far longer than the moment we wait
    FileWorker w(WriteJob, QString(), path("long.dat"), total, Block, &stop);
    w.start();
    QTRY_VERIFY_WITH_TIMEOUT(w.bytesDone() > 0 || w.isFinished(), 20000);
    stop.store(1);
    QVERIFY(w.wait(60000));
    QVERIFY(!w.succeeded());
    QVERIFY(w.errorString().isEmpty());
    QVERIFY(w.bytesDone() < total);
    QCOMPARE(w.bytesDone() % Block, qint64(0));
    QCOMPARE(QFileInfo(path("long.dat")).size(), w.bytesDone());
}

void FileWorkerTest::openFailuresNameTheFile()
{
    const QString missing = path("nope/missing.dat");
    auto r = runJob(ReadJob, QString(), missing, Block, Block);
    QVERIFY(!r->succeeded());
    QCOMPARE(r->errorString(), QString("Cannot open file for reading: %1").arg(missing));

    const QString target = path("t.dat");
    auto c = runJob(WriteJob, missing, target, Block, Block);
    QVERIFY(!c->succeeded());
    QCOMPARE(c->errorString(), QString("Cannot open source file: %1").arg(missing));
    QVERIFY(!QFileInfo::exists(target)); // nothing is created when the source is missing

    const QString source = path("s.bin");
    QVERIFY(writeAll(source, distinctBytes(Block, 9)));
    const QString folder = path("folder");
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    auto t = runJob(WriteJob, source, folder, Block, Block);
    QVERIFY(!t->succeeded());
    QCOMPARE(t->errorString(), QString("Cannot create target file: %1").arg(folder));

    auto rw = runJob(WriteJob, QString(), missing, Block, Block);
    QVERIFY(!rw->succeeded());
    QCOMPARE(rw->errorString(), QString("Cannot create target file: %1").arg(missing));
    QCOMPARE(rw->bytesDone(), qint64(0));
}

void FileWorkerTest::openFailuresFollowTheLanguage()
{
    const QString missing = path("gone.dat");
    setLanguage(SimplifiedChinese);
    auto r = runJob(ReadJob, QString(), missing, Block, Block);
    auto c = runJob(WriteJob, missing, path("x.dat"), Block, Block);
    setLanguage(English);
    QCOMPARE(r->errorString(), QString::fromUtf8("无法读取文件: %1").arg(missing));
    QCOMPARE(c->errorString(), QString::fromUtf8("无法打开源文件: %1").arg(missing));
}

void FileWorkerTest::unusableBlockSizeIsABufferFailure()
{
    const QString target = path("z.dat");
    auto w = runJob(WriteJob, QString(), target, Block, 0);
    QVERIFY(!w->succeeded());
    QCOMPARE(w->errorString(), QString("Failed to allocate I/O buffer"));
    QVERIFY(!QFileInfo::exists(target));
}

void FileWorkerTest::progressStampsTheLastCountedBlock()
{
    // Speeds are measured between block completions, so the stamp must belong to the count:
    // taken while the job ran, after the job began, and the same pair through both readers.
    const qint64 before = BlockProgress::steadyNowNs();
    auto w = runJob(WriteJob, QString(), path("s.dat"), 6 * Block, Block);
    const qint64 after = BlockProgress::steadyNowNs();
    QVERIFY(w->succeeded());
    const BlockProgress::Snapshot p = w->progress();
    QCOMPARE(p.bytes, 6 * Block);
    QCOMPARE(p.bytes, w->bytesDone());
    QVERIFY(p.stampNs > before);
    QVERIFY(p.stampNs <= after);

    auto none = runJob(WriteJob, QString(), path("e.dat"), Block - 1, Block);
    QVERIFY(none->succeeded());
    QCOMPARE(none->progress().bytes, qint64(0));
    QCOMPARE(none->progress().stampNs, qint64(0));
}

void FileWorkerTest::progressIsReadAsOneConsistentPair()
{
    // One thread publishes pairs tied by bytes == stamp * 4096 as fast as it can while this
    // thread reads: a torn read (new bytes with an old stamp or the reverse) breaks the tie.
    BlockProgress progress;
    std::atomic<bool> done{false};
    const qint64 rounds = 2000000;
    std::unique_ptr<QThread> writer(QThread::create([&] {
        for (qint64 k = 1; k <= rounds; ++k)
            progress.publish(k * 4096, k);
        done.store(true);
    }));
    writer->start();
    qint64 reads = 0;
    qint64 lastBytes = 0;
    while (!done.load()) {
        const BlockProgress::Snapshot s = progress.load();
        QCOMPARE(s.bytes, s.stampNs * 4096);
        QVERIFY(s.bytes >= lastBytes); // the counter only grows
        lastBytes = s.bytes;
        ++reads;
    }
    writer->wait();
    QCOMPARE(progress.load().bytes, rounds * 4096);
    QVERIFY(reads > 0);
}

int runFileWorkerTests(int argc, char** argv)
{
    FileWorkerTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_fileworker.moc"
