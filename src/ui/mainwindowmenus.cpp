// The window's menus and keyboard access: the Test menu with the run's shortcuts, Help with
// About, and the parts of the window that follow the fill-entire-card mode.
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QtGlobal>

void MainWindow::buildTestMenu()
{
    auto* menu = new QMenu(this);
    menuBar()->insertMenu(languageMenuAction, menu);
    testMenuAction = menu->menuAction();
    const auto addAction = [&](QAction*& action, QPushButton* button, const QKeySequence& keys) {
        action = menu->addAction(QString());
        action->setShortcut(keys);
        // click() does nothing while the button is disabled.
        connect(action, &QAction::triggered, button, &QPushButton::click);
    };
    addAction(startAction, startButton, QKeySequence(Qt::Key_F5));
    addAction(stopAction, stopButton, QKeySequence(Qt::SHIFT + Qt::Key_F5));
    stopAction->setEnabled(false);
    menu->addSeparator();
    addAction(verdictRulesAction, verdictRulesButton, QKeySequence(Qt::CTRL + Qt::Key_R));
}

void MainWindow::buildHelpMenu()
{
    QMenu* menu = menuBar()->addMenu(QString());
    helpMenuAction = menu->menuAction();
    aboutAction = menu->addAction(QString(), this, &MainWindow::showAbout);
    aboutAction->setShortcut(QKeySequence::HelpContents);
    aboutQtAction = menu->addAction(QString(), qApp, &QApplication::aboutQt);

    // The language menu opens from the keyboard too, besides its mnemonic.
    auto* language = new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_L), this);
    connect(language, &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(languageMenuAction); });
}

void MainWindow::retranslateMenus()
{
    const QList<QPair<QAction*, const char*>> actions = {
        {testMenuAction, "MenuTest"},  {startAction, "BtnStart"},
        {stopAction, "BtnStop"},       {verdictRulesAction, "BtnVerdictRules"},
        {helpMenuAction, "MenuHelp"},  {aboutAction, "ActAbout"},
        {aboutQtAction, "ActAboutQt"}, {languageMenuAction, "MenuLanguage"}};
    for (const auto& action : actions) {
        if (action.first)
            action.first->setText(tr(action.second));
    }
}

void MainWindow::showAbout()
{
    QMessageBox::about(this, tr("DlgAboutTitle"),
                       tr("AboutBody")
                           .arg(QCoreApplication::applicationVersion(),
                                QLatin1String(QT_VERSION_STR), QLatin1String(qVersion())));
}

// Filling the whole card runs one stream and no read phase: their controls say so by being off.
// The read group stays on where each fill is checked, since the check shows its progress there.
void MainWindow::applyFillMode()
{
    const bool fill = rules.fullCap;
    const bool idle = !stopButton->isEnabled();
    streamsLabel->setEnabled(!fill);
    streamCountSpin->setEnabled(!fill && idle);
    readSpeedRowLabel->setEnabled(!fill);
    readTestCheck->setEnabled(!fill && idle);
    readGroup->setEnabled(!fill || rules.rollVerify);
}
