#pragma once

#include "analysis/verdictrules.h"

#include <QDialog>
#include <QPair>
#include <QVector>

class QCheckBox;
class QGridLayout;
class QDoubleSpinBox;
class QSpinBox;

// The modal editor of the verdict rules. Built anew for every opening from the current rules;
// after exec() returns Accepted, rules() holds the edited rules. It never saves or applies
// anything itself.
class VerdictRulesDialog : public QDialog
{
    Q_OBJECT

public:
    // rules.perStreamWrite and rules.perStreamRead are the window's current per-stream minimums.
    explicit VerdictRulesDialog(const VerdictRules& rules, QWidget* parent = nullptr);

    // The rules as the editors show them: percentages back to fractions, every value within its
    // editor's range and rounded to its decimals.
    VerdictRules rules() const;

public slots:
    // Puts the default rules into the editors; nothing is applied until OK.
    void restoreDefaults();

private:
    void buildMetricThresholds(const VerdictRules& rules);
    void buildPerStreamMin(const VerdictRules& rules);
    void buildAggMin(const VerdictRules& rules);
    void buildStressTest(const VerdictRules& rules);
    void buildButtons();
    void setEditors(const VerdictRules& rules);
    // Pairs of editors whose first may never exceed its second.
    QVector<QPair<QDoubleSpinBox*, QDoubleSpinBox*>> boundPairs() const;
    void bindPair(QDoubleSpinBox* lower, QDoubleSpinBox* higher);

    QGridLayout* m_page = nullptr;
    QDoubleSpinBox* m_jitterFail = nullptr;
    QDoubleSpinBox* m_jitterWarn = nullptr;
    QDoubleSpinBox* m_cvFail = nullptr;
    QDoubleSpinBox* m_cvWarn = nullptr;
    QDoubleSpinBox* m_dropFail = nullptr;
    QDoubleSpinBox* m_dropWarn = nullptr;
    QCheckBox* m_slcTrim = nullptr;
    QDoubleSpinBox* m_perStreamWrite = nullptr;
    QDoubleSpinBox* m_perStreamRead = nullptr;
    QDoubleSpinBox* m_minSpeedMult = nullptr;
    QDoubleSpinBox* m_aggWriteFail = nullptr;
    QDoubleSpinBox* m_aggWriteWarn = nullptr;
    QDoubleSpinBox* m_aggReadFail = nullptr;
    QDoubleSpinBox* m_aggReadWarn = nullptr;
    QCheckBox* m_fullCap = nullptr;
    QSpinBox* m_iterations = nullptr;
    QCheckBox* m_rollVerify = nullptr;
};
