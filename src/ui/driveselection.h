#pragma once

#include <QString>
#include <QStringList>

// Which drive the drive list selects once it has been filled again (a Refresh, a language
// switch, a format): the user's choice while it is listed, never silently another card.
class DriveSelection
{
public:
    // roots: the drives now listed, in order; wanted: the root the user chose (or the run's
    // target), empty when none was ever chosen. The first drive when nothing was chosen, the
    // chosen one while listed, else -1: nothing, the chosen drive has gone.
    static int indexAfterRefresh(const QStringList& roots, const QString& wanted);
};
