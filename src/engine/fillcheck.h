#pragma once

#include <QCoreApplication>
#include <QString>
#include <QVector>

#include <atomic>

class EngineReport;

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
        BadData, // blocks that differ, reported through the engine's report
        Failed,  // a file could not be read; the failure reported
        Stopped, // a stop request ended it
    };

    // Engine thread only. Logs the check of fill `fill` of `fills`, then reads the files one by
    // one, reporting the check's progress as it goes; each file with bad blocks is reported as a
    // mismatch of stream 0 (the fill's single stream).
    static Outcome run(EngineReport& report, const QVector<File>& files, quint64 runId,
                       qint64 blockSize, const std::atomic<int>* stopFlag, int fill, int fills);
};
