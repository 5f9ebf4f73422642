#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// Turns the engine's signals into JSON lines and keeps what the closing summary needs.
// Plain class so that it can be fed by hand; every call carries the time of the signal in
// milliseconds since the driver started. Not thread-safe: the engine emits from one thread.
class SignalRecorder
{
public:
    enum Phase
    {
        Write = 0,
        Read = 1
    };

    // sink receives every line, without its line feed.
    explicit SignalRecorder(std::function<void(const QByteArray&)> sink);

    void progress(Phase phase, double tMs, int percent, double currentMBps, double avgMBps);
    void streamSample(Phase phase, double tMs, int stream, int percent, double curMBps,
                      double avgMBps);
    void phaseFinished(Phase phase, double tMs, double avgMBps);
    // cause: the FailureCause as a number; path: the file or card it concerns.
    void testError(double tMs, const QString& message, int cause, const QString& path);
    void log(double tMs, const QString& message);
    void rollingFileProgress(double tMs, int currentFile, int totalFiles, qlonglong bytesWritten,
                             qlonglong bytesTotal);

    // Emits the summary line and returns it as an object.
    QJsonObject writeSummary(double tMs);

    QJsonObject summary() const;
    bool hadError() const { return !m_errors.isEmpty(); }
    bool phaseDone(Phase phase) const { return m_phases[phase].finished; }
    // Sum over the streams of the average each reported last; -1 when no stream reported.
    double streamAverageSum(Phase phase) const;

private:
    struct StreamState
    {
        int percent = 0;
        double avgMBps = 0;
        int samples = 0;
    };
    struct PhaseState
    {
        bool finished = false;
        double finishedAvg = 0;
        double finishedMs = 0;
        double firstSignalMs = -1;
        int progressSamples = 0;
        int lastPercent = 0;
        double lastAvg = 0;
        QMap<int, StreamState> streams;
    };

    void touch(PhaseState& state, double tMs);
    void emitLine(double tMs, const char* signal, const QList<QPair<QString, QJsonValue>>& fields);
    QJsonObject phaseSummary(Phase phase) const;

    std::function<void(const QByteArray&)> m_sink;
    PhaseState m_phases[2];
    QStringList m_errors;
    int m_logLines = 0;
};
