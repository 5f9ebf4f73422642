#include "ui/resultactions.h"

#include "i18n/i18n.h"
#include "report/tablecopy.h"
#include "ui/historywindow.h"
#include "ui/reportdialog.h"
#include "ui/resultstable.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>

namespace {

// Selected cells get a colour of their own: the table's look hides the usual selection colour,
// and the selected text turns white.
const char* const kSelectionStyle =
    "QTableWidget::item:selected { background: rgb(64, 134, 214); color: white; }";

// The columns that start a cell (the label and verdict spans cover the others).
QVector<int> copyColumns(const QTableWidget* table)
{
    QVector<int> columns;
    for (int c = 0; c < ResultsTable::ColumnCount; ++c) {
        const bool covered =
            (c > 0 && c < ResultsTable::WriteColumn) || c > ResultsTable::VerdictColumn;
        if (!covered && !table->isColumnHidden(c))
            columns.append(c);
    }
    return columns;
}

} // namespace

ResultActions::ResultActions(QMainWindow* window, QTableWidget* table)
    : QObject(window)
    , m_window(window)
    , m_table(table)
{
    m_fileMenu = new QMenu(window);
    m_saveAction = m_fileMenu->addAction(QString(), this, &ResultActions::saveReport);
    m_saveAction->setShortcut(QKeySequence::Save);
    m_historyAction = m_fileMenu->addAction(QString(), this, &ResultActions::showHistory);
    QMenuBar* bar = window->menuBar();
    bar->insertMenu(bar->actions().value(0), m_fileMenu);

    m_saveButton = new QPushButton;
    m_saveButton->setObjectName(QStringLiteral("saveReportButton"));
    connect(m_saveButton, &QPushButton::clicked, this, &ResultActions::saveReport);

    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    table->setFocusPolicy(Qt::ClickFocus);
    table->setStyleSheet(table->styleSheet() + QLatin1String(kSelectionStyle));
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_copyAction = new QAction(table);
    m_copyAction->setShortcut(QKeySequence::Copy);
    m_copyAction->setShortcutContext(Qt::WidgetShortcut);
    connect(m_copyAction, &QAction::triggered, this, &ResultActions::copySelection);
    m_copyAllAction = new QAction(table);
    connect(m_copyAllAction, &QAction::triggered, this, &ResultActions::copyAll);
    auto* separator = new QAction(table);
    separator->setSeparator(true);
    m_tableSaveAction = new QAction(table);
    connect(m_tableSaveAction, &QAction::triggered, this, &ResultActions::saveReport);
    table->addActions({m_copyAction, m_copyAllAction, separator, m_tableSaveAction});

    connect(I18n::instance(), &I18n::languageChanged, this, &ResultActions::retranslate);
    retranslate();
    updateEnabled();
}

ResultActions::~ResultActions() = default;

void ResultActions::retranslate()
{
    m_fileMenu->setTitle(tr("MenuFile"));
    m_saveAction->setText(tr("MenuSaveReport"));
    m_historyAction->setText(tr("MenuHistory"));
    m_saveButton->setText(tr("BtnSaveReport"));
    m_copyAction->setText(tr("MenuCopy"));
    m_copyAllAction->setText(tr("MenuCopyAll"));
    m_tableSaveAction->setText(tr("BtnSaveReport"));
}

void ResultActions::updateEnabled()
{
    const bool any = m_result != nullptr;
    m_saveAction->setEnabled(any);
    m_saveButton->setEnabled(any);
    m_tableSaveAction->setEnabled(any);
}

HistoryStore* ResultActions::history()
{
    if (!m_historyTried) {
        m_historyTried = true;
        if (!m_history.open(HistoryStore::defaultPath()))
            emit logLine(tr("LogHistoryOff").arg(m_history.offReason()));
    }
    return &m_history;
}

void ResultActions::setResult(const RunResult& result)
{
    m_result = std::make_unique<RunResult>(result);
    updateEnabled();
    HistoryStore* store = history();
    if (store->isOpen() && store->store(result) < 0)
        emit logLine(tr("LogHistoryNotStored").arg(store->lastError()));
    if (m_historyWindow)
        m_historyWindow->reload();
}

void ResultActions::clearResult()
{
    m_result.reset();
    updateEnabled();
}

QString ResultActions::tableText(bool all) const
{
    QModelIndexList cells;
    if (all) {
        for (int r = 0; r < m_table->rowCount(); ++r) {
            for (int c = 0; c < m_table->columnCount(); ++c)
                cells.append(m_table->model()->index(r, c));
        }
    } else {
        cells = m_table->selectionModel()->selectedIndexes();
    }
    return TableCopy::text(*m_table->model(), cells, copyColumns(m_table));
}

void ResultActions::copySelection()
{
    const QString text = tableText(false);
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void ResultActions::copyAll()
{
    const QString text = tableText(true);
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void ResultActions::saveReport()
{
    if (!m_result)
        return;
    const QString path = ReportDialog::save(m_window, *m_result);
    if (!path.isEmpty())
        emit logLine(tr("LogReportSaved").arg(QDir::toNativeSeparators(path)));
}

void ResultActions::showHistory()
{
    if (!m_historyWindow) {
        m_historyWindow = new HistoryWindow(history(), m_window);
        m_historyWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}
