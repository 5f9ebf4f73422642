#include "systemtree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

const QString UsbHost =
    QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/host2/target2:0:0/2:0:0:0");

} // namespace

SystemTree::SystemTree()
{
    // A mount table that names only what a test mounts.
    file(QStringLiteral("proc/self/mountinfo"), QByteArray());
}

void SystemTree::file(const QString& at, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(root() + "/" + at).path());
    QFile f(root() + "/" + at);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
    f.write(content);
}

void SystemTree::link(const QString& at, const QString& target)
{
    QDir().mkpath(QFileInfo(root() + "/" + at).path());
    QFile::remove(root() + "/" + at); // disks on one bus share their ancestors
    QVERIFY(QFile::link(target, root() + "/" + at));
}

QString SystemTree::block(const QString& path, const QString& number, const QByteArray& size,
                          const QByteArray& removable, bool partition)
{
    file("sys/" + path + "/size", size + "\n");
    file("sys/" + path + (partition ? "/partition" : "/removable"),
         partition ? "1\n" : removable + "\n");
    link("sys/dev/block/" + number, "../../" + path);
    return path;
}

void SystemTree::subsystem(const QString& path, const QString& name)
{
    link("sys/" + path + "/subsystem",
         QString("../").repeated(path.count('/') + 1) + "bus/" + name);
}

QString SystemTree::usbDisk(const QString& name, const QString& number, const QByteArray& removable,
                            const QByteArray& size)
{
    for (const char* d : {"usb1", "usb1/1-1", "usb1/1-1/1-1:1.0"})
        subsystem(QString("devices/pci0000:00/0000:00:14.0/") + d, "usb");
    subsystem(UsbHost, "scsi");
    return block(UsbHost + "/block/" + name, number, size, removable);
}

QString SystemTree::mmcDisk(const QString& name, const QString& number, const QByteArray& type,
                            const QByteArray& removable)
{
    const QString card = "devices/platform/fe340000.mmc/mmc_host/mmc0/mmc0:aaaa";
    file("sys/" + card + "/type", type + "\n");
    subsystem(card, "mmc");
    // Absolute, so that it only resolves inside the tree.
    link("sys/" + card + "/block/" + name + "/device", "/sys/" + card);
    return block(card + "/block/" + name, number, "1000", removable);
}

QString SystemTree::mount(const QString& number, const QString& source, const QString& type,
                          const QString& folder, const QString& fsRoot)
{
    const QString point = folder.startsWith('/') ? folder : folders() + "/" + folder;
    QDir().mkpath(point);
    QByteArray escaped;
    for (char c : point.toUtf8())
        escaped += c == ' ' ? "\\040" : c == '\\' ? "\\134" : QByteArray(1, c);
    file("proc/self/mountinfo", QString("%1 1 %2 %3 ").arg(++mounts).arg(number, fsRoot).toUtf8() +
                                    escaped + " rw,relatime shared:1 - " + type.toUtf8() + " " +
                                    source.toUtf8() + " rw\n");
    if (point != "/")
        last = point;
    return point;
}

QString SystemTree::addCard(const QString& folder, const QString& label, const QString& type)
{
    const QString number = deviceNumberOf(folder);
    if (number.isEmpty())
        return QString();
    const QString name = QStringLiteral("sd%1").arg(QChar('w' + cards));
    const QString disk = usbDisk(name, QStringLiteral("65:%1").arg(16 * ++cards), "1", "62333952");
    block(disk + "/" + name + "1", number, "62332928", "0", true);
    file("run/udev/data/b" + number, "E:ID_FS_LABEL=" + label.toUtf8() + "\n");
    return mount(number, "/dev/" + name + "1", type, QFileInfo(folder).absoluteFilePath()) + "/";
}

void SystemTree::activate() const
{
    qputenv("QUORVELCARD_SYSTEM_ROOT", QFile::encodeName(root()));
}

void SystemTree::deactivate()
{
    qunsetenv("QUORVELCARD_SYSTEM_ROOT");
}

QString SystemTree::deviceNumberOf(const QString& path)
{
    struct stat st;
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QString("%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev));
}
