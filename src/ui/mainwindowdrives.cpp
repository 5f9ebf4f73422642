// The drive side of the main window: the list of removable drives, the user's choice in it
// and what the chosen card allows (test sizes, the total to write).
#include "engine/units.h"
#include "platform/volumes.h"
#include "session/capacityrules.h"
#include "session/testsession.h"
#include "ui/driveselection.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSpinBox>

QString MainWindow::selectedRoot() const
{
    return driveCombo ? driveCombo->currentData().toString() : QString();
}

QString MainWindow::selectedFileSystem() const
{
    return driveCombo ? driveCombo->currentData(Qt::UserRole + 1).toString() : QString();
}

quint64 MainWindow::selectedCapacity() const
{
    const QString root = selectedRoot();
    platform::VolumeSpace space;
    if (root.isEmpty() || !platform::queryVolumeSpace(root.toStdString(), space))
        return 0;
    return space.totalBytes;
}

quint64 MainWindow::selectedFreeSpace() const
{
    const QString root = selectedRoot();
    platform::VolumeSpace space;
    if (root.isEmpty() || !platform::queryVolumeSpace(root.toStdString(), space))
        return 0;
    return space.freeBytes;
}

void MainWindow::refreshDrives()
{
    // A run's target stays its target, whatever the list shows meanwhile.
    const bool running = session->isRunning();
    const QString wanted = running ? session->result().card.root : chosenRoot;
    QStringList roots;
    QSignalBlocker quiet(driveCombo);
    driveCombo->clear();
    for (const platform::VolumeInfo& volume : platform::listRemovableVolumes()) {
        const QString root = QString::fromStdString(volume.root);
        driveCombo->addItem(CapacityRules::driveItemText(volume), root);
        driveCombo->setItemData(driveCombo->count() - 1, QString::fromStdString(volume.fileSystem),
                                Qt::UserRole + 1);
        roots << root;
    }
    const int index = DriveSelection::indexAfterRefresh(roots, wanted);
    driveCombo->setPlaceholderText(QString());
    if (roots.isEmpty()) {
        driveCombo->addItem(tr("DriveWarnNoDrive"), QString());
        driveCombo->setCurrentIndex(0);
    } else if (index < 0) {
        // Never another card in its place: the user chooses again, and is told why.
        driveCombo->setCurrentIndex(-1);
        driveCombo->setPlaceholderText(tr("DriveGoneBody").arg(wanted));
        appendLog(tr("DriveGoneBody").arg(wanted));
    } else {
        driveCombo->setCurrentIndex(index);
        if (!running)
            chosenRoot = roots.at(index);
    }
    quiet.unblock();
    // A language switch re-lists the drives during a run too; that must not offer a second
    // run over the running one.
    startButton->setEnabled(!running);
    hideOversizeTestSizes();
    updateTotalSizeLabel();
}

bool MainWindow::selectDrive(const QString& root)
{
    const int index = root.isEmpty() ? -1 : driveCombo->findData(root);
    if (index >= 0) {
        driveCombo->setCurrentIndex(index);
        chosenRoot = root;
    }
    return index >= 0;
}

void MainWindow::hideOversizeTestSizes()
{
    if (!testSizeCombo)
        return;
    QVector<qint64> sizes;
    for (int i = 0; i < testSizeCombo->count(); ++i)
        sizes << testSizeCombo->itemData(i).toLongLong();
    const QVector<bool> visible =
        CapacityRules::visibleSizes(sizes, selectedCapacity(), selectedFileSystem());
    if (auto* view = qobject_cast<QListView*>(testSizeCombo->view())) {
        for (int i = 0; i < visible.size(); ++i)
            view->setRowHidden(i, !visible[i]);
    }
    testSizeCombo->setCurrentIndex(
        CapacityRules::fittingIndex(testSizeCombo->currentIndex(), visible));
}

void MainWindow::updateTotalSizeLabel()
{
    if (!totalSizeLabel || !testSizeCombo || !streamCountSpin)
        return;
    const qint64 testSize = testSizeCombo->currentData().toLongLong();
    const qint64 blockSize =
        blockSizeCombo ? blockSizeCombo->currentData().toLongLong() : units::MiB;
    const quint64 freeBytes = rules.fullCap ? selectedFreeSpace() : 0;
    QString text = CapacityRules::totalSizeText(testSize, streamCountSpin->value(), rules.fullCap,
                                                blockSize, freeBytes, rules.iterCount);
    // Rounds repeat a normal test too; the fill's text names its rounds itself.
    if (!rules.fullCap && rules.iterCount > 1)
        text += tr("TotalRounds", nullptr, rules.iterCount).arg(rules.iterCount);
    totalSizeLabel->setText(text);
}
