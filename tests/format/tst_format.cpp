// Formatting through udisks2: against a stand-in service on a private bus (call sequence and
// outcomes), and, where root can start them, against the real daemons on a loop device.
#include "platform/udisksformatter.h"

#include <QtDBus>
#include <QtTest>

#include <unistd.h>

using platform::FormatOutcome;
Q_DECLARE_METATYPE(platform::FormatOutcome)

namespace {

constexpr quint64 GiB = 1024ull * 1024 * 1024;

// A helper program, asked to stop (and clean up after itself) at the end.
struct Process : QProcess
{
    ~Process() override { terminate(), waitForFinished(10000); }
};

// A bus daemon of the test's own; no service files, so nothing is ever started on demand.
struct PrivateBus
{
    QTemporaryDir dir;
    Process daemon;
    QString address;
    explicit PrivateBus(const char* type = "session")
    {
        QFile conf(dir.filePath("bus.conf"));
        conf.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        conf.write(QString("<busconfig><type>%1</type><listen>unix:path=%2</listen><auth>EXTERNAL"
                           "</auth><policy context=\"default\"><allow own=\"*\"/><allow "
                           "send_destination=\"*\"/><allow receive_sender=\"*\"/></policy>"
                           "</busconfig>")
                       .arg(type, dir.filePath("socket"))
                       .toUtf8());
        daemon.start("dbus-daemon", {"--config-file=" + conf.fileName(), "--nofork", "--nopidfile",
                                     "--print-address"});
        if (daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
};

// Stands in for udisksd: one card object, calls recorded. The flags set its behaviour:
// "system", "unknown", "unmounted", "absent" (no service name), "deny <call>"
// (the user dismisses the prompt), "fail <call>".
struct MockUdisks : QDBusVirtualObject
{
    QString flags;
    QStringList calls;
    PrivateBus bus;
    QDBusConnection connection = QDBusConnection::connectToBus(bus.address, "mock");
    explicit MockUdisks(const QString& flags)
        : flags(flags)
    {
        connection.registerVirtualObject("/org/freedesktop/UDisks2", this,
                                         QDBusConnection::SubPath);
        if (!flags.contains("absent"))
            connection.registerService("org.freedesktop.UDisks2");
    }
    ~MockUdisks() override { QDBusConnection::disconnectFromBus("mock"); }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override
    {
        const QString member = m.member(), first = m.arguments().value(0).toString();
        const auto o = qdbus_cast<QVariantMap>(m.arguments().value(member == "Format" ? 1 : 0));
        const auto has = [&](const QString& flag) { return flags.contains(flag); };
        const QList<QDBusObjectPath> card{QDBusObjectPath("/org/freedesktop/UDisks2/block/sdx1")};
        const QByteArrayList mounts{"/media/x/C"};
        QDBusMessage reply = m.createReply();
        if (first == "org.freedesktop.UDisks2.Block") // GetAll of the block device
            reply << QVariantMap{{"HintSystem", has("system")}, {"IdLabel", "CARD"}};
        else if (member == "GetAll")
            reply << QVariantMap{
                {"MountPoints", QVariant::fromValue(has("unmounted") ? QByteArrayList() : mounts)}};
        else if (member == "ResolveDevice")
            reply << QVariant::fromValue(has("unknown") ? QList<QDBusObjectPath>() : card);
        else if (member == "Mount")
            reply << QString("/media/x/NEW");
        if (member == "ResolveDevice")
            calls << "Resolve " + o.value("path").toString();
        else if (member == "Format" && o.value("update-partition-type") == true)
            calls << "Format " + first + " " + o.value("label", "<none>").toString();
        else if (member != "GetAll")
            calls << member;
        if (has("deny " + member))
            reply = m.createErrorReply("org.freedesktop.UDisks2.Error.NotAuthorizedDismissed", "");
        else if (has("fail " + member))
            reply = m.createErrorReply("org.freedesktop.UDisks2.Error.Failed", "");
        return bus.send(reply);
    }
};

// Runs a program to its end; true when it succeeded. Its output, trimmed, goes to out.
bool run(const QString& program, const QStringList& args, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == 0 && p.exitCode() == 0;
    if (out)
        *out = p.readAllStandardOutput().trimmed();
    return ok;
}

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
        QTest::addColumn<QString>("flags");
        QTest::addColumn<quint64>("diskBytes");
        QTest::addColumn<QString>("label"); // null: keep the current one
        QTest::addColumn<QString>("calls");
        QTest::addColumn<FormatOutcome>("outcome");
        using O = FormatOutcome;
        const QString keep, r = "Resolve /dev/sdx1", ru = r + ", Unmount, Format ";
        // clang-format off
        QTest::newRow("32 GiB: FAT") << "" << 32 * GiB << keep << ru + "vfat CARD, Mount" << O::Done;
        QTest::newRow("exFAT above, no half pair") << "" << 32 * GiB + 512 << "行车记录仪存储卡一二😀" << ru + "exfat 行车记录仪存储卡一二, Mount" << O::Done;
        QTest::newRow("FAT label cut") << "" << GiB << "a.b:c 中 defgh ij" << ru + "vfat abc  defgh, Mount" << O::Done;
        QTest::newRow("not mounted, no label") << "unmounted" << 0ull << "" << r + ", Format vfat <none>, Mount" << O::Done;
        QTest::newRow("unmount dismissed") << "deny Unmount" << GiB << keep << r + ", Unmount" << O::Cancelled;
        QTest::newRow("mount fails") << "fail Mount" << GiB << keep << ru + "vfat CARD, Mount" << O::Failed;
        QTest::newRow("system disk") << "system" << GiB << keep << r << O::Unsupported;
        QTest::newRow("unknown device") << "unknown" << GiB << keep << r << O::Unsupported;
        QTest::newRow("no service") << "absent" << GiB << keep << "" << O::Unsupported;
        QTest::newRow("no bus") << "nobus" << GiB << keep << "" << O::Unsupported;
        // clang-format on
    }
    void sequence()
    {
        QFETCH(QString, flags);
        QFETCH(quint64, diskBytes);
        QFETCH(QString, label);
        MockUdisks udisks(flags);
        const auto result = platform::formatWithUdisks(
            {"/dev/sdx1", diskBytes,
             label.isNull() ? std::nullopt : std::optional(label.toStdString()),
             flags == "nobus" ? "unix:path=/nonexistent" : udisks.bus.address.toStdString()});
        QTEST(udisks.calls.join(", "), "calls");
        QTEST(result.outcome, "outcome");
        QVERIFY(result.outcome == FormatOutcome::Done ? result.mountPoint == "/media/x/NEW"
                                                      : !result.detail.empty());
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
    PrivateBus bus("system"); // udisks serves only a system bus
    Process udev, daemon;     // stopped last; the guards below undo the rest in reverse order
    if (!run("udevadm", {"control", "--ping", "-t", "2"})) {
        udev.start(udevd, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(run("udevadm", {"control", "--ping", "-t", "2"}), 10000);
    }
    QTemporaryDir dir;
    const QString image = dir.filePath("card.img"), mnt = dir.filePath("mnt");
    QByteArray loop;
    QVERIFY(run("truncate", {"-s", "1G", image}) &&
            run("mkfs.ext4", {"-q", "-L", "DASHCAM", image}) &&
            run("losetup", {"-f", "--show", image}, &loop));
    // udisks treats loop devices as system disks unless udev says otherwise.
    QFile rule("/run/udev/rules.d/99-quorvelcard-format-test.rules");
    const auto detach = qScopeGuard([&] {
        run("losetup", {"-d", loop}), rule.remove(), run("udevadm", {"control", "--reload"});
    });
    QVERIFY(QDir().mkpath("/run/udev/rules.d") && rule.open(QIODevice::WriteOnly));
    rule.write("KERNEL==\"" + loop.mid(5) + "\", ENV{UDISKS_SYSTEM}=\"0\"\n");
    rule.close();
    QVERIFY(run("udevadm", {"control", "--reload"}) &&
            run("udevadm", {"trigger", "--action=change", loop}) &&
            run("udevadm", {"settle", "-t", "30"}) && QDir().mkpath(mnt) &&
            run("mount", {loop, mnt}));
    const auto unmount = qScopeGuard([&] { run("umount", {mnt}); });
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address.toUtf8());
    daemon.start(udisksd, QStringList());
    for (const auto& [bytes, type] : {std::pair(GiB, "vfat"), std::pair(64 * GiB, "exfat")}) {
        const platform::UdisksFormatRequest request{
            loop.toStdString(), bytes, {}, bus.address.toStdString()};
        platform::UdisksFormatResult result; // Unsupported while udisks is still starting
        QTRY_VERIFY2_WITH_TIMEOUT((result = platform::formatWithUdisks(request)).outcome !=
                                      FormatOutcome::Unsupported,
                                  result.detail.c_str(), 60000);
        QByteArray probe;
        QVERIFY(run("blkid", {"-o", "export", loop}, &probe));
        QVERIFY2((probe + "\n").contains("\nTYPE=" + QByteArray(type) + "\n") &&
                     probe.contains("LABEL=DASHCAM"),
                 probe);
        // A kernel without the new file system may only fail the final mount.
        QVERIFY2(result.outcome == FormatOutcome::Done
                     ? run("umount", {QString::fromStdString(result.mountPoint)})
                     : result.detail.rfind("Mount:", 0) == 0,
                 result.detail.c_str());
    }
}

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_format.moc"
