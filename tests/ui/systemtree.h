#pragma once

#include <QString>
#include <QTemporaryDir>

// A crafted system (mount table, sysfs, udev data) that the volume scan reads instead of the
// machine's own when QUORVELCARD_SYSTEM_ROOT names it. It presents real folders as partitions
// of removable USB disks, so the whole program treats them as memory cards.
class SystemTree
{
public:
    SystemTree();

    bool isValid() const { return dir.isValid(); }
    QString root() const { return dir.path(); }

    // Presents folder, a real mount point or any folder of its own file system, as a USB card
    // with the given label and file-system type. Returns the root the drive list shows.
    QString addCard(const QString& folder, const QString& label, const QString& type);

    // Makes the volume scan read this tree; an empty tree lists no drive.
    void activate() const;
    static void deactivate();

private:
    void write(const QString& at, const QByteArray& content, bool append = false);
    void link(const QString& at, const QString& target);

    QTemporaryDir dir;
    int disks = 0;
};
