#include "ui/mainwindow.h"

#include "chart/speedchartwidget.h"
#include "i18n/i18n.h"
#include "session/runtexts.h"
#include "session/testsession.h"
#include "ui/logpane.h"
#include "ui/resultactions.h"
#include "ui/resultstable.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kDesignWidth = 1300;
constexpr int kDesignHeight = 950;

QLabel* rowLabel()
{
    auto* label = new QLabel;
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

void fillSizeCombo(QComboBox* combo, const QVector<MainWindow::SizeChoice>& choices)
{
    for (const MainWindow::SizeChoice& choice : choices)
        combo->addItem(QString::fromLatin1(choice.text),
                       QVariant::fromValue<qlonglong>(choice.bytes));
}

} // namespace

const QVector<MainWindow::SizeChoice>& MainWindow::testSizeChoices()
{
    static const QVector<SizeChoice> choices = {{"512 MB", 536870912},  {"1 GB", 1073741824},
                                                {"2 GB", 2147483648},   {"3 GB", 3221225472},
                                                {"5 GB", 5368709120},   {"10 GB", 10737418240},
                                                {"15 GB", 16106127360}, {"20 GB", 21474836480},
                                                {"25 GB", 26843545600}, {"30 GB", 32212254720}};
    return choices;
}

const QVector<MainWindow::SizeChoice>& MainWindow::blockSizeChoices()
{
    static const QVector<SizeChoice> choices = {
        {"64 KB", 65536},  {"128 KB", 131072}, {"256 KB", 262144}, {"512 KB", 524288},
        {"1 MB", 1048576}, {"4 MB", 4194304},  {"8 MB", 8388608}};
    return choices;
}

