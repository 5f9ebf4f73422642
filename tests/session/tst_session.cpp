// The test session: its rounds, stops, errors, re-judging and result, played through a stand-in
// engine on a folder presented as a USB card; and one whole run on an emulated card.
#include "engine/units.h"
#include "i18n/i18n.h"
#include "platform/volumes.h"
#include "scriptedengine.h"
#include "session/testsession.h"
#include "systemtree.h"

#include <QtTest>

namespace {

const QVector<double> Steady40(40, 40.0);

// A session whose engines play one script per round (the last one again when they run out).
struct Bench
{
    SystemTree tree;
    QString card;
    TestSession session;
    QVector<ScriptedEngine::Script> scripts;
    QVector<TestPlan> plans; // the plan each round's engine was given, by the time it ended
    QVector<RunResult> results;
    QVector<RunFigures> figures;
    QStringList errors;
    QVector<QPair<int, int>> rounds;

    explicit Bench(const QString& cardFolder)
    {
        card = tree.addCard(cardFolder, "QCTEST", "vfat");
        tree.activate();
        session.setEngineFactory([this] {
            const auto* script = &scripts[std::min(int(plans.size()), int(scripts.size()) - 1)];
            auto* e = new ScriptedEngine(*script);
            plans << TestPlan();
            QObject::connect(e, &RunEngine::ended, &session,
                             [this, e] { plans.last() = e->plan(); });
            return e;
        });
        QObject::connect(&session, &TestSession::finished,
                         [this](const RunResult& r) { results << r; });
        QObject::connect(&session, &TestSession::figuresChanged,
                         [this](const RunFigures& f) { figures << f; });
        QObject::connect(&session, &TestSession::error, [this](const QString& m) { errors << m; });
        QObject::connect(&session, &TestSession::roundStarted,
                         [this](int r, int n) { rounds << qMakePair(r, n); });
    }
    ~Bench() { SystemTree::deactivate(); }

    TestRequest request(int streams = 2, bool read = true, int iterations = 1) const
    {
        TestRequest r;
        r.root = card;
        r.testSize = 8 * units::MiB;
        r.blockSize = units::MiB;
        r.streamCount = streams;
        r.readEnabled = read;
        r.rules.iterCount = iterations;
        return r;
    }
    bool run(const TestRequest& r)
    {
        if (!session.start(r))
            return false;
        return QTest::qWaitFor([this] { return !results.isEmpty(); }, 20000);
    }
};

ScriptedEngine::Script phases(const QVector<double>& write, const QVector<double>& read)
{
    return [write, read](ScriptedEngine& e) {
        e.playPhase(true, write);
        if (e.plan().readEnabled)
            e.playPhase(false, read);
    };
}

} // namespace

