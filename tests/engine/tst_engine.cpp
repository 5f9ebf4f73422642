#include "engine/fileworker.h"
#include "engine/speedmeter.h"
#include "engine/speedtester.h"
#include "engine/testfilelist.h"
#include "i18n/i18n.h"
#include "i18n/language.h"

#include <QtTest>

namespace {

constexpr qint64 Block = 64 * 1024; // a multiple of 4096, so direct I/O works on the test disk
const int WriteJob = static_cast<int>(WorkerMode::Write);
const int ReadJob = static_cast<int>(WorkerMode::Read);
const quint64 RunId = 0x0123456789abcdefULL;
const quint32 FileIndex = 5;
const QString Done = "========== Test complete ==========";
const QString Cancelled = "Test cancelled by user.";
const QString WriteRandom = QString::fromUtf8("—— Write test (random data) ——");
const QString RollingDone = "========== Rolling-fill test complete ==========";
const QString FullFill = "  Card full at %1: this fill is complete";
const QString Missing = "The file to copy, %2, could not be read for the card %3. Check that it "
                        "still exists and that you may read it, then start again.";

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Deterministic, non-repeating content, different for each seed.
QByteArray distinctBytes(qint64 size, quint32 seed)
{
    QByteArray out(static_cast<int>(size), Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 12345u;
    for (char& c : out)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
    return out;
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

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

struct Event
{
    QString name;
    QVariantList args;
    qint64 ms;
};

// Every signal of an engine in order, recorded on its thread: read once the engine is done.
struct Recorder : QObject
{
    explicit Recorder(SpeedTester* e)
    {
        clock.start();
        hook(e, &SpeedTester::writeProgress, "writeProgress");
        hook(e, &SpeedTester::readProgress, "readProgress");
        hook(e, &SpeedTester::fileWriteSample, "fileWriteSample");
        hook(e, &SpeedTester::fileReadSample, "fileReadSample");
        hook(e, &SpeedTester::writeFinished, "writeFinished");
        hook(e, &SpeedTester::readFinished, "readFinished");
        hook(e, &SpeedTester::testError, "testError");
        hook(e, &SpeedTester::log, "log");
        hook(e, &SpeedTester::rollingFileProgress, "rollingFileProgress");
        hook(e, &SpeedTester::dataMismatch, "dataMismatch");
        hook(e, &SpeedTester::fillCheckProgress, "fillCheckProgress");
    }
    template<typename... A>
    void hook(RunEngine* e, void (RunEngine::*signal)(A...), const char* name)
    {
        const auto record = [this, name](A... a) {
            ev.append({name, {QVariant::fromValue(a)...}, clock.elapsed()});
            if (onEvent)
                onEvent(ev.last());
        };
        connect(e, signal, this, record, Qt::DirectConnection);
    }
    QVector<QVariantList> all(const QString& name) const
    {
        QVector<QVariantList> out;
        for (const Event& x : ev)
            if (x.name == name)
                out << x.args;
        return out;
    }
    int count(const QString& name) const { return all(name).size(); }
    QString first(const QString& name) const { return all(name).value(0).value(0).toString(); }
    QStringList logs() const
    {
        QStringList out;
        for (const QVariantList& a : all("log"))
            out << a[0].toString();
        return out;
    }
    int indexOf(const QString& name, const QString& text = QString()) const
    {
        for (int i = 0; i < ev.size(); ++i)
            if (ev[i].name == name && (text.isNull() || ev[i].args[0].toString() == text))
                return i;
        return -1;
    }
    // The line that closes a phase, with the average its finished signal carried.
    QString doneLine(bool write) const
    {
        const QVariantList finished = all(write ? "writeFinished" : "readFinished").value(0);
        return QString::asprintf("%s complete. Avg speed: %.2f MB/s", write ? "Write" : "Read",
                                 finished.value(0).toDouble());
    }

    QVector<Event> ev;
    QElapsedTimer clock;
    std::function<void(const Event&)> onEvent; // runs after the event is recorded
};

// A phase's final sample, before `end`: the card, then the streams not yet seen at 100 % (these
// `streams` if given) in order, all at 100 %; the streams' averages add up to the card's.
void checkFinalSample(const QVector<Event>& ev, int end, bool write, int n,
                      const QVector<int>& streams = {})
{
    int first = end - 1;
    while (first >= 0 && ev[first].name != (write ? "writeProgress" : "readProgress"))
        --first;
    QVERIFY(first >= 0 && ev[first].args[0].toInt() == 100);
    QVector<int> seen;
    double sum = 0;
    for (int i = first + 1; i < end; ++i) {
        if (ev[i].name != (write ? "fileWriteSample" : "fileReadSample"))
            continue; // a read's findings follow its final sample
        QCOMPARE(ev[i].args[1].toInt(), 100);
        seen << ev[i].args[0].toInt();
        sum += ev[i].args[3].toDouble();
    }
    QVERIFY(std::is_sorted(seen.begin(), seen.end()) && (streams.isEmpty() || seen == streams));
    const double card = ev[first].args[2].toDouble();
    QVERIFY2(seen.size() < n || qAbs(sum - card) <= 1e-9 * card, qPrintable(QString::number(sum)));
}

struct Failure
{
    int mode;
    QString source, target; // names in the test's folder, no source for random data
    QString message;        // %1 the target's path, %2 the source's
    qint64 moved, block = Block;
    Language language = English;
    bool stopped = false; // before the first block
};

struct Damage
{
    QVector<qint64> flips; // byte offsets whose lowest bit is inverted
    int copyFrom;          // block copied over block 4, -1 none
    quint64 runId;         // as the read expects it
    quint32 fileIndex;
    qint64 bad, first, sourceSize = 0; // a copy's source's when read back; 0: random data
};

struct Stop
{
    QString trigger, text; // the event (and log text) on which the stop is requested
    qint64 streams, size;
    bool inRead;
};

struct Refusal
{
    qint64 block;
    Language language;
    QStringList sources; // all skipped, in the test's folder
    QString error;
};

struct Roll
{
    qint64 fileSize = 0, freeBytes = 0, tail = 0;
    int refills = 0, perFill = 0;  // files per fill; 0: refused with `error`
    QString error;                 // also a test error, %1 the failing path
    int blocked = -1, fullAt = -1; // a folder has this file's name; a tmpfs card holds this many
    bool stop = false;             // after the first sample
};

// A stream's block completions (ms from its start, 1 MiB blocks) sampled every 200 ms for
// `seconds`, as the engine samples: bytes counted so far, the completion time of their last
// block, one block under way. Returns every sample's speed in MB/s.
QVector<double> meterOver(const QVector<double>& completionsMs, double seconds)
{
    const qint64 ms = 1000000, block = 1048576;
    SpeedMeter meter;
    meter.start(block, 0);
    QVector<double> speeds;
    for (qint64 now = 200; now <= qint64(seconds * 1000); now += 200) {
        qint64 bytes = 0, last = 0;
        for (double c : completionsMs) {
            if (c <= now) {
                bytes += block;
                last = qint64(c * ms);
            }
        }
        speeds << meter.sample(bytes, last, block, now * ms);
    }
    return speeds;
}

} // namespace
Q_DECLARE_METATYPE(Failure)
Q_DECLARE_METATYPE(Damage)
Q_DECLARE_METATYPE(Stop)
Q_DECLARE_METATYPE(Refusal)
Q_DECLARE_METATYPE(Roll)

class EngineTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QString root;

    QString testFile(int k) const { return root + QString("__card_speed_test_%1.dat").arg(k); }
    QString source(const QString& folder, const QString& name, qint64 size, quint32 seed)
    {
        QDir(root).mkpath(folder);
        const QString path = root + folder + "/" + name;
        return writeAll(path, distinctBytes(size, seed)) ? path : QString();
    }
    bool runRandom(SpeedTester& e, int streams, qint64 size, bool read, qint64 block = Block,
                   bool wait = true)
    {
        TestPlan plan = e.plan();
        plan.rootPath = root;
        plan.streamCount = streams;
        plan.testSize = size;
        plan.blockSize = block;
        plan.readEnabled = read;
        e.setPlan(plan);
        e.start();
        return !wait || e.wait(120000);
    }
    void setLanguage(Language language) { I18n::instance()->setLanguage(language); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName("QuorvelTests");
        QCoreApplication::setApplicationName("tst_engine");
        QSettings().setValue("ui/language", 1);
        I18n::instance()->initLanguage();
    }
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        root = dir->path() + "/";
    }

