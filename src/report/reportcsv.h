#pragma once

#include "session/runresult.h"

#include <QByteArray>
#include <QString>

// A run's results as comma-separated values (RFC 4180) for a spreadsheet: UTF-8 with a byte
// order mark, which spreadsheet programs need to tell it from their local code page, a dot as
// the decimal separator and CRLF line ends. Headers are in the current language.
class ReportCsv
{
public:
    // The results table, one line per row: the window's columns (figures as it shows them,
    // percents without their sign), then the row's drop and sample counts, bad blocks and the
    // verdict's reasons. Read figures are empty when no read phase ran.
    static QByteArray resultsTable(const RunResult& result);
    // Every speed sample: one line per phase and sample number, with the progress percent and
    // the speed (MB/s) of the card total and of each stream in columns side by side, ready to
    // be charted.
    static QByteArray samples(const RunResult& result);

    // One field, quoted when it holds a separator, a quote or a line break.
    static void appendField(QByteArray& line, const QString& field);
};
