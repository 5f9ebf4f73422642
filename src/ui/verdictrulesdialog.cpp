#include "ui/verdictrulesdialog.h"

#include "settings/verdictsettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

namespace {

enum class Kind
{
    Percent,
    Speed,
    Factor
};

// Range and decimals go in before the value, so a stored value outside the range shows clamped
// and one with more decimals shows rounded; OK then writes back what is shown.
QDoubleSpinBox* makeEditor(Kind kind, double value, const char* name, QWidget* parent)
{
    auto* spin = new QDoubleSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    switch (kind) {
    case Kind::Percent:
        spin->setRange(0.0, VerdictSettings::MaxRatio * 100.0);
        spin->setDecimals(1);
        spin->setSingleStep(5.0);
        spin->setSuffix(QStringLiteral(" %"));
        spin->setFixedWidth(100);
        break;
    case Kind::Speed:
        spin->setRange(0.0, VerdictSettings::MaxSpeed);
        spin->setDecimals(1);
        spin->setSingleStep(1.0);
        spin->setSuffix(QStringLiteral(" MB/s"));
        spin->setFixedWidth(120);
        break;
    case Kind::Factor:
        spin->setRange(VerdictSettings::MinSpeedFactor, VerdictSettings::MaxSpeedFactor);
        spin->setDecimals(2);
        spin->setSingleStep(0.05);
        spin->setFixedWidth(80);
        break;
    }
    spin->setValue(std::clamp(value, spin->minimum(), spin->maximum()));
    return spin;
}

// The rules with every value that is not a number replaced by its default, which the editors
// could not show.
VerdictRules withNumbers(const VerdictRules& rules)
{
    static double VerdictRules::*const fields[] = {
        &VerdictRules::jitterFail,   &VerdictRules::jitterWarn,     &VerdictRules::cvFail,
        &VerdictRules::cvWarn,       &VerdictRules::dropFail,       &VerdictRules::dropWarn,
        &VerdictRules::minSpeedMult, &VerdictRules::perStreamWrite, &VerdictRules::perStreamRead,
        &VerdictRules::aggWriteFail, &VerdictRules::aggWriteWarn,   &VerdictRules::aggReadFail,
        &VerdictRules::aggReadWarn};
    const VerdictRules defaults;
    VerdictRules out = rules;
    for (double VerdictRules::*field : fields) {
        if (std::isnan(out.*field))
            out.*field = defaults.*field;
    }
    return out;
}

QLabel* richLabel(const QString& text, QWidget* parent, bool centred = false)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::RichText);
    if (centred)
        label->setAlignment(Qt::AlignCenter);
    return label;
}

QGridLayout* makeGrid(QGroupBox* box)
{
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    return grid;
}

} // namespace

VerdictRulesDialog::VerdictRulesDialog(const VerdictRules& current, QWidget* parent)
    : QDialog(parent)
{
    const VerdictRules rules = withNumbers(current);
    setWindowTitle(tr("DlgVerdictTitle"));
    setMinimumWidth(430);
    // Two columns of groups, so that the dialog fits the height of a small screen.
    m_page = new QGridLayout(this);
    m_page->setSpacing(10);

    buildMetricThresholds(rules);

    m_slcTrim = new QCheckBox(tr("CheckSlcTrim"), this);
    m_slcTrim->setObjectName(QStringLiteral("slcTrimCheck"));
    m_slcTrim->setChecked(rules.slcTrim);
    m_slcTrim->setToolTip(tr("TipSlcTrim"));
    m_page->addWidget(m_slcTrim, 1, 0, 1, 2);

    buildPerStreamMin(rules);
    buildAggMin(rules);
    buildStressTest(rules);
    buildButtons();
    for (const auto& pair : boundPairs())
        bindPair(pair.first, pair.second);
}

QVector<QPair<QDoubleSpinBox*, QDoubleSpinBox*>> VerdictRulesDialog::boundPairs() const
{
    return {{m_jitterWarn, m_jitterFail},
            {m_cvWarn, m_cvFail},
            {m_dropWarn, m_dropFail},
            {m_aggWriteFail, m_aggWriteWarn},
            {m_aggReadFail, m_aggReadWarn}};
}

// A "more than" Warn limit cannot pass its Fail limit, nor a "less than" Fail limit its Warn
// limit: the lower editor's maximum follows the higher one's value and the other way round.
void VerdictRulesDialog::bindPair(QDoubleSpinBox* lower, QDoubleSpinBox* higher)
{
    lower->setMaximum(higher->value());
    higher->setMinimum(lower->value());
    connect(higher, QOverload<double>::of(&QDoubleSpinBox::valueChanged), lower,
            &QDoubleSpinBox::setMaximum);
    connect(lower, QOverload<double>::of(&QDoubleSpinBox::valueChanged), higher,
            &QDoubleSpinBox::setMinimum);
}

