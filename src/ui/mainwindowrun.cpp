// The run side of the main window: the launch with its dialogs, and the session's progress,
// figures and end shown in the widgets. The run itself is the session's.
#include "chart/speedchartwidget.h"
#include "platform/driveformatter.h"
#include "session/runtexts.h"
#include "session/testsession.h"
#include "ui/logpane.h"
#include "ui/mainwindow.h"
#include "ui/resultactions.h"
#include "ui/resultstable.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTime>

MainWindow::~MainWindow() = default;

void MainWindow::connectSession()
{
    connect(session, &TestSession::runStarted, this, &MainWindow::onRunStarted);
    connect(session, &TestSession::phaseProgress, this, &MainWindow::onPhaseProgress);
    connect(session, &TestSession::streamSample, this, &MainWindow::onStreamSample);
    connect(session, &TestSession::fillProgress, this, &MainWindow::onRollingFileProgress);
    connect(session, &TestSession::logLine, this, &MainWindow::showLogLine);
    connect(session, &TestSession::error, this, &MainWindow::onTestError);
    connect(session, &TestSession::figuresChanged, this, &MainWindow::showFigures);
    connect(session, &TestSession::fillCheckProgress, this, &MainWindow::onFillCheckProgress);
    connect(session, &TestSession::finished, this, &MainWindow::onTestFinished);
}

bool MainWindow::refuse(const Refusal& refusal)
{
    if (!refusal.refused())
        return false;
    if (refusal.critical)
        QMessageBox::critical(this, refusal.title, refusal.body, QMessageBox::Ok);
    else
        QMessageBox::warning(this, refusal.title, refusal.body, QMessageBox::Ok);
    return true;
}

TestRequest MainWindow::testRequest() const
{
    TestRequest request;
    request.root = selectedRoot();
    request.externalFiles = !randomRadio->isChecked();
    request.sourceFiles = request.externalFiles ? sourcePaths() : QStringList();
    request.testSize = testSizeCombo->currentData().toLongLong();
    request.blockSize = blockSizeCombo->currentData().toLongLong();
    request.streamCount = streamCountSpin->value();
    request.readEnabled = readTestEnabled;
    request.rules = rules;
    return request;
}

void MainWindow::startTest()
{
    // Never a second run over a running one, whatever enabled the button.
    if (session->isRunning())
        return;

    TestRequest request = testRequest();
    if (refuse(TestSession::checkRequest(request)))
        return;
    logStarted = false;
    if (!offerFormat(request.root))
        return;
    if (!session->start(request))
        refuse({session->refusalCritical(), session->refusalTitle(), session->refusalBody()});
}

