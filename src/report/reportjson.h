#pragma once

#include "session/runresult.h"

#include <QByteArray>
#include <QString>

// A finished run as one JSON document and back (docs/report-schema.md describes it). The
// document holds everything a RunResult does, so a result read back equals the one written: the
// history stores results in this form, and any stored run can be written out again.
class ReportJson
{
public:
    // Marks a document as one of ours; "version" says which layout it has.
    static constexpr const char* SchemaName = "quorvelcard-run";
    // Raised whenever the layout changes in a way an older reader would misread.
    static constexpr int SchemaVersion = 1;

    // UTF-8, indented; the long sample series are written compactly, one array per series.
    static QByteArray write(const RunResult& result);

    // Reads a document written by write() at this or an older schema version. On failure
    // returns false and says why in `error` (in the current language); `result` is then
    // left untouched.
    static bool read(const QByteArray& json, RunResult* result, QString* error);
};
