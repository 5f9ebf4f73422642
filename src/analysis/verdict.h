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

// "✓ Pass", "⚠ Warn" or "✗ Fail" in the current language.
QString verdictText(Verdict verdict);

// The worse of two verdicts.
inline Verdict combineVerdicts(Verdict a, Verdict b)
{
    return static_cast<int>(a) >= static_cast<int>(b) ? a : b;
}

struct RowVerdict
{
    Verdict write = Verdict::Pass;
    Verdict read = Verdict::Pass;
    // Whether the card gave back what was written; Fail on any bad block, whatever the speed.
    Verdict data = Verdict::Pass;
    Verdict overall() const { return combineVerdicts(combineVerdicts(write, read), data); }
};

// What the read-back found wrong in the data of one row: blocks that did not hold what was
// written (the engine's dataMismatch signal, one per file).
struct DataIntegrity
{
    qint64 badBlocks = 0;
    qint64 firstBadOffset = -1; // byte offset of the first bad block in firstBadFile
    QString firstBadFile;       // name of the file the first bad block was found in

    bool isClean() const { return badBlocks <= 0; }
    // Adds one file's findings: the counts add up, the first bad place reported is kept.
    void add(const QString& file, qint64 bad, qint64 offset);
    void add(const DataIntegrity& other);
};

// Fail on any bad block, Pass otherwise.
Verdict judgeIntegrity(const DataIntegrity& data);
// The card total's findings: every stream's, the first bad place of the lowest stream first.
DataIntegrity cardIntegrity(const QVector<DataIntegrity>& streams);

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
// The same with the data check: streams[i] is stream i's findings (a missing one counts as
// clean); the card-total row fails when any stream does.
QVector<RowVerdict> judgeRows(const QVector<StreamMetrics>& writeRows,
                              const QVector<StreamMetrics>& readRows, const VerdictRules& rules,
                              bool readEnabled, const QVector<DataIntegrity>& streams);

// The verdict cell's tooltip: both records' figures and the rules in force, in the current
// language. The read line is filled also when the read test is off.
QString verdictTooltip(const StreamMetrics& write, const StreamMetrics& read,
                       const VerdictRules& rules);
// The same, followed by how many blocks were bad and where the first one was when the row's
// data is not clean.
QString verdictTooltip(const StreamMetrics& write, const StreamMetrics& read,
                       const VerdictRules& rules, const DataIntegrity& data);
