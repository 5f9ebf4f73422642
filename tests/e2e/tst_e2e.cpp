// The engine on emulated cards: bench/card-sim makes an honest card whose speed the kernel
// caps, bench/lying-card one that flips bits or wraps around. Both hand over the card's root
// and their settings in the environment; each case skips on a card that is not its kind.
#include "analysis/phasesamples.h"
#include "analysis/verdict.h"
#include "engine/speedtester.h"
#include "i18n/i18n.h"

#include <QtTest>
#include <algorithm>
#include <fcntl.h>
#include <numeric>

namespace {

const qint64 MiB = 1048576;

// One run and all it reported (spies record on the engine's thread).
struct Run
{
    SpeedTester e;
    QSignalSpy write{&e, &SpeedTester::writeProgress}, read{&e, &SpeedTester::readProgress};
    QSignalSpy writeStreams{&e, &SpeedTester::fileWriteSample};
    QSignalSpy readStreams{&e, &SpeedTester::fileReadSample};
    QSignalSpy writeDone{&e, &SpeedTester::writeFinished}, readDone{&e, &SpeedTester::readFinished};
    QSignalSpy mismatches{&e, &SpeedTester::dataMismatch};
    QSignalSpy rolling{&e, &SpeedTester::rollingFileProgress};
    QStringList logs, errors;

