// The window's side of the stored settings and of the verdict rules dialog.
#include "ui/mainwindow.h"

#include "chart/speedchartwidget.h"
#include "session/testsession.h"
#include "settings/testsettings.h"
#include "settings/verdictsettings.h"
#include "ui/resultstable.h"
#include "ui/verdictrulesdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>

VerdictRules MainWindow::currentRules() const
{
    VerdictRules current = rules;
    current.perStreamWrite = perStreamWriteMinSpin->value();
    current.perStreamRead = perStreamReadMinSpin->value();
    return current;
}

void MainWindow::loadVerdictSettings()
{
    const VerdictSettings loaded = VerdictSettings::load({currentRules(), readTestEnabled});
    rules = loaded.rules;
    readTestEnabled = loaded.enableRead;
    {
        const QSignalBlocker blocker(readTestCheck);
        readTestCheck->setChecked(readTestEnabled);
    }
    applyReadTestEnabled();
    perStreamWriteMinSpin->setValue(rules.perStreamWrite);
    perStreamReadMinSpin->setValue(rules.perStreamRead);
    applyFillMode();
}

void MainWindow::saveVerdictSettings() const
{
    VerdictSettings{currentRules(), readTestEnabled}.save();
}

void MainWindow::loadTestSettings()
{
    const TestSettings current{externalFileRadio->isChecked(), testSizeCombo->currentIndex(),
                               streamCountSpin->value(), blockSizeCombo->currentIndex()};
    const TestSettings::Limits limits{testSizeCombo->count(), streamCountSpin->minimum(),
                                      streamCountSpin->maximum(), blockSizeCombo->count()};
    const TestSettings loaded = TestSettings::load(current, limits);
    {
        const QSignalBlocker random(randomRadio);
        const QSignalBlocker external(externalFileRadio);
        (loaded.externalFiles ? externalFileRadio : randomRadio)->setChecked(true);
    }
    {
        const QSignalBlocker blocker(testSizeCombo);
        testSizeCombo->setCurrentIndex(loaded.sizeIndex);
    }
    {
        const QSignalBlocker blocker(streamCountSpin);
        streamCountSpin->setValue(loaded.streamCount);
    }
    {
        const QSignalBlocker blocker(blockSizeCombo);
        blockSizeCombo->setCurrentIndex(loaded.blockIndex);
    }
    updateTotalSizeLabel();
    onTestModeChanged();
}

void MainWindow::saveTestSettings() const
{
    TestSettings{externalFileRadio->isChecked(), testSizeCombo->currentIndex(),
                 streamCountSpin->value(), blockSizeCombo->currentIndex()}
        .save();
}

void MainWindow::onReadTestToggled(bool checked)
{
    readTestEnabled = checked;
    // A run in progress reads back from its next round on.
    session->setReadEnabled(checked);
    applyReadTestEnabled();
    saveVerdictSettings();
}

void MainWindow::applyReadTestEnabled()
{
    readGroup->setVisible(readTestEnabled);
    speedChart->setReadVisible(readTestEnabled);
    ResultsTable::setReadColumnsVisible(resultsTable, readTestEnabled);
}

void MainWindow::openVerdictSettings()
{
    VerdictRulesDialog dialog(currentRules(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    rules = dialog.rules();
    perStreamWriteMinSpin->setValue(rules.perStreamWrite);
    perStreamReadMinSpin->setValue(rules.perStreamRead);
    saveVerdictSettings();
    updateTotalSizeLabel();
    applyFillMode();
    rejudgeResults();
}
