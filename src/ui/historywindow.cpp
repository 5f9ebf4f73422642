#include "ui/historywindow.h"

#include "report/reporttexts.h"
#include "ui/comparedialog.h"
#include "ui/historymodel.h"
#include "ui/reportdialog.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Column widths are measured over this many rows, not over a history of thousands.
constexpr int ResizePrecision = 200;

} // namespace

HistoryWindow::HistoryWindow(HistoryStore* store, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
{
    setObjectName(QStringLiteral("historyWindow"));
    resize(1250, 600);

    m_cardLabel = new QLabel;
    m_cardCombo = new QComboBox;
    m_cardCombo->setObjectName(QStringLiteral("historyCardCombo"));
    m_cardCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_countLabel = new QLabel;
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(m_cardLabel);
    filterRow->addWidget(m_cardCombo);
    filterRow->addStretch(1);
    filterRow->addWidget(m_countLabel);

    m_offLabel = new QLabel;
    m_offLabel->setWordWrap(true);
    m_offLabel->setStyleSheet(QStringLiteral("color: rgb(211, 47, 47);"));

    m_model = new HistoryModel(this);
    m_view = new QTableView;
    m_view->setObjectName(QStringLiteral("historyView"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAlternatingRowColors(true);
    m_view->verticalHeader()->setVisible(false);
    m_view->horizontalHeader()->setResizeContentsPrecision(ResizePrecision);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_view->horizontalHeader()->setStretchLastSection(true);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::updateButtons);
    connect(m_view, &QTableView::doubleClicked, this, &HistoryWindow::saveSelected);

    m_saveButton = new QPushButton;
    m_compareButton = new QPushButton;
    m_deleteButton = new QPushButton;
    m_closeButton = new QPushButton;
    connect(m_saveButton, &QPushButton::clicked, this, &HistoryWindow::saveSelected);
    connect(m_compareButton, &QPushButton::clicked, this, &HistoryWindow::compareSelected);
    connect(m_deleteButton, &QPushButton::clicked, this, &HistoryWindow::deleteSelected);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_saveButton);
    buttons->addWidget(m_compareButton);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch(1);
    buttons->addWidget(m_closeButton);

    auto* column = new QVBoxLayout(this);
    column->addLayout(filterRow);
    column->addWidget(m_offLabel);
    column->addWidget(m_view, 1);
    column->addLayout(buttons);

    connect(m_cardCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &HistoryWindow::applyFilter);
    retranslate();
    reload();
}

void HistoryWindow::reload()
{
    const int chosen = m_cardCombo->currentIndex() - 1;
    const HistoryCard current = chosen >= 0 ? m_cards.value(chosen) : HistoryCard();
    m_cards = m_store->cards();

    const QSignalBlocker block(m_cardCombo);
    m_cardCombo->clear();
    m_cardCombo->addItem(tr("LabelAllCards"));
    for (const HistoryCard& card : m_cards) {
        m_cardCombo->addItem(
            QStringLiteral("%1 (%2)").arg(card.label, ReportTexts::bytesText(card.capacityBytes)));
    }
    const int keep = chosen >= 0 ? int(m_cards.indexOf(current)) : -1;
    m_cardCombo->setCurrentIndex(keep + 1);
    applyFilter();
}

void HistoryWindow::applyFilter()
{
    const int chosen = m_cardCombo->currentIndex() - 1;
    const HistoryCard* card = chosen >= 0 && chosen < m_cards.size() ? &m_cards[chosen] : nullptr;
    m_model->setEntries(m_store->list(card));
    m_countLabel->setText(
        tr("LabelHistoryCount", nullptr, m_model->rowCount()).arg(m_model->rowCount()));
    updateButtons();
}

QVector<qint64> HistoryWindow::selectedIds() const
{
    QVector<qint64> ids;
    for (const QModelIndex& row : m_view->selectionModel()->selectedRows())
        ids.append(m_model->entry(row.row()).id);
    return ids;
}

void HistoryWindow::updateButtons()
{
    const int selected = m_view->selectionModel()->selectedRows().size();
    m_saveButton->setEnabled(selected == 1);
    m_compareButton->setEnabled(selected == 2);
    m_deleteButton->setEnabled(selected > 0);
    m_offLabel->setVisible(!m_store->isOpen());
}

void HistoryWindow::retranslate()
{
    setWindowTitle(tr("DlgHistoryTitle"));
    m_cardLabel->setText(tr("LabelFilterCard"));
    if (m_cardCombo->count() > 0)
        m_cardCombo->setItemText(0, tr("LabelAllCards"));
    m_countLabel->setText(
        tr("LabelHistoryCount", nullptr, m_model->rowCount()).arg(m_model->rowCount()));
    m_offLabel->setText(tr("MsgHistoryOff").arg(m_store->offReason()));
    m_saveButton->setText(tr("BtnSaveReport"));
    m_compareButton->setText(tr("BtnCompare"));
    m_compareButton->setToolTip(tr("TipCompare"));
    m_deleteButton->setText(tr("BtnDelete"));
    m_closeButton->setText(tr("BtnClose"));
    m_model->retranslate();
}

void HistoryWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

bool HistoryWindow::loadRun(qint64 id, RunResult* result)
{
    if (m_store->load(id, result))
        return true;
    QMessageBox::warning(this, tr("DlgHistoryTitle"),
                         tr("MsgLoadFailed").arg(m_store->lastError()));
    return false;
}

void HistoryWindow::deleteSelected()
{
    const QVector<qint64> ids = selectedIds();
    if (ids.isEmpty())
        return;
    const auto answer = QMessageBox::question(
        this, tr("MsgDeleteTitle"), tr("MsgDeleteBody", nullptr, int(ids.size())).arg(ids.size()));
    if (answer != QMessageBox::Yes)
        return;
    if (!m_store->remove(ids))
        QMessageBox::warning(this, tr("DlgHistoryTitle"), m_store->lastError());
    reload();
}

void HistoryWindow::saveSelected()
{
    const QVector<qint64> ids = selectedIds();
    RunResult result;
    if (ids.size() == 1 && loadRun(ids.first(), &result))
        ReportDialog::save(this, result);
}

void HistoryWindow::compareSelected()
{
    QVector<qint64> ids = selectedIds();
    if (ids.size() != 2)
        return;
    // The older run on the left, as one reads a change over time.
    std::sort(ids.begin(), ids.end());
    RunResult first;
    RunResult second;
    if (!loadRun(ids[0], &first) || !loadRun(ids[1], &second))
        return;
    auto* dialog = new CompareDialog(first, second, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}
