// Formatting through udisks2: against a stand-in service on a private bus (call sequence and
// outcomes), and, where root can start them, against the real daemons on a loop device.
#include "platform/formatrules.h"
#include "platform/udisksformatter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <thread>
#include <unistd.h>

using platform::FormatOutcome;
Q_DECLARE_METATYPE(platform::FormatOutcome)

namespace {

constexpr quint64 GiB = 1024ull * 1024 * 1024;
const QString Dismissed = "org.freedesktop.UDisks2.Error.NotAuthorizedDismissed";
const QString Failed = "org.freedesktop.UDisks2.Error.Failed";

// A bus daemon of the test's own; no service files, so nothing is ever started on demand.
struct PrivateBus
{
    QTemporaryDir dir;
    QProcess daemon;
    QString address;
    explicit PrivateBus(const char* type = "session")
    {
        QFile conf(dir.filePath("bus.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(
            QString("<busconfig><type>%1</type><listen>unix:path=%2</listen>"
                    "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                    "<allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                    "</policy></busconfig>")
                .arg(type, dir.filePath("socket"))
                .toUtf8());
        conf.close();
        daemon.start("dbus-daemon", {"--config-file=" + conf.fileName(), "--nofork", "--nopidfile",
                                     "--print-address"});
        if (daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
};

// Stands in for udisksd: one card object, behaviour set per test, calls recorded.
struct MockSetup
{
    bool known = true, hintSystem = false, mounted = true;
    QString idLabel = "CARD", failMember, failError;
    int formatDelayMs = 0;
};

} // namespace
Q_DECLARE_METATYPE(MockSetup)
namespace {

class MockUdisks : public QDBusVirtualObject
{
public:
    MockSetup setup;
    QStringList calls;
    QMutex mutex;
    std::vector<std::thread> late;
    ~MockUdisks() override
    {
        for (auto& t : late)
            t.join();
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override
    {
        const QString member = m.member();
        const QVariantList a = m.arguments();
        QDBusMessage reply = m.createReply();
        if (member == "GetAll" && a.value(0) == "org.freedesktop.UDisks2.Block") {
            reply << QVariantMap{{"HintSystem", setup.hintSystem}, {"IdLabel", setup.idLabel}};
        } else if (member == "GetAll") {
            QByteArrayList points;
            if (setup.mounted)
                points << "/media/x/CARD";
            reply << QVariantMap{{"MountPoints", QVariant::fromValue(points)}};
        } else {
            QString line = member;
            if (member == "ResolveDevice") {
                line = "Resolve " + qdbus_cast<QVariantMap>(a[0]).value("path").toString();
                QList<QDBusObjectPath> found;
                if (setup.known)
                    found << QDBusObjectPath("/org/freedesktop/UDisks2/block_devices/sdx1");
                reply << QVariant::fromValue(found);
            } else if (member == "Format") {
                const QVariantMap o = qdbus_cast<QVariantMap>(a[1]);
                if (o.value("update-partition-type") == true)
                    line += " " + a[0].toString() + " " + o.value("label", "<none>").toString();
            } else if (member == "Mount") {
                reply << QString("/media/x/NEW");
            }
            QMutexLocker lock(&mutex);
            calls << line;
            if (member == setup.failMember)
                reply = m.createErrorReply(setup.failError, "refused by the test");
            if (member == "Format" && setup.formatDelayMs > 0) {
                late.emplace_back([reply, bus, ms = setup.formatDelayMs] {
                    QThread::msleep(ms);
                    bus.send(reply);
                });
                return true;
            }
        }
        bus.send(reply);
        return true;
    }
};

// The stand-in registered on a private bus for the length of one test.
struct MockService
{
    PrivateBus bus;
    MockUdisks udisks;
    QDBusConnection connection = QDBusConnection::connectToBus(bus.address, "mock");
    explicit MockService(const MockSetup& setup)
    {
        udisks.setup = setup;
        connection.registerVirtualObject("/org/freedesktop/UDisks2", &udisks,
                                         QDBusConnection::SubPath);
        connection.registerService("org.freedesktop.UDisks2");
    }
    ~MockService() { QDBusConnection::disconnectFromBus("mock"); }
    platform::UdisksFormatResult format(quint64 diskBytes, std::optional<std::string> label = {})
    {
        return platform::formatWithUdisks(
            {"/dev/sdx1", diskBytes, label, bus.address.toStdString()});
    }
};

bool run(const QString& program, const QStringList& args, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool ok =
        p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (out)
        *out = p.readAllStandardOutput().trimmed();
    return ok;
}

// Undoes the set-up of the real-daemon test in reverse order, whatever failed.
struct Cleanup
{
    std::vector<std::function<void()>> steps;
    QProcess* process() // stopped at the end, if started
    {
        auto* p = new QProcess;
        steps.push_back([p] {
            p->terminate();
            p->waitForFinished(10000);
            delete p;
        });
        return p;
    }
    ~Cleanup()
    {
        for (auto it = steps.rbegin(); it != steps.rend(); ++it)
            (*it)();
    }
};

} // namespace

class TestFormat : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qDBusRegisterMetaType<QByteArrayList>();
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            QSKIP("dbus-daemon is not installed");
    }

    void sequence_data()
    {
        QTest::addColumn<MockSetup>("setup");
        QTest::addColumn<quint64>("diskBytes");
        QTest::addColumn<QString>("label"); // null: keep the current one
        QTest::addColumn<QString>("calls");
        QTest::addColumn<FormatOutcome>("outcome");
        using O = FormatOutcome;
        const QString none, r = "Resolve /dev/sdx1, ", ru = r + "Unmount, ";
        const QString fat = ru + "Format vfat CARD", done = fat + ", Mount";
        const MockSetup plain, dismissU{true, false, true, "CARD", "Unmount", Dismissed};
        const MockSetup dismissF{true, false, true, "CARD", "Format", Dismissed};
        const MockSetup failF{true, false, true, "CARD", "Format", Failed};
        const MockSetup failM{true, false, true, "CARD", "Mount", Failed};
        // clang-format off
        QTest::newRow("32 GiB: FAT") << plain << 32 * GiB << none << done << O::Done;
        QTest::newRow("above: exFAT") << plain << 32 * GiB + 512 << none << ru + "Format exfat CARD, Mount" << O::Done;
        QTest::newRow("not mounted, no label") << MockSetup{true, false, false, "", "", ""} << 0ull << none << r + "Format vfat <none>, Mount" << O::Done;
        QTest::newRow("unmount dismissed") << dismissU << GiB << none << r + "Unmount" << O::Cancelled;
        QTest::newRow("format dismissed") << dismissF << GiB << none << fat << O::Cancelled;
        QTest::newRow("format fails") << failF << GiB << none << fat << O::Failed;
        QTest::newRow("mount fails") << failM << GiB << none << done << O::Failed;
        QTest::newRow("system disk") << MockSetup{true, true, true, "", "", ""} << GiB << none << r.chopped(2) << O::Unsupported;
        QTest::newRow("unknown device") << MockSetup{false, false, true, "", "", ""} << GiB << none << r.chopped(2) << O::Unsupported;
        // Labels the new file system cannot carry as they are.
        QTest::newRow("FAT drops") << plain << GiB << "my.card: 中 2024?" << ru + "Format vfat mycard  202, Mount" << O::Done;
        QTest::newRow("exFAT cuts") << plain << 64 * GiB << "行车记录仪存储卡一二三四" << ru + "Format exfat 行车记录仪存储卡一二三, Mount" << O::Done;
        QTest::newRow("no half pair") << plain << 64 * GiB << "ABCDEFGHIJ😀" << ru + "Format exfat ABCDEFGHIJ, Mount" << O::Done;
        QTest::newRow("no end blank") << plain << GiB << "ABCDEFGHIJ K" << ru + "Format vfat ABCDEFGHIJ, Mount" << O::Done;
        // clang-format on
    }
    void sequence()
    {
        QFETCH(MockSetup, setup);
        QFETCH(quint64, diskBytes);
        QFETCH(QString, label);
        MockService service(setup);
        QVERIFY(!service.bus.address.isEmpty());
        const auto result = label.isNull() ? service.format(diskBytes)
                                           : service.format(diskBytes, label.toStdString());
        QFETCH(QString, calls);
        QFETCH(FormatOutcome, outcome);
        QCOMPARE(service.udisks.calls.join(", "), calls);
        QCOMPARE(result.outcome, outcome);
        if (result.outcome == FormatOutcome::Done)
            QCOMPARE(result.mountPoint, std::string("/media/x/NEW"));
        else
            QVERIFY(!result.detail.empty());
    }

    void absentService()
    {
        PrivateBus bus;
        QCOMPARE(
            platform::formatWithUdisks({"/dev/sdx1", GiB, {}, bus.address.toStdString()}).outcome,
            FormatOutcome::Unsupported);
        const std::string nowhere = "unix:path=" + bus.dir.filePath("none").toStdString();
        QCOMPARE(platform::formatWithUdisks({"/dev/sdx1", GiB, {}, nowhere}).outcome,
                 FormatOutcome::Unsupported);
    }

    // While udisks works the caller's event loop runs, and a second format is refused.
    void waitsWithEventLoop()
    {
        MockSetup setup;
        setup.formatDelayMs = 600;
        MockService service(setup);
        int ticks = 0;
        platform::UdisksFormatResult nested;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            if (++ticks == 2)
                nested = service.format(GiB);
        });
        timer.start(50);
        QCOMPARE(service.format(GiB).outcome, FormatOutcome::Done);
        QVERIFY(ticks >= 2);
        QCOMPARE(nested.outcome, FormatOutcome::Failed);
        QCOMPARE(service.udisks.calls.count("Resolve /dev/sdx1"), 1);
    }

