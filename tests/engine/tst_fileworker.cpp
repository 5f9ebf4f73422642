#include "engine/fileworker.h"
#include "engine/fillcheck.h"
#include "engine/speedtester.h"
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

const quint64 RunId = 0x0123456789abcdefULL;
const quint32 FileIndex = 5;

// Runs one job to its end on its own thread and hands the finished worker back.
std::unique_ptr<FileWorker> runJob(int mode, const QString& source, const QString& target,
                                   qint64 total, qint64 block,
                                   const std::atomic<int>* stop = nullptr, quint64 runId = RunId,
                                   quint32 fileIndex = FileIndex)
{
    auto w = std::make_unique<FileWorker>(mode, source, target, total, block, stop);
    w->setStreamIdentity(runId, fileIndex);
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
    void readBackFindsChangedBlocks_data();
    void readBackFindsChangedBlocks();
    void copyCheckFindsChangedCardFile_data();
    void copyCheckFindsChangedCardFile();
    void engineReportsEachDamagedFile();
    void fillCheckFindsOverwrittenFiles_data();
    void fillCheckFindsOverwrittenFiles();
    void rollingFillChecksEachFill_data();
    void rollingFillChecksEachFill();

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

    // Every block carries the same pattern, no short repetition, but for its last 16 bytes:
    // the run's number, the file's index and the block's index, little-endian.
    const QByteArray data = readAll(target);
    QCOMPARE(data.size(), int(moved));
    const QByteArray head = QByteArray::fromHex("b7207d4742911d8e");
    QByteArray pattern(int(block), Qt::Uninitialized);
    FileWorker::fillPattern(pattern.data(), block);
    QCOMPARE(pattern.left(8), head);
    QCOMPARE(pattern.indexOf(head, 1), -1);
    const int body = int(block) - 16;
    for (qint64 b = 0; b < moved / block; ++b) {
        const QByteArray got = data.mid(int(b * block), int(block));
        QVERIFY(got.left(body) == pattern.left(body));
        QByteArray stamp = QByteArray::fromHex("efcdab8967452301"
                                               "05000000");
        for (int i = 0; i < 4; ++i)
            stamp.append(char(b >> (8 * i)));
        QCOMPARE(got.mid(body), stamp);
    }

    auto r = runJob(ReadJob, QString(), target, total, block);
    QVERIFY2(r->succeeded(), qPrintable(r->errorString()));
    QCOMPARE(r->bytesDone(), moved);
    QCOMPARE(r->badBlocks(), qint64(0));
    QCOMPARE(r->firstBadOffset(), qint64(-1));
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

void FileWorkerTest::readBackFindsChangedBlocks_data()
{
    // A file of 6 blocks written as run RunId, file FileIndex; then damaged on disk.
    QTest::addColumn<QVector<qint64>>("flips"); // byte offsets whose lowest bit is inverted
    QTest::addColumn<int>("copyFrom");          // block copied over block copyTo, -1 none
    QTest::addColumn<int>("copyTo");
    QTest::addColumn<quint64>("readRun");
    QTest::addColumn<quint32>("readFile");
    QTest::addColumn<qint64>("bad");
    QTest::addColumn<qint64>("first");
    const QVector<qint64> none;
    QTest::newRow("clean") << none << -1 << -1 << RunId << FileIndex << qint64(0) << qint64(-1);
    QTest::newRow("one bit in block 2") << QVector<qint64>{2 * Block + 1000} << -1 << -1 << RunId
                                        << FileIndex << qint64(1) << 2 * Block;
    QTest::newRow("first byte of a block")
        << QVector<qint64>{4 * Block} << -1 << -1 << RunId << FileIndex << qint64(1) << 4 * Block;
    QTest::newRow("last byte of the stamp")
        << QVector<qint64>{Block - 1} << -1 << -1 << RunId << FileIndex << qint64(1) << qint64(0);
    QTest::newRow("two blocks, found in order")
        << QVector<qint64>{5 * Block + 7, 3 * Block + 9, 3 * Block + 10} << -1 << -1 << RunId
        << FileIndex << qint64(2) << 3 * Block;
    // A wrapping card hands back another block's data: the pattern matches, the stamp not.
    QTest::newRow("another block's data")
        << none << 1 << 4 << RunId << FileIndex << qint64(1) << 4 * Block;
    QTest::newRow("another run's file")
        << none << -1 << -1 << RunId + 1 << FileIndex << qint64(6) << qint64(0);
    QTest::newRow("another stream's file")
        << none << -1 << -1 << RunId << FileIndex + 1 << qint64(6) << qint64(0);
}

void FileWorkerTest::readBackFindsChangedBlocks()
{
    QFETCH(QVector<qint64>, flips);
    QFETCH(int, copyFrom);
    QFETCH(int, copyTo);
    QFETCH(quint64, readRun);
    QFETCH(quint32, readFile);
    QFETCH(qint64, bad);
    QFETCH(qint64, first);
    const QString target = path(QString("damaged-%1.dat").arg(QTest::currentDataTag()));
    const qint64 total = 6 * Block;
    auto w = runJob(WriteJob, QString(), target, total, Block);
    QVERIFY(w->succeeded());

    QByteArray data = readAll(target);
    for (const qint64 at : flips)
        data[int(at)] = char(data[int(at)] ^ 1);
    if (copyFrom >= 0)
        data.replace(int(copyTo * Block), int(Block), data.mid(int(copyFrom * Block), int(Block)));
    QVERIFY(writeAll(target, data));

    auto r = runJob(ReadJob, QString(), target, total, Block, nullptr, readRun, readFile);
    // Bad data is a finding about the card, not a failure of the read.
    QVERIFY2(r->succeeded(), qPrintable(r->errorString()));
    QCOMPARE(r->bytesDone(), total);
    QCOMPARE(r->badBlocks(), bad);
    QCOMPARE(r->firstBadOffset(), first);
}

void FileWorkerTest::copyCheckFindsChangedCardFile_data()
{
    QTest::addColumn<qint64>("flip");       // card byte changed after the copy, -1 none
    QTest::addColumn<qint64>("sourceSize"); // the source's size when read back
    QTest::addColumn<qint64>("bad");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<bool>("sourceShort"); // reading ends with "Reading source file failed"
    const qint64 size = 5 * Block;
    QTest::newRow("clean") << qint64(-1) << size << qint64(0) << qint64(-1) << false;
    QTest::newRow("card byte in block 3")
        << 3 * Block + 77 << size << qint64(1) << 3 * Block << false;
    QTest::newRow("card's first byte") << qint64(0) << size << qint64(1) << qint64(0) << false;
    QTest::newRow("card's last byte") << size - 1 << size << qint64(1) << 4 * Block << false;
    // A source cut short since the copy: nothing to check the rest against, an error.
    QTest::newRow("source cut short") << qint64(-1) << 2 * Block << qint64(0) << qint64(-1) << true;
}

void FileWorkerTest::copyCheckFindsChangedCardFile()
{
    QFETCH(qint64, flip);
    QFETCH(qint64, sourceSize);
    QFETCH(qint64, bad);
    QFETCH(qint64, first);
    QFETCH(bool, sourceShort);
    const QString tag = QTest::currentDataTag();
    const QString source = path("src-" + tag + ".bin");
    const QString card = path("card-" + tag + ".bin");
    const qint64 size = 5 * Block;
    // The source's own bytes differ from block to block, so a shifted block is caught too.
    QVERIFY(writeAll(source, distinctBytes(size + 100, 41)));
    auto w = runJob(WriteJob, source, card, size, Block);
    QVERIFY(w->succeeded());
    QVERIFY(readAll(card) == readAll(source).left(int(size)));

    if (flip >= 0) {
        QByteArray data = readAll(card);
        data[int(flip)] = char(~data[int(flip)]);
        QVERIFY(writeAll(card, data));
    }
    if (sourceSize < size)
        QVERIFY(QFile::resize(source, sourceSize));

    auto r = runJob(ReadJob, source, card, size, Block);
    QCOMPARE(r->badBlocks(), bad);
    QCOMPARE(r->firstBadOffset(), first);
    if (sourceShort) {
        QVERIFY(!r->succeeded());
        QCOMPARE(r->errorString(), QString("Reading source file failed (%1)").arg(source));
        QVERIFY(r->bytesDone() >= sourceSize);
    } else {
        QVERIFY2(r->succeeded(), qPrintable(r->errorString()));
        QCOMPARE(r->bytesDone(), size);
    }
}

void FileWorkerTest::engineReportsEachDamagedFile()
{
    // Three streams; between the write and the read phase the files of streams 1 and 3 are
    // damaged. The read phase names each of them once, with its count and first offset, and
    // the run still completes: bad data fails the verdict, not the run.
    QTemporaryDir card;
    QVERIFY(card.isValid());
    const QString root = card.path() + "/";
    SpeedTester e;
    const auto file = [&](int k) { return root + QString("__card_speed_test_%1.dat").arg(k); };
    QStringList logs;
    QVector<QVariantList> mismatches;
    connect(
        &e, &SpeedTester::log, this, [&](const QString& line) { logs << line; },
        Qt::DirectConnection);
    connect(
        &e, &SpeedTester::dataMismatch, this,
        [&](int idx, const QString& p, qlonglong n, qlonglong at) {
            mismatches.append({idx, p, n, at});
        },
        Qt::DirectConnection);
    connect(
        &e, &SpeedTester::writeFinished, this,
        [&] {
            for (const auto& [k, offsets] :
                 {std::pair<int, QVector<qint64>>{1, {3 * Block + 5}},
                  std::pair<int, QVector<qint64>>{3, {2 * Block, 7 * Block + 1}}}) {
                QByteArray data = readAll(file(k));
                for (const qint64 at : offsets)
                    data[int(at)] = char(data[int(at)] ^ 0x80);
                writeAll(file(k), data);
            }
        },
        Qt::DirectConnection);
    QVERIFY(runRandom(e, root, 3, 8 * Block, true));
    QCOMPARE(mismatches.size(), 2);
    QCOMPARE(mismatches[0], QVariantList({0, file(1), 1, 3 * Block}));
    QCOMPARE(mismatches[1], QVariantList({2, file(3), 2, 2 * Block}));
    QVERIFY(logs.contains(QString::fromUtf8("Data check failed: %1 — blocks not as written: 1, "
                                            "the first at byte offset %2")
                              .arg(file(1))
                              .arg(3 * Block)));
    QCOMPARE(logs.last(), Done);
    QVERIFY(entriesOf(card.path()).isEmpty());
}

void FileWorkerTest::fillCheckFindsOverwrittenFiles_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("lastLog");
    QTest::newRow("clean") << "none" << int(FillCheck::Outcome::Clean)
                           << "  Fill 2/3: all data read back intact";
    // As a card that wraps around does: a late file's block lands on an early file's.
    QTest::newRow("wrapped") << "wrap" << int(FillCheck::Outcome::BadData)
                             << QString::fromUtf8("Data check failed: %1 — blocks not as "
                                                  "written: 1, the first at byte offset %2")
                                    .arg(path("fill-0.dat"))
                                    .arg(2 * Block);
    QTest::newRow("file gone") << "remove" << int(FillCheck::Outcome::Failed)
                               << "  Verifying the data of fill 2/3";
}

