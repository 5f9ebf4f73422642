#pragma once

#include "analysis/phasesamples.h"
#include "analysis/verdict.h"
#include "analysis/verdictrules.h"
#include "session/runresult.h"

#include <QStringList>
#include <QVector>

// Where the phases of a run stand when its figures are made.
struct PhaseState
{
    bool writeDone = false;    // a write phase has ended
    bool readDone = false;     // a read phase has ended
    bool readEnabled = false;  // the current round reads back: the read verdicts count
    bool judged = false;       // the current round's last phase has ended
    QString failure;           // the error that ended the run (empty while none did)
    bool failedInRead = false; // the failure came in a read phase
};

// Turns the samples of a run into its figures and verdicts: one row for the card total, and one
// per stream when there are several, as the results table shows them.
class RunJudge
{
public:
    static int rowCount(int streams) { return streams < 2 ? 1 : streams + 1; }
    // integrity[i] is what the data check found in stream i.
    static RunFigures figures(const PhaseSamples& write, const PhaseSamples& read,
                              const QVector<DataIntegrity>& integrity,
                              const QStringList& streamLabels, const VerdictRules& rules,
                              const PhaseState& state);
};
