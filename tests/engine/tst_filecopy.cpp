#include "engine/speedtester.h"
#include "engine/testfilelist.h"
#include "enginetestutil.h"
#include "signalrecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace enginetest;
using Event = SignalRecorder::Event;

// Test file naming and the copy runs: sources live in their own folders, the "card" is a
// separate folder that may already hold the user's files.
class FileCopyTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QVERIFY(QDir(dir->path()).mkdir("card"));
        card = dir->path() + "/card/";
    }

    void freeNameCountsFromTheSourcesOwnName_data();
    void freeNameCountsFromTheSourcesOwnName();
    void listSkipsWhatHasNoWholeBlock();
    void namesAtSeesEveryEntry();
    void collidingNamesAreNumbered();
    void existingCardFileIsNeverOverwritten();
    void oneExternalFile();
    void noValidSourceIsRefused();

private:
    // Writes a source file in its own sub-folder and returns its path.
    QString source(const QString& folder, const QString& name, qint64 size, quint32 seed);
    // Runs a copy test and keeps the card's files as they were when the write phase ended.
    void runCopy(SpeedTester& e, SignalRecorder& rec, const QStringList& sources);

    std::unique_ptr<QTemporaryDir> dir;
    QString card;
    QHash<QString, QByteArray> cardAtWriteEnd;
};

QString FileCopyTest::source(const QString& folder, const QString& name, qint64 size, quint32 seed)
{
    QDir(dir->path()).mkpath(folder);
    const QString path = dir->path() + "/" + folder + "/" + name;
    return writeAll(path, distinctBytes(size, seed)) ? path : QString();
}

void FileCopyTest::runCopy(SpeedTester& e, SignalRecorder& rec, const QStringList& sources)
{
    cardAtWriteEnd.clear();
    rec.onEvent = [&](const Event& ev) {
        if (ev.name != "writeFinished")
            return;
        for (const QString& name : entriesOf(card))
            cardAtWriteEnd.insert(name, readAll(card + name));
    };
    e.setRootPath(card);
    e.setSourceFiles(sources);
    e.setBlockSize(Block);
    e.setStreamCount(1); // ignored for copies: one stream per kept source
    e.setReadEnabled(true);
    e.start();
    QVERIFY(e.wait(60000));
}

void FileCopyTest::freeNameCountsFromTheSourcesOwnName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << "clip.mp4" << QStringList{"other.mp4"} << "clip.mp4";
    QTest::newRow("first copy") << "clip.mp4" << QStringList{"clip.mp4"} << "clip (1).mp4";
    QTest::newRow("third copy") << "clip.mp4" << QStringList{"clip.mp4", "clip (1).mp4"}
                                << "clip (2).mp4";
    QTest::newRow("gap reused") << "clip.mp4" << QStringList{"clip.mp4", "clip (2).mp4"}
                                << "clip (1).mp4";
    QTest::newRow("no suffix") << "readme" << QStringList{"readme"} << "readme (1)";
    QTest::newRow("last dot") << "archive.tar.gz" << QStringList{"archive.tar.gz"}
                              << "archive.tar (1).gz";
    QTest::newRow("letter case") << "Clip.MP4" << QStringList{"clip.mp4"} << "Clip (1).MP4";
    QTest::newRow("case of copies")
        << "clip.mp4" << QStringList{"CLIP.MP4", "Clip (1).mp4"} << "clip (2).mp4";
    QTest::newRow("placeholder in name") << "a%1b.txt" << QStringList{"a%1b.txt"} << "a%1b (1).txt";
}

void FileCopyTest::freeNameCountsFromTheSourcesOwnName()
{
    QFETCH(QString, name);
    QFETCH(QStringList, taken);
    QFETCH(QString, expected);
    QSet<QString> set;
    for (const QString& t : taken)
        set.insert(TestFileList::foldName(t));
    QCOMPARE(TestFileList::freeName(name, set), expected);
}

void FileCopyTest::listSkipsWhatHasNoWholeBlock()
{
    const QString big = source("a", "big.bin", 3 * Block + 5, 1);
    const QString exact = source("b", "exact.bin", Block, 2);
    const QString small = source("c", "small.bin", Block - 1, 3);
    const QString missing = dir->path() + "/nowhere/gone.bin";
    QVERIFY(QDir(dir->path()).mkpath("d/folder.bin"));
    const QString folder = dir->path() + "/d/folder.bin";
    const TestFileList list =
        TestFileList::externalFiles(card, {big, small, missing, exact, folder}, Block);
    QCOMPARE(list.targets(), QStringList({card + "big.bin", card + "exact.bin"}));
    QCOMPARE(list.sizes(), QVector<qint64>({3 * Block, Block}));
    QCOMPARE(list.keptSources(), QStringList({big, exact}));
    QCOMPARE(list.skippedSources(), QStringList({small, missing, folder}));
    QCOMPARE(list.totalBytes(), 4 * Block);
}

void FileCopyTest::namesAtSeesEveryEntry()
{
    QVERIFY(writeAll(card + "Clip.MP4", "x"));
    QVERIFY(writeAll(card + ".hidden", "x"));
    QVERIFY(QDir(card).mkdir("DCIM"));
    QCOMPARE(TestFileList::namesAt(card),
             QSet<QString>({TestFileList::foldName("clip.mp4"), TestFileList::foldName(".hidden"),
                            TestFileList::foldName("dcim")}));
    QVERIFY(TestFileList::namesAt(dir->path() + "/no-such-card/").isEmpty());
}

