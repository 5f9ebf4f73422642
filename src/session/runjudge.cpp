#include "session/runjudge.h"

#include "analysis/verdictreasons.h"

#include <QCoreApplication>

RunFigures RunJudge::figures(const PhaseSamples& write, const PhaseSamples& read,
                             const QVector<DataIntegrity>& integrity,
                             const QStringList& streamLabels, const VerdictRules& rules,
                             const PhaseState& state)
{
    RunFigures out;
    out.writeMeasured = state.writeDone;
    out.readMeasured = state.readDone;
    // A run that failed is judged at once: no row of it may pass.
    const bool failed = !state.failure.isEmpty();
    out.judged = state.judged || failed;
    out.failure = state.failure;
    const int rows = rowCount(streamLabels.size());
    const QVector<StreamMetrics> writeRows = write.rowMetrics(rules.slcTrim, rows);
    const QVector<StreamMetrics> readRows = read.rowMetrics(rules.slcTrim, rows);
    const QVector<RowVerdict> verdicts =
        judgeRows(writeRows, readRows, rules, state.readEnabled, integrity);
    out.rows.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        RunRow r;
        r.label = row == 0 ? QString() : streamLabels.value(row - 1);
        r.write = writeRows.value(row);
        r.read = readRows.value(row);
        r.data = row == 0 ? cardIntegrity(integrity) : integrity.value(row - 1);
        if (failed) {
            r.verdict = verdicts.value(row);
            (state.failedInRead ? r.verdict.read : r.verdict.write) = Verdict::Fail;
            r.reasons
                << QCoreApplication::translate("RunJudge", "VerdictRunFailed").arg(state.failure);
        } else if (state.judged) {
            r.verdict = verdicts.value(row);
            r.reasons = verdictReasons(r.write, r.read, rules, row == 0, state.readEnabled, r.data);
        }
        out.rows << r;
    }
    return out;
}
