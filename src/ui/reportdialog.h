#pragma once

#include <QString>

class QWidget;
struct RunResult;

// Asks where to save a run's report and in which format, then writes it; a failure is shown in
// a message box. Used by the main window and the history alike.
class ReportDialog
{
public:
    // The path written (for CSV, the results table's), or empty when cancelled or failed.
    static QString save(QWidget* parent, const RunResult& result);
};
