// The removable-volume rules run on crafted system trees: a mount table, sysfs, udev data and
// by-label links in a temporary folder named by QUORVELCARD_SYSTEM_ROOT. Mount points are real
// temporary folders, so the sizes come from the file system they live on.
#include "platform/volumes.h"
#include "systemtree.h"

#include <QtTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>

class TstVolumes : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SystemTree::deactivate(); }

    // Every kind of device in one system: those a card can be on are offered once each, sorted
    // by root, with label, file system and size; the rest never. Listed, in order: a USB stick's
    // partition labelled by udev, mounted twice and in part (offered where all of it is mounted,
    // at the first such folder); a card in a USB reader without a partition table, a blank in
    // label and folder; a built-in SD slot; a FireWire disk under ntfs-3g labelled by a by-label
    // link; a memory stick with a FAT of unknown width; an internal reader flagged removable; an
    // anonymous device number whose mounted node names the device.
    void listing()
    {
        SystemTree t;
        QStringList want;
        t.block(t.usbDisk("sdb", "8:16") + "/sdb1", "8:17", "990", "0", true);
        t.file("run/udev/data/b8:17",
               "E:ID_FS_TYPE=vfat\nE:ID_FS_VERSION=FAT32\nE:ID_FS_LABEL=CAM\n");
        t.mount("8:17", "/dev/sdb1", "vfat", "b-stick");
        want << t.mount("8:17", "/dev/sdb1", "vfat", "a-stick") + "/\tCAM\tFAT32";
        t.mount("8:17", "/dev/sdb1", "vfat", "0-dcim", "/DCIM");
        t.usbDisk("sdc", "8:32", "1");
        t.file("run/udev/data/b8:32",
               "E:ID_FS_LABEL=MY_CARD\nE:ID_FS_LABEL_ENC=MY\\x20CARD\nE:ID_FS_TYPE=exfat\n");
        want << t.mount("8:32", "/dev/sdc", "exfat", "c-MY CARD\\x") + "/\tMY CARD\texFAT";
        t.block(t.mmcDisk("mmcblk0", "179:0", "SD") + "/mmcblk0p1", "179:1", "990", "0", true);
        want << t.mount("179:1", "/dev/mmcblk0p1", "ext4", "d-sd") + "/\t\text4";
        const QString unit = "devices/pci0000:00/0000:00:1e.0/fw1/fw1.0";
        t.subsystem(unit, "firewire");
        t.block(t.block(unit + "/host5/target5:0:0/5:0:0:0/block/sdd", "8:48") + "/sdd1", "8:49",
                "990", "0", true);
        t.file("run/udev/data/b8:49", "E:ID_FS_TYPE=ntfs\n");
        t.link("dev/disk/by-label/Other", "../../sde1");
        t.link("dev/disk/by-label/Holiday\\x20Photos", "../../sdd1");
        want << t.mount("8:49", "/dev/sdd1", "fuseblk", "e-fw") + "/\tHoliday Photos\tNTFS";
        const QString ms = "devices/pci0000:00/0000:00:1c.0/memstick0/memstick0:0000";
        t.subsystem(ms, "memstick");
        t.block(ms + "/block/mspblk0", "252:0");
        want << t.mount("252:0", "/dev/mspblk0", "msdos", "f-ms") + "/\t\tFAT";
        t.block("devices/pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block/sde", "8:64",
                "1000", "1");
        want << t.mount("8:64", "/dev/sde", "ntfs3", "g-sata") + "/\t\tNTFS";
        t.block(t.usbDisk("sdf", "8:80") + "/sdf1", "8:81", "990", "0", true);
        QDir().mkpath(t.root() + "/dev");
        if (mknod(QFile::encodeName(t.root() + "/dev/sdf1").constData(), S_IFBLK | 0600,
                  makedev(8, 81)) == 0)
            want << t.mount("0:77", "/dev/sdf1", "btrfs", "h-btrfs") + "/\t\tbtrfs";
        // Never offered: an eMMC's boot and replay-protected areas, a USB stick mounted over, a
        // reader without a medium, a loop device, a device mapper, an NVMe partition, an eMMC,
        // and a live system's USB stick, mounted over "/".
        t.mmcDisk("mmcblk1boot0", "179:64", "SD", "1");
        t.mount("179:64", "/dev/mmcblk1boot0", "vfat", "boot0");
        t.mmcDisk("mmcblk1rpmb", "179:96", "SD", "1");
        t.mount("179:96", "/dev/mmcblk1rpmb", "vfat", "rpmb");
        t.block(t.usbDisk("sdi", "8:128") + "/sdi1", "8:129", "990", "0", true);
        t.mount("0:60", "tmpfs", "tmpfs", t.mount("8:129", "/dev/sdi1", "vfat", "i-over"));
        t.usbDisk("sdh", "8:112", "1", "0");
        t.mount("8:112", "/dev/sdh", "vfat", "empty");
        t.block("devices/virtual/block/loop0", "7:0", "1000", "1");
        t.mount("7:0", "/dev/loop0", "ext4", "loop");
        t.block("devices/virtual/block/dm-3", "253:3", "1000", "1");
        t.mount("253:3", "/dev/mapper/card", "ext4", "dm");
        t.block("devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1/nvme0n1p1",
                "259:1", "100", "0", true);
        t.mount("259:1", "/dev/nvme0n1p1", "vfat", "efi");
        const QString emmc = "devices/platform/fe320000.mmc/mmc_host/mmc1/mmc1:0001";
        t.file("sys/" + emmc + "/type", "MMC\n");
        t.subsystem(emmc, "mmc");
        t.link("sys/" + emmc + "/block/mmcblk1/device", "/sys/" + emmc);
        t.block(t.block(emmc + "/block/mmcblk1", "179:32") + "/mmcblk1p1", "179:33", "990", "0",
                true);
        t.mount("179:33", "/dev/mmcblk1p1", "ext4", "emmc");
        const QString live = t.usbDisk("sdg", "8:96");
        t.block(live + "/sdg1", "8:97", "100", "0", true);
        t.block(live + "/sdg2", "8:98", "800", "0", true);
        t.mount("8:98", "/dev/sdg2", "ext4", "/");
        t.mount("8:97", "/dev/sdg1", "vfat", "live-efi");
        // A card whose folder is the mount it claims to be, on a disk of 62333952 x 512 bytes.
        QVERIFY(QDir().mkpath(t.folders() + "/z-card/DCIM"));
        const QString number = SystemTree::deviceNumberOf(t.folders() + "/z-card");
        QVERIFY2(!number.isEmpty() && !QFile::exists(t.root() + "/sys/dev/block/" + number),
                 qPrintable("the temporary folder is on " + number + ", a device the tree has"));
        const QString card = t.addCard(t.folders() + "/z-card", "REAL", "exfat");
        want << card + "\tREAL\texFAT";
        t.activate();

        QStringList got;
        for (const auto& v : platform::listRemovableVolumes()) {
            got << QString::fromStdString(v.root + '\t' + v.label + '\t' + v.fileSystem);
            QVERIFY(v.sizeKnown && v.freeBytes <= v.totalBytes);
            QCOMPARE(qint64(v.totalBytes), QStorageInfo(t.folders()).bytesTotal());
        }
        QCOMPARE(got.join("\n"), want.join("\n"));

        // Only the exact root of a mounted removable volume counts, and only while the folder
        // is still that mount; the device behind it is the mounted node.
        for (const QString& root :
             {card, card + "DCIM/", want[0].section('\t', 0, 0), QString("/"), QString()}) {
            const std::string path = QFile::encodeName(root).toStdString();
            platform::VolumeDevice device;
            QVERIFY2(platform::isRemovableVolume(path) == (root == card), qPrintable(root));
            QVERIFY2(platform::findVolumeDevice(path, device) == (root == card), qPrintable(root));
            QVERIFY(root != card || (device.devicePath == "/dev/sdw1" &&
                                     device.diskBytes == std::uint64_t(62333952) * 512));
        }
    }
};

QTEST_GUILESS_MAIN(TstVolumes)
#include "tst_volumes.moc"
