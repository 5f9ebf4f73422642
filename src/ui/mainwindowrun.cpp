// The run side of the main window: the launch with its checks, the live progress, the rounds and
// the end of a run.
#include "analysis/resultstable.h"
#include "chart/speedchartwidget.h"
#include "engine/speedtester.h"
#include "platform/driveformatter.h"
#include "platform/volumes.h"
#include "ui/launchcheck.h"
#include "ui/logpane.h"
#include "ui/mainwindow.h"
#include "ui/runtexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTime>

MainWindow::~MainWindow()
{
    if (engine) {
        engine->requestStop();
        engine->wait();
        delete engine;
        engine = nullptr;
    }
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

void MainWindow::startTest()
{
    // Never a second run over a running one, whatever enabled the button.
    if (running)
        return;

    QString root = selectedRoot();
    if (root.isEmpty() && refuse(LaunchCheck::noDrive()))
        return;
    if (!platform::isRemovableVolume(root.toStdString()) && refuse(LaunchCheck::notRemovable(root)))
        return;

    LaunchRequest request;
    request.randomMode = randomRadio->isChecked();
    request.fullCap = rules.fullCap;
    request.testSize = testSizeCombo->currentData().toLongLong();
    request.blockSize = blockSizeCombo->currentData().toLongLong();
    request.streamCount = streamCountSpin->value();
    request.capacity = selectedCapacity();
    request.sourcePaths = sourcePaths();
    LaunchPlan plan;
    if (refuse(LaunchCheck::plan(request, plan)))
        return;

    logStarted = false;
    if (!offerFormat(root))
        return;

    platform::VolumeSpace space;
    if (platform::queryVolumeSpace(root.toStdString(), space) &&
        refuse(rules.fullCap ? LaunchCheck::fillRoom(space.freeBytes)
                             : LaunchCheck::freeSpace(plan.required, space.freeBytes)))
        return;

    streamSources = plan.streams;
    streamLabels = StreamSource::labels(streamSources);
    speedChart->setStreams(streamLabels);
    writeSamples.reset(streamLabels.size());
    readSamples.reset(streamLabels.size());
    streamIntegrity.fill(DataIntegrity(), streamLabels.size());
    ResultsTable::build(resultsTable, streamLabels);
    writeProgressBar->setValue(0);
    readProgressBar->setValue(0);
    writeSpeedLabel->setText(tr("ProgressInitial"));
    readSpeedLabel->setText(tr("ProgressInitial"));
    startLog();

    targetRoot = root;
    runBlockSize = request.blockSize;
    runFileSize = plan.fileSize;
    runStreamCount = plan.streamCount;
    runSourcePaths = plan.sourcePaths;
    stopRequested = false;
    currentRound = 1;
    runRules = rules;

    setRunning(true);
    runClock.start();
    rollingProgressLabel->setVisible(runRules.fullCap);
    rollingProgressLabel->clear();
    launchEngine();
}

bool MainWindow::offerFormat(QString& root)
{
    const auto answer =
        QMessageBox::question(this, tr("MsgFormatTitle"), tr("MsgFormatBody").arg(root),
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

void MainWindow::launchEngine()
{
    if (engine) {
        engine->requestStop();
        engine->wait();
        delete engine;
        engine = nullptr;
    }
    engine = new SpeedTester;
    engine->setRootPath(targetRoot);
    engine->setTestSize(runSourcePaths.isEmpty() ? runFileSize
                                                 : qint64(runStreamCount) * runFileSize);
    engine->setBlockSize(runBlockSize);
    engine->setSourceFiles(runSourcePaths);
    engine->setStreamCount(runStreamCount);
    runReadEnabled = readTestEnabled && !runRules.fullCap;
    engine->setReadEnabled(runReadEnabled);
    if (runRules.fullCap) {
        platform::VolumeSpace space;
        const qint64 freeBytes = platform::queryVolumeSpace(targetRoot.toStdString(), space)
                                     ? qint64(space.freeBytes)
                                     : 0;
        engine->setRollingParams(runFileSize, freeBytes, runRules.iterCount);
        engine->setRollingVerify(runRules.rollVerify);
    }

    connect(engine, &SpeedTester::writeProgress, this, &MainWindow::onWriteProgress);
    connect(engine, &SpeedTester::readProgress, this, &MainWindow::onReadProgress);
    connect(engine, &SpeedTester::fileWriteSample, this, &MainWindow::onFileWriteSample);
    connect(engine, &SpeedTester::fileReadSample, this, &MainWindow::onFileReadSample);
    connect(engine, &SpeedTester::writeFinished, this, &MainWindow::onWriteFinished);
    connect(engine, &SpeedTester::readFinished, this, &MainWindow::onReadFinished);
    connect(engine, &SpeedTester::testError, this, &MainWindow::onTestError);
    connect(engine, &QThread::finished, this, &MainWindow::onTestFinished);
    connect(engine, &SpeedTester::log, this, &MainWindow::appendLog);
    connect(engine, &SpeedTester::rollingFileProgress, this, &MainWindow::onRollingFileProgress);
    connect(engine, &SpeedTester::dataMismatch, this, &MainWindow::onDataMismatch);
    engine->start();
}

void MainWindow::stopTest()
{
    if (!engine)
        return;
    stopRequested = true;
    engine->requestStop();
    appendLog(tr("LogStopping"));
}

void MainWindow::onTestFinished()
{
    if (stopRequested) {
        setRunning(false);
        stopRequested = false;
        currentRound = 0;
        resetRunDisplays();
    } else if (RunTexts::windowRepeats(runRules) && currentRound < runRules.iterCount) {
        ++currentRound;
        appendLog(tr("LogRoundEnter").arg(currentRound).arg(runRules.iterCount));
        launchEngine();
    } else {
        setRunning(false);
        currentRound = 0;
    }
}

void MainWindow::onTestError(QString message)
{
    appendLog(tr("LogErrorPrefix").arg(message));
    // Before the box: its event loop may already deliver the end of the run.
    currentRound = runRules.iterCount;
    QMessageBox::critical(this, tr("LogTestErrorTitle"), message, QMessageBox::Ok);
}

void MainWindow::setRunning(bool on)
{
    running = on;
    startButton->setEnabled(!on);
    stopButton->setEnabled(on);
    const QList<QWidget*> setUp = {
        driveCombo,      refreshButton,  randomRadio,    externalFileRadio, testSizeCombo,
        streamCountSpin, blockSizeCombo, sourceFileList, browseButton,      clearFilesButton};
    for (QWidget* widget : setUp)
        widget->setEnabled(!on);
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
    resultsTable->setRowCount(0);
    lastWriteSpeed = 0.0;
    lastReadSpeed = 0.0;
    streamLabels.clear();
    streamSources.clear();
    writeSamples.clear();
    readSamples.clear();
    streamIntegrity.clear();
}

void MainWindow::showPhaseProgress(bool write, int percent, double currentSpeed, double avgSpeed)
{
    QProgressBar* bar = write ? writeProgressBar : readProgressBar;
    QLabel* label = write ? writeSpeedLabel : readSpeedLabel;
    double& last = write ? lastWriteSpeed : lastReadSpeed;

    bar->setValue(RunTexts::overallPercent(percent, currentRound, runRules));
    if (currentSpeed > 0)
        last = currentSpeed;
    const qint64 elapsed = runClock.isValid() ? runClock.elapsed() : 0;
    label->setText(RunTexts::roundPrefix(currentRound, runRules) +
                   RunTexts::progressText(last, avgSpeed, elapsed));
    (write ? writeSamples : readSamples).addCardSample(percent, currentSpeed);
}

void MainWindow::onWriteProgress(int percent, double currentSpeed, double avgSpeed)
{
    showPhaseProgress(true, percent, currentSpeed, avgSpeed);
}

void MainWindow::onReadProgress(int percent, double currentSpeed, double avgSpeed)
{
    showPhaseProgress(false, percent, currentSpeed, avgSpeed);
}

void MainWindow::onFileWriteSample(int fileIdx, int percent, double cur, double avg)
{
    if (cur > 0)
        speedChart->addWriteSample(fileIdx,
                                   RunTexts::overallPercent(percent, currentRound, runRules), cur);
    writeSamples.addStreamSample(fileIdx, percent, cur, avg);
}

void MainWindow::onFileReadSample(int fileIdx, int percent, double cur, double avg)
{
    if (cur > 0)
        speedChart->addReadSample(fileIdx,
                                  RunTexts::overallPercent(percent, currentRound, runRules), cur);
    readSamples.addStreamSample(fileIdx, percent, cur, avg);
}

void MainWindow::finishPhase(bool write, double avgSpeed)
{
    (write ? writeSamples : readSamples).finish(avgSpeed);
    fillPhase(write);
}

void MainWindow::fillPhase(bool write)
{
    const PhaseSamples& samples = write ? writeSamples : readSamples;
    const double threshold = (write ? perStreamWriteMinSpin : perStreamReadMinSpin)->value();
    ResultsTable::fillPhase(resultsTable, write,
                            samples.rowMetrics(rules.slcTrim, resultsTable->rowCount()), threshold,
                            rules);
}

void MainWindow::onWriteFinished(double avgSpeed)
{
    finishPhase(true, avgSpeed);
    // Without a read phase in this round (switched off, or a fill of the whole card) the write
    // figures are all there is to judge.
    if (!runReadEnabled)
        updateVerdicts();
}

void MainWindow::onReadFinished(double avgSpeed)
{
    finishPhase(false, avgSpeed);
    updateVerdicts();
}

void MainWindow::updateVerdicts()
{
    const int rows = resultsTable->rowCount();
    if (rows < 1)
        return;
    const QVector<StreamMetrics> writeRows = writeSamples.rowMetrics(rules.slcTrim, rows);
    const QVector<StreamMetrics> readRows = readSamples.rowMetrics(rules.slcTrim, rows);
    ResultsTable::setVerdicts(
        resultsTable, writeRows, readRows,
        judgeRows(writeRows, readRows, rules, runReadEnabled, streamIntegrity), rules,
        streamIntegrity);
}

void MainWindow::rejudgeResults()
{
    if (resultsTable->rowCount() < 1)
        return;
    fillPhase(true);
    // Only a phase that ran has figures: a read test switched on after the run must not turn
    // its empty read series into a failed card.
    if (runReadEnabled)
        fillPhase(false);
    updateVerdicts();
}

void MainWindow::onDataMismatch(int fileIdx, QString filePath, qlonglong badBlocks,
                                qlonglong firstBadOffset)
{
    if (fileIdx >= 0 && fileIdx < streamIntegrity.size())
        streamIntegrity[fileIdx].add(QFileInfo(filePath).fileName(), badBlocks, firstBadOffset);
}

void MainWindow::onRollingFileProgress(int currentFile, int totalFiles, qint64 bytesWritten,
                                       qint64 bytesTotal)
{
    rollingProgressLabel->setText(
        RunTexts::rollingProgressText(currentFile, totalFiles, bytesWritten, bytesTotal));
}

void MainWindow::startLog()
{
    if (logStarted)
        return;
    logStarted = true;
    logPane->clear();
}

void MainWindow::appendLog(QString message)
{
    const QString line = RunTexts::logLine(QTime::currentTime(), message);
    qDebug().noquote() << line;
    logPane->appendLine(line);
}
