#pragma once

#include "report/historystore.h"
#include "session/runresult.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QAction;
class QMainWindow;
class QMenu;
class QPushButton;
class QTableWidget;
class HistoryWindow;

// What the window offers once a run has ended: the File menu (Save report..., History...), a
// Save report button for beside the results, and selection, Ctrl+C and a context menu (Copy,
// Copy all, Save report...) on the results table. Every result it is given is also stored in
// the history; a history that cannot be opened says so in one log line and is left off.
class ResultActions : public QObject
{
    Q_OBJECT

public:
    // Puts the File menu first in the window's menu bar and takes over the table's selection.
    ResultActions(QMainWindow* window, QTableWidget* table);
    ~ResultActions() override;

    QPushButton* saveButton() const { return m_saveButton; }
    // The run that just ended: kept for saving and stored in the history.
    void setResult(const RunResult& result);
    // The results on screen were reset; nothing to save until the next result.
    void clearResult();
    const RunResult* result() const { return m_result.get(); }

    // The selected cells (all cells when `all`) as tab-separated text with headers.
    QString tableText(bool all) const;
    // Opens the history when first needed; the same store serves the History window.
    HistoryStore* history();

public slots:
    void saveReport();
    void showHistory();
    void copySelection();
    void copyAll();

signals:
    // A line for the run log (a saved report, a history that is off).
    void logLine(QString message);

private:
    void retranslate();
    void updateEnabled();

    QMainWindow* m_window;
    QTableWidget* m_table;
    std::unique_ptr<RunResult> m_result;
    HistoryStore m_history;
    bool m_historyTried = false;
    QPointer<HistoryWindow> m_historyWindow;

    QMenu* m_fileMenu = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_historyAction = nullptr;
    QAction* m_copyAction = nullptr;
    QAction* m_copyAllAction = nullptr;
    QAction* m_tableSaveAction = nullptr;
    QPushButton* m_saveButton = nullptr;
};
