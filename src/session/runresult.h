#pragma once

#include "analysis/streammetrics.h"
#include "analysis/verdict.h"
#include "analysis/verdictrules.h"
#include "engine/runoutcome.h"
#include "engine/testplan.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// How a run ended.
enum class RunEnd
{
    Completed, // every round ran to its end
    Stopped,   // the user (or a front end on the user's behalf) stopped it
    Failed,    // an error ended it; RunResult::failure says why
};

// The card a run was made on, as it was listed when the run began.
struct RunCard
{
    QString root; // with its trailing separator
    QString label;
    QString fileSystem;
    qint64 capacityBytes = 0;
    qint64 freeBytesBefore = 0;
};

// One row of the results: the card total (row 0) or one stream.
struct RunRow
{
    QString label; // the stream's label; empty for the card total
    StreamMetrics write;
    StreamMetrics read;
    RowVerdict verdict;
    // Why the verdict is what it is, one short text per rule that tripped, in the language that
    // was current when the row was judged; empty for a clean Pass.
    QStringList reasons;
    DataIntegrity data;
};

// The figures and verdicts of a finished run; rows[0] is the card total, rows[i + 1] stream i.
// A single stream has only the card-total row, as in the window's table.
struct RunFigures
{
    QVector<RunRow> rows;
    bool writeMeasured = false; // whether the write columns describe a write phase that ended
    bool readMeasured = false;  // whether the read columns describe a read phase that ran
    bool judged = false;        // whether the verdicts are made (the round's last phase ended)
    // The error that ended the run, when one did: every row is then a Fail, whatever its
    // figures say, and its reasons say why.
    QString failure;
    Verdict card() const { return rows.isEmpty() ? Verdict::Pass : rows.first().verdict.overall(); }
};

// One speed sample: where the run was (percent of the whole run, rounds included, as the chart's
// x axis) and the speed in MB/s.
struct SpeedPoint
{
    double percent = 0.0;
    double mbps = 0.0;
};

// Every speed sample of one phase, in arrival order (one about every 200 ms): the card total and
// one series per stream. Over several rounds the rounds follow one another.
struct PhaseSeries
{
    QVector<SpeedPoint> card;
    QVector<QVector<SpeedPoint>> streams;
};

// Everything a finished run leaves behind: what a report, the history and a front end's
// summary need, with no reference to the objects that produced it.
struct RunResult
{
    QString programVersion;
    QDateTime started; // UTC
    QDateTime ended;   // UTC

    RunCard card;
    TestPlan plan;      // as the engine ran it (testSize is the run's total bytes)
    VerdictRules rules; // in force when the figures were last judged
    int rounds = 1;     // rounds asked for
    int roundsDone = 0; // rounds that ran to their end
    QStringList streamLabels;

    RunFigures figures;
    PhaseSeries writeSeries;
    PhaseSeries readSeries;

    QStringList errors; // every error message, in order
    QStringList log;    // every log line as shown, with its time stamp

    RunEnd end = RunEnd::Completed;
    FailureCause cause = FailureCause::None; // why a failed run failed
    QString failure; // the error that ended a failed run, as the user was told it

    TestMode mode() const { return testModeOf(plan); }
};