    void realUdisks();
};

// The real daemons on a loop device: needs root, udisksd and udev; leaves nothing behind.
void TestFormat::realUdisks()
{
    const QString udisksd = "/usr/libexec/udisks2/udisksd", udevd = "/lib/systemd/systemd-udevd";
    if (geteuid() != 0 || !QFile::exists(udisksd) || !QFile::exists(udevd) ||
        QStandardPaths::findExecutable("mkfs.exfat").isEmpty())
        QSKIP("needs root, udisks2, udev and exfatprogs");
    Cleanup cleanup;
    PrivateBus bus("system");
    QVERIFY(!bus.address.isEmpty());
    QProcess* udev = cleanup.process();
    if (!run("udevadm", {"control", "--ping", "-t", "2"})) {
        udev->start(udevd, QStringList());
        QVERIFY(udev->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(run("udevadm", {"control", "--ping", "-t", "2"}), 10000);
    }
    QTemporaryDir dir;
    const QString image = dir.filePath("card.img"), mnt = dir.filePath("mnt");
    QByteArray loop;
    QVERIFY(run("truncate", {"-s", "1G", image}) &&
            run("mkfs.ext4", {"-q", "-L", "DASHCAM", image}));
    QVERIFY(run("losetup", {"-f", "--show", image}, &loop));
    cleanup.steps.push_back([loop] { run("losetup", {"-d", loop}); });
    // udisks treats loop devices as system disks unless udev says otherwise.
    const QString rule = "/run/udev/rules.d/99-quorvelcard-format-test.rules";
    QDir().mkpath("/run/udev/rules.d");
    QFile f(rule);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("KERNEL==\"" + loop.mid(5) + "\", ENV{UDISKS_SYSTEM}=\"0\"\n");
    f.close();
    cleanup.steps.push_back([rule] {
        QFile::remove(rule);
        run("udevadm", {"control", "--reload"});
    });
    QVERIFY(run("udevadm", {"control", "--reload"}));
    QVERIFY(run("udevadm", {"trigger", "--action=change", loop}));
    QVERIFY(run("udevadm", {"settle", "-t", "30"}));
    QVERIFY(QDir().mkpath(mnt) && run("mount", {loop, mnt}));
    cleanup.steps.push_back([mnt] { run("umount", {mnt}); });

    QProcess* daemon = cleanup.process();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", bus.address);
    daemon->setProcessEnvironment(env);
    daemon->start(udisksd, QStringList());
    QDBusConnection watch = QDBusConnection::connectToBus(bus.address, "watch");
    QTRY_VERIFY_WITH_TIMEOUT(watch.interface()->isServiceRegistered("org.freedesktop.UDisks2"),
                             20000);
    QDBusConnection::disconnectFromBus("watch");

    const struct
    {
        quint64 diskBytes;
        const char* type;
    } runs[] = {{GiB, "vfat"}, {64 * GiB, "exfat"}};
    for (const auto& r : runs) {
        QElapsedTimer clock;
        clock.start();
        const auto result = platform::formatWithUdisks(
            {loop.toStdString(), r.diskBytes, {}, bus.address.toStdString()});
        qInfo("%s on a 1 GiB loop device: %lld ms, %s", r.type, clock.elapsed(),
              result.detail.c_str());
        QByteArray probe;
        QVERIFY(run("blkid", {"-o", "export", loop}, &probe));
        probe += "\n";
        QVERIFY2(probe.contains(QByteArray("\nTYPE=") + r.type + "\n"), probe);
        QVERIFY2(probe.contains("LABEL=DASHCAM"), probe);
        // This kernel has neither FAT nor exFAT: then only the final mount may fail.
        if (run("grep", {"-qw", r.type, "/proc/filesystems"}))
            QVERIFY(result.outcome == FormatOutcome::Done &&
                    run("umount", {QString::fromStdString(result.mountPoint)}));
        else
            QVERIFY2(result.outcome == FormatOutcome::Failed &&
                         result.detail.rfind("Mount:", 0) == 0,
                     result.detail.c_str());
    }
    const auto unknown =
        platform::formatWithUdisks({"/dev/quorvelcard-none", GiB, {}, bus.address.toStdString()});
    QCOMPARE(unknown.outcome, FormatOutcome::Unsupported);
}

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_format.moc"
