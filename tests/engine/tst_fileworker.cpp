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

} // namespace

class FileWorkerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void writeAndReadBackWholeBlocks_data();
    void writeAndReadBackWholeBlocks();
    void failuresNameTheFile_data();
    void failuresNameTheFile();
    void stopBeforeTheFirstBlock();
    void stopFlagIsSeenBetweenBlocks();
    void progressIsReadAsOneConsistentPair();

private:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

void FileWorkerTest::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(writeAll(path("one.dat"), distinctBytes(Block, 1)));
    QVERIFY(writeAll(path("s.bin"), distinctBytes(Block, 9)));
    QVERIFY(writeAll(path("short.bin"), distinctBytes(2 * Block + 100, 3)));
    QVERIFY(QDir(dir.path()).mkdir("folder"));
}

void FileWorkerTest::writeAndReadBackWholeBlocks_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("block");
    QTest::addColumn<qint64>("moved");
    QTest::newRow("whole blocks") << 3 * Block << Block << 3 * Block;
    QTest::newRow("larger blocks") << 4 * Block << 2 * Block << 4 * Block;
    QTest::newRow("partial block dropped") << 2 * Block + Block / 2 << Block << 2 * Block;
    QTest::newRow("below one block") << Block - 1 << Block << qint64(0);
}

void FileWorkerTest::writeAndReadBackWholeBlocks()
{
    QFETCH(qint64, total);
    QFETCH(qint64, block);
    QFETCH(qint64, moved);
    const QString target = path(QString("w%1-%2.dat").arg(total).arg(block));
    const qint64 before = BlockProgress::steadyNowNs();
    auto w = runJob(WriteJob, QString(), target, total, block);
    const qint64 after = BlockProgress::steadyNowNs();
    QVERIFY(w->succeeded());
    QVERIFY(w->errorString().isEmpty());
    QCOMPARE(w->bytesDone(), moved);
    QVERIFY(QFileInfo::exists(target));
    // Speeds are measured between block completions, so the stamp must belong to the count.
    const BlockProgress::Snapshot p = w->progress();
    QCOMPARE(p.bytes, moved);
    if (moved == 0) {
        QCOMPARE(p.stampNs, qint64(0));
    } else {
        QVERIFY(p.stampNs > before);
        QVERIFY(p.stampNs <= after);
    }

    // Every block of every file carries the same pattern, and it is no short repetition.
    const QByteArray data = readAll(target);
    QCOMPARE(data.size(), int(moved));
    const QByteArray head = QByteArray::fromHex("b7207d4742911d8e");
    QByteArray pattern(int(block), Qt::Uninitialized);
    FileWorker::fillPattern(pattern.data(), block);
    QCOMPARE(pattern.left(8), head);
    QCOMPARE(pattern.indexOf(head, 1), -1);
    for (qint64 b = 0; b < moved; b += block)
        QVERIFY(data.mid(int(b), int(block)) == pattern);

    auto r = runJob(ReadJob, QString(), target, total, block);
    QVERIFY2(r->succeeded(), qPrintable(r->errorString()));
    QCOMPARE(r->bytesDone(), moved);
}

void FileWorkerTest::failuresNameTheFile_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("block");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("message");
    QTest::addColumn<qint64>("moved");
    QTest::addColumn<bool>("targetExists");
    const auto row = [](const char* tag, int mode, const QString& source, const QString& target,
                        qint64 total, const QString& message, qint64 moved, bool targetExists,
                        qint64 block = Block, Language language = English) {
        QTest::newRow(tag) << mode << source << target << total << block << int(language) << message
                           << moved << targetExists;
    };
    const QString missing = path("nope/missing.dat");
    const QString gone = path("gone.dat");
    row("short file read back", ReadJob, {}, path("one.dat"), 3 * Block,
        QString("Read failed (%1)").arg(path("one.dat")), Block, true);
    // The partly written target stays; the engine removes it.
    row("short copy source", WriteJob, path("short.bin"), path("part.bin"), 4 * Block,
        QString("Reading source file failed (%1)").arg(path("short.bin")), 2 * Block, true);
    row("read missing", ReadJob, {}, missing, Block,
        QString("Cannot open file for reading: %1").arg(missing), 0, false);
    row("copy missing source", WriteJob, missing, path("t.dat"), Block,
        QString("Cannot open source file: %1").arg(missing), 0, false);
    row("copy onto folder", WriteJob, path("s.bin"), path("folder"), Block,
        QString("Cannot create target file: %1").arg(path("folder")), 0, true);
    row("random into missing folder", WriteJob, {}, missing, Block,
        QString("Cannot create target file: %1").arg(missing), 0, false);
    row("unusable block size", WriteJob, {}, path("z.dat"), Block, "Failed to allocate I/O buffer",
        0, false, 0);
    row("read missing, Chinese", ReadJob, {}, gone, Block,
        QString::fromUtf8("无法读取文件: %1").arg(gone), 0, false, Block, SimplifiedChinese);
    row("copy missing source, Chinese", WriteJob, gone, path("x.dat"), Block,
        QString::fromUtf8("无法打开源文件: %1").arg(gone), 0, false, Block, SimplifiedChinese);
}

void FileWorkerTest::failuresNameTheFile()
{
    QFETCH(int, mode);
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(qint64, total);
    QFETCH(qint64, block);
    QFETCH(int, language);
    QFETCH(QString, message);
    QFETCH(qint64, moved);
    QFETCH(bool, targetExists);
    setLanguage(Language(language));
    auto w = runJob(mode, source, target, total, block);
    setLanguage(English);
    QVERIFY(!w->succeeded());
    QCOMPARE(w->errorString(), message);
    QCOMPARE(w->bytesDone(), moved);
    QCOMPARE(QFileInfo::exists(target), targetExists);
    if (mode == WriteJob && moved > 0)
        QVERIFY(readAll(target) == readAll(source).left(int(moved)));
}

void FileWorkerTest::stopBeforeTheFirstBlock()
{
    // Any non-zero value stops, and a read job stops the same way.
    for (const int value : {1, -7}) {
        std::atomic<int> stop{value};
        const QString target = path(QString("stopped%1.dat").arg(value));
        auto w = runJob(WriteJob, QString(), target, 4 * Block, Block, &stop);
        auto r = runJob(ReadJob, QString(), path("short.bin"), 2 * Block, Block, &stop);
        for (const auto* job : {w.get(), r.get()}) {
            QVERIFY(!job->succeeded());
            QVERIFY(job->errorString().isEmpty());
            QCOMPARE(job->bytesDone(), qint64(0));
        }
        QVERIFY(QFileInfo::exists(target));
        QCOMPARE(QFileInfo(target).size(), qint64(0));
    }
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