class TstSession : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        QCoreApplication::setApplicationVersion("9.8.7");
        QStandardPaths::setTestModeEnabled(true);
        QSettings().setValue("ui/language", 1);
        I18n::instance()->initLanguage();
    }

    void roundsRunOneAfterAnother_data()
    {
        QTest::addColumn<int>("iterations");
        QTest::addColumn<bool>("fill");
        QTest::addColumn<int>("streams");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("engines");
        QTest::newRow("one round, read back") << 1 << false << 2 << true << 1;
        QTest::newRow("three rounds, one stream") << 3 << false << 1 << true << 3;
        QTest::newRow("two rounds, write only") << 2 << false << 4 << false << 2;
        // The fill repeats inside the engine: one engine, told the refills.
        QTest::newRow("fill three times") << 3 << true << 4 << true << 1;
    }
    void roundsRunOneAfterAnother()
    {
        QFETCH(int, iterations);
        QFETCH(bool, fill);
        QFETCH(int, streams);
        QFETCH(bool, read);
        QFETCH(int, engines);
        Bench b(folder.path());
        b.scripts << phases(Steady40, Steady40);
        TestRequest r = b.request(streams, read, iterations);
        r.rules.fullCap = fill;
        QVERIFY(b.run(r));

        const RunResult& res = b.results.value(0);
        QCOMPARE(b.results.size(), 1);
        QCOMPARE(res.end, RunEnd::Completed);
        QCOMPARE(b.plans.size(), engines);
        QCOMPARE(res.rounds, engines);
        QCOMPARE(res.roundsDone, engines);
        for (int i = 0; i < engines; ++i)
            QCOMPARE(b.rounds.value(i), qMakePair(i + 1, engines));
        const TestPlan& plan = b.plans.first();
        QCOMPARE(plan.readEnabled, read && !fill);
        QCOMPARE(testModeOf(plan) == TestMode::RollingFill, fill);
        if (fill)
            QCOMPARE(plan.rollRefills, iterations);
        const int rows = fill || streams == 1 ? 1 : streams + 1;
        QCOMPARE(res.figures.rows.size(), rows);
        QVERIFY(res.figures.judged);
        QCOMPARE(res.log.filter("Starting round").size(), engines - 1);

        // Every round's samples follow the earlier rounds' on one axis.
        const QVector<SpeedPoint>& points = res.writeSeries.card;
        QCOMPARE(points.size(), engines * Steady40.size());
        for (int i = 1; i < points.size(); ++i)
            QVERIFY(points[i].percent >= points[i - 1].percent);
        QVERIFY(points.last().percent > 100.0 * (engines - 1) / engines);
        QCOMPARE(res.readSeries.card.isEmpty(), !read || fill);
        QCOMPARE(res.figures.rows[0].write.avg, 40.0);
        QCOMPARE(res.figures.card(), Verdict::Pass);
    }

    void readSwitchChangesLaterRounds()
    {
        Bench b(folder.path());
        b.scripts << [&b](ScriptedEngine& e) {
            e.playPhase(true, Steady40);
            // The user switches the read test off while round 1 runs.
            QMetaObject::invokeMethod(
                &b.session, [&b] { b.session.setReadEnabled(false); },
                Qt::BlockingQueuedConnection);
            if (e.plan().readEnabled)
                e.playPhase(false, Steady40);
        };
        QVERIFY(b.run(b.request(2, true, 2)));
        QCOMPARE(b.plans.size(), 2);
        QVERIFY(b.plans[0].readEnabled);
        QVERIFY(!b.plans[1].readEnabled);
    }

    void stopEndsTheRunInEveryPhase_data()
    {
        QTest::addColumn<bool>("fill");
        QTest::addColumn<int>("round");
        QTest::addColumn<bool>("inRead");
        QTest::newRow("write of round 1") << false << 1 << false;
        QTest::newRow("read of round 1") << false << 1 << true;
        QTest::newRow("write of round 2") << false << 2 << false;
        QTest::newRow("read of round 3") << false << 3 << true;
        QTest::newRow("rolling fill") << true << 1 << false;
    }
    void stopEndsTheRunInEveryPhase()
    {
        QFETCH(bool, fill);
        QFETCH(int, round);
        QFETCH(bool, inRead);
        Bench b(folder.path());
        int played = 0;
        b.scripts << [&played, round, inRead](ScriptedEngine& e) {
            ++played;
            const bool holdHere = played == round;
            e.playPhase(true, {30, 30});
            if (holdHere && !inRead)
                e.holdUntilStop();
            if (e.stopRequested())
                return;
            if (e.plan().readEnabled) {
                e.playPhase(false, {30, 30});
                if (holdHere && inRead)
                    e.holdUntilStop();
            }
        };
        // Stop once the phase to stop in has begun; the script holds at its end.
        bool stopped = false;
        QObject::connect(&b.session, &TestSession::phaseProgress, [&](bool write) {
            if (stopped || b.session.round() != round || write == inRead)
                return;
            stopped = true;
            b.session.stop();
            b.session.stop(); // a second press changes nothing but the log
        });
        TestRequest r = b.request(2, true, 3);
        r.rules.fullCap = fill;
        QVERIFY(b.run(r));
        QCOMPARE(b.results.size(), 1);
        const RunResult& res = b.results.first();
        QCOMPARE(res.end, RunEnd::Stopped);
        QCOMPARE(b.plans.size(), round);
        QCOMPARE(res.roundsDone, round - 1);
        QCOMPARE(res.log.filter("Stopping test...").size(), 2);
        QVERIFY(!b.session.isRunning());
        QCOMPARE(b.session.round(), 0);
        QVERIFY(res.errors.isEmpty());
    }

    void errorEndsTheRounds_data()
    {
        QTest::addColumn<bool>("announced"); // the error reaches the session before the end
        QTest::addColumn<int>("cause");
        QTest::newRow("error, then failed ending") << true << int(FailureCause::CardFull);
        QTest::newRow("failed ending only") << false << int(FailureCause::Other);
    }
    void errorEndsTheRounds()
    {
        QFETCH(bool, announced);
        QFETCH(int, cause);
        Bench b(folder.path());
        b.scripts << [announced, cause](ScriptedEngine& e) {
            e.playPhase(true, Steady40);
            if (announced) {
                e.fail("card full", FailureCause(cause));
                return;
            }
            // Failed without a word before the end: the session must still tell the user.
            e.endAs({RunOutcome::Kind::Failed, FailureCause(cause), "card full", QString()});
        };
        QVERIFY(b.run(b.request(2, true, 3)));
        const RunResult& res = b.results.first();
        QCOMPARE(res.end, RunEnd::Failed);
        QCOMPARE(b.plans.size(), 1);
        QCOMPARE(res.roundsDone, 0);
        QCOMPARE(res.failure, QString("card full"));
        QCOMPARE(res.errors, QStringList("card full"));
        QCOMPARE(b.errors, QStringList("card full"));
        QCOMPARE(int(res.cause), cause);
        QCOMPARE(res.log.filter("Error: card full").size(), 1);
        // What was measured before the error stays, but no row of a failed run passes, whatever
        // its figures or the rules say, and each says why.
        QVERIFY(res.figures.writeMeasured);
        QCOMPARE(res.figures.rows[0].write.avg, 40.0);
        QVERIFY(res.figures.judged);
        QCOMPARE(res.figures.rows.size(), 3);
        for (const RunRow& row : res.figures.rows) {
            QCOMPARE(row.verdict.overall(), Verdict::Fail);
            QVERIFY(row.reasons.join(' ').contains("card full"));
        }
        VerdictRules lenient;
        lenient.aggWriteWarn = lenient.aggWriteFail = 0;
        b.session.setRules(lenient);
        QCOMPARE(b.session.result().figures.card(), Verdict::Fail);
    }

    void newRulesJudgeTheFiguresAgain()
    {
        Bench b(folder.path());
        b.scripts << phases(QVector<double>(40, 15.0), Steady40);
        QVERIFY(b.run(b.request(1, true)));
        const RunFigures before = b.session.result().figures;
        QCOMPARE(before.card(), Verdict::Warn); // 15 MB/s is below the card's 20 MB/s warning
        QCOMPARE(before.rows[0].reasons.size(), 1);
        QVERIFY(before.rows[0].reasons[0].contains("15.00"));

        VerdictRules lenient;
        lenient.aggWriteWarn = 12;
        const int emitted = b.figures.size();
        b.session.setRules(lenient);
        QCOMPARE(b.figures.size(), emitted + 1);
        QCOMPARE(b.figures.last().card(), Verdict::Pass);
        QVERIFY(b.figures.last().rows[0].reasons.isEmpty());
        QCOMPARE(b.figures.last().rows[0].write.avg, before.rows[0].write.avg);

        VerdictRules strict;
        strict.aggReadFail = 2000;
        b.session.setRules(strict);
        QCOMPARE(b.session.result().figures.card(), Verdict::Fail);
        QCOMPARE(b.session.result().rules.aggReadFail, 2000.0);
    }

    void resultHoldsTheWholeRun_data()
    {
        QTest::addColumn<int>("bad");
        QTest::newRow("bad data in the first stream") << 0;
        QTest::newRow("bad data in the second stream") << 1;
    }
    void resultHoldsTheWholeRun()
    {
        QFETCH(int, bad);
        const QString badFile = QString("__card_speed_test_%1.dat").arg(bad + 1);
        Bench b(folder.path());
        b.scripts << [bad, badFile](ScriptedEngine& e) {
            e.playPhase(true, Steady40);
            emit e.log("engine line");
            emit e.dataMismatch(bad, e.plan().rootPath + badFile, 3, 4096);
            e.playPhase(false, Steady40);
        };
        const QDateTime before = QDateTime::currentDateTimeUtc();
        // A root given without its separator still puts the files on the card, not beside it.
        TestRequest request = b.request(2, true);
        QVERIFY(request.root.endsWith('/'));
        request.root.chop(1);
        QVERIFY(b.run(request));
        const RunResult& res = b.results.first();
        QCOMPARE(res.programVersion, QString("9.8.7"));
        QVERIFY(res.started >= before.addSecs(-1) && res.started <= res.ended);
        QCOMPARE(res.started.timeSpec(), Qt::UTC);
        QCOMPARE(res.card.root, b.card);
        QCOMPARE(res.card.label, QString("QCTEST"));
        const auto listed = platform::listRemovableVolumes();
        QCOMPARE(listed.size(), std::size_t(1));
        QCOMPARE(res.card.fileSystem, QString::fromStdString(listed.front().fileSystem));
        QVERIFY(!res.card.fileSystem.isEmpty());
        QVERIFY(res.card.capacityBytes > 0 && res.card.freeBytesBefore > 0);
        QCOMPARE(res.plan.rootPath, b.card);
        QCOMPARE(res.plan.streamCount, 2);
        QCOMPARE(res.streamLabels.size(), 2);
        QCOMPARE(res.writeSeries.streams.size(), 2);
        QCOMPARE(res.readSeries.streams[1].size(), Steady40.size());
        QCOMPARE(res.readSeries.streams[1].first().mbps, 20.0);

        // The bad blocks of one stream fail its row and the card, whatever the speeds say.
        const int badRow = bad + 1, goodRow = 2 - bad;
        QCOMPARE(res.figures.rows.size(), 3);
        QCOMPARE(res.figures.rows[badRow].data.badBlocks, qint64(3));
        QCOMPARE(res.figures.rows[badRow].data.firstBadFile, badFile);
        QCOMPARE(res.figures.rows[badRow].verdict.overall(), Verdict::Fail);
        QCOMPARE(res.figures.rows[goodRow].verdict.overall(), Verdict::Pass);
        QCOMPARE(res.figures.card(), Verdict::Fail);
        QVERIFY(res.figures.rows[0].reasons.join('\n').contains("3 bad blocks"));
        QVERIFY(res.figures.rows[goodRow].reasons.isEmpty());

        const QRegularExpression stamped("^\\[\\d\\d:\\d\\d:\\d\\d\\] ");
        QCOMPARE(res.log.filter(stamped).size(), res.log.size());
        QCOMPARE(res.log.filter("engine line").size(), 1);
    }

    void refusedRequestsStartNothing_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("no drive") << 0;
        QTest::newRow("a folder that is no card") << 1;
        QTest::newRow("block larger than the test") << 2;
        QTest::newRow("files to copy missing") << 3;
        QTest::newRow("more than the card holds") << 4;
    }
    void refusedRequestsStartNothing()
    {
        QFETCH(int, which);
        Bench b(folder.path());
        b.scripts << phases(Steady40, Steady40);
        QSignalSpy started(&b.session, &TestSession::runStarted);
        TestRequest r = b.request();
        QTemporaryDir other;
        switch (which) {
        case 0:
            r.root.clear();
            break;
        case 1:
            r.root = other.path() + "/";
            break;
        case 2:
            r.blockSize = 16 * units::MiB;
            break;
        case 3:
            r.sourceFiles << other.path() + "/gone.mp4";
            break;
        case 4:
            r.testSize = 64 * units::GiB * 1024;
            break;
        }
        QVERIFY(!b.session.start(r));
        QVERIFY(!b.session.refusalTitle().isEmpty() && !b.session.refusalBody().isEmpty());
        QCOMPARE(b.session.refusalCritical(), which == 1);
        QCOMPARE(started.count(), 0);
        QVERIFY(b.plans.isEmpty());
        QVERIFY(!b.session.isRunning());
    }

    // Only inside bench/card-sim --usb-root: a whole run through the session with the real
    // engine, its figures against the card's caps.
    void wholeRunOnTheEmulatedCard()
    {
        const QString mount = QString::fromLocal8Bit(qgetenv("CARD_ROOT"));
        const double writeCap = qgetenv("CARD_WRITE_BPS").toDouble() / units::MiB;
        const double readCap = qgetenv("CARD_READ_BPS").toDouble() / units::MiB;
        if (mount.isEmpty() || qEnvironmentVariableIsEmpty("QUORVELCARD_SYSTEM_ROOT") ||
            writeCap <= 0 || readCap <= 0)
            QSKIP("Needs an emulated USB card with write and read caps: run through card-sim.");
        const auto volumes = platform::listRemovableVolumes();
        QCOMPARE(volumes.size(), std::size_t(1));

        TestSession session;
        QSignalSpy finished(&session, &TestSession::finished);
        TestRequest r;
        r.root = QString::fromStdString(volumes.front().root);
        r.testSize = 96 * units::MiB;
        r.streamCount = 2;
        r.readEnabled = true;
        QVERIFY(session.start(r));
        QVERIFY(finished.wait(240000));
        const RunResult res = finished.first().first().value<RunResult>();
        QCOMPARE(res.end, RunEnd::Completed);
        QCOMPARE(res.plan.testSize, 2 * 96 * units::MiB);
        const StreamMetrics& write = res.figures.rows[0].write;
        const StreamMetrics& read = res.figures.rows[0].read;
        qInfo("session on the card: write %.2f MB/s (cap %.2f), read %.2f MB/s (cap %.2f)",
              write.avg, writeCap, read.avg, readCap);
        // The throttle lets a phase's first requests through above the cap.
        QVERIFY(qAbs(write.avg - writeCap) <= 0.05 * writeCap);
        QVERIFY(qAbs(read.avg - readCap) <= 0.05 * readCap);
        QVERIFY(res.figures.judged && res.figures.rows.size() == 3);
        QVERIFY(res.writeSeries.card.size() >= 5 && res.readSeries.streams[1].size() >= 3);
        QCOMPARE(QDir(mount).entryList({"__card_speed_test_*"}), QStringList());
    }
};

QTEST_GUILESS_MAIN(TstSession)
#include "tst_session.moc"
