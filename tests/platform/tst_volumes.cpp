// The removable-volume rules run on crafted system trees: a mount table, sysfs, udev data and
// by-label links in a temporary folder named by QUORVELCARD_SYSTEM_ROOT. Mount points are real
// temporary folders, so the sizes come from the file system they live on.
#include "platform/volumes.h"
#include "systemtree.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QtTest>

#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using Setup = std::function<void(SystemTree&)>;

Q_DECLARE_METATYPE(Setup)

class TstVolumes : public QObject
{
    Q_OBJECT

    // Every tree has an NVMe system disk mounted at "/".
    void systemDisk(SystemTree& t)
    {
        const QString disk =
            t.block("devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1", "259:0");
        t.block(disk + "/nvme0n1p2", "259:2", "900", "0", true);
        t.mount("259:2", "/dev/nvme0n1p2", "ext4", "/");
    }

private slots:
    void cleanup() { SystemTree::deactivate(); }

    void listing_data();
    void listing();
    void duplicatesAndOrder();
    void roots();
};

void TstVolumes::listing_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("fileSystem");

    QTest::newRow("USB stick partition, udev label") << Setup([](SystemTree& t) {
        t.block(t.usbDisk("sdb", "8:16") + "/sdb1", "8:17", "990", "0", true);
        t.file("run/udev/data/b8:17",
               "E:ID_FS_TYPE=vfat\nE:ID_FS_VERSION=FAT32\nE:ID_FS_LABEL=CAM\n");
        t.mount("8:17", "/dev/sdb1", "vfat", "card");
    }) << true << "CAM"
                                                     << "FAT32";
    QTest::newRow("card in a USB reader, no partition table, blank in label and folder")
        << Setup([](SystemTree& t) {
               t.usbDisk("sdc", "8:32", "1");
               t.file("run/udev/data/b8:32",
                      "E:ID_FS_LABEL=MY_CARD\nE:ID_FS_LABEL_ENC=MY\\x20CARD\n"
                      "E:ID_FS_TYPE=exfat\n");
               t.mount("8:32", "/dev/sdc", "exfat", "MY CARD\\x");
           })
        << true << "MY CARD"
        << "exFAT";
    QTest::newRow("built-in SD slot") << Setup([](SystemTree& t) {
        t.block(t.mmcDisk("mmcblk0", "179:0", "SD") + "/mmcblk0p1", "179:1", "990", "0", true);
        t.mount("179:1", "/dev/mmcblk0p1", "ext4", "sd");
    }) << true << ""
                                      << "ext4";
    QTest::newRow("eMMC") << Setup([](SystemTree& t) {
        t.block(t.mmcDisk("mmcblk1", "179:32", "MMC") + "/mmcblk1p1", "179:33", "990", "0", true);
        t.mount("179:33", "/dev/mmcblk1p1", "ext4", "emmc");
    }) << false << ""
                          << "";
    QTest::newRow("eMMC boot area") << Setup([](SystemTree& t) {
        t.mmcDisk("mmcblk1boot0", "179:64", "SD", "1");
        t.mount("179:64", "/dev/mmcblk1boot0", "vfat", "boot0");
    }) << false << ""
                                    << "";
    QTest::newRow("eMMC replay-protected area") << Setup([](SystemTree& t) {
        t.mmcDisk("mmcblk1rpmb", "179:96", "SD", "1");
        t.mount("179:96", "/dev/mmcblk1rpmb", "vfat", "rpmb");
    }) << false << ""
                                                << "";
    QTest::newRow("loop device") << Setup([](SystemTree& t) {
        t.block("devices/virtual/block/loop0", "7:0", "1000", "1");
        t.mount("7:0", "/dev/loop0", "ext4", "loop");
    }) << false << ""
                                 << "";
    QTest::newRow("device mapper") << Setup([](SystemTree& t) {
        t.block("devices/virtual/block/dm-0", "254:0", "1000", "1");
        t.mount("254:0", "/dev/mapper/card", "ext4", "dm");
    }) << false << ""
                                   << "";
    QTest::newRow("system disk's other partition") << Setup([](SystemTree& t) {
        t.block("devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1/nvme0n1p1",
                "259:1", "100", "0", true);
        t.mount("259:1", "/dev/nvme0n1p1", "vfat", "efi");
    }) << false << ""
                                                   << "";
    QTest::newRow("reader without medium") << Setup([](SystemTree& t) {
        t.usbDisk("sdh", "8:112", "1", "0");
        t.mount("8:112", "/dev/sdh", "vfat", "empty");
    }) << false << ""
                                           << "";
    QTest::newRow("FireWire disk, ntfs-3g, by-label") << Setup([](SystemTree& t) {
        const QString unit = "devices/pci0000:00/0000:00:1e.0/fw1/fw1.0";
        t.subsystem(unit, "firewire");
        t.block(t.block(unit + "/host5/target5:0:0/5:0:0:0/block/sdd", "8:48") + "/sdd1", "8:49",
                "990", "0", true);
        t.file("run/udev/data/b8:49", "E:ID_FS_TYPE=ntfs\n");
        t.link("dev/disk/by-label/Other", "../../sde1");
        t.link("dev/disk/by-label/Holiday\\x20Photos", "../../sdd1");
        t.mount("8:49", "/dev/sdd1", "fuseblk", "fw");
    }) << true << "Holiday Photos"
                                                      << "NTFS";
    QTest::newRow("memory stick, msdos FAT of unknown width") << Setup([](SystemTree& t) {
        const QString card = "devices/pci0000:00/0000:00:1c.0/memstick0/memstick0:0000";
        t.subsystem(card, "memstick");
        t.block(card + "/block/mspblk0", "252:0");
        t.mount("252:0", "/dev/mspblk0", "msdos", "ms");
    }) << true << ""
                                                              << "FAT";
    QTest::newRow("internal reader flagged removable") << Setup([](SystemTree& t) {
        t.block("devices/pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block/sde", "8:64",
                "1000", "1");
        t.mount("8:64", "/dev/sde", "ntfs3", "sata");
    }) << true << ""
                                                       << "NTFS";
    QTest::newRow("anonymous device number, node names the device") << Setup([](SystemTree& t) {
        t.block(t.usbDisk("sdf", "8:80") + "/sdf1", "8:81", "990", "0", true);
        QDir().mkpath(t.root() + "/dev");
        if (mknod(QFile::encodeName(t.root() + "/dev/sdf1").constData(), S_IFBLK | 0600,
                  makedev(8, 81)) != 0)
            QSKIP("cannot make a device node here");
        t.mount("0:77", "/dev/sdf1", "btrfs", "btrfs");
    }) << true << ""
                                                                    << "btrfs";
    QTest::newRow("live system on a USB stick") << Setup([](SystemTree& t) {
        const QString disk = t.usbDisk("sdg", "8:96");
        t.block(disk + "/sdg1", "8:97", "100", "0", true);
        t.block(disk + "/sdg2", "8:98", "800", "0", true);
        t.mount("8:98", "/dev/sdg2", "ext4", "/");
        t.mount("8:97", "/dev/sdg1", "vfat", "live-efi");
    }) << false << ""
                                                << "";
}