void FileWorkerTest::fillCheckFindsOverwrittenFiles()
{
    QFETCH(QString, damage);
    QFETCH(int, outcome);
    QFETCH(QString, lastLog);
    // Three files of a fill, the test's files 10 to 12, each 4 blocks long.
    QVector<FillCheck::File> files;
    for (int k = 0; k < 3; ++k) {
        const FillCheck::File f{path(QString("fill-%1.dat").arg(k)), 4 * Block, quint32(10 + k)};
        auto w = runJob(WriteJob, QString(), f.path, f.bytes, Block, nullptr, RunId, f.index);
        QVERIFY(w->succeeded());
        files.append(f);
    }
    if (damage == "wrap") {
        QByteArray early = readAll(files[0].path);
        early.replace(int(2 * Block), int(Block), readAll(files[2].path).mid(0, int(Block)));
        QVERIFY(writeAll(files[0].path, early));
    } else if (damage == "remove") {
        QVERIFY(QFile::remove(files[1].path));
    }

    SpeedTester e;
    QStringList logs, errors;
    QVector<QVariantList> mismatches;
    connect(&e, &SpeedTester::log, this, [&](const QString& l) { logs << l; });
    connect(&e, &SpeedTester::testError, this, [&](const QString& m) { errors << m; });
    connect(&e, &SpeedTester::dataMismatch, this,
            [&](int i, const QString& p, qlonglong n, qlonglong at) {
                mismatches.append({i, p, n, at});
            });
    std::atomic<int> stop{0};
    const auto result = FillCheck::run(e, files, RunId, Block, &stop, 2, 3);
    QCOMPARE(int(result), outcome);
    QCOMPARE(logs.first(), QString("  Verifying the data of fill 2/3"));
    QCOMPARE(logs.last(), lastLog);
    QCOMPARE(mismatches.size(), damage == "wrap" ? 1 : 0);
    if (damage == "wrap")
        QCOMPARE(mismatches[0], QVariantList({0, files[0].path, 1, 2 * Block}));
    QCOMPARE(errors,
             damage == "remove"
                 ? QStringList{QString("Cannot open file for reading: %1").arg(files[1].path)}
                 : QStringList());
}

