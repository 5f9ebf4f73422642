// The ways a card fails, each on a card of its own making: the run must end with the cause the
// system gave, name it, leave no test file where the card still is and the user's files intact.
#include "engine/speedtester.h"
#include "i18n/i18n.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

constexpr qint64 MiB = 1048576;
const QByteArray UserFile = "the user's own recording";

// Runs a shell script; true when it succeeded.
bool sh(const QString& script)
{
    return QProcess::execute("bash", {"-ec", script}) == 0;
}

QStringList testFilesIn(const QString& folder)
{
    return QDir(folder).entryList({"__card_speed_test_*", "__roll_*"}, QDir::Files);
}

enum class Setup
{
    SmallTmpfs, // a 4 MiB card
    ReadOnly,   // remounted read-only after the user's file was put on it
    Removed,    // unmounted (lazily) at the first sample
    DeviceFull, // a file system on a loop device whose backing store runs out at 24 MiB
    FileLimit,  // the process may write no file beyond 1 MiB (as FAT32 at 4 GiB)
};

} // namespace

Q_DECLARE_METATYPE(Setup)

class FaultsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QString cardRoot, backing; // the card's mount point with its '/', the loop's tmpfs
    QString loop;

    void tearDownCard()
    {
        if (!cardRoot.isEmpty())
            sh(QString("umount -l '%1' 2>/dev/null || true").arg(cardRoot));
        if (!loop.isEmpty())
            sh(QString("losetup -d %1 || true").arg(loop));
        if (!backing.isEmpty())
            sh(QString("umount -l '%1' || true").arg(backing));
        cardRoot.clear();
        loop.clear();
        backing.clear();
    }

    // Makes the card; false (after QSKIP) where this machine cannot.
    bool makeCard(Setup setup)
    {
        const QString mountPoint = dir.path() + "/card";
        QDir().mkpath(mountPoint);
        if (setup == Setup::FileLimit) {
            cardRoot = QString(); // a plain folder: no mount needed
            return true;
        }
        if (setup == Setup::DeviceFull) {
            backing = dir.path() + "/backing";
            QDir().mkpath(backing);
            if (!sh(QString("mount -t tmpfs -o size=24m qcb '%1'").arg(backing)))
                return false;
            const QString image = backing + "/card.img";
            QProcess p;
            p.start("bash",
                    {"-ec", QString("truncate -s 512M '%1'; losetup -f --show '%1'").arg(image)});
            p.waitForFinished();
            loop = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
            if (p.exitCode() != 0 || loop.isEmpty())
                return false;
            cardRoot = mountPoint + "/";
            return sh(QString("mkfs.ext4 -q -F %1 && "
                              "mount %1 '%2'")
                          .arg(loop, mountPoint));
        }
        const QString size = setup == Setup::SmallTmpfs ? "4m" : "2g";
        if (!sh(QString("mount -t tmpfs -o size=%1 qcc '%2'").arg(size, mountPoint)))
            return false;
        cardRoot = mountPoint + "/";
        return true;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().setValue("ui/language", 1);
        I18n::instance()->initLanguage();
        QVERIFY(dir.isValid());
    }
    void cleanup() { tearDownCard(); }

    void failureNamesItsCause_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<FailureCause>("cause");
        QTest::addColumn<QString>("says"); // a phrase of the message
        QTest::newRow("full card") << Setup::SmallTmpfs << FailureCause::CardFull << "is full";
        QTest::newRow("write-protected")
            << Setup::ReadOnly << FailureCause::WriteProtected << "lock switch";
        QTest::newRow("removed mid-run")
            << Setup::Removed << FailureCause::CardRemoved << "was removed";
        QTest::newRow("device out of room underneath")
            << Setup::DeviceFull << FailureCause::DeviceOutOfRoom << "counterfeit";
        QTest::newRow("file too large") << Setup::FileLimit << FailureCause::FileTooLarge << "4GB";
    }
    void failureNamesItsCause()
    {
        QFETCH(Setup, setup);
        QFETCH(FailureCause, cause);
        QFETCH(QString, says);
        if (!makeCard(setup))
            QSKIP("needs root, tmpfs and a free loop device");
        const QString root = cardRoot.isEmpty() ? dir.path() + "/card/" : cardRoot;
        QFile user(root + "keep.mp4");
        QVERIFY(user.open(QIODevice::WriteOnly) && user.write(UserFile) == UserFile.size());
        user.close();
        if (setup == Setup::ReadOnly)
            QVERIFY(sh(QString("mount -o remount,ro '%1'").arg(root)));

        SpeedTester engine;
        QStringList errors;
        RunOutcome outcome;
        connect(
            &engine, &SpeedTester::testError, this, [&](const QString& m) { errors << m; },
            Qt::DirectConnection);
        connect(
            &engine, &SpeedTester::ended, this, [&](const RunOutcome& o) { outcome = o; },
            Qt::DirectConnection);
        bool removed = false, readBack = false;
        connect(
            &engine, &SpeedTester::readProgress, this, [&] { readBack = true; },
            Qt::DirectConnection);
        connect(
            &engine, &SpeedTester::writeProgress, this,
            [&] {
                if (setup == Setup::Removed && !removed)
                    removed = sh(QString("umount -l '%1'").arg(root));
            },
            Qt::DirectConnection);
        TestPlan plan;
        plan.rootPath = root;
        plan.streamCount = 2;
        // Removed: small blocks keep the write going long enough for the card to go during it.
        plan.blockSize = setup == Setup::FileLimit || setup == Setup::Removed ? 64 * 1024 : MiB;
        // Removed: long enough a write that the card goes in the middle of it; the files stay
        // open on the detached file system, and only the watch on the card notices.
        plan.testSize = setup == Setup::Removed ? 768 * MiB : 64 * MiB;
        plan.readEnabled = true;
        engine.setPlan(plan);

        rlimit before{};
        if (setup == Setup::FileLimit) {
            // The limit makes the kernel answer EFBIG, as FAT32 does at 4 GiB.
            std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &before);
            rlimit limit = before;
            limit.rlim_cur = MiB;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        engine.start();
        const bool ended = engine.wait(300000);
        if (setup == Setup::FileLimit)
            setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(ended);

        QCOMPARE(errors.size(), 1);
        QVERIFY(!readBack); // every fault here ends the write phase
        const QString message = errors[0];
        QVERIFY(outcome.kind == RunOutcome::Kind::Failed);
        QCOMPARE(outcome.cause, cause);
        QCOMPARE(outcome.message, message);
        QVERIFY2(message.contains(says) && message.contains(root.chopped(1)), qPrintable(message));
        QVERIFY2(!outcome.path.isEmpty(), "the failure names a file or the card");
        // Every message names what failed only once, however many streams met it.
        QStringList lines = message.split('\n');
        lines.removeDuplicates();
        QCOMPARE(lines.size(), message.split('\n').size());
        // Nothing of the test stays where the card is (or where it was, once it has gone).
        QCOMPARE(testFilesIn(root), QStringList());
        if (setup != Setup::Removed) {
            QFile kept(root + "keep.mp4");
            QVERIFY(kept.open(QIODevice::ReadOnly) && kept.readAll() == UserFile);
        }
    }

    // A card that dies after some MiB (bench/lying-card --fail-after) answers with I/O errors:
    // the run names the device error and the file, and removes what it wrote.
    void deviceErrorOnADyingCard()
    {
        const QString root = QString::fromLocal8Bit(qgetenv("CARD_ROOT")) + "/";
        if (root == "/" || qgetenv("CARD_FAIL_AFTER").toLongLong() <= 0)
            QSKIP("Needs a dying emulated card: run through bench/lying-card --fail-after.");
        QFile user(root + "keep.mp4");
        QVERIFY(user.open(QIODevice::WriteOnly) && user.write(UserFile) == UserFile.size());
        user.close();
        SpeedTester engine;
        QVector<FailureCause> causes;
        QString message;
        connect(
            &engine, &SpeedTester::ended, this,
            [&](const RunOutcome& o) {
                if (o.kind == RunOutcome::Kind::Failed)
                    causes << o.cause;
                message = o.message;
            },
            Qt::DirectConnection);
        TestPlan plan;
        plan.rootPath = root;
        plan.blockSize = MiB;
        plan.testSize = 96 * MiB;
        plan.readEnabled = true;
        engine.setPlan(plan);
        engine.start();
        QVERIFY(engine.wait(300000));
        QCOMPARE(causes, QVector<FailureCause>{FailureCause::DeviceError});
        QVERIFY2(message.contains("reported an error") &&
                     message.contains(root + "__card_speed_test_1.dat"),
                 qPrintable(message));
        QCOMPARE(testFilesIn(root), QStringList());
        QFile kept(root + "keep.mp4");
        QVERIFY(kept.open(QIODevice::ReadOnly) && kept.readAll() == UserFile);
    }
};

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
