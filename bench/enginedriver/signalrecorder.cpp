#include "signalrecorder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <utility>

namespace {

const char* const kPhaseNames[2] = {"write", "read"};

// One JSON value in compact form; Qt only serialises whole documents.
QByteArray compact(const QJsonValue& value)
{
    QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

} // namespace

SignalRecorder::SignalRecorder(std::function<void(const QByteArray&)> sink)
    : m_sink(std::move(sink))
{}

void SignalRecorder::touch(PhaseState& state, double tMs)
{
    if (state.firstSignalMs < 0)
        state.firstSignalMs = tMs;
}

void SignalRecorder::emitLine(double tMs, const char* signal,
                              const QList<QPair<QString, QJsonValue>>& fields)
{
    // Hand-built so that the keys keep a readable order (QJsonObject sorts them).
    QByteArray line = "{\"t\":" + compact(tMs) + ",\"signal\":" + compact(QLatin1String(signal));
    for (const auto& field : fields)
        line += "," + compact(field.first) + ":" + compact(field.second);
    line += "}";
    if (m_sink)
        m_sink(line);
}

void SignalRecorder::progress(Phase phase, double tMs, int percent, double currentMBps,
                              double avgMBps)
{
    PhaseState& state = m_phases[phase];
    touch(state, tMs);
    ++state.progressSamples;
    state.lastPercent = percent;
    state.lastAvg = avgMBps;
    emitLine(tMs, phase == Write ? "writeProgress" : "readProgress",
             {{QStringLiteral("percent"), percent},
              {QStringLiteral("currentSpeedMBps"), currentMBps},
              {QStringLiteral("avgSpeedMBps"), avgMBps}});
}

void SignalRecorder::streamSample(Phase phase, double tMs, int stream, int percent, double curMBps,
                                  double avgMBps)
{
    PhaseState& state = m_phases[phase];
    touch(state, tMs);
    StreamState& s = state.streams[stream];
    s.percent = percent;
    s.avgMBps = avgMBps;
    ++s.samples;
    emitLine(tMs, phase == Write ? "fileWriteSample" : "fileReadSample",
             {{QStringLiteral("stream"), stream},
              {QStringLiteral("percent"), percent},
              {QStringLiteral("curMBps"), curMBps},
              {QStringLiteral("avgMBps"), avgMBps}});
}

void SignalRecorder::phaseFinished(Phase phase, double tMs, double avgMBps)
{
    PhaseState& state = m_phases[phase];
    touch(state, tMs);
    state.finished = true;
    state.finishedAvg = avgMBps;
    state.finishedMs = tMs;
    emitLine(tMs, phase == Write ? "writeFinished" : "readFinished",
             {{QStringLiteral("avgSpeedMBps"), avgMBps}});
}

void SignalRecorder::testError(double tMs, const QString& message, int cause, const QString& path)
{
    m_errors << message;
    emitLine(tMs, "testError",
             {{QStringLiteral("message"), message},
              {QStringLiteral("cause"), cause},
              {QStringLiteral("path"), path}});
}

void SignalRecorder::log(double tMs, const QString& message)
{
    ++m_logLines;
    emitLine(tMs, "log", {{QStringLiteral("message"), message}});
}

void SignalRecorder::rollingFileProgress(double tMs, int currentFile, int totalFiles,
                                         qlonglong bytesWritten, qlonglong bytesTotal)
{
    // JSON numbers are doubles: byte counts stay exact up to 2^53, far beyond any card.
    emitLine(tMs, "rollingFileProgress",
             {{QStringLiteral("currentFile"), currentFile},
              {QStringLiteral("totalFiles"), totalFiles},
              {QStringLiteral("bytesWritten"), static_cast<double>(bytesWritten)},
              {QStringLiteral("bytesTotal"), static_cast<double>(bytesTotal)}});
}

double SignalRecorder::streamAverageSum(Phase phase) const
{
    const PhaseState& state = m_phases[phase];
    if (state.streams.isEmpty())
        return -1;
    double sum = 0;
    for (const StreamState& stream : state.streams)
        sum += stream.avgMBps;
    return sum;
}

QJsonObject SignalRecorder::phaseSummary(Phase phase) const
{
    const PhaseState& state = m_phases[phase];
    QJsonObject out;
    out.insert(QStringLiteral("finished"), state.finished);
    out.insert(QStringLiteral("avgMBps"),
               state.finished ? QJsonValue(state.finishedAvg) : QJsonValue(QJsonValue::Null));
    out.insert(QStringLiteral("progressSamples"), state.progressSamples);
    out.insert(QStringLiteral("lastPercent"), state.lastPercent);
    out.insert(QStringLiteral("lastCardAvgMBps"), state.lastAvg);
    out.insert(QStringLiteral("firstSignalMs"), state.firstSignalMs);
    out.insert(QStringLiteral("finishedMs"),
               state.finished ? QJsonValue(state.finishedMs) : QJsonValue(QJsonValue::Null));
    const double sum = streamAverageSum(phase);
    out.insert(QStringLiteral("streamAvgSumMBps"),
               sum < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(sum));
    // How far the per-stream figures add up to the card's: 1 is a perfect match.
    out.insert(QStringLiteral("streamSumToPhaseRatio"),
               state.finished && sum >= 0 && state.finishedAvg > 0
                   ? QJsonValue(sum / state.finishedAvg)
                   : QJsonValue(QJsonValue::Null));
    QJsonArray streams;
    for (auto it = state.streams.cbegin(); it != state.streams.cend(); ++it) {
        QJsonObject s;
        s.insert(QStringLiteral("stream"), it.key());
        s.insert(QStringLiteral("lastAvgMBps"), it->avgMBps);
        s.insert(QStringLiteral("lastPercent"), it->percent);
        s.insert(QStringLiteral("samples"), it->samples);
        streams.append(s);
    }
    out.insert(QStringLiteral("streams"), streams);
    return out;
}

QJsonObject SignalRecorder::summary() const
{
    QJsonObject out;
    for (int p = 0; p < 2; ++p)
        out.insert(QLatin1String(kPhaseNames[p]), phaseSummary(static_cast<Phase>(p)));
    out.insert(QStringLiteral("errors"), QJsonArray::fromStringList(m_errors));
    out.insert(QStringLiteral("logLines"), m_logLines);
    return out;
}

QJsonObject SignalRecorder::writeSummary(double tMs)
{
    const QJsonObject s = summary();
    QList<QPair<QString, QJsonValue>> fields;
    for (auto it = s.begin(); it != s.end(); ++it)
        fields.append({it.key(), it.value()});
    emitLine(tMs, "summary", fields);
    return s;
}
