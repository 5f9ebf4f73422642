#pragma once

#include <QString>
#include <QtGlobal>

class QTime;
struct VerdictRules;

// Texts and positions of a run in progress; a multi-round run shares one 0-100 axis.
class RunTexts
{
public:
    // "mm:ss", or "h:mm:ss" from one hour on (hours not limited to two digits).
    static QString elapsedText(qint64 ms);

    // Whether the session repeats the run: more than one iteration and no rolling fill (which
    // repeats inside the engine).
    static bool sessionRepeats(const VerdictRules& rules);
    // A phase's percent placed on the axis of all rounds; used by the bar and the chart.
    static int overallPercent(int percent, int round, const VerdictRules& rules);
    // "Round 2/3 · " while a run repeats (rounds >= 2), else empty.
    static QString roundPrefix(int round, int rounds);
    static QString progressText(double currentSpeed, double avgSpeed, qint64 elapsedMs);
    static QString rollingProgressText(int currentFile, int totalFiles, qint64 bytesWritten,
                                       qint64 bytesTotal);
    // The summary line under the list of chosen files.
    static QString filesSummary(int fileCount, qint64 totalBytes);

    // One log line as the debug output and the log pane show it.
    static QString logLine(const QTime& time, const QString& message);
};
