#include "engine/speedtester.h"
#include "engine/testfilelist.h"
#include "enginetestutil.h"
#include "signalrecorder.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace enginetest;
using Event = SignalRecorder::Event;

namespace {

const QString Started = "========== Speed test started ==========";
const QString Done = "========== Test complete ==========";

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

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
    void namesDifferingOnlyInCaseGetTwoFiles();
    void existingCardFileIsNeverOverwritten();
    void sourceBelowOneBlockIsSkipped();
    void oneExternalFile();
    void noValidSourceIsRefused();

private:
    // Writes a source file in its own sub-folder and returns its path.
    QString source(const QString& folder, const QString& name, qint64 size, quint32 seed);
    // Runs a copy test and keeps the card's files as they were when the write phase ended.
    void runCopy(SpeedTester& e, SignalRecorder& rec, const QStringList& sources, bool read);

    std::unique_ptr<QTemporaryDir> dir;
    QString card;
    QHash<QString, QByteArray> cardAtWriteEnd;
};

QString FileCopyTest::source(const QString& folder, const QString& name, qint64 size, quint32 seed)
{
    QDir(dir->path()).mkpath(folder);
    const QString path = dir->path() + "/" + folder + "/" + name;
    if (!writeAll(path, distinctBytes(size, seed)))
        return QString();
    return path;
}

void FileCopyTest::runCopy(SpeedTester& e, SignalRecorder& rec, const QStringList& sources,
                           bool read)
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
    e.setReadEnabled(read);
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
    const QSet<QString> names = TestFileList::namesAt(card);
    QCOMPARE(names.size(), 3);
    QVERIFY(names.contains(TestFileList::foldName("clip.mp4")));
    QVERIFY(names.contains(TestFileList::foldName(".hidden")));
    QVERIFY(names.contains(TestFileList::foldName("dcim")));
    QVERIFY(TestFileList::namesAt(dir->path() + "/no-such-card/").isEmpty());
}

