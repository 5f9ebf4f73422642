#pragma once

#include "engine/units.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What one engine-driver run does; filled from the command line by parseDriverOptions.
struct DriverOptions
{
    QString rootPath;        // folder the test files go to, always ending in a separator
    QStringList sourceFiles; // files to copy; empty means random data
    qint64 testSize = units::GiB;
    qint64 blockSize = units::MiB;
    int streamCount = 1;
    int staggerMs = 0;
    bool readEnabled = false;
    int stopAfterMs = -1; // request a stop this long after the start; -1 never
    // Rolling fill, when rollFileSize > 0: the size of each file, the free space to fill
    // (-1: the root's free space at launch) and the number of fills.
    qint64 rollFileSize = 0;
    qint64 rollFreeBytes = -1;
    int rollRefills = 1;
};

// "64M" -> 67108864. Suffixes K, M, G (powers of 1024, an optional "iB" or "B" after them);
// only positive whole numbers. Returns -1 for anything else, including overflow.
qint64 parseByteSize(const QString& text);

// Parses the arguments after the program name. Returns false with a message in *error on any
// bad or missing argument; *helpRequested is set (and true returned) for -h / --help.
bool parseDriverOptions(const QStringList& args, DriverOptions* options, bool* helpRequested,
                        QString* error);

QString driverUsage();
