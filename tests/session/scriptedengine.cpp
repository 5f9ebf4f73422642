#include "scriptedengine.h"

#include <QElapsedTimer>

ScriptedEngine::ScriptedEngine(Script script)
    : m_script(std::move(script))
{}

ScriptedEngine::~ScriptedEngine()
{
    requestStop();
    wait();
}

void ScriptedEngine::run()
{
    m_outcome = RunOutcome();
    if (m_script)
        m_script(*this);
    if (m_outcome.kind != RunOutcome::Kind::Failed && stopRequested())
        m_outcome.kind = RunOutcome::Kind::Stopped;
    emit ended(m_outcome);
}

void ScriptedEngine::playPhase(bool write, const QVector<double>& speeds)
{
    const int streams = m_plan.streamCount;
    double sum = 0.0;
    for (int i = 0; i < speeds.size(); ++i) {
        if (stopRequested())
            return;
        sum += speeds[i];
        const int percent = (i + 1) * 99 / speeds.size();
        const double avg = sum / (i + 1);
        if (write)
            emit writeProgress(percent, speeds[i], avg);
        else
            emit readProgress(percent, speeds[i], avg);
        for (int s = 0; s < streams; ++s) {
            if (write)
                emit fileWriteSample(s, percent, speeds[i] / streams, avg / streams);
            else
                emit fileReadSample(s, percent, speeds[i] / streams, avg / streams);
        }
    }
    const double avg = speeds.isEmpty() ? 0.0 : sum / speeds.size();
    if (write) {
        emit writeProgress(100, avg, avg);
        emit writeFinished(avg);
    } else {
        emit readProgress(100, avg, avg);
        emit readFinished(avg);
    }
}

void ScriptedEngine::holdUntilStop()
{
    QElapsedTimer clock;
    clock.start();
    while (!stopRequested() && clock.elapsed() < 10000)
        msleep(2);
}

void ScriptedEngine::fail(const QString& message, FailureCause cause)
{
    if (m_outcome.kind != RunOutcome::Kind::Failed)
        m_outcome = {RunOutcome::Kind::Failed, cause, message, QString()};
    emit testError(message);
}
