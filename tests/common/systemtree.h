#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A crafted system (mount table, sysfs, udev data, by-label links) in a temporary folder, which
// the volume scan reads instead of the machine's own when QUORVELCARD_SYSTEM_ROOT names it.
// Mount points are real folders, so sizes come from the file system they live on.
class SystemTree
{
public:
    SystemTree();

    bool isValid() const { return dir.isValid(); }
    QString root() const { return dir.path() + QStringLiteral("/root"); }
    // Where mount points named by a relative folder are made.
    QString folders() const { return dir.path(); }

    void file(const QString& at, const QByteArray& content); // appends
    void link(const QString& at, const QString& target);
    // A block device below sys/devices with its sys/dev/block/M:m link; a partition when its
    // path continues a disk's.
    QString block(const QString& path, const QString& number, const QByteArray& size = "1000",
                  const QByteArray& removable = "0", bool partition = false);
    void subsystem(const QString& path, const QString& name);
    QString usbDisk(const QString& name, const QString& number, const QByteArray& removable = "0",
                    const QByteArray& size = "1000");
    QString mmcDisk(const QString& name, const QString& number, const QByteArray& type,
                    const QByteArray& removable = "0");
    // Mounts number on folder (made if missing; relative to folders()) and returns its path.
    QString mount(const QString& number, const QString& source, const QString& type,
                  const QString& folder, const QString& fsRoot = QStringLiteral("/"));

    // Presents folder, a real mount point or any folder of its own file system, as a partition
    // of a removable USB disk with the given label and file-system type; returns the root the
    // drive list shows for it.
    QString addCard(const QString& folder, const QString& label, const QString& type);

    // Makes the volume scan read this tree; an empty tree lists no drive.
    void activate() const;
    static void deactivate();

    // The "major:minor" of the file system path lives on; empty if it cannot be read.
    static QString deviceNumberOf(const QString& path);

    QString last; // the latest mount point other than "/"

private:
    QTemporaryDir dir;
    int mounts = 20;
    int cards = 0;
};