void FileCopyTest::collidingNamesAreNumbered()
{
    // Names repeat exactly or in another letter case (either one first); a source below one
    // block is skipped and the streams are numbered over the kept ones.
    const QString small = source("s", "small.bin", Block / 2, 8);
    const QStringList sources = {
        source("a", "clip.mp4", 2 * Block, 1),   source("b", "clip.mp4", 2 * Block + 7, 2),
        source("c", "clip.mp4", 3 * Block, 3),   source("d", "README", Block, 4),
        source("e", "archive.tar.gz", Block, 5), source("f", "archive.tar.gz", Block, 6),
        source("g", "readme", Block, 7),         source("h", "CLIP.mp4", Block, 9)};
    SpeedTester e;
    SignalRecorder rec(&e);
    QStringList all = sources;
    all.insert(1, small);
    runCopy(e, rec, all);

    const QStringList names = {"clip.mp4",   "clip (1).mp4",   "clip (2).mp4",
                               "README",     "archive.tar.gz", "archive.tar (1).gz",
                               "readme (1)", "CLIP (3).mp4"};
    QStringList expectedTargets;
    for (const QString& n : names)
        expectedTargets << card + n;
    QCOMPARE(e.targetFiles(), expectedTargets);
    QCOMPARE(e.fileSizes(),
             QVector<qint64>({2 * Block, 2 * Block, 3 * Block, Block, Block, Block, Block, Block}));
    QCOMPARE(e.plan().testSize, 12 * Block);
    // Every copy holds its own source's whole blocks.
    QCOMPARE(cardAtWriteEnd.size(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY2(cardAtWriteEnd.value(names[i]) == readAll(sources[i]).left(int(e.fileSizes()[i])),
                 qPrintable(names[i]));
    }
    // Stream lines name the source; the read phase names the card file.
    QStringList logs = {QString("Skipping file (smaller than block size): %1").arg(small), Started,
                        "Mode: External files (8 files in parallel)", "Total: 0 MB   Block: 64 KB",
                        QString::fromUtf8("—— Write test (8 files in parallel, stagger 0.0s) ——")};
    for (int i = 0; i < 8; ++i)
        logs << QString("  Writing #%1: %2").arg(i + 1).arg(QFileInfo(sources[i]).fileName());
    logs << rec.doneLine(true)
         << QString::fromUtf8("—— Read test (8 files in parallel, stagger 0.0s) ——");
    for (int i = 0; i < 8; ++i)
        logs << QString("  Reading #%1: %2").arg(i + 1).arg(names[i]);
    QCOMPARE(rec.logs(), logs << rec.doneLine(false) << Done);
    QCOMPARE(rec.count("testError"), 0);
    QVERIFY(entriesOf(card).isEmpty());
}

void FileCopyTest::existingCardFileIsNeverOverwritten()
{
    // The user's own recordings on the card, one of them a numbered name already.
    const QByteArray mine = distinctBytes(Block + 123, 21);
    const QByteArray mineToo = distinctBytes(777, 22);
    QVERIFY(writeAll(card + "clip.mp4", mine));
    QVERIFY(writeAll(card + "CLIP (1).MP4", mineToo));
    const QStringList sources = {source("s", "clip.mp4", 2 * Block, 23),
                                 source("t", "Notes.txt", Block, 24)};
    QVERIFY(writeAll(card + "notes.TXT", mineToo));
    // A source picked from the card itself is read, never truncated by its own copy.
    const QStringList all = sources + QStringList{card + "clip.mp4"};

    SpeedTester e;
    SignalRecorder rec(&e);
    runCopy(e, rec, all);
    QCOMPARE(rec.count("testError"), 0);
    QCOMPARE(e.targetFiles(),
             QStringList({card + "clip (2).mp4", card + "Notes (1).txt", card + "clip (3).mp4"}));
    QVERIFY(cardAtWriteEnd.value("clip (2).mp4") == readAll(sources[0]));
    QVERIFY(cardAtWriteEnd.value("clip (3).mp4") == mine.left(int(Block)));
    QCOMPARE(rec.logs().last(), Done);
    // Only the user's files are left, untouched.
    QCOMPARE(entriesOf(card), QStringList({"CLIP (1).MP4", "clip.mp4", "notes.TXT"}));
    QVERIFY(readAll(card + "clip.mp4") == mine);
    QVERIFY(readAll(card + "CLIP (1).MP4") == mineToo);
    QVERIFY(readAll(card + "notes.TXT") == mineToo);
}

void FileCopyTest::oneExternalFile()
{
    const QString a = source("a", "solo.mov", 4 * Block, 41);
    SpeedTester e;
    SignalRecorder rec(&e);
    runCopy(e, rec, {a});
    // One stream: no stream start lines.
    QCOMPARE(rec.logs(),
             QStringList({Started, "Mode: External file", "Total: 0 MB   Block: 64 KB",
                          QString::fromUtf8("—— Write test (file copy) ——"), rec.doneLine(true),
                          QString::fromUtf8("—— Read test ——"), rec.doneLine(false), Done}));
    QVERIFY(cardAtWriteEnd.value("solo.mov") == readAll(a));
}

void FileCopyTest::noValidSourceIsRefused()
{
    const QString s1 = source("a", "tiny.bin", 10, 51);
    const QString s2 = dir->path() + "/missing.bin";
    SpeedTester e;
    SignalRecorder rec(&e);
    runCopy(e, rec, {s1, s2});
    const QString skip = "Skipping file (smaller than block size): %1";
    QCOMPARE(rec.logs(), QStringList({skip.arg(s1), skip.arg(s2)}));
    QCOMPARE(rec.named("testError").size(), 1);
    QCOMPARE(rec.named("testError")[0].args[0].toString(), QString("No valid files to test."));
    QCOMPARE(rec.events().size(), 3);
    QVERIFY(e.targetFiles().isEmpty());
    QVERIFY(entriesOf(card).isEmpty());
}

int runFileCopyTests(int argc, char** argv)
{
    FileCopyTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_filecopy.moc"
