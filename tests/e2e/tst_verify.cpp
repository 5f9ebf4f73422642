// The data check against emulated cards: cards that lie (bench/lying-card) must fail, an honest
// capped card (bench/card-sim) must pass at unchanged speed. Each case runs only on its own kind
// of card, which the wrapper announces in the environment, and skips elsewhere.

#include "analysis/verdict.h"
#include "engine/fileworker.h"
#include "engine/speedtester.h"
#include "engine/testplan.h"
#include "i18n/i18n.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QtTest>
#include <algorithm>

namespace {

const qint64 MiB = 1048576;

struct Mismatch
{
    int fileIdx;
    QString path;
    qint64 bad;
    qint64 first;
};

// What one run reported, recorded on the engine's thread.
struct Run
{
    QVector<Mismatch> mismatches;
    QStringList logs;
    QStringList errors;
    QVector<double> readFinished;

    explicit Run(SpeedTester& e)
    {
        QObject::connect(
            &e, &SpeedTester::dataMismatch, &e,
            [this](int i, const QString& p, qlonglong n, qlonglong at) {
                mismatches.append({i, p, n, at});
            },
            Qt::DirectConnection);
        QObject::connect(
            &e, &SpeedTester::log, &e, [this](const QString& l) { logs << l; },
            Qt::DirectConnection);
        QObject::connect(
            &e, &SpeedTester::testError, &e, [this](const QString& m) { errors << m; },
            Qt::DirectConnection);
        QObject::connect(
            &e, &SpeedTester::readFinished, &e, [this](double a) { readFinished << a; },
            Qt::DirectConnection);
    }
};

QString mismatchLine(const Mismatch& m)
{
    return QString::fromUtf8("Data check failed: %1 — blocks not as written: %2, the first "
                             "at byte offset %3")
        .arg(m.path)
        .arg(m.bad)
        .arg(m.first);
}

// MB/s of one read of `path`, checking its blocks or not, measured from the completion of the
// first block to that of the last: the set-up of the job and the throttle's first-block burst
// are left out, the steady transfer is what the check must not slow.
double timedRead(const QString& path, qint64 size, qint64 block, bool verify, qint64* bad)
{
    FileWorker r(static_cast<int>(WorkerMode::Read), QString(), path, size, block, nullptr);
    r.setStreamIdentity(42, 0);
    r.setVerify(verify);
    r.start();
    BlockProgress::Snapshot first;
    while (!r.isFinished() && (first = r.progress()).bytes == 0)
        QThread::usleep(200);
    r.wait();
    const BlockProgress::Snapshot last = r.progress();
    *bad = r.succeeded() && first.bytes < last.bytes ? r.badBlocks() : -1;
    return (last.bytes - first.bytes) / double(MiB) / ((last.stampNs - first.stampNs) / 1e9);
}

} // namespace

class TestVerify : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void bitFlippingCardFailsTheReadTest();
    void wrappingCardFailsTheVerifiedFill();
    void honestCardPassesAtTheSameSpeed();

private:
    QString m_root;
};

void TestVerify::initTestCase()
{
    const QByteArray root = qgetenv("CARD_ROOT");
    if (root.isEmpty())
        QSKIP("Needs an emulated card: run through bench/lying-card or bench/card-sim.");
    m_root = QDir(QString::fromLocal8Bit(root)).absolutePath() + QLatin1Char('/');
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("QuorvelTests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_e2e_verify"));
    QSettings().setValue(QStringLiteral("ui/language"), 1);
    I18n::instance()->initLanguage();
}

void TestVerify::cleanup()
{
    const QStringList left = QDir(m_root).entryList({QStringLiteral("__*")}, QDir::Files);
    for (const QString& name : left)
        QFile::remove(m_root + name);
}

void TestVerify::bitFlippingCardFailsTheReadTest()
{
    if (qgetenv("CARD_FLIP_EVERY").toInt() <= 0)
        QSKIP("Runs on a bit-flipping lying card only.");
    const int streams = 2;
    const qint64 size = 16 * MiB;
    const qint64 block = MiB;
    SpeedTester e;
    Run run(e);
    e.setRootPath(m_root);
    e.setTestSize(size);
    e.setBlockSize(block);
    e.setStreamCount(streams);
    e.setReadEnabled(true);
    e.start();
    QVERIFY(e.wait(120000));

    // The speeds are measured as ever; the data is what fails.
    QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join('\n')));
    QCOMPARE(run.readFinished.size(), 1);
    QCOMPARE(run.mismatches.size(), streams);
    QVector<DataIntegrity> integrity(streams);
    for (int i = 0; i < streams; ++i) {
        const Mismatch& m = run.mismatches[i];
        QCOMPARE(m.fileIdx, i);
        QCOMPARE(m.path, m_root + QStringLiteral("__card_speed_test_%1.dat").arg(i + 1));
        // One 4 KiB block in every few is flipped, so most 1 MiB blocks hold one.
        QVERIFY2(m.bad > size / block / 2 && m.bad <= size / block,
                 qPrintable(QString::number(m.bad)));
        QVERIFY(m.first >= 0 && m.first < size && m.first % block == 0);
        QVERIFY2(run.logs.contains(mismatchLine(m)), qPrintable(run.logs.join('\n')));
        integrity[i].add(QFileInfo(m.path).fileName(), m.bad, m.first);
    }

    // The window's verdicts: every stream row and the card total fail, fast as they were.
    const QVector<StreamMetrics> fast(streams + 1, StreamMetrics());
    const QVector<RowVerdict> verdicts = judgeRows(fast, fast, VerdictRules(), true, integrity);
    for (const RowVerdict& v : verdicts)
        QCOMPARE(v.overall(), Verdict::Fail);
}