    void writeAndReadBack_data()
    {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("block");
        QTest::newRow("larger blocks") << 4 * Block << 2 * Block;
        QTest::newRow("partial block dropped") << 2 * Block + Block / 2 << Block;
        QTest::newRow("below one block") << Block - 1 << Block;
    }
    void writeAndReadBack()
    {
        QFETCH(qint64, total);
        QFETCH(qint64, block);
        const qint64 moved = total / block * block;
        auto w = runJob(WriteJob, QString(), root + "w.dat", total, block);
        QVERIFY(w->succeeded() && w->errorString().isEmpty() && w->bytesDone() == moved);
        // Every block: the pattern, then the run's, the file's and the block's numbers (LE).
        const QByteArray data = readAll(root + "w.dat");
        QCOMPARE(data.size(), int(moved));
        const QByteArray head = QByteArray::fromHex("b7207d4742911d8e");
        QByteArray pattern(int(block), Qt::Uninitialized);
        FileWorker::fillPattern(pattern.data(), block);
        QVERIFY(pattern.startsWith(head) && pattern.indexOf(head, 1) < 0);
        for (quint32 b = 0; b < moved / block; ++b) {
            const quint32 index = qToLittleEndian(b);
            QVERIFY(data.mid(int(b * block), int(block)) ==
                    pattern.left(int(block) - 16) +
                        QByteArray::fromHex("efcdab896745230105000000") +
                        QByteArray(reinterpret_cast<const char*>(&index), 4));
        }
        auto r = runJob(ReadJob, QString(), root + "w.dat", total, block);
        QVERIFY2(r->succeeded(), qPrintable(r->errorString()));
        QCOMPARE(r->bytesDone(), moved);
        QCOMPARE(r->badBlocks(), qint64(0));
    }

