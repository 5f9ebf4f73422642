#pragma once

#include "engine/runoutcome.h"

#include <QString>
#include <QtGlobal>

class CardWatch;
class FileWorker;

// The narrow channel through which the parts of a run (the rolling fill, the fill check) report
// to the engine that runs them, on that engine's thread. The engine turns each call into its
// signals; a failure goes through fail(), the one place where a run learns that it failed.
class EngineReport
{
public:
    virtual void progress(bool write, int percent, double currentMBps, double avgMBps) = 0;
    virtual void streamSample(bool write, int stream, int percent, double currentMBps,
                              double avgMBps) = 0;
    virtual void phaseFinished(bool write, double avgMBps) = 0;
    virtual void fillProgress(int currentFile, int totalFiles, qint64 bytesWritten,
                              qint64 bytesTotal) = 0;
    // What a finished read worker found wrong in its file (nothing when the file was clean).
    virtual void mismatch(int stream, const QString& path, const FileWorker& worker) = 0;
    // The check of fill `fill` of `fills` has read `percent` of it, at these speeds (MB/s).
    virtual void fillCheckProgress(int fill, int fills, int percent, double currentMBps,
                                   double avgMBps) = 0;
    virtual void log(const QString& message) = 0;
    // The card of the run, as found when the run began; its workers watch that it stays.
    virtual const CardWatch& card() const = 0;
    // Ends the run as failed; the first failure is the one the run's outcome keeps.
    virtual void fail(FailureCause cause, const QString& message, const QString& path) = 0;

protected:
    ~EngineReport() = default;
};
