#include "systemtree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/sysmacros.h>

SystemTree::SystemTree()
{
    // A mount table that names only the cards.
    write("proc/self/mountinfo", QByteArray());
}

void SystemTree::write(const QString& at, const QByteArray& content, bool append)
{
    const QString path = root() + "/" + at;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(append ? QIODevice::Append : QIODevice::WriteOnly))
        file.write(content);
}

void SystemTree::link(const QString& at, const QString& target)
{
    const QString path = root() + "/" + at;
    QDir().mkpath(QFileInfo(path).path());
    QFile::remove(path);
    QFile::link(target, path);
}

QString SystemTree::addCard(const QString& folder, const QString& label, const QString& type)
{
    struct stat st;
    if (stat(QFile::encodeName(folder).constData(), &st) != 0)
        return QString();
    const QString number = QStringLiteral("%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev));
    const QString diskName = QStringLiteral("sd%1").arg(QChar('w' + disks));
    const QString diskNumber = QStringLiteral("65:%1").arg(16 * ++disks);
    const QString disk = "devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/host2/block/" + diskName;
    const QString partition = disk + "/" + diskName + "1";

    write("sys/" + disk + "/size", "62333952\n");
    write("sys/" + disk + "/removable", "1\n");
    link("sys/dev/block/" + diskNumber, "../../" + disk);
    write("sys/" + partition + "/size", "62332928\n");
    write("sys/" + partition + "/partition", "1\n");
    link("sys/dev/block/" + number, "../../" + partition);
    write("run/udev/data/b" + number, "E:ID_FS_LABEL=" + label.toUtf8() + "\n");

    const QString point = QFileInfo(folder).absoluteFilePath();
    write("proc/self/mountinfo",
          QStringLiteral("%1 1 %2 / %3 rw,relatime shared:1 - %4 /dev/%5 rw\n")
              .arg(30 + disks)
              .arg(number, point, type, diskName + "1")
              .toUtf8(),
          true);
    return point + "/";
}

void SystemTree::activate() const
{
    qputenv("QUORVELCARD_SYSTEM_ROOT", QFile::encodeName(root()));
}

void SystemTree::deactivate()
{
    qunsetenv("QUORVELCARD_SYSTEM_ROOT");
}