    explicit Run(const QString& root)
    {
        TestPlan plan = e.plan();
        plan.rootPath = root;
        plan.blockSize = MiB;
        e.setPlan(plan);
        on(&SpeedTester::log, [this](const QString& line) { logs << line; });
        on(&SpeedTester::testError, [this](const QString& text) { errors << text; });
    }
    template<typename Signal, typename Slot>
    void on(Signal signal, Slot slot)
    {
        QObject::connect(&e, signal, &e, slot, Qt::DirectConnection);
    }
    void plan(qint64 perStream, int streams)
    {
        TestPlan p = e.plan();
        p.testSize = perStream;
        p.streamCount = streams;
        p.readEnabled = true;
        e.setPlan(p);
    }
    // Runs to the end (generously timed: the machine may be busy); empty or what went wrong.
    QString run()
    {
        e.start();
        return e.wait(300000) ? errors.join('\n') : QStringLiteral("timed out");
    }
};

// The open flags of this process's descriptors on the engine's card files, from /proc: the
// proof that the card, not the page cache, is what is timed.
QVector<int> cardFileFlags(const QString& root)
{
    QVector<int> flags;
    for (const QFileInfo& fd :
         QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System)) {
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd.fileName());
        if (fd.symLinkTarget().startsWith(root + QStringLiteral("__card_speed_test_")) &&
            info.open(QIODevice::ReadOnly))
            flags << info.readAll().split('\n').value(1).mid(6).trimmed().toInt(nullptr, 8);
    }
    return flags;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

    QString m_root; // canonical, with its trailing separator
    QStringList m_before;
    QStringList entries() const
    {
        return QDir(m_root).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    static double env(const char* name) { return qgetenv(name).toDouble(); }
    static double median(QVector<double> v)
    {
        std::sort(v.begin(), v.end());
        return v.value(v.size() / 2);
    }

    // One phase of a completed run with n streams on a card capped at `cap` MB/s: its files
    // opened as `mode`, its span as seen from outside the engine.
    void checkPhase(Run& r, bool read, int n, double cap, const QVector<int>& flags, int mode,
                    double span)
    {
        const QSignalSpy& card = read ? r.read : r.write;
        const QSignalSpy& done = read ? r.readDone : r.writeDone;
        QCOMPARE(done.size(), 1);
        QCOMPARE(flags.size(), n);
        for (const int f : flags)
            QCOMPARE(f & (O_ACCMODE | O_DIRECT | O_DSYNC), mode | O_DIRECT);
        const double avg = done[0][0].toDouble();
        QVector<int> percent(n + 1, 0);
        QVector<double> last(n + 1, qInf()), currents;
        for (QVariantList s : card + (read ? r.readStreams : r.writeStreams)) {
            if (s.size() == 3)
                s.prepend(-1); // the card's own figures
            const int i = s[0].toInt() + 1, p = s[1].toInt();
            QVERIFY(i >= 0 && i <= n && p >= percent[i] && p <= 100 && s[2].toDouble() >= 0);
            percent[i] = p;
            last[i] = s[3].toDouble();
            if (i == 0 && p < 100)
                currents << s[2].toDouble();
        }
        QCOMPARE(percent, QVector<int>(n + 1, 100));
        QCOMPARE(card.last(), QVariantList({100, avg, avg}));
        const double sum = std::accumulate(last.begin() + 1, last.end(), 0.0);
        const double outside = r.e.plan().testSize / double(MiB) / span;
        qInfo("%s: avg %.2f, by span %.2f, median %.2f of %d, sum %.2f, cap %.2f",
              read ? "read" : "write", avg, outside, median(currents), int(currents.size()), sum,
              cap);
        // The average includes the burst the throttle lets through at the start, hence 10 %. It
        // is the bytes over the engine's clock, which runs within the span: a sound figure lies
        // at or just above bytes over span; a unit error of 5 % does not.
        QVERIFY(qAbs(avg / cap - 1) < 0.1 && avg >= outside * 0.999 && avg < outside * 1.03);
        // A few seconds at 4 to 5 samples a second; far fewer means the sampling stalled.
        // Measured between block completions, the current speed is the cap, which the throttle
        // holds to half a percent: a unit or clock error of a few percent shows.
        QVERIFY(currents.size() >= 3 && qAbs(median(currents) / cap - 1) < 0.03);
        // All stream averages share the phase clock, so they add up to the card's figure.
        QVERIFY(qAbs(sum - avg) < avg * 0.1);
    }

    // A whole run of two streams with 1 MiB blocks judged as the window judges it: one
    // verdict per row, card total first, "write/read" letters each (P, W, F).
    QStringList judgedRun(qint64 perStream, bool read, const VerdictRules& rules)
    {
        Run r(m_root);
        r.plan(perStream, 2);
        TestPlan plan = r.e.plan();
        plan.readEnabled = read;
        r.e.setPlan(plan);
        PhaseSamples phases[2];
        for (PhaseSamples& p : phases)
            p.reset(2);
        for (const int i : {0, 1}) {
            PhaseSamples& p = phases[i];
            r.on(i ? &SpeedTester::readProgress : &SpeedTester::writeProgress,
                 [&p](int percent, double cur) { p.addCardSample(percent, cur); });
            r.on(i ? &SpeedTester::fileReadSample : &SpeedTester::fileWriteSample,
                 [&p](int s, int percent, double cur, double avg) {
                     p.addStreamSample(s, percent, cur, avg);
                 });
            r.on(i ? &SpeedTester::readFinished : &SpeedTester::writeFinished,
                 [&p](double avg) { p.finish(avg); });
        }
        if (r.run() != QString())
            return {r.errors.join('\n')};
        const QVector<RowVerdict> verdicts =
            judgeRows(phases[0].rowMetrics(rules.slcTrim, 3),
                      phases[1].rowMetrics(rules.slcTrim, 3), rules, read);
        QStringList rows;
        for (const RowVerdict& v : verdicts)
            rows << QStringLiteral("%1/%2").arg("PWF"[int(v.write)]).arg("PWF"[int(v.read)]);
        return rows;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("CARD_ROOT"))
            QSKIP("Needs an emulated card: run through bench/card-sim or bench/lying-card.");
        m_root = QDir(qEnvironmentVariable("CARD_ROOT")).canonicalPath() + '/';
        // The log lines are compared in English; private settings leave the user's alone.
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("QuorvelTests"));
        QSettings().setValue(QStringLiteral("ui/language"), 1);
        I18n::instance()->initLanguage();
    }
    void init() { m_before = entries(); }
    void cleanup() { QCOMPARE(entries(), m_before); } // every run removes its files

    void randomDataWriteAndReadBackRunAtTheCaps()
    {
        const double writeCap = env("CARD_WRITE_BPS") / MiB, readCap = env("CARD_READ_BPS") / MiB;
        if (writeCap <= 0 || readCap <= 0)
            QSKIP("Runs on a card with a write and a read cap only.");
        Run r(m_root);
        // Each speed spans half a second, and the throttle makes up for the burst it lets through
        // at a phase's start over the next; a read phase of 2.5 s still has most speeds after.
        const qint64 perStream = qint64(writeCap * 2.5) * MiB;
        r.plan(perStream, 2); // about 5 s of writing, 2.5 s of reading
        // The flags are taken at each phase's first sample, while every stream is open. Each
        // phase's span runs from its header, logged just before the engine starts the phase's
        // clock, to its closing average, sent just after the clock is read.
        QVector<int> flags[2];
        QVector<double> spans;
        QElapsedTimer clock;
        clock.start();
        qint64 begun = 0;
        for (const int phase : {0, 1}) {
            r.on(phase ? &SpeedTester::readProgress : &SpeedTester::writeProgress, [&, phase] {
                if (flags[phase].isEmpty())
                    flags[phase] = cardFileFlags(m_root);
            });
            r.on(phase ? &SpeedTester::readFinished : &SpeedTester::writeFinished,
                 [&] { spans << (clock.nsecsElapsed() - begun) / 1e9; });
        }
        r.on(&SpeedTester::log, [&](const QString& line) {
            begun = line.startsWith(QStringLiteral("—— ")) ? clock.nsecsElapsed() : begun;
        });
        QCOMPARE(r.run(), QString());
        QCOMPARE(r.mismatches.size(), 0);
        QCOMPARE(r.logs.last(), QStringLiteral("========== Test complete =========="));
        QCOMPARE(spans.size(), 2);
        QCOMPARE(r.e.plan().testSize, 2 * perStream);
        // Written blocks go straight to the card and are on it when the write returns.
        checkPhase(r, false, 2, writeCap, flags[0], O_WRONLY | O_DSYNC, spans[0]);
        checkPhase(r, true, 2, readCap, flags[1], O_RDONLY, spans[1]);
    }

    // Four streams share the write cap with 2 MiB blocks, so each completes a block only every
    // other sample or so, until the stop after about 1.8 s.
    void stopDuringTheWriteLeavesNothingOnTheCard()
    {
        const double share = env("CARD_WRITE_BPS") / MiB / 4;
        if (share <= 0)
            QSKIP("Runs on a card with a write cap only.");
        Run r(m_root);
        TestPlan plan = r.e.plan();
        plan.blockSize = 2 * MiB;
        r.e.setPlan(plan);
        r.plan(qint64(4) << 30, 4); // far more than the card holds: only the stop ends this run
        r.on(&SpeedTester::fileWriteSample, [&r] {
            if (r.writeStreams.size() == 36)
                r.e.requestStop();
        });
        QCOMPARE(r.run(), QString());
        QVERIFY(r.writeDone.isEmpty() && r.read.isEmpty() && r.readDone.isEmpty());
        for (const QVariantList& s : qAsConst(r.write))
            QVERIFY(s[0].toInt() < 100); // no closing sample after a stop
        QCOMPARE(r.logs.last(), QStringLiteral("Test cancelled by user."));
        // Counting whole blocks against the sampling clock would show a stream at 0 and at twice
        // its speed by turns. The throttle lets each stream's first block through at once, and
        // samples without a new block are no speeds of the card either.
        QVector<double> speeds;
        QVector<bool> seen(4, false);
        for (const QVariantList& s : qAsConst(r.writeStreams)) {
            if (std::exchange(seen[s[0].toInt()], true) && s[2].toDouble() > 0)
                speeds << s[2].toDouble();
        }
        QVERIFY2(
            speeds.size() >= 8 && median(speeds) > share * 0.8 && median(speeds) < share * 1.25,
            qPrintable(QStringLiteral("%1 MB/s, a share of %2").arg(median(speeds)).arg(share)));
    }

    // A steady card shared by two streams passes on every row: blocks complete in bursts and
    // a stream's share of the card wanders, but the card is steady.
    void steadyCardPassesEveryRow()
    {
        const double writeCap = env("CARD_WRITE_BPS") / MiB, readCap = env("CARD_READ_BPS") / MiB;
        if (writeCap <= 0 || readCap <= 0 || env("CARD_STALL_MS") > 0)
            QSKIP("Runs on a steady card with a write and a read cap only.");
        VerdictRules rules;
        // The card total's minimum speeds judge the card's speed class, not its steadiness:
        // here they sit below this card's caps.
        rules.aggWriteFail = rules.aggWriteWarn = writeCap / 2;
        rules.aggReadFail = rules.aggReadWarn = readCap / 2;
        QCOMPARE(judgedRun(qint64(writeCap * 3.2) * MiB, true, rules),
                 QStringList({"P/P", "P/P", "P/P"}));
    }

    // A card that stalls for 500 ms every 2 s warns or fails on every row it writes.
    void stallingCardIsCaught()
    {
        const double writeCap = env("CARD_WRITE_BPS") / MiB;
        if (writeCap <= 0 || env("CARD_STALL_MS") <= 0)
            QSKIP("Runs on a card that stalls only.");
        const QStringList rows = judgedRun(qint64(writeCap * 3) * MiB, false, VerdictRules());
        QCOMPARE(rows.size(), 3);
        for (const QString& row : rows)
            QVERIFY2(row == "W/P" || row == "F/P", qPrintable(rows.join(' ')));
    }

    // The free space as the window measures it at launch, filled twice with 16 MiB files.
    void rollingFillWritesTheFreeSpaceTwiceAtTheCap()
    {
        const double cap = env("CARD_WRITE_BPS") / MiB;
        const qint64 free = QStorageInfo(m_root).bytesAvailable(), planned = free / MiB * MiB * 2;
        if (cap <= 0 || planned > cap * MiB * 20)
            QSKIP("Runs on a capped card of about 96 MB only.");
        Run r(m_root);
        TestPlan plan = r.e.plan();
        plan.readEnabled = true; // the fill has no read phase all the same
        plan.rollFileSize = 16 * MiB;
        plan.rollFreeBytes = free;
        plan.rollRefills = 2;
        r.e.setPlan(plan);
        QCOMPARE(r.run(), QString());
        QCOMPARE(r.logs.last(), QStringLiteral("========== Rolling-fill test complete =========="));
        const int files = 2 * int((free + 15 * MiB) / (16 * MiB));
        QCOMPARE(r.rolling.value(r.rolling.size() - 1),
                 QVariantList({files, files, planned, planned}));
        QVERIFY(r.read.isEmpty() && r.writeDone.size() == 1);
        QVERIFY2(qAbs(r.writeDone[0][0].toDouble() / cap - 1) < 0.03,
                 qPrintable(r.writeDone[0][0].toString()));
        QTRY_COMPARE(QStorageInfo(m_root).bytesAvailable(), free);
    }

    // A card that flips bits fails the read test, one that wraps around the verified fill: each
    // file with bad blocks is named with the place of its first.
    void lyingCardFailsTheDataCheck()
    {
        const qint64 real = env("CARD_REAL_BYTES"), free = QStorageInfo(m_root).bytesAvailable();
        const bool flips = env("CARD_FLIP_EVERY") > 0;
        if (!flips && env("CARD_CLAIM_BYTES") <= real)
            QSKIP("Runs on a lying card only.");
        Run r(m_root);
        if (flips) {
            r.plan(16 * MiB, 2);
        } else {
            QVERIFY(free > real); // the card claims more than it has
            TestPlan plan = r.e.plan();
            plan.rollFileSize = 16 * MiB;
            plan.rollFreeBytes = free;
            plan.rollRefills = 1;
            plan.rollVerify = true;
            r.e.setPlan(plan);
        }
        // The speeds are measured as ever; the data is what fails.
        QCOMPARE(r.run(), QString());
        QCOMPARE(r.readDone.size(), int(flips));
        QVERIFY(!r.logs.contains(QStringLiteral("  Fill 1/1: all data read back intact")));
        QVERIFY2(flips ? r.mismatches.size() == 2 : !r.mismatches.isEmpty(),
                 qPrintable(r.logs.join('\n')));
        qint64 bad = 0;
        for (int i = 0; i < r.mismatches.size(); ++i) {
            const QVariantList& m = r.mismatches[i];
            const qint64 n = m[2].toLongLong(), first = m[3].toLongLong();
            // One 4 KiB block in every few is flipped, so most 1 MiB blocks hold one.
            QVERIFY2(m[0] == (flips ? i : 0) && (!flips || (n > 8 && n <= 16)) && first >= 0 &&
                         first < 16 * MiB && first % MiB == 0 &&
                         m[1].toString().startsWith(
                             m_root + (flips ? QStringLiteral("__card_speed_test_%1.dat").arg(i + 1)
                                             : QStringLiteral("__roll_"))),
                     qPrintable(m[1].toString()));
            bad += n;
        }
        // The late files landed on the early ones: their bad blocks cannot add up to more than
        // the fill wrote beyond the real storage.
        QVERIFY2(flips || bad * MiB <= free - (real - env("CARD_KEEP_BYTES")) + 16 * MiB,
                 qPrintable(QString::number(bad)));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