QSize MainWindow::minimumSizeFor(const QSize& available)
{
    const QSize design(kDesignWidth, kDesignHeight);
    if (!available.isValid() || available.isEmpty())
        return design;
    return design.boundedTo(available);
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , session(new TestSession(this))
{
    buildUi();
    connectControls();
    connectSession();
    retranslate();
    onTestModeChanged();
    loadVerdictSettings();
    loadTestSettings();
    refreshDrives();
}

void MainWindow::buildUi()
{
    QSize available;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        available = screen->availableGeometry().size();
    setMinimumSize(minimumSizeFor(available));
    resize(minimumSize());

    buildLanguageMenu();

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);
    column->addWidget(buildSettingsGroup(), 0);

    perStreamWriteMinSpin = new QDoubleSpinBox(this);
    perStreamWriteMinSpin->setRange(0, VerdictRules::MaxPerStreamSpeed);
    perStreamWriteMinSpin->setValue(rules.perStreamWrite);
    perStreamWriteMinSpin->hide();
    perStreamReadMinSpin = new QDoubleSpinBox(this);
    perStreamReadMinSpin->setRange(0, VerdictRules::MaxPerStreamSpeed);
    perStreamReadMinSpin->setValue(rules.perStreamRead);
    perStreamReadMinSpin->hide();

    verdictRulesButton = new QPushButton;
    verdictRulesButton->setMinimumHeight(32);
    verdictRulesButton->setMinimumWidth(140);
    startButton = new QPushButton;
    startButton->setMinimumHeight(32);
    stopButton = new QPushButton;
    stopButton->setMinimumHeight(32);
    stopButton->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(verdictRulesButton, 0);
    buttons->addWidget(startButton, 1);
    buttons->addWidget(stopButton, 1);
    column->addLayout(buttons);
    buildTestMenu();

    column->addLayout(buildProgressRow());

    chartGroup = new QGroupBox;
    auto* chartBox = new QVBoxLayout(chartGroup);
    chartBox->setContentsMargins(4, 6, 4, 6);
    speedChart = new SpeedChartWidget;
    chartBox->addWidget(speedChart);
    speedChart->setReadVisible(readTestEnabled);
    column->addWidget(chartGroup, 1);

    resultsGroup = new QGroupBox;
    auto* resultsBox = new QVBoxLayout(resultsGroup);
    resultsBox->setContentsMargins(4, 4, 4, 4);
    resultsTable = new QTableWidget(0, ResultsTable::ColumnCount);
    ResultsTable::setUp(resultsTable);
    // On a screen lower than the designed window the table scrolls sooner, so that the chart and
    // the table still share the screen.
    if (available.isValid() && available.height() < kDesignHeight)
        resultsTable->setMinimumHeight(160);
    resultsBox->addWidget(resultsTable);
    resultActions = new ResultActions(this, resultsTable);
    resultsBox->addWidget(resultActions->saveButton(), 0, Qt::AlignRight);
    connect(resultActions, &ResultActions::logLine, this, &MainWindow::appendLog);
    column->addWidget(resultsGroup, 0);

    logPane = new LogPane;
    column->addWidget(logPane, 0);

    // A screen smaller than the designed window scrolls the content rather than crushing it.
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("centralScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(central);
    setCentralWidget(scroll);
    buildHelpMenu();

    // Tab order in reading order, whatever order the widgets were made in.
    const QList<QWidget*> reading = {driveCombo,         refreshButton,
                                     randomRadio,        externalFileRadio,
                                     testSizeCombo,      streamCountSpin,
                                     browseButton,       clearFilesButton,
                                     blockSizeCombo,     readTestCheck,
                                     verdictRulesButton, startButton,
                                     stopButton,         resultActions->saveButton()};
    for (int i = 1; i < reading.size(); ++i)
        setTabOrder(reading[i - 1], reading[i]);

    // Names let tests and accessibility tools find the controls.
    const QList<QPair<QObject*, const char*>> named = {
        {driveCombo, "driveCombo"},
        {refreshButton, "refreshButton"},
        {randomRadio, "randomRadio"},
        {externalFileRadio, "externalFileRadio"},
        {testSizeCombo, "testSizeCombo"},
        {streamCountSpin, "streamCountSpin"},
        {totalSizeLabel, "totalSizeLabel"},
        {sourceFileList, "sourceFileList"},
        {sourceFileHintLabel, "sourceFileHintLabel"},
        {browseButton, "browseButton"},
        {clearFilesButton, "clearFilesButton"},
        {blockSizeCombo, "blockSizeCombo"},
        {readTestCheck, "readTestCheck"},
        {perStreamWriteMinSpin, "perStreamWriteMinSpin"},
        {perStreamReadMinSpin, "perStreamReadMinSpin"},
        {verdictRulesButton, "verdictRulesButton"},
        {startButton, "startButton"},
        {stopButton, "stopButton"},
        {writeProgressBar, "writeProgressBar"},
        {writeSpeedLabel, "writeSpeedLabel"},
        {rollingProgressLabel, "rollingProgressLabel"},
        {readProgressBar, "readProgressBar"},
        {readSpeedLabel, "readSpeedLabel"},
        {speedChart, "speedChart"},
        {resultsTable, "resultsTable"},
        {logPane, "logPane"},
        {driveLabel, "driveLabel"},
        {modeLabel, "modeLabel"},
        {sizeLabel, "sizeLabel"},
        {streamsLabel, "streamsLabel"},
        {filesLabel, "filesLabel"},
        {blockLabel, "blockLabel"},
        {readSpeedRowLabel, "readSpeedRowLabel"},
        {settingsGroup, "settingsGroup"},
        {writeGroup, "writeGroup"},
        {readGroup, "readGroup"},
        {chartGroup, "chartGroup"},
        {resultsGroup, "resultsGroup"},
        {sizeRow, "sizeRow"},
        {filesBox, "filesBox"},
        {filesButtons, "filesButtons"},
        {languageMenuAction, "languageMenuAction"},
        {testMenuAction, "testMenuAction"},
        {startAction, "startAction"},
        {stopAction, "stopAction"},
        {verdictRulesAction, "verdictRulesAction"},
        {helpMenuAction, "helpMenuAction"},
        {aboutAction, "aboutAction"},
        {langSimplifiedAction, "langSimplifiedAction"},
        {langTraditionalAction, "langTraditionalAction"},
        {langEnglishAction, "langEnglishAction"}};
    for (const auto& entry : named)
        entry.first->setObjectName(QString::fromLatin1(entry.second));
}

void MainWindow::buildLanguageMenu()
{
    QMenu* menu = menuBar()->addMenu(QString());
    languageMenuAction = menu->menuAction();
    languageGroup = new QActionGroup(this);
    languageGroup->setExclusive(true);

    const Language current = I18n::instance()->language();
    auto addLanguage = [&](QAction*& action, Language lang) {
        action = new QAction(this);
        action->setCheckable(true);
        action->setChecked(lang == current);
        languageGroup->addAction(action);
        menu->addAction(action);
        connect(action, &QAction::triggered, this, [lang] { I18n::instance()->setLanguage(lang); });
    };
    addLanguage(langSimplifiedAction, SimplifiedChinese);
    addLanguage(langTraditionalAction, TraditionalChinese);
    addLanguage(langEnglishAction, English);
}

QWidget* MainWindow::buildSettingsGroup()
{
    settingsGroup = new QGroupBox;
    auto* grid = new QGridLayout(settingsGroup);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);

    driveLabel = rowLabel();
    modeLabel = rowLabel();
    sizeLabel = rowLabel();
    filesLabel = rowLabel();
    filesLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    blockLabel = rowLabel();
    readSpeedRowLabel = rowLabel();
    streamsLabel = new QLabel;

    driveCombo = new QComboBox;
    driveCombo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    refreshButton = new QPushButton;
    refreshButton->setMinimumWidth(80);
    grid->addWidget(driveLabel, 0, 0);
    grid->addWidget(driveCombo, 0, 1);
    grid->addWidget(refreshButton, 0, 2);

    randomRadio = new QRadioButton;
    randomRadio->setChecked(true);
    externalFileRadio = new QRadioButton;
    auto* modeBox = new QHBoxLayout;
    modeBox->setSpacing(8);
    modeBox->addWidget(randomRadio);
    modeBox->addWidget(externalFileRadio);
    modeBox->addStretch();
    grid->addWidget(modeLabel, 1, 0);
    grid->addLayout(modeBox, 1, 1, 1, 2);

    testSizeCombo = new QComboBox;
    testSizeCombo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    fillSizeCombo(testSizeCombo, testSizeChoices());
    testSizeCombo->setCurrentIndex(2);
    streamCountSpin = new QSpinBox;
    streamCountSpin->setRange(1, 16);
    streamCountSpin->setValue(2);
    streamCountSpin->setFixedWidth(64);
    totalSizeLabel = new QLabel;
    totalSizeLabel->setStyleSheet(QStringLiteral("color:#666;"));
    sizeRow = new QWidget;
    auto* sizeBox = new QHBoxLayout(sizeRow);
    sizeBox->setContentsMargins(0, 0, 0, 0);
    sizeBox->setSpacing(8);
    sizeBox->addWidget(testSizeCombo, 1);
    sizeBox->addWidget(streamsLabel);
    sizeBox->addWidget(streamCountSpin);
    sizeBox->addWidget(totalSizeLabel);
    sizeBox->addStretch();
    grid->addWidget(sizeLabel, 2, 0);
    grid->addWidget(sizeRow, 2, 1, 1, 2);

    sourceFileList = new QListWidget;
    sourceFileList->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    sourceFileList->setFixedHeight(86);
    sourceFileList->setCursor(Qt::PointingHandCursor);
    sourceFileList->viewport()->setCursor(Qt::PointingHandCursor);
    sourceFileList->setSelectionMode(QAbstractItemView::NoSelection);
    sourceFileList->setFocusPolicy(Qt::NoFocus);
    sourceFileList->installEventFilter(this);
    sourceFileList->viewport()->installEventFilter(this);
    sourceFileHintLabel = new QLabel;
    sourceFileHintLabel->setStyleSheet(QStringLiteral("color:#888;"));
    sourceFileHintLabel->setFixedHeight(std::max(18, sourceFileHintLabel->fontMetrics().height()));
    filesBox = new QWidget;
    auto* filesColumn = new QVBoxLayout(filesBox);
    filesColumn->setContentsMargins(0, 0, 0, 0);
    filesColumn->setSpacing(4);
    filesColumn->addWidget(sourceFileList);
    filesColumn->addWidget(sourceFileHintLabel);
    browseButton = new QPushButton;
    browseButton->setMinimumWidth(80);
    clearFilesButton = new QPushButton;
    clearFilesButton->setMinimumWidth(80);
    filesButtons = new QWidget;
    auto* buttonColumn = new QVBoxLayout(filesButtons);
    buttonColumn->setContentsMargins(0, 0, 0, 0);
    buttonColumn->setSpacing(4);
    buttonColumn->addWidget(browseButton);
    buttonColumn->addWidget(clearFilesButton);
    buttonColumn->addStretch();
    grid->addWidget(filesLabel, 3, 0);
    grid->addWidget(filesBox, 3, 1);
    grid->addWidget(filesButtons, 3, 2);

    blockSizeCombo = new QComboBox;
    blockSizeCombo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    fillSizeCombo(blockSizeCombo, blockSizeChoices());
    blockSizeCombo->setCurrentIndex(4);
    grid->addWidget(blockLabel, 4, 0);
    grid->addWidget(blockSizeCombo, 4, 1, 1, 2);

    readTestCheck = new QCheckBox;
    readTestCheck->setChecked(readTestEnabled);
    grid->addWidget(readSpeedRowLabel, 5, 0);
    grid->addWidget(readTestCheck, 5, 1, 1, 2);
    return settingsGroup;
}

