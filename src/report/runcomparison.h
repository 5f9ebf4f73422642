#pragma once

#include "session/runresult.h"

#include <QVector>

// How one run's figure stands against the same figure of another run.
enum class CellDifference
{
    Same,   // equal as the tables show them
    Better, // faster, or steadier, or a better verdict
    Worse,
    Unmatched, // the other run has no such row
};

// Two runs' results tables side by side: rows are matched by position (card total with card
// total, stream i with stream i), figures are compared as the tables show them.
class RunComparison
{
public:
    // Figures 0..5 are write avg, max, min, jitter, CV, drop; 6..11 the same for read; 12 is
    // the verdict.
    static constexpr int Cells = 13;
    static constexpr int VerdictCell = 12;

    // One entry per row of `mine`, each with Cells entries, from `mine`'s point of view.
    // Read figures count only where both runs read.
    static QVector<QVector<CellDifference>> compare(const RunResult& mine, const RunResult& other);
    // The figure as the table shows it (speeds in MB/s, ratios in percent).
    static QString figureText(const RunRow& row, int cell);
};