bool MainWindow::offerFormat(QString& root)
{
    const auto answer = QMessageBox::question(this, tr("MsgFormatTitle"),
                                              tr("MsgFormatBody").arg(driveCombo->currentText()),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return true;

    startLog();
    appendLog(tr("MsgFormatting").arg(root));
    // The format keeps this thread's events flowing (or shows a modal dialog); the window must
    // not take a click meanwhile.
    setEnabled(false);
    const platform::FormatOutcome outcome =
        platform::formatVolume(root.toStdString(), std::uintptr_t(winId()));
    setEnabled(true);
    appendLog(LaunchCheck::formatOutcomeText(outcome));

    refreshDrives();
    // Only the drive that was formatted may be tested: another card that happens to be listed
    // first is not what the user agreed to.
    if (!selectDrive(root)) {
        refuse(LaunchCheck::formatNoAccess());
        return false;
    }
    root = selectedRoot();
    return true;
}

void MainWindow::onRunStarted(const QStringList& labels)
{
    // Nothing of the previous run may pass for this one's.
    resetRunDisplays();
    lastPhaseWrite = true;
    speedChart->setStreams(labels);
    ResultsTable::build(resultsTable, labels);
    startLog();
    setRunning(true);
    rollingProgressLabel->setVisible(rules.fullCap);
}

void MainWindow::stopTest()
{
    session->stop();
}

void MainWindow::onTestFinished(const RunResult& result)
{
    setRunning(false);
    // Every run that ends goes into the history, a stopped one too.
    resultActions->setResult(result);
    // A stopped run leaves no results on screen.
    if (result.end == RunEnd::Stopped)
        resetRunDisplays();
}

void MainWindow::onTestError(const QString& message)
{
    // The phase that failed says so where its speed was shown; the session fails its rows.
    QLabel* label = lastPhaseWrite ? writeSpeedLabel : readSpeedLabel;
    if (!label->text().startsWith(tr("ProgressFailed")))
        label->setText(tr("ProgressFailed") + label->text());
    QMessageBox::critical(this, tr("LogTestErrorTitle"), message, QMessageBox::Ok);
}

void MainWindow::setRunning(bool on)
{
    startButton->setEnabled(!on);
    stopButton->setEnabled(on);
    startAction->setEnabled(!on);
    stopAction->setEnabled(on);
    const QList<QWidget*> setUp = {driveCombo,        refreshButton,  randomRadio,
                                   externalFileRadio, testSizeCombo,  streamCountSpin,
                                   blockSizeCombo,    sourceFileList, browseButton,
                                   clearFilesButton,  readTestCheck};
    for (QWidget* widget : setUp)
        widget->setEnabled(!on);
    // A fill's check borrows the read group; afterwards it shows what the switch says.
    if (!on)
        applyReadTestEnabled();
    applyFillMode();
}

void MainWindow::resetRunDisplays()
{
    speedChart->clearSamples();
    speedChart->setStreams(QStringList());
    writeProgressBar->setValue(0);
    readProgressBar->setValue(0);
    writeSpeedLabel->setText(tr("ProgressInitial"));
    readSpeedLabel->setText(tr("ProgressInitial"));
    rollingProgressLabel->hide();
    rollingProgressLabel->clear();
    forgetRunTexts();
    shownFigures = RunFigures();
    resultsTable->setRowCount(0);
    resultActions->clearResult();
    lastWriteSpeed = 0.0;
    lastReadSpeed = 0.0;
}

void MainWindow::onPhaseProgress(bool write, int percent, double currentSpeed, double avgSpeed,
                                 qint64 elapsedMs)
{
    QProgressBar* bar = write ? writeProgressBar : readProgressBar;
    QLabel* label = write ? writeSpeedLabel : readSpeedLabel;
    double& last = write ? lastWriteSpeed : lastReadSpeed;
    lastPhaseWrite = write;

    bar->setValue(percent);
    if (currentSpeed > 0)
        last = currentSpeed;
    const int round = session->round();
    const int rounds = session->result().rounds;
    setLiveText(label, [=] {
        return RunTexts::roundPrefix(round, rounds) +
               RunTexts::progressText(last, avgSpeed, elapsedMs);
    });
}

void MainWindow::onStreamSample(bool write, int stream, int percent, double cur, double)
{
    if (cur <= 0)
        return;
    if (write)
        speedChart->addWriteSample(stream, percent, cur);
    else
        speedChart->addReadSample(stream, percent, cur);
}

void MainWindow::showFigures(const RunFigures& figures)
{
    shownFigures = figures;
    ResultsTable::show(resultsTable, figures, rules);
}

void MainWindow::forgetRunTexts()
{
    for (QLabel* label : {writeSpeedLabel, readSpeedLabel, rollingProgressLabel})
        liveTexts.remove(label);
}

void MainWindow::setLiveText(QLabel* label, const std::function<QString()>& text)
{
    liveTexts.insert(label, text);
    label->setText(text());
}

void MainWindow::rejudgeResults()
{
    session->setRules(rules);
}

void MainWindow::onRollingFileProgress(int currentFile, int totalFiles, qint64 bytesWritten,
                                       qint64 bytesTotal)
{
    setLiveText(rollingProgressLabel, [=] {
        return RunTexts::rollingProgressText(currentFile, totalFiles, bytesWritten, bytesTotal);
    });
}

void MainWindow::onFillCheckProgress(int fill, int fills, int percent, double currentMBps,
                                     double avgMBps, qint64 elapsedMs)
{
    readGroup->setVisible(true);
    readProgressBar->setValue(percent);
    lastPhaseWrite = false;
    if (currentMBps > 0)
        lastReadSpeed = currentMBps;
    const double last = lastReadSpeed;
    setLiveText(readSpeedLabel, [=] {
        return tr("FillCheckProgress").arg(fill).arg(fills).arg(percent) + QStringLiteral("  |  ") +
               RunTexts::progressText(last, avgMBps, elapsedMs);
    });
}

void MainWindow::startLog()
{
    if (logStarted)
        return;
    logStarted = true;
    logPane->clear();
}

void MainWindow::appendLog(const QString& message)
{
    showLogLine(RunTexts::logLine(QTime::currentTime(), message));
}

void MainWindow::showLogLine(const QString& line)
{
    qDebug().noquote() << line;
    logPane->appendLine(line);
}