QLayout* MainWindow::buildProgressRow()
{
    auto phaseGroup = [](QGroupBox*& group, QProgressBar*& bar, QLabel*& label) {
        group = new QGroupBox;
        auto* box = new QVBoxLayout(group);
        box->setContentsMargins(8, 8, 8, 6);
        box->setSpacing(4);
        bar = new QProgressBar;
        label = new QLabel;
        box->addWidget(bar);
        box->addWidget(label);
        return box;
    };
    QVBoxLayout* writeBox = phaseGroup(writeGroup, writeProgressBar, writeSpeedLabel);
    rollingProgressLabel = new QLabel;
    rollingProgressLabel->setStyleSheet(QStringLiteral("color:#666;"));
    rollingProgressLabel->hide();
    writeBox->addWidget(rollingProgressLabel);
    phaseGroup(readGroup, readProgressBar, readSpeedLabel);

    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(writeGroup, 1);
    row->addWidget(readGroup, 1);
    return row;
}

void MainWindow::connectControls()
{
    connect(verdictRulesButton, &QPushButton::clicked, this, &MainWindow::openVerdictSettings);
    connect(refreshButton, &QPushButton::clicked, this, &MainWindow::refreshDrives);
    connect(browseButton, &QPushButton::clicked, this, &MainWindow::browseSourceFiles);
    connect(clearFilesButton, &QPushButton::clicked, this, &MainWindow::clearSourceFiles);
    connect(startButton, &QPushButton::clicked, this, &MainWindow::startTest);
    connect(stopButton, &QPushButton::clicked, this, &MainWindow::stopTest);
    connect(randomRadio, &QRadioButton::toggled, this, &MainWindow::onTestModeChanged);
    connect(readTestCheck, &QCheckBox::toggled, this, &MainWindow::onReadTestToggled);
    connect(randomRadio, &QRadioButton::toggled, this, [this] { saveTestSettings(); });
    connect(testSizeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        updateTotalSizeLabel();
        saveTestSettings();
    });
    connect(streamCountSpin, QOverload<int>::of(&QSpinBox::valueChanged), this, [this] {
        updateTotalSizeLabel();
        saveTestSettings();
    });
    connect(blockSizeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        saveTestSettings();
        updateTotalSizeLabel();
    });
    connect(driveCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        hideOversizeTestSizes();
        updateTotalSizeLabel();
    });
    connect(driveCombo, QOverload<int>::of(&QComboBox::activated), this, [this] {
        chosenRoot = selectedRoot();
        driveCombo->setPlaceholderText(QString());
    });
}

void MainWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QMainWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (session->isRunning()) {
        QMessageBox box(QMessageBox::Question, tr("CloseRunningTitle"), tr("CloseRunningBody"),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.button(QMessageBox::Yes)->setText(tr("BtnStopAndClose"));
        box.button(QMessageBox::No)->setText(tr("BtnKeepTesting"));
        box.setDefaultButton(QMessageBox::No);
        // The run may have ended while the question was open; then there is nothing to keep.
        if (box.exec() != QMessageBox::Yes && session->isRunning()) {
            event->ignore();
            return;
        }
        if (session->isRunning()) {
            // The engine removes its files on the way out; the window waits for the run's end.
            QEventLoop untilEnded;
            connect(session, &TestSession::finished, &untilEnded, &QEventLoop::quit);
            session->stop();
            untilEnded.exec();
        }
    }
    QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (sourceFileList && (watched == sourceFileList || watched == sourceFileList->viewport()) &&
        event->type() == QEvent::MouseButtonPress && sourceFileList->isEnabled()) {
        browseSourceFiles();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::retranslate()
{
    setWindowTitle(QStringLiteral("Vavozi Dado Rera dir Evar 4I zoredivo  v%1")
                       .arg(QCoreApplication::applicationVersion()));
    retranslateMenus();
    if (langSimplifiedAction)
        langSimplifiedAction->setText(QStringLiteral("简体中文"));
    if (langTraditionalAction)
        langTraditionalAction->setText(QStringLiteral("繁體中文"));
    if (langEnglishAction)
        langEnglishAction->setText(QStringLiteral("English"));

    const QList<QPair<QGroupBox*, const char*>> groups = {{settingsGroup, "GroupTestSettings"},
                                                          {writeGroup, "GroupWriteTest"},
                                                          {readGroup, "GroupReadTest"},
                                                          {chartGroup, "GroupSpeedCurve"},
                                                          {resultsGroup, "GroupResults"}};
    for (const auto& group : groups) {
        if (group.first)
            group.first->setTitle(tr(group.second));
    }
    const QList<QPair<QLabel*, const char*>> labels = {{driveLabel, "LabelDrive"},
                                                       {modeLabel, "LabelMode"},
                                                       {sizeLabel, "LabelSize"},
                                                       {streamsLabel, "LabelStreams"},
                                                       {filesLabel, "LabelFiles"},
                                                       {blockLabel, "LabelBlock"},
                                                       {readSpeedRowLabel, "LabelReadSpeed"}};
    for (const auto& label : labels) {
        if (label.first)
            label.first->setText(tr(label.second));
    }
    const QList<QPair<QAbstractButton*, const char*>> buttons = {
        {refreshButton, "BtnRefresh"},
        {randomRadio, "RadioRandom"},
        {externalFileRadio, "RadioExternalFile"},
        {browseButton, "BtnBrowse"},
        {clearFilesButton, "BtnClearFiles"},
        {readTestCheck, "CheckReadTest"},
        {verdictRulesButton, "BtnVerdictRules"},
        {startButton, "BtnStart"},
        {stopButton, "BtnStop"}};
    for (const auto& button : buttons) {
        if (button.first)
            button.first->setText(tr(button.second));
    }
    // At least 32 pixels high, and never less than the text of the language needs.
    for (QPushButton* button : {verdictRulesButton, startButton, stopButton}) {
        if (button) {
            button->setMinimumHeight(0);
            button->setMinimumHeight(std::max(32, button->sizeHint().height()));
        }
    }
    if (sourceFileList)
        sourceFileList->setToolTip(tr("HintAddFiles"));

    // A bar that never ran (no value yet) keeps an empty label; one at 0 was reset.
    if (writeProgressBar && writeSpeedLabel && writeProgressBar->value() == 0)
        writeSpeedLabel->setText(tr("ProgressInitial"));
    if (readProgressBar && readSpeedLabel && readProgressBar->value() == 0)
        readSpeedLabel->setText(tr("ProgressInitial"));

    updateTotalSizeLabel();
    if (sourceFileList && sourceFileHintLabel && sourceFileList->count() == 0)
        sourceFileHintLabel->setText(tr("HintNoFileSelected"));

    for (auto it = liveTexts.cbegin(); it != liveTexts.cend(); ++it)
        it.key()->setText(it.value()());

    if (resultsTable) {
        ResultsTable::retranslateHeaders(resultsTable);
        ResultsTable::relabel(resultsTable, StreamSource::labels(session->streamSources()));
        ResultsTable::show(resultsTable, shownFigures, rules);
    }
    if (speedChart)
        speedChart->update();
    if (driveCombo && driveCombo->count() > 0)
        refreshDrives();
}

void MainWindow::onTestModeChanged()
{
    const bool random = randomRadio->isChecked();
    sizeLabel->setVisible(random);
    sizeRow->setVisible(random);
    filesLabel->setVisible(!random);
    filesBox->setVisible(!random);
    filesButtons->setVisible(!random);
}

QStringList MainWindow::sourcePaths() const
{
    QStringList paths;
    for (int i = 0; i < sourceFileList->count(); ++i)
        paths << sourceFileList->item(i)->data(Qt::UserRole).toString();
    return paths;
}

void MainWindow::browseSourceFiles()
{
    const QStringList chosen =
        QFileDialog::getOpenFileNames(this, tr("DlgPickFiles"), QString(), tr("FilterAllFiles"));
    if (chosen.isEmpty())
        return;
    QStringList known = sourcePaths();
    qint64 total = 0;
    for (const QString& path : known)
        total += QFileInfo(path).size(); // 0 for a file that has gone
    for (const QString& path : chosen) {
        const QFileInfo info(path);
        if (known.contains(path, Qt::CaseSensitive) || !info.exists() || !info.isFile())
            continue;
        auto* item = new QListWidgetItem(info.fileName());
        item->setToolTip(path);
        item->setData(Qt::UserRole, path);
        sourceFileList->addItem(item);
        known << path;
        total += info.size();
    }
    const int count = sourceFileList->count();
    setLiveText(sourceFileHintLabel, [=] { return RunTexts::filesSummary(count, total); });
}

void MainWindow::clearSourceFiles()
{
    sourceFileList->clear();
    liveTexts.remove(sourceFileHintLabel);
    sourceFileHintLabel->setText(tr("HintNoFileSelected"));
    resetRunDisplays();
}