void TstVolumes::listing()
{
    QFETCH(Setup, setup);
    QFETCH(bool, listed);
    SystemTree t;
    systemDisk(t);
    setup(t);
    t.activate();
    const auto volumes = platform::listRemovableVolumes();
    QCOMPARE(volumes.size(), std::size_t(listed ? 1 : 0));
    if (!listed)
        return;
    const auto& v = volumes.front();
    QCOMPARE(QString::fromStdString(v.root), t.last + "/");
    QTEST(QString::fromStdString(v.label), "label");
    QTEST(QString::fromStdString(v.fileSystem), "fileSystem");
    QStorageInfo storage(t.last);
    QVERIFY(v.sizeKnown && v.freeBytes <= v.totalBytes);
    QCOMPARE(qint64(v.totalBytes), storage.bytesTotal());
}

// A volume mounted twice is offered once, where all of it is mounted, at the first such folder;
// a folder mounted over is gone; the list is sorted by root.
void TstVolumes::duplicatesAndOrder()
{
    SystemTree t;
    systemDisk(t);
    t.block(t.usbDisk("sdb", "8:16") + "/sdb1", "8:17", "990", "0", true);
    t.usbDisk("sdc", "8:32", "1");
    t.block(t.usbDisk("sdd", "8:48") + "/sdd1", "8:49", "990", "0", true);
    const QString c = t.mount("8:32", "/dev/sdc", "vfat", "c-card");
    t.mount("8:17", "/dev/sdb1", "vfat", "b-card");
    const QString a = t.mount("8:17", "/dev/sdb1", "vfat", "a-card");
    t.mount("8:17", "/dev/sdb1", "vfat", "0-dcim", "/DCIM");
    const QString d = t.mount("8:49", "/dev/sdd1", "vfat", "d-card");
    t.mount("0:60", "tmpfs", "tmpfs", d);
    t.activate();
    QStringList roots;
    for (const auto& v : platform::listRemovableVolumes())
        roots << QString::fromStdString(v.root);
    QCOMPARE(roots, QStringList({a + "/", c + "/"}));
}

// Only the exact root of a mounted removable volume counts, and only while the folder is
// still that mount; the device behind it is the mounted node on a disk of size x 512 bytes.
void TstVolumes::roots()
{
    SystemTree t;
    systemDisk(t);
    QVERIFY(QDir().mkpath(t.folders() + "/card/DCIM"));
    const QString number = SystemTree::deviceNumberOf(t.folders() + "/card");
    QVERIFY(!number.isEmpty() && number != "8:17");
    const QString disk = t.usbDisk("sdz", "65:144", "0", "62333952");
    t.block(disk + "/sdz1", number, "62332928", "0", true);
    const QString card = t.mount(number, "/dev/sdz1", "exfat", "card");
    t.block(t.usbDisk("sdb", "8:16") + "/sdb1", "8:17", "990", "0", true);
    const QString stale = t.mount("8:17", "/dev/sdb1", "vfat", "stale");
    t.activate();
    QCOMPARE(platform::listRemovableVolumes().size(), std::size_t(2));

    const struct
    {
        QString root;
        bool removable;
    } cases[] = {{card + "/", true},
                 {card + "/DCIM/", false},
                 {"/", false},
                 {stale + "/", false},
                 {"", false}};
    for (const auto& c : cases) {
        const std::string root = QFile::encodeName(c.root).toStdString();
        platform::VolumeDevice device;
        QVERIFY2(platform::isRemovableVolume(root) == c.removable, qPrintable(c.root));
        QVERIFY2(platform::findVolumeDevice(root, device) == c.removable, qPrintable(c.root));
        if (c.removable) {
            QCOMPARE(device.devicePath, std::string("/dev/sdz1"));
            QCOMPARE(device.diskBytes, std::uint64_t(62333952) * 512);
        }
    }
}

QTEST_GUILESS_MAIN(TstVolumes)
#include "tst_volumes.moc"