void VerdictRulesDialog::buildMetricThresholds(const VerdictRules& rules)
{
    auto* box = new QGroupBox(tr("SectionMetricThresholds"), this);
    QGridLayout* grid = makeGrid(box);

    QLabel* metric = richLabel(tr("ColMetric"), box);
    metric->setStyleSheet(QStringLiteral("color:#666;"));
    grid->addWidget(metric, 0, 0);
    grid->addWidget(richLabel(tr("HdrFailGt"), box, true), 0, 1);
    grid->addWidget(richLabel(tr("HdrWarnGt"), box, true), 0, 2);

    m_jitterFail = makeEditor(Kind::Percent, rules.jitterFail * 100.0, "jitterFailSpin", box);
    m_jitterWarn = makeEditor(Kind::Percent, rules.jitterWarn * 100.0, "jitterWarnSpin", box);
    m_cvFail = makeEditor(Kind::Percent, rules.cvFail * 100.0, "cvFailSpin", box);
    m_cvWarn = makeEditor(Kind::Percent, rules.cvWarn * 100.0, "cvWarnSpin", box);
    m_dropFail = makeEditor(Kind::Percent, rules.dropFail * 100.0, "dropFailSpin", box);
    m_dropWarn = makeEditor(Kind::Percent, rules.dropWarn * 100.0, "dropWarnSpin", box);

    const struct
    {
        const char* name;
        QDoubleSpinBox* fail;
        QDoubleSpinBox* warn;
        const char* formula;
    } rows[] = {
        {"MetricJitter", m_jitterFail, m_jitterWarn, "MetricJitterFormula"},
        {"MetricCV", m_cvFail, m_cvWarn, "MetricCVFormula"},
        {"MetricDrop", m_dropFail, m_dropWarn, "MetricDropFormula"},
    };
    int row = 1;
    for (const auto& r : rows) {
        grid->addWidget(richLabel(tr(r.name), box), row, 0);
        grid->addWidget(r.fail, row, 1);
        grid->addWidget(r.warn, row, 2);
        grid->addWidget(richLabel(tr(r.formula), box), row, 3);
        ++row;
    }
    m_page->addWidget(box, 0, 0);
}

void VerdictRulesDialog::buildPerStreamMin(const VerdictRules& rules)
{
    auto* box = new QGroupBox(tr("SectionPerStreamMin"), this);
    auto* form = new QFormLayout(box);
    form->setHorizontalSpacing(10);

    m_perStreamWrite = makeEditor(Kind::Speed, rules.perStreamWrite, "perStreamWriteSpin", box);
    m_perStreamRead = makeEditor(Kind::Speed, rules.perStreamRead, "perStreamReadSpin", box);
    m_minSpeedMult = makeEditor(Kind::Factor, rules.minSpeedMult, "minSpeedMultSpin", box);
    form->addRow(new QLabel(tr("LabelPerStreamWriteMin"), box), m_perStreamWrite);
    form->addRow(new QLabel(tr("LabelPerStreamReadMin"), box), m_perStreamRead);

    auto* factorRow = new QHBoxLayout;
    factorRow->setSpacing(4);
    factorRow->addWidget(richLabel(tr("LabelMinSpeedLt"), box));
    factorRow->addWidget(m_minSpeedMult);
    factorRow->addWidget(new QLabel(tr("LabelThenFail"), box));
    factorRow->addStretch();
    form->addRow(factorRow);
    m_page->addWidget(box, 0, 1);
}

void VerdictRulesDialog::buildAggMin(const VerdictRules& rules)
{
    auto* box = new QGroupBox(tr("SectionAggMin"), this);
    QGridLayout* grid = makeGrid(box);
    grid->addWidget(richLabel(tr("HdrFailLt"), box, true), 0, 1);
    grid->addWidget(richLabel(tr("HdrWarnLt"), box, true), 0, 2);

    m_aggWriteFail = makeEditor(Kind::Speed, rules.aggWriteFail, "aggWriteFailSpin", box);
    m_aggWriteWarn = makeEditor(Kind::Speed, rules.aggWriteWarn, "aggWriteWarnSpin", box);
    m_aggReadFail = makeEditor(Kind::Speed, rules.aggReadFail, "aggReadFailSpin", box);
    m_aggReadWarn = makeEditor(Kind::Speed, rules.aggReadWarn, "aggReadWarnSpin", box);
    grid->addWidget(richLabel(tr("ColWriteMin"), box), 1, 0);
    grid->addWidget(m_aggWriteFail, 1, 1);
    grid->addWidget(m_aggWriteWarn, 1, 2);
    grid->addWidget(richLabel(tr("ColReadMin"), box), 2, 0);
    grid->addWidget(m_aggReadFail, 2, 1);
    grid->addWidget(m_aggReadWarn, 2, 2);
    m_page->addWidget(box, 2, 0);
}