    // The current speed on synthetic block completion timelines, each at 7.5 blocks a second
    // on average: what the card does, not how its completions fall against the clock.
    void speedMeter_data()
    {
        QTest::addColumn<QVector<double>>("completions"); // ms
        QTest::addColumn<double>("gapFrom");              // ms, -1 without a gap
        QVector<double> even, bursts, stalled;
        for (int k = 1; k <= 75; ++k)
            even << k * 1000.0 / 7.5;
        // Completions land just before the sampling ticks, two and one by turns: counted per
        // sample they read 10 and 5 MB/s.
        for (int tick = 1; tick <= 50; ++tick) {
            for (int b = 0; b < (tick % 2 ? 2 : 1); ++b)
                bursts << tick * 200.0 - 1 - b * 0.1;
        }
        // The even card, but nothing completes from 4000 to 4500 ms: later blocks are late.
        for (double c : even)
            stalled << (c < 4000 ? c : c + 500);
        QTest::newRow("even") << even << -1.0;
        QTest::newRow("bursts on the sampling clock") << bursts << -1.0;
        QTest::newRow("500 ms without progress") << stalled << 4000.0;
    }

    void speedMeter()
    {
        QFETCH(QVector<double>, completions);
        QFETCH(double, gapFrom);
        const double rate = 7.5;
        const QVector<double> speeds = meterOver(completions, 9.0);
        // Sample k is taken at (k + 1) x 200 ms; the first second is the start-up.
        for (int k = 5; k < speeds.size(); ++k) {
            const double at = (k + 1) * 200.0;
            const bool hit = gapFrom >= 0 && at > gapFrom && at <= gapFrom + 500 + 1000;
            if (!hit)
                QVERIFY2(qAbs(speeds[k] / rate - 1) < 0.12, qPrintable(QString::number(speeds[k])));
        }
        if (gapFrom >= 0) {
            // The stall is a drop (below 60 %) for about its own length, never hidden.
            int drops = 0;
            for (double v : speeds)
                drops += v < 0.6 * rate;
            QVERIFY2(drops >= 2 && drops <= 6, qPrintable(QString::number(drops)));
        }
    }

    void workerFailsOrStops_data()
    {
        QTest::addColumn<Failure>("f");
        QTest::newRow("short file read back")
            << Failure{ReadJob, {}, "one.dat", "Read failed (%1)", Block};
        // The partly written target stays; the engine removes it.
        QTest::newRow("short copy source")
            << Failure{WriteJob, "short.bin", "part.bin", Missing, 2 * Block};
        // Errors without a cause of their own carry the system's words.
        QTest::newRow("copy onto folder") << Failure{
            WriteJob, "one.dat", "dir", "Cannot create target file: %1 — Is a directory", 0};
        QTest::newRow("unusable block size")
            << Failure{WriteJob, {}, "z.dat", "Failed to allocate I/O buffer", 0, 0};
        QTest::newRow("read missing, Chinese")
            << Failure{ReadJob,
                       {},
                       "gone.dat",
                       QString::fromUtf8("无法读取文件: %1 — No such file or directory"),
                       0,
                       Block,
                       SimplifiedChinese};
        QTest::newRow("stopped") << Failure{WriteJob, {}, "s.dat", {}, 0, Block, English, true};
    }
    void workerFailsOrStops()
    {
        QFETCH(Failure, f);
        QVERIFY(writeAll(root + "one.dat", distinctBytes(Block, 1)) && QDir(root).mkdir("dir"));
        QVERIFY(writeAll(root + "short.bin", distinctBytes(2 * Block + 100, 3)));
        const QString src = f.source.isEmpty() ? QString() : root + f.source;
        setLanguage(f.language);
        const std::atomic<int> stop{f.stopped ? -7 : 0}; // any non-zero value stops
        auto w = runJob(f.mode, src, root + f.target, 3 * Block, f.block, &stop);
        setLanguage(English);
        QVERIFY(!w->succeeded());
        QCOMPARE(
            w->errorString(),
            f.message.replace("%1", root + f.target).replace("%2", src).replace("%3", dir->path()));
        QCOMPARE(w->bytesDone(), f.moved);
        QVERIFY(!f.moved || f.mode == ReadJob ||
                readAll(root + f.target) == readAll(src).left(int(f.moved)));
    }