void FileWorkerTest::rollingFillChecksEachFill_data()
{
    QTest::addColumn<bool>("verify");
    QTest::newRow("checked") << true;
    QTest::newRow("not checked") << false;
}

void FileWorkerTest::rollingFillChecksEachFill()
{
    // Two fills of three files of four blocks; while the first fill's third file is written,
    // a block of its first file goes bad, as on a card that wraps around.
    QFETCH(bool, verify);
    QTemporaryDir card;
    QVERIFY(card.isValid());
    const QString root = card.path() + "/";
    SpeedTester e;
    e.setRootPath(root);
    e.setBlockSize(Block);
    e.setRollingParams(4 * Block, 12 * Block, 2);
    e.setRollingVerify(verify);
    QStringList events;
    QVector<QVariantList> mismatches;
    bool damaged = false;
    connect(
        &e, &SpeedTester::log, this, [&](const QString& l) { events << l; }, Qt::DirectConnection);
    connect(
        &e, &SpeedTester::testError, this, [&](const QString& m) { events << "error " + m; },
        Qt::DirectConnection);
    connect(
        &e, &SpeedTester::writeFinished, this, [&] { events << "writeFinished"; },
        Qt::DirectConnection);
    connect(
        &e, &SpeedTester::dataMismatch, this,
        [&](int i, const QString& p, qlonglong n, qlonglong at) {
            mismatches.append({i, p, n, at});
            events << "mismatch";
        },
        Qt::DirectConnection);
    connect(
        &e, &SpeedTester::rollingFileProgress, this,
        [&](int current) {
            if (current != 3 || damaged)
                return;
            damaged = true;
            QByteArray data = readAll(root + "__roll_0.dat");
            data[int(Block + 3)] = char(data[int(Block + 3)] ^ 4);
            writeAll(root + "__roll_0.dat", data);
        },
        Qt::DirectConnection);
    e.start();
    QVERIFY(e.wait(60000));

    const QStringList checks = events.filter(QRegularExpression("[Ff]ill \\d"));
    if (!verify) {
        QVERIFY(mismatches.isEmpty());
        QVERIFY2(checks.isEmpty(), qPrintable(checks.join('\n')));
    } else {
        QCOMPARE(mismatches, QVector<QVariantList>({{0, root + "__roll_0.dat", 1, Block}}));
        QCOMPARE(checks, QStringList({"  Verifying the data of fill 1/2",
                                      "  Verifying the data of fill 2/2",
                                      "  Fill 2/2: all data read back intact"}));
        // Found before the end of the write phase, on which the window makes its verdicts.
        QVERIFY(events.indexOf("mismatch") < events.indexOf("writeFinished"));
    }
    QVERIFY(events.filter("error").isEmpty());
    QCOMPARE(events.last(), QString("========== Rolling-fill test complete =========="));
    QVERIFY(entriesOf(card.path()).isEmpty());
}

int runFileWorkerTests(int argc, char** argv)
{
    FileWorkerTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_fileworker.moc"
