#pragma once

#include "analysis/streammetrics.h"
#include "analysis/verdictrules.h"

#include <QString>
#include <QVector>

// Judgement of one row of results, ordered from good to bad.
enum class Verdict
{
    Pass = 0,
    Warn = 1,
    Fail = 2
};

// The worse of two verdicts.
inline Verdict combineVerdicts(Verdict a, Verdict b)
{
    return static_cast<int>(a) >= static_cast<int>(b) ? a : b;
}

struct RowVerdict
{
    Verdict write = Verdict::Pass;
    Verdict read = Verdict::Pass;
    Verdict overall() const { return combineVerdicts(write, read); }
};

// Steadiness and speed of one record against the rules; threshold is the row's minimum speed
// (MB/s), 0 to leave the speed tests out. A record with nothing measured (avg <= 0) passes.
Verdict judgeMetrics(const StreamMetrics& m, double threshold, const VerdictRules& rules);

// The card-total row: steadiness plus the card-total minimum speeds. The minimum-speed rule also
// applies to an empty phase, whose minimum is 0. Read counts only when the read test runs.
RowVerdict judgeCardTotalRow(const StreamMetrics& write, const StreamMetrics& read,
                             const VerdictRules& rules, bool readEnabled);

// A stream row, against the per-stream minimums. Read counts only when the read test runs and
// the stream read anything.
RowVerdict judgeStreamRow(const StreamMetrics& write, const StreamMetrics& read,
                          const VerdictRules& rules, bool readEnabled);

// Verdicts of all rows: index 0 is the card total, index i + 1 stream i. One verdict per write
// record; a missing read record counts as an empty one.
QVector<RowVerdict> judgeRows(const QVector<StreamMetrics>& writeRows,
                              const QVector<StreamMetrics>& readRows, const VerdictRules& rules,
                              bool readEnabled);

// The verdict cell's tooltip: both records' figures and the rules in force, in the current
// language. The read line is filled also when the read test is off.
QString verdictTooltip(const StreamMetrics& write, const StreamMetrics& read,
                       const VerdictRules& rules);
