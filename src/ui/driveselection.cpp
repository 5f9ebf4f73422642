#include "ui/driveselection.h"

int DriveSelection::indexAfterRefresh(const QStringList& roots, const QString& wanted)
{
    if (roots.isEmpty())
        return -1;
    if (wanted.isEmpty())
        return 0;
    return roots.indexOf(wanted);
}
