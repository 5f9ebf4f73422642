#pragma once

#include "session/runresult.h"

#include <QString>
#include <QStringList>

// The words reports and the history share, in the current language.
class ReportTexts
{
public:
    static QString modeText(TestMode mode);
    // "Completed", "Stopped by the user" or "Failed".
    static QString endText(RunEnd end);
    // Sizes as the window shows them: "%1 GB" with one decimal from 1 GB on, else "%1 MB".
    static QString bytesText(qint64 bytes);
    // ISO 8601 in local time with its offset from UTC; empty for an unknown time.
    static QString timeText(const QDateTime& time);
    // "Card total" for row 0, "#r  label" for the streams.
    static QString rowLabel(const RunResult& result, int row);
    // The results table's headers: the label, six write and six read figures, the verdict.
    static QStringList tableHeaders();
    // The results table's cells of one row as the window shows them: figures "--" where the
    // phase did not run, percents with their sign when withPercentSign.
    static QStringList tableCells(const RunResult& result, int row, bool withPercentSign);
};
