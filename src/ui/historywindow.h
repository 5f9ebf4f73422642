#pragma once

#include "report/historystore.h"

#include <QVector>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class HistoryModel;

// The stored runs: a list that filters by card, and buttons to save a run's report again,
// compare two runs and delete runs.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    // The store stays its caller's; it may be off, which the window then says.
    explicit HistoryWindow(HistoryStore* store, QWidget* parent = nullptr);

    // Reads the store again, keeping the card filter when that card still has runs.
    void reload();
    QVector<qint64> selectedIds() const;

public slots:
    void deleteSelected();
    void saveSelected();
    void compareSelected();

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyFilter();
    void updateButtons();
    void retranslate();
    // Loads a stored run; a failure is shown in a message box.
    bool loadRun(qint64 id, RunResult* result);

    HistoryStore* m_store;
    QVector<HistoryCard> m_cards;
    HistoryModel* m_model = nullptr;
    QLabel* m_cardLabel = nullptr;
    QComboBox* m_cardCombo = nullptr;
    QLabel* m_countLabel = nullptr;
    QLabel* m_offLabel = nullptr;
    QTableView* m_view = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_compareButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_closeButton = nullptr;
};
