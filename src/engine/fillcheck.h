#pragma once

#include <QCoreApplication>
#include <QString>
#include <QVector>

#include "engine/speedmeter.h"

#include <atomic>

class SpeedTester;

// Reads the files of one rolling fill back before the fill is deleted and checks every block
// against what was written. A card whose real capacity is smaller than it claims has by then
// overwritten the fill's early files with its late ones, and is caught here.
class FillCheck
{
    Q_DECLARE_TR_FUNCTIONS(FillCheck)
public:
    struct File
    {
        QString path;
        qint64 bytes = 0;  // as written (whole blocks)
        quint32 index = 0; // the file's index in the test, stamped into its blocks
    };
    enum class Outcome
    {
        Clean,   // every block as written
        BadData, // blocks that differ, reported through the engine
        Failed,  // a file could not be read; testError sent
        Stopped, // a stop request ended it
    };

    // Engine thread only. Logs the check of fill `fill` of `fills`, then reads the files one by
    // one, sending the engine's fillCheckProgress as it goes; each file with bad blocks is reported
    // as the engine's dataMismatch (row 0, the fill's single stream) with its log line.
    static Outcome run(SpeedTester& engine, const QVector<File>& files, quint64 runId,
                       qint64 blockSize, const std::atomic<int>* stopFlag, int fill, int fills);

private:
    static void sample(SpeedTester& engine, qint64 done, qint64 total, qint64 startedNs,
                       SpeedMeter& meter, int fill, int fills);
};