    void readBackFindsChangedBlocks_data()
    {
        // A file of 6 blocks written as run RunId, file FileIndex or copied; then damaged.
        QTest::addColumn<Damage>("d");
        QTest::newRow("last byte of the stamp") << Damage{{Block - 1}, -1, RunId, FileIndex, 1, 0};
        QTest::newRow("two blocks, found in order") << Damage{
            {5 * Block + 7, 3 * Block + 9, 3 * Block + 10}, -1, RunId, FileIndex, 2, 3 * Block};
        // A wrapping card hands back another block's data: the pattern matches, the stamp not.
        QTest::newRow("another block's data") << Damage{{}, 1, RunId, FileIndex, 1, 4 * Block};
        QTest::newRow("another run's file") << Damage{{}, -1, RunId + 1, FileIndex, 6, 0};
        QTest::newRow("another stream's file") << Damage{{}, -1, RunId, FileIndex + 1, 6, 0};
        QTest::newRow("copy, byte in block 3")
            << Damage{{3 * Block + 77}, -1, RunId, FileIndex, 1, 3 * Block, 6 * Block};
        QTest::newRow("copy, last byte")
            << Damage{{6 * Block - 1}, -1, RunId, FileIndex, 1, 5 * Block, 6 * Block};
        // Nothing to check the rest against: an error.
        QTest::newRow("copy, source cut short")
            << Damage{{}, -1, RunId, FileIndex, 0, -1, 2 * Block};
    }
    void readBackFindsChangedBlocks()
    {
        QFETCH(Damage, d);
        const QString target = root + "card.bin", src = d.sourceSize ? root + "src.bin" : "";
        // A copy's source differs from block to block, so a shifted block is caught too.
        QVERIFY(src.isEmpty() || writeAll(src, distinctBytes(6 * Block + 100, 41)));
        QVERIFY(runJob(WriteJob, src, target, 6 * Block, Block)->succeeded());
        QByteArray data = readAll(target);
        QVERIFY(src.isEmpty() || data == readAll(src).left(int(6 * Block)));
        for (const qint64 at : d.flips)
            data[int(at)] = char(data[int(at)] ^ 1);
        if (d.copyFrom >= 0)
            data.replace(int(4 * Block), int(Block), data.mid(int(d.copyFrom * Block), int(Block)));
        QVERIFY(writeAll(target, data) && (src.isEmpty() || QFile::resize(src, d.sourceSize)));
        auto r = runJob(ReadJob, src, target, 6 * Block, Block, nullptr, d.runId, d.fileIndex);
        // Bad data is a finding about the card, not a failure of the read; a short source is.
        const bool whole = d.sourceSize == 0 || d.sourceSize == 6 * Block;
        QCOMPARE(r->errorString(),
                 whole ? QString()
                       : QString(Missing).replace("%2", src).replace("%3", dir->path()));
        QVERIFY(r->succeeded() == whole && (!whole || r->bytesDone() == 6 * Block));
        QCOMPARE(r->badBlocks(), d.bad);
        QCOMPARE(r->firstBadOffset(), d.first);
    }

    void randomRun_data()
    {
        QTest::addColumn<int>("streams");
        QTest::addColumn<int>("kept");
        QTest::addColumn<qint64>("size"); // per stream, rounded down to whole blocks
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("stagger"); // ms
        // Stream 2's file is damaged between the phases: reported, and the run completes.
        QTest::newRow("three streams, partial blocks") << 3 << 3 << qint64(400000) << true << 0;
        // A stop requested before the run begins is discarded.
        QTest::newRow("one stream, stopped before, no read") << 1 << 1 << Block << false << 0;
        QTest::newRow("above the stream limit") << 40 << 16 << Block << true << 0;
        QTest::newRow("staggered") << 2 << 2 << 2 * Block << true << 1200;
    }
    void randomRun()
    {
        QFETCH(int, streams);
        QFETCH(int, kept);
        QFETCH(qint64, size);
        QFETCH(bool, read);
        QFETCH(int, stagger);
        const qint64 perFile = size / Block * Block;
        SpeedTester e;
        Recorder rec(&e);
        TestPlan plan = e.plan();
        plan.staggerMs = stagger;
        e.setPlan(plan);
        // The files exist with their full size when the write phase ends; look then.
        QVector<qint64> sizesSeen;
        rec.onEvent = [&](const Event& ev) {
            if (ev.name != "writeFinished")
                return;
            for (int k = 1; k <= kept + 1; ++k)
                sizesSeen.append(QFileInfo(testFile(k)).size());
            QByteArray data = readAll(testFile(2));
            for (const qint64 at : {4 * Block, Block + 9})
                data[int(at)] = char(data[int(at)] ^ 8);
            QVERIFY(kept != 3 || writeAll(testFile(2), data));
        };
        if (!read)
            e.requestStop();
        QVERIFY(runRandom(e, streams, size, read));
        QVERIFY(e.targetFiles().size() == kept && e.targetFiles().last() == testFile(kept));
        QCOMPARE(e.fileSizes(), QVector<qint64>(kept, perFile));
        QCOMPARE(sizesSeen, QVector<qint64>(kept, perFile) << 0);
        QCOMPARE(rec.count("testError") + rec.count("rollingFileProgress"), 0);
        QCOMPARE(rec.count("readFinished"), int(read));
        QCOMPARE(rec.all("dataMismatch"),
                 (kept == 3 ? QVector<QVariantList>{{1, testFile(2), 2, Block}}
                            : QVector<QVariantList>()));

        // One stream: no stream start lines and no "parallel" in the headers.
        const QString mode = kept > 1 ? QString(" (%1 parallel streams)").arg(kept) : QString();
        QStringList logs = {"========== Speed test started ==========", "Mode: Random data" + mode,
                            QString("Total: %1 MB   Block: 64 KB").arg(kept * perFile / 1048576),
                            WriteRandom};
        for (int k = 1; kept > 1 && k <= kept; ++k)
            logs << QString("  Writing #%1: __card_speed_test_%1.dat").arg(k);
        logs << rec.doneLine(true);
        if (read) {
            logs << QString::asprintf("—— Read test (%d files in parallel, stagger %.1fs) ——", kept,
                                      stagger / 1000.0);
            for (int k = 1; k <= kept; ++k)
                logs << QString("  Reading #%1: __card_speed_test_%1.dat").arg(k);
            if (kept == 3)
                logs << QString::fromUtf8("Data check failed: %1 — blocks not as written: 2, the "
                                          "first at byte offset 65536")
                            .arg(testFile(2));
            logs << rec.doneLine(false);
        } else {
            logs << "Read test disabled, skipping.";
        }
        QCOMPARE(rec.logs(), logs << Done);

        // Each phase: samples, the final one, closing progress (100, avg, avg), finished (avg).
        const QVector<Event>& ev = rec.ev;
        for (int phaseEnd = -1, write = 1; write >= int(!read); --write) {
            const int fin = rec.indexOf(write ? "writeFinished" : "readFinished");
            const double avg = ev[fin].args[0].toDouble();
            QVERIFY(fin > phaseEnd && avg > 0);
            QCOMPARE(ev[fin - 1].args, QVariantList({100, avg, avg}));
            checkFinalSample(ev, fin - 1, write, kept);
            for (int i = 0; i < ev.size(); ++i) {
                const bool sample = ev[i].name == (write ? "fileWriteSample" : "fileReadSample");
                if (sample || ev[i].name == (write ? "writeProgress" : "readProgress")) {
                    const int pct = ev[i].args[sample ? 1 : 0].toInt();
                    QVERIFY(i > phaseEnd && i < fin && pct >= 0 && pct <= 100);
                }
            }
            phaseEnd = fin + 1;
        }
        QVERIFY(entriesOf(root).isEmpty());
        if (stagger == 0)
            return;
        // Stream 2 starts late and is not sampled before; stream 1 reports 100 % only once.
        const int header = rec.indexOf("log", WriteRandom);
        const int second = rec.indexOf("log", "  Writing #2: __card_speed_test_2.dat");
        QVERIFY(ev[second].ms - ev[header].ms >= stagger - 1);
        int stream1At100 = 0;
        for (int i = 0; i < rec.indexOf("writeFinished"); ++i) {
            if (ev[i].name == "fileWriteSample") {
                QVERIFY(ev[i].args[0].toInt() == 0 || i > second);
                stream1At100 += ev[i].args.mid(0, 2) == QVariantList({0, 100});
            }
        }
        QCOMPARE(stream1At100, 1);
    }