void VerdictRulesDialog::buildStressTest(const VerdictRules& rules)
{
    auto* box = new QGroupBox(tr("SectionStressTest"), this);
    QGridLayout* grid = makeGrid(box);
    grid->setColumnStretch(2, 1);

    m_fullCap = new QCheckBox(tr("CheckFullCap"), box);
    m_fullCap->setObjectName(QStringLiteral("fullCapCheck"));
    m_fullCap->setChecked(rules.fullCap);
    m_fullCap->setToolTip(tr("TipFullCap"));
    // Short rows keep the dialog within a small screen's height: the check box with what it
    // does beside it, then the rounds with the check after each fill.
    grid->addWidget(m_fullCap, 0, 0, Qt::AlignTop);
    auto* fullCapHint = new QLabel(tr("HintFullCap"), box);
    fullCapHint->setWordWrap(true);
    fullCapHint->setStyleSheet(QStringLiteral("color:#666;"));
    grid->addWidget(fullCapHint, 0, 1, 1, 2);

    m_iterations = new QSpinBox(box);
    m_iterations->setObjectName(QStringLiteral("iterationsSpin"));
    m_iterations->setRange(VerdictRules::MinIterCount, VerdictRules::MaxIterCount);
    m_iterations->setSingleStep(1);
    m_iterations->setValue(rules.iterCount);
    const auto showSuffix = [this](int rounds) {
        m_iterations->setSuffix(tr("SuffixRuns", nullptr, rounds));
    };
    showSuffix(m_iterations->value());
    connect(m_iterations, QOverload<int>::of(&QSpinBox::valueChanged), this, showSuffix);
    m_iterations->setToolTip(tr("TipIterations"));
    grid->addWidget(new QLabel(tr("LabelIterations"), box), 1, 0);
    grid->addWidget(m_iterations, 1, 1);

    m_rollVerify = new QCheckBox(tr("CheckRollVerify"), box);
    m_rollVerify->setObjectName(QStringLiteral("rollVerifyCheck"));
    m_rollVerify->setChecked(rules.rollVerify);
    m_rollVerify->setToolTip(tr("TipRollVerify"));
    grid->addWidget(m_rollVerify, 1, 2);
    m_page->addWidget(box, 2, 1);
}

void VerdictRulesDialog::buildButtons()
{
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* restore =
        buttons->addButton(tr("BtnRestoreDefaults"), QDialogButtonBox::ResetRole);
    buttons->addButton(QDialogButtonBox::Cancel)->setText(tr("BtnCancel"));
    buttons->addButton(QDialogButtonBox::Ok)->setText(tr("BtnOk"));
    connect(restore, &QPushButton::clicked, this, &VerdictRulesDialog::restoreDefaults);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_page->addWidget(buttons, 3, 0, 1, 2);
}

// The values of a first start, so that restoring them never judges more strictly than a card
// was judged before any settings existed.
void VerdictRulesDialog::restoreDefaults()
{
    setEditors(VerdictRules());
}

void VerdictRulesDialog::setEditors(const VerdictRules& rules)
{
    // Free every bound pair first: the new values must not be clamped by the old ones.
    for (const auto& pair : boundPairs()) {
        pair.first->setMaximum(pair.second->maximum());
        pair.second->setMinimum(pair.first->minimum());
    }
    m_jitterFail->setValue(rules.jitterFail * 100.0);
    m_jitterWarn->setValue(rules.jitterWarn * 100.0);
    m_cvFail->setValue(rules.cvFail * 100.0);
    m_cvWarn->setValue(rules.cvWarn * 100.0);
    m_dropFail->setValue(rules.dropFail * 100.0);
    m_dropWarn->setValue(rules.dropWarn * 100.0);
    m_fullCap->setChecked(rules.fullCap);
    m_iterations->setValue(rules.iterCount);
    m_rollVerify->setChecked(rules.rollVerify);
    m_perStreamWrite->setValue(rules.perStreamWrite);
    m_perStreamRead->setValue(rules.perStreamRead);
    m_minSpeedMult->setValue(rules.minSpeedMult);
    m_aggWriteFail->setValue(rules.aggWriteFail);
    m_aggWriteWarn->setValue(rules.aggWriteWarn);
    m_aggReadFail->setValue(rules.aggReadFail);
    m_aggReadWarn->setValue(rules.aggReadWarn);
    m_slcTrim->setChecked(rules.slcTrim);
}

VerdictRules VerdictRulesDialog::rules() const
{
    VerdictRules out;
    out.jitterFail = m_jitterFail->value() / 100.0;
    out.jitterWarn = m_jitterWarn->value() / 100.0;
    out.cvFail = m_cvFail->value() / 100.0;
    out.cvWarn = m_cvWarn->value() / 100.0;
    out.dropFail = m_dropFail->value() / 100.0;
    out.dropWarn = m_dropWarn->value() / 100.0;
    out.perStreamWrite = m_perStreamWrite->value();
    out.perStreamRead = m_perStreamRead->value();
    out.minSpeedMult = m_minSpeedMult->value();
    out.aggWriteFail = m_aggWriteFail->value();
    out.aggWriteWarn = m_aggWriteWarn->value();
    out.aggReadFail = m_aggReadFail->value();
    out.aggReadWarn = m_aggReadWarn->value();
    out.slcTrim = m_slcTrim->isChecked();
    out.fullCap = m_fullCap->isChecked();
    out.iterCount = m_iterations->value();
    out.rollVerify = m_rollVerify->isChecked();
    return out;
}