void FileCopyTest::collidingNamesAreNumbered()
{
    const QStringList sources = {
        source("a", "clip.mp4", 2 * Block, 1),   source("b", "clip.mp4", 2 * Block + 7, 2),
        source("c", "clip.mp4", 3 * Block, 3),   source("d", "readme", Block, 4),
        source("e", "archive.tar.gz", Block, 5), source("f", "archive.tar.gz", Block, 6),
        source("g", "readme", Block, 7)};
    SpeedTester e;
    SignalRecorder rec(&e);
    runCopy(e, rec, sources, true);

    const QStringList names = {"clip.mp4",       "clip (1).mp4",       "clip (2).mp4", "readme",
                               "archive.tar.gz", "archive.tar (1).gz", "readme (1)"};
    QStringList expectedTargets;
    for (const QString& n : names)
        expectedTargets << card + n;
    QCOMPARE(e.targetFiles(), expectedTargets);
    QCOMPARE(e.fileSizes(),
             QVector<qint64>({2 * Block, 2 * Block, 3 * Block, Block, Block, Block, Block}));
    // Every copy holds its own source's whole blocks.
    QCOMPARE(cardAtWriteEnd.size(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY2(cardAtWriteEnd.value(names[i]) == readAll(sources[i]).left(int(e.fileSizes()[i])),
                 qPrintable(names[i]));
    }
    const QStringList logs = rec.logs();
    QCOMPARE(logs.mid(0, 3), QStringList({Started, "Mode: External files (7 files in parallel)",
                                          "Total: 0 MB   Block: 64 KB"}));
    QCOMPARE(logs[3], QString::fromUtf8("—— Write test (7 files in parallel, stagger 0.0s) ——"));
    // Stream lines name the source; the read phase names the card file.
    QCOMPARE(logs[5], QString("  Writing #2: clip.mp4"));
    QVERIFY(logs.contains("  Reading #2: clip (1).mp4"));
    QVERIFY(logs.contains("  Reading #6: archive.tar (1).gz"));
    QCOMPARE(logs.last(), Done);
    QCOMPARE(rec.count("testError"), 0);
    QVERIFY(entriesOf(card).isEmpty());
}

void FileCopyTest::namesDifferingOnlyInCaseGetTwoFiles()
{
    const QStringList sources = {source("x", "Clip.MP4", Block, 11),
                                 source("y", "clip.mp4", 2 * Block, 12)};
    SpeedTester e;
    SignalRecorder rec(&e);
    runCopy(e, rec, sources, false);
    QCOMPARE(e.targetFiles(), QStringList({card + "Clip.MP4", card + "clip (1).mp4"}));
    QCOMPARE(rec.count("testError"), 0);
    QCOMPARE(cardAtWriteEnd.size(), 2);
    QVERIFY(cardAtWriteEnd.value("Clip.MP4") == readAll(sources[0]));
    QVERIFY(cardAtWriteEnd.value("clip (1).mp4") == readAll(sources[1]));
    QCOMPARE(rec.logs().last(), Done);
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

    for (const bool read : {false, true}) {
        SpeedTester e;
        SignalRecorder rec(&e);
        runCopy(e, rec, all, read);
        QCOMPARE(rec.count("testError"), 0);
        QCOMPARE(e.targetFiles(), QStringList({card + "clip (2).mp4", card + "Notes (1).txt",
                                               card + "clip (3).mp4"}));
        QVERIFY(cardAtWriteEnd.value("clip (2).mp4") == readAll(sources[0]));
        QVERIFY(cardAtWriteEnd.value("clip (3).mp4") == mine.left(int(Block)));
        QCOMPARE(rec.logs().last(), Done);
        // Only the user's files are left, untouched.
        QCOMPARE(entriesOf(card), QStringList({"CLIP (1).MP4", "clip.mp4", "notes.TXT"}));
        QVERIFY(readAll(card + "clip.mp4") == mine);
        QVERIFY(readAll(card + "CLIP (1).MP4") == mineToo);
        QVERIFY(readAll(card + "notes.TXT") == mineToo);
    }
}

void FileCopyTest::sourceBelowOneBlockIsSkipped()
{
    const QString a = source("a", "A.bin", 2 * Block, 31);
    const QString s = source("s", "s.bin", Block / 2, 32);
    const QString b = source("b", "B.bin", 3 * Block - 1, 33);
    SpeedTester e;
    SignalRecorder rec(&e);
    runCopy(e, rec, {a, s, b}, false);
    QCOMPARE(
        rec.logs().mid(0, 4),
        QStringList({QString("Skipping file (smaller than block size): %1").arg(s), Started,
                     "Mode: External files (2 files in parallel)", "Total: 0 MB   Block: 64 KB"}));
    QCOMPARE(e.targetFiles(), QStringList({card + "A.bin", card + "B.bin"}));
    QCOMPARE(e.plan().testSize, 4 * Block);
    QVERIFY(cardAtWriteEnd.value("A.bin") == readAll(a));
    QVERIFY(cardAtWriteEnd.value("B.bin") == readAll(b).left(int(2 * Block)));
    QVERIFY(rec.logs().contains("  Writing #2: B.bin"));
    QVERIFY(entriesOf(card).isEmpty());
}

void FileCopyTest::oneExternalFile()
{
    const QString a = source("a", "solo.mov", 4 * Block, 41);
    SpeedTester e;
    SignalRecorder rec(&e);
    runCopy(e, rec, {a}, true);
    const QStringList logs = rec.logs();
    QCOMPARE(logs.mid(0, 4),
             QStringList({Started, "Mode: External file", "Total: 0 MB   Block: 64 KB",
                          QString::fromUtf8("—— Write test (file copy) ——")}));
    QVERIFY(logs.contains(QString::fromUtf8("—— Read test ——")));
    QVERIFY(!logs.join('\n').contains("Writing #"));
    QVERIFY(!logs.join('\n').contains("Reading #"));
    QCOMPARE(rec.count("readFinished"), 1);
    QCOMPARE(logs.last(), Done);
    QVERIFY(cardAtWriteEnd.value("solo.mov") == readAll(a));
}

void FileCopyTest::noValidSourceIsRefused()
{
    const QString s1 = source("a", "tiny.bin", 10, 51);
    const QString s2 = dir->path() + "/missing.bin";
    SpeedTester e;
    SignalRecorder rec(&e);
    runCopy(e, rec, {s1, s2}, true);
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