    // The engine's last word says how the run ended, whatever came before it.
    void endedSaysHowTheRunEnded_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("cause");
        using K = RunOutcome::Kind;
        QTest::newRow("completed") << 0 << int(K::Completed) << int(FailureCause::None);
        QTest::newRow("stopped in the write") << 1 << int(K::Stopped) << int(FailureCause::None);
        QTest::newRow("no whole block") << 2 << int(K::Failed) << int(FailureCause::Other);
        QTest::newRow("a fill without room") << 3 << int(K::Failed) << int(FailureCause::CardFull);
    }
    void endedSaysHowTheRunEnded()
    {
        QFETCH(int, how);
        QFETCH(int, kind);
        QFETCH(int, cause);
        SpeedTester e;
        Recorder rec(&e);
        QVector<RunOutcome> outcomes;
        int eventsBefore = -1;
        connect(
            &e, &RunEngine::ended, &e,
            [&](const RunOutcome& o) {
                outcomes << o;
                eventsBefore = rec.ev.size();
            },
            Qt::DirectConnection);
        TestPlan plan;
        plan.rootPath = root;
        plan.blockSize = Block;
        plan.testSize = how == 1 ? 4096 * Block : how == 2 ? Block / 2 : 4 * Block;
        plan.streamCount = 2;
        if (how == 3) {
            plan.rollFileSize = 4 * Block;
            plan.rollFreeBytes = Block / 2;
        }
        rec.onEvent = [&](const Event& ev) {
            if (how == 1 && ev.name == "writeProgress")
                e.requestStop();
        };
        e.setPlan(plan);
        e.start();
        QVERIFY(e.wait(60000));
        QCOMPARE(outcomes.size(), 1);
        QCOMPARE(int(outcomes[0].kind), kind);
        QCOMPARE(int(outcomes[0].cause), cause);
        QCOMPARE(outcomes[0].message, rec.first("testError"));
        QCOMPARE(eventsBefore, rec.ev.size());
    }
    void stopRemovesFiles_data()
    {
        QTest::addColumn<Stop>("t");
        QTest::newRow("write, before any block")
            << Stop{"log", WriteRandom, 2, 2048 * Block, false};
        QTest::newRow("write, mid-transfer") << Stop{"writeProgress", {}, 2, 2048 * Block, false};
        QTest::newRow("read, before any block")
            << Stop{"log", QString::fromUtf8("—— Read test ——"), 1, 64 * Block, true};
        // Deleting a running engine stops it and waits for it.
        QTest::newRow("engine deleted") << Stop{{}, {}, 1, 4096 * Block, false};
    }
    void stopRemovesFiles()
    {
        QFETCH(Stop, t);
        auto e = std::make_unique<SpeedTester>();
        Recorder rec(e.get());
        std::atomic<bool> begun{false};
        rec.onEvent = [&](const Event& ev) {
            begun = begun || ev.args.value(0).toString() == WriteRandom;
            if (ev.name == t.trigger && (t.text.isNull() || ev.args[0].toString() == t.text))
                e->requestStop();
        };
        QVERIFY(runRandom(*e, t.streams, t.size, true, Block, !t.trigger.isEmpty()));
        if (t.trigger.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(begun, 30000);
            e.reset();
        }
        QCOMPARE(rec.count("writeFinished"), int(t.inRead));
        QCOMPARE(rec.count("readFinished") + rec.count("testError"), 0);
        // A stopped read phase ends silently: its header is the last line.
        QCOMPARE(rec.logs().last(), t.inRead ? t.text : Cancelled);
        QVERIFY(t.inRead || rec.count("readProgress") == 0); // a stopped write never reaches it
        QVERIFY2(entriesOf(root).isEmpty(), qPrintable(entriesOf(root).join(',')));
    }

    void failedStreamEndsTheRun_data()
    {
        QTest::addColumn<bool>("inRead");
        QTest::newRow("write: files cannot be created") << false;
        QTest::newRow("read: a file lost its last block") << true;
    }
    void failedStreamEndsTheRun()
    {
        QFETCH(bool, inRead);
        // Folders stand where files 1 and 3 of 4 go, or file 2 of 2 is cut between the phases.
        QVERIFY(inRead || (QDir(root).mkdir("__card_speed_test_3.dat") &&
                           QDir(root).mkdir("__card_speed_test_1.dat")));
        SpeedTester e;
        Recorder rec(&e);
        rec.onEvent = [&](const Event& ev) {
            if (ev.name == "writeFinished")
                QFile::resize(testFile(2), 2 * Block);
        };
        QVERIFY(runRandom(e, inRead ? 2 : 4, 3 * Block, true));
        const QString create = "Cannot create target file: %1 — Is a directory";
        QCOMPARE(rec.first("testError"),
                 inRead ? QString("Read failed (%1)").arg(testFile(2))
                        : create.arg(testFile(1)) + "\n" + create.arg(testFile(3)));
        // The error ends the run; the phase's last sample stays where the bytes stopped.
        QCOMPARE(rec.ev.last().name, QString("testError"));
        const int last = rec.ev.size() - 1;
        int sample = last - 1;
        while (sample >= 0 && rec.ev[sample].name != (inRead ? "readProgress" : "writeProgress"))
            --sample;
        QVERIFY(sample >= 0 && rec.ev[sample].args[0].toInt() < 100);
        QCOMPARE(rec.count(inRead ? "readFinished" : "writeFinished"), 0);
        // The run's files are gone; the folders, not the run's own, stay.
        QCOMPARE(entriesOf(root).size(), inRead ? 0 : 2);
    }

    void refusedPlans_data()
    {
        QTest::addColumn<Refusal>("r");
        QTest::newRow("size below a block")
            << Refusal{Block, English, {}, "Test size is smaller than block size."};
        // Texts are looked up when they are sent, in the language current then.
        QTest::newRow("no block, Chinese")
            << Refusal{0, SimplifiedChinese, {}, QString::fromUtf8("测试大小小于块大小。")};
        QTest::newRow("no source of a whole block") << Refusal{
            Block, English, {"a/tiny.bin", "missing.bin", "d"}, "No valid files to test."};
    }
    void refusedPlans()
    {
        QFETCH(Refusal, r);
        QVERIFY(!source("a", "tiny.bin", 10, 51).isEmpty() && QDir(root).mkdir("d"));
        QStringList paths, logs;
        for (const QString& s : r.sources) {
            paths << root + s;
            logs << "Skipping file (smaller than block size): " + root + s;
        }
        SpeedTester e;
        Recorder rec(&e);
        TestPlan plan = e.plan();
        plan.sourceFiles = paths;
        e.setPlan(plan);
        setLanguage(r.language);
        const bool ended = runRandom(e, 4, Block - 4096, false, r.block);
        setLanguage(English);
        QVERIFY(ended);
        QCOMPARE(rec.logs() << rec.first("testError"), logs << r.error);
        QCOMPARE(rec.ev.size(), logs.size());
        QCOMPARE(entriesOf(root), QStringList({"a", "d"}));
    }

    void freeName_data()
    {
        QTest::addColumn<QStringList>("names"); // the source's, the free one, those taken
        QTest::newRow("last dot") << QStringList{"a.tar.gz", "a.tar (1).gz", "a.tar.gz"};
        QTest::newRow("placeholder in name") << QStringList{"a%1b", "a%1b (1)", "a%1b"};
    }
    void freeName()
    {
        QFETCH(QStringList, names);
        QSet<QString> taken;
        for (const QString& t : names.mid(2))
            taken.insert(TestFileList::foldName(t));
        QCOMPARE(TestFileList::freeName(names[0], taken), names[1]);
    }

    void copiesTakeFreeNamesAndAreChecked()
    {
        // The user's own files and folders on the card, one a numbered name already.
        const QString card = root + "card/";
        QVERIFY(QDir(root).mkpath("card/DCIM"));
        const QByteArray mine = distinctBytes(Block + 123, 21), mineToo = distinctBytes(777, 22);
        QVERIFY(writeAll(card + "clip.mp4", mine) && writeAll(card + "CLIP (1).MP4", mineToo) &&
                writeAll(card + "notes.TXT", mineToo));
        // Names repeat in any letter case; a small source is skipped; one is on the card.
        const QString small = source("s", "small.bin", Block / 2, 8);
        const QStringList sources = {
            source("a", "clip.mp4", 2 * Block, 1), source("b", "CLIP.mp4", 2 * Block + 7, 2),
            source("c", "Notes.txt", Block, 3), source("d", "dcim", Block, 4), card + "clip.mp4"};
        const QStringList names = {"clip (2).mp4", "CLIP (3).mp4", "Notes (1).txt", "dcim (1)",
                                   "clip (4).mp4"};
        SpeedTester e;
        Recorder rec(&e);
        QHash<QString, QByteArray> atWriteEnd;
        rec.onEvent = [&](const Event& ev) {
            for (const QString& name : ev.name == "writeFinished" ? names : QStringList())
                atWriteEnd.insert(name, readAll(card + name));
        };
        TestPlan plan = e.plan();
        plan.rootPath = card;
        plan.sourceFiles = sources.mid(0, 1) << small << sources.mid(1);
        plan.blockSize = Block;
        plan.readEnabled = true;
        e.setPlan(plan);
        e.start();
        QVERIFY(e.wait(60000));
        QStringList targets;
        for (int i = 0; i < 5; ++i) {
            targets << card + names[i];
            // Each copy holds its source's whole blocks.
            const QByteArray original = i == 4 ? mine : readAll(sources[i]);
            QVERIFY(atWriteEnd.value(names[i]) == original.left(int(e.fileSizes().value(i))));
        }
        QCOMPARE(e.targetFiles(), targets);
        QCOMPARE(e.fileSizes(), QVector<qint64>({2 * Block, 2 * Block, Block, Block, Block}));
        // Stream lines name the source, in the read phase the card file.
        const QStringList logs = rec.logs();
        QCOMPARE(logs.first(), "Skipping file (smaller than block size): " + small);
        QVERIFY(logs.contains("  Writing #2: CLIP.mp4") &&
                logs.contains("  Reading #2: CLIP (3).mp4"));
        QVERIFY(logs.contains("Mode: External files (5 files in parallel)") && logs.last() == Done);
        // Only the user's files are left, untouched.
        QCOMPARE(entriesOf(card), QStringList({"CLIP (1).MP4", "DCIM", "clip.mp4", "notes.TXT"}));
        QVERIFY(readAll(card + "clip.mp4") == mine && readAll(card + "CLIP (1).MP4") == mineToo &&
                readAll(card + "notes.TXT") == mineToo);
    }

    void rollingFill_data()
    {
        const qint64 F = 2 * Block;
        QTest::addColumn<Roll>("r");
        const auto row = [](const char* tag, qint64 size, qint64 free, qint64 tail, int refills,
                            int perFill, QString error = {}, int blocked = -1, int fullAt = -1) {
            QTest::newRow(tag) << Roll{size, free, tail, refills, perFill, error, blocked, fullAt};
        };
        row("10 F and a tail", F + 1000, 10 * F + 3 * Block / 2, Block, 1, 11);
        row("below F", 16 * F, 5 * Block + 7, 5 * Block, 1, 1);
        row("3 fills of 4", F, 4 * F, 0, 3, 4);
        row("0 refills", F, 2 * F, 0, 0, 2);
        row("file below a block", Block - 4096, 8 * F, 0, 1, 0,
            "File size is smaller than the block size.");
        row("free below a block", F, Block - 1, 0, 1, 0,
            "Card free space is insufficient to write even one file.");
        row("file cannot be created", F, 3 * F, 0, 2, 3,
            "Cannot create target file: %1 — Is a directory", 1);
        // Full in the tail or under 1 % before the end (bookkeeping): complete. Earlier: error.
        row("full in the last file", F, 8 * F + Block, Block, 2, 9, {}, -1, 8);
        row("full near the end", Block, 258 * Block, 0, 2, 258, {}, -1, 256);
        row("full too early", F, 6 * F, 0, 2, 6,
            "The card %2 is full: %1 could not be written completely. Free some space on the "
            "card or choose a smaller test size, then start again.",
            -1, 4);
        // Far more than any disk writes before the first sample: only the stop ends it.
        QTest::newRow("stop after a sample")
            << Roll{64 * F, 64 * 64 * F, 0, 2, 64, {}, -1, -1, true};
    }
    void rollingFill()
    {
        QFETCH(Roll, r);
        const qint64 f = r.fileSize / Block * Block;
        const auto name = [](int i) { return QString("__roll_%1.dat").arg(i); };
        const QString size = QString("size=%1").arg(r.fullAt * f);
        if (r.fullAt > 0 && QProcess::execute("mount", {"-t", "tmpfs", "-o", size, "t", root}))
            QSKIP("needs root to mount a small tmpfs card");
        const auto unmount =
            qScopeGuard([&] { r.fullAt > 0 && QProcess::execute("umount", {root}); });
        QVERIFY(r.blocked < 0 || QDir(root).mkdir(name(r.blocked)));
        const int fills = qMax(1, r.refills), total = r.perFill * fills;
        const bool failing = !r.error.isEmpty() && r.perFill > 0;
        SpeedTester e;
        Recorder rec(&e);
        // When file i starts, the card holds its fill's earlier files, whole, and nothing else.
        QStringList started;
        bool closing = false;
        rec.onEvent = [&](const Event& ev) {
            const int i = ev.args.value(0).toInt() - 1;
            closing = closing || (ev.name == "writeProgress" && i == 99);
            if (ev.name == "writeProgress" && r.stop)
                e.requestStop();
            if (ev.name != "rollingFileProgress" || started.contains(name(i)) || closing)
                return;
            started << name(i);
            QStringList expected, onCard;
            for (int k = i - i % r.perFill; k < i; ++k)
                expected << QString("%1 %2").arg(name(k)).arg(
                    k % r.perFill == r.perFill - 1 && r.tail ? r.tail : f);
            for (const QFileInfo& fi : QDir(root).entryInfoList(QDir::Files))
                onCard << QString("%1 %2").arg(fi.fileName()).arg(fi.size());
            onCard.sort();
            expected.sort();
            QCOMPARE(onCard, expected);
        };
        TestPlan plan = e.plan();
        plan.rootPath = root;
        plan.blockSize = Block;
        plan.rollFileSize = r.fileSize;
        plan.rollFreeBytes = r.freeBytes;
        plan.rollRefills = r.refills;
        e.setPlan(plan);
        e.start();
        QVERIFY(e.wait(120000));
        QVERIFY(QDir(root).entryList(QDir::Files).isEmpty());
        if (r.perFill == 0) {
            QCOMPARE(rec.ev.size(), 1);
            QCOMPARE(rec.first("testError"), r.error);
            return;
        }
        QStringList logs = {"========== Rolling-fill test started ==========",
                            QString::asprintf("Per file: %lld MB   Files per fill: %d   Refills: "
                                              "%d   Total files: %d",
                                              f / 1048576, r.perFill, fills, total)};
        if (r.tail)
            logs << QString::asprintf("  Last %lld MB is a tail file sized to fill the remaining "
                                      "card capacity",
                                      r.tail / 1048576);
        for (int k = r.fullAt; !failing && k >= 0 && k < total; k += r.perFill)
            logs << FullFill.arg(root + name(k));
        // A failed fill is not complete.
        if (!failing)
            logs << (r.stop ? Cancelled : RollingDone);
        QCOMPARE(rec.logs(), logs);
        QCOMPARE(rec.first("testError"),
                 failing ? r.error.arg(root + name(qMax(r.blocked, r.fullAt))).replace("%2", root)
                         : QString());
        const QVector<Event>& ev = rec.ev;
        if (failing) {
            // Where the bytes stopped, and nothing closed to be judged.
            QCOMPARE(rec.count("writeFinished"), 0);
            QVERIFY(rec.all("writeProgress").last().value(0).toInt() < 100);
            QVERIFY(r.blocked < 0 || QDir(root).rmdir(name(r.blocked)));
            return;
        }

        // The closing figures, also after a stop: 100 %, the counter at its end.
        const int fin = rec.indexOf("writeFinished");
        QVERIFY(fin == ev.size() - 2 && fin > rec.indexOf("testError") + 3);
        const QVariant avg = ev[fin].args[0];
        QCOMPARE(ev[fin - 3].args.mid(0, 1) << ev[fin - 3].args[2], QVariantList({100, avg}));
        QCOMPARE(ev[fin - 2].args.mid(0, 2) << ev[fin - 2].args[3], QVariantList({0, 100, avg}));
        const qint64 planned = (r.perFill * f - (r.tail ? f - r.tail : 0)) * fills;
        QCOMPARE(ev[fin - 1].args.mid(0, 2) << ev[fin - 1].args[3],
                 QVariantList({total, total, planned}));
        // Everything written, unless stopped (then well before the end) or failing.
        const qint64 written = ev[fin - 1].args[2].toLongLong();
        QVERIFY(r.stop ? written < planned / 2 : failing || r.fullAt >= 0 || written == planned);
        QVERIFY(avg.toDouble() > 0 && (r.blocked < 0 || QDir(root).rmdir(name(r.blocked))));
    }

    void rollingFillChecksEachFill()
    {
        // Two fills of 3 files; a block of file 1 goes bad while file 3 is written (a wrap).
        SpeedTester e;
        Recorder rec(&e);
        TestPlan plan = e.plan();
        plan.rootPath = root;
        plan.blockSize = Block;
        plan.rollFileSize = 4 * Block;
        plan.rollFreeBytes = 12 * Block;
        plan.rollRefills = 2;
        plan.rollVerify = true;
        e.setPlan(plan);
        bool damaged = false;
        rec.onEvent = [&](const Event& ev) {
            if (ev.name != "rollingFileProgress" || ev.args[0].toInt() != 3 || damaged)
                return;
            QByteArray data = readAll(root + "__roll_0.dat");
            data[int(Block + 3)] = char(data[int(Block + 3)] ^ 4);
            damaged = writeAll(root + "__roll_0.dat", data);
        };
        e.start();
        QVERIFY(e.wait(60000));
        QCOMPARE(rec.all("dataMismatch"),
                 (QVector<QVariantList>{{0, root + "__roll_0.dat", 1, Block}}));
        QCOMPARE(
            rec.logs().filter(QRegularExpression("[Ff]ill \\d")),
            QStringList({"  Verifying the data of fill 1/2", "  Verifying the data of fill 2/2",
                         "  Fill 2/2: all data read back intact"}));
        // Found before the end of the write phase, on which the window makes its verdicts.
        QVERIFY(rec.indexOf("dataMismatch") < rec.indexOf("writeFinished"));
        QCOMPARE(rec.count("testError"), 0);
        QCOMPARE(rec.logs().last(), RollingDone);
        QVERIFY(entriesOf(root).isEmpty());
        // Each check shows its progress as it reads, up to all of its fill.
        for (int fill = 1; fill <= 2; ++fill) {
            QVector<int> percents;
            for (const QVariantList& a : rec.all("fillCheckProgress")) {
                if (a[0].toInt() == fill && a[1].toInt() == 2)
                    percents << a[2].toInt();
            }
            QVERIFY(!percents.isEmpty() && percents.last() == 100);
            QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        }
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
