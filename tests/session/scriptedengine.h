#pragma once

#include "engine/runengine.h"

#include <QVector>
#include <atomic>
#include <functional>

// A stand-in engine that plays a scripted timeline on its own thread, as the real one does:
// samples, errors and endings, with the ending decided as the real engine decides it (a stop
// wins over completion, the first failure over everything).
class ScriptedEngine : public RunEngine
{
    Q_OBJECT
public:
    using Script = std::function<void(ScriptedEngine&)>;
    explicit ScriptedEngine(Script script);
    ~ScriptedEngine() override;

    void setPlan(const TestPlan& plan) override { m_plan = plan; }
    const TestPlan& plan() const override { return m_plan; }
    void requestStop() override { m_stop.store(1); }

    // Script steps, on the engine's thread.
    // A whole phase: one card sample per speed (and the card's speed shared evenly by the
    // plan's streams), then the closing 100 % report and the phase's end with the mean speed.
    // Stops early, without its end, when a stop is requested.
    void playPhase(bool write, const QVector<double>& speeds);
    // Waits (at most 10 s) until a stop is requested.
    void holdUntilStop();
    // A failure: the error now, the Failed ending when the script is over.
    void fail(const QString& message, FailureCause cause = FailureCause::Other);
    // How the run ends, set without a word before the end.
    void endAs(const RunOutcome& outcome) { m_outcome = outcome; }
    bool stopRequested() const { return m_stop.load() != 0; }

protected:
    void run() override;

private:
    Script m_script;
    TestPlan m_plan;
    RunOutcome m_outcome;
    std::atomic<int> m_stop{0};
};