void TestVerify::wrappingCardFailsTheVerifiedFill()
{
    const qint64 claim = qgetenv("CARD_CLAIM_BYTES").toLongLong();
    const qint64 real = qgetenv("CARD_REAL_BYTES").toLongLong();
    if (claim <= 0 || real >= claim || qgetenv("CARD_FLIP_EVERY").toInt() > 0)
        QSKIP("Runs on a lying card that wraps around only.");
    const qint64 block = MiB;
    const qint64 fileSize = 16 * MiB;
    const qint64 free = QStorageInfo(m_root).bytesAvailable();
    QVERIFY(free > real); // the card claims more than it has
    SpeedTester e;
    Run run(e);
    e.setRootPath(m_root);
    e.setBlockSize(block);
    e.setRollingParams(fileSize, free, 1);
    e.setRollingVerify(true);
    e.start();
    QVERIFY(e.wait(300000));

    QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join('\n')));
    QVERIFY(run.logs.contains(QStringLiteral("  Verifying the data of fill 1/1")));
    // The late files landed on the early ones: these are found, each named with the place of
    // its first bad block, and their bad blocks cannot add up to more than the fill wrote
    // beyond the real storage.
    QVERIFY2(!run.mismatches.isEmpty(), qPrintable(run.logs.join('\n')));
    const QRegularExpression name(QStringLiteral("^__roll_\\d+\\.dat$"));
    qint64 bad = 0;
    for (const Mismatch& m : qAsConst(run.mismatches)) {
        QCOMPARE(m.fileIdx, 0);
        QVERIFY2(name.match(QFileInfo(m.path).fileName()).hasMatch(), qPrintable(m.path));
        QVERIFY(m.first >= 0 && m.first < fileSize && m.first % block == 0);
        QVERIFY2(run.logs.contains(mismatchLine(m)), qPrintable(mismatchLine(m)));
        bad += m.bad;
    }
    qInfo("%d files with bad blocks, %lld bad blocks; the first: %s", int(run.mismatches.size()),
          bad, qPrintable(mismatchLine(run.mismatches.first())));
    QVERIFY2(bad > 0 &&
                 bad * block <= free - (real - qgetenv("CARD_KEEP_BYTES").toLongLong()) + fileSize,
             qPrintable(QString::number(bad)));
    QVERIFY(!run.logs.contains(QStringLiteral("  Fill 1/1: all data read back intact")));
    QCOMPARE(QDir(m_root).entryList({QStringLiteral("__roll_*")}, QDir::Files), QStringList());
}

void TestVerify::honestCardPassesAtTheSameSpeed()
{
    const double readCap = qgetenv("CARD_READ_BPS").toDouble();
    if (readCap <= 0 || qEnvironmentVariableIsSet("CARD_CLAIM_BYTES"))
        QSKIP("Runs on an honest card with a read cap (bench/card-sim) only.");

    // A whole run: the data comes back as written.
    {
        SpeedTester e;
        Run run(e);
        e.setRootPath(m_root);
        e.setTestSize(8 * MiB);
        e.setStreamCount(2);
        e.setReadEnabled(true);
        e.start();
        QVERIFY(e.wait(120000));
        QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors.join('\n')));
        QCOMPARE(run.mismatches.size(), 0);
        QCOMPARE(run.logs.last(), QStringLiteral("========== Test complete =========="));
    }

    // The same file read with and without the check, by turns: the check must not slow the
    // card. About 1.6 s per read at the cap; the median of five reads each. The kernel's
    // throttle alone varies by a percent or two from read to read, so the bound here is a
    // sanity bound; the figures are printed for the record.
    const qint64 block = MiB;
    const qint64 size = qint64(readCap * 1.6) / block * block;
    const QString path = m_root + QStringLiteral("__verify_speed.dat");
    {
        FileWorker w(static_cast<int>(WorkerMode::Write), QString(), path, size, block, nullptr);
        w.setStreamIdentity(42, 0);
        w.start();
        w.wait();
        QVERIFY2(w.succeeded(), qPrintable(w.errorString()));
    }
    QVector<double> with;
    QVector<double> without;
    for (int round = 0; round < 5; ++round) {
        for (const bool verify : {false, true}) {
            qint64 bad = 0;
            const double speed = timedRead(path, size, block, verify, &bad);
            QCOMPARE(bad, qint64(0));
            (verify ? with : without).append(speed);
        }
    }
    std::sort(with.begin(), with.end());
    std::sort(without.begin(), without.end());
    const double on = with[2];
    const double off = without[2];
    qInfo("read speed with the check %.3f MB/s, without %.3f MB/s (%+.2f %%)", on, off,
          (on / off - 1) * 100);
    QVERIFY2(qAbs(on / off - 1) < 0.03,
             qPrintable(QStringLiteral("with %1 MB/s, without %2 MB/s").arg(on).arg(off)));
}

QTEST_GUILESS_MAIN(TestVerify)
#include "tst_verify.moc"
