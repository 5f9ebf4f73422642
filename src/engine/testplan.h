#pragma once

#include "engine/units.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The job of one FileWorker; passed to it as an int (0 writes, anything else reads).
enum class WorkerMode : int
{
    Write = 0,
    Read = 1,
};

// What a run does, derived from its plan (never stored).
enum class TestMode : int
{
    RandomData,
    ExternalFiles,
    RollingFill,
};

// The parameters of one run, handed from the window to the engine before start.
struct TestPlan
{
    // Root of the target drive including its trailing separator; file names are appended
    // to it directly.
    QString rootPath;
    // Full paths of the files to copy; empty means random data.
    QStringList sourceFiles;
    // Random data: each stream's file size before rounding down to whole blocks. The run
    // replaces it with the total bytes of all its test files.
    qint64 testSize = units::GiB;
    qint64 blockSize = units::MiB;
    int streamCount = 1;      // random data only, 1..16
    int staggerMs = 0;        // delay between the starts of successive streams, >= 0
    bool readEnabled = false; // read the files back after a successful write phase
    qint64 rollFileSize = 0;  // rolling fill: size of each fill file
    qint64 rollFreeBytes = 0; // rolling fill: free bytes of the card at launch
    int rollRefills = 0;      // rolling fill: number of complete fills, >= 0
    bool rollVerify = false;  // rolling fill: read every fill back and check it before deleting
};

// Rolling fill wins over external files, which win over random data.
inline TestMode testModeOf(const TestPlan& plan)
{
    if (plan.rollFileSize > 0 && plan.rollFreeBytes > 0)
        return TestMode::RollingFill;
    if (!plan.sourceFiles.isEmpty())
        return TestMode::ExternalFiles;
    return TestMode::RandomData;
}
