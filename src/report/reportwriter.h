#pragma once

#include "session/runresult.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// What a report can be written as.
enum class ReportFormat
{
    Html, // a page to read and share
    Json, // everything, to read back
    Csv,  // the results table, and the samples in a second file beside it
    Png,  // the chart alone
};

// One finished run, several writers; which one, and the file names, are chosen here.
class ReportWriter
{
public:
    // In the order the save dialog offers them; the first is the default.
    static QVector<ReportFormat> formats();
    static QString suffix(ReportFormat format);
    // The save dialog's filter text, in the current language.
    static QString filter(ReportFormat format);
    // The format a file name asks for by its suffix; `fallback` when it names none.
    static ReportFormat formatOf(const QString& path, ReportFormat fallback);

    // "<card label>_<yyyyMMddThhmmss>.<suffix>": the label with anything a file name cannot
    // hold replaced, the time as given (the caller picks local time or UTC).
    static QString defaultFileName(const QString& cardLabel, const QDateTime& time,
                                   ReportFormat format);
    // Where the samples of a CSV report go: beside it, "<name>-samples.csv".
    static QString samplesPath(const QString& csvPath);

    // The bytes of one format (for CSV, the results table).
    static QByteArray render(const RunResult& result, ReportFormat format, const QDateTime& madeAt);
    // Writes the report; each file appears whole or not at all. On failure returns false and
    // says why in `error`; a file that was there before is then left as it was.
    static bool save(const RunResult& result, const QString& path, ReportFormat format,
                     QString* error);
};
