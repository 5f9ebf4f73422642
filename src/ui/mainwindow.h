#pragma once

#include "analysis/verdictrules.h"
#include "session/runresult.h"
#include "session/testrequest.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <QVector>

#include <functional>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QWidget;
class LogPane;
class ResultActions;
struct Refusal;
class SpeedChartWidget;
class TestSession;

// The program's only window: the set-up of a test, its live progress and its results.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The designed minimum of 1300 x 950, cut down to a smaller screen's available area so
    // that the buttons stay within reach.
    static QSize minimumSizeFor(const QSize& available);

    // The test size and block size choices: text and bytes.
    struct SizeChoice
    {
        const char* text;
        qint64 bytes;
    };
    static const QVector<SizeChoice>& testSizeChoices();
    static const QVector<SizeChoice>& blockSizeChoices();

protected:
    void changeEvent(QEvent* event) override;
    // A run in progress is stopped (its files removed) only when the user agrees to close.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void refreshDrives();
    void onTestModeChanged();
    void openVerdictSettings();
    void browseSourceFiles();
    void clearSourceFiles();
    void startTest();
    void stopTest();
    void onRunStarted(const QStringList& labels);
    void onPhaseProgress(bool write, int percent, double currentSpeed, double avgSpeed,
                         qint64 elapsedMs);
    void onStreamSample(bool write, int stream, int percent, double cur, double avg);
    void showFigures(const RunFigures& figures);
    void onTestError(const QString& message);
    void onFillCheckProgress(int fill, int fills, int percent, double currentMBps, double avgMBps,
                             qint64 elapsedMs);
    void onTestFinished(const RunResult& result);
    void onRollingFileProgress(int currentFile, int totalFiles, qint64 bytesWritten,
                               qint64 bytesTotal);
    void onReadTestToggled(bool checked);
    void showLogLine(const QString& line);
    void showAbout();

private:
    void buildUi();
    void buildLanguageMenu();
    void buildTestMenu();
    void buildHelpMenu();
    void retranslateMenus();
    void applyFillMode();
    // Sets a label's text now and again after a language switch; texts of a run (progress lines)
    // are made from the figures they show, so they follow the language like every other text.
    void setLiveText(QLabel* label, const std::function<QString()>& text);
    // The progress lines of the run shown so far; the file summary stays.
    void forgetRunTexts();
    QWidget* buildSettingsGroup();
    QLayout* buildProgressRow();
    void connectControls();
    void retranslate();

    // The drive under test as listed: its root, or empty when none is selected.
    QString selectedRoot() const;
    QString selectedFileSystem() const;
    quint64 selectedCapacity() const;
    quint64 selectedFreeSpace() const;
    void hideOversizeTestSizes();
    void updateTotalSizeLabel();

    // The set-up and the rules as the user left them; every change is saved at once.
    void loadVerdictSettings();
    void saveVerdictSettings() const;
    void loadTestSettings();
    void saveTestSettings() const;
    void applyReadTestEnabled();
    // The rules with the per-stream minimums of the hidden spin boxes.
    VerdictRules currentRules() const;
    // Figures and verdicts of the results on screen again, under the rules in force.
    void rejudgeResults();
    QStringList sourcePaths() const;
    bool selectDrive(const QString& root);

    // Run lifecycle: the run is the session's, the window shows it.
    void connectSession();
    TestRequest testRequest() const;
    bool refuse(const Refusal& refusal);
    bool offerFormat(QString& root);
    void setRunning(bool on);
    void resetRunDisplays();
    void startLog();
    void appendLog(const QString& message);

    VerdictRules rules;
    bool readTestEnabled = false;
    TestSession* session = nullptr;
    bool logStarted = false; // the log pane was cleared for the run being launched
    // The drive the user chose last (empty: none yet); kept across refreshes while listed.
    QString chosenRoot;
    bool lastPhaseWrite = true; // the phase the latest progress came from
    // The most recent positive current speed of each phase, as its label shows it.
    double lastWriteSpeed = 0.0;
    double lastReadSpeed = 0.0;
    QHash<QLabel*, std::function<QString()>> liveTexts;
    // The figures the results table shows, drawn again in a new language.
    RunFigures shownFigures;

    QComboBox* driveCombo = nullptr;
    QPushButton* refreshButton = nullptr;
    QRadioButton* randomRadio = nullptr;
    QRadioButton* externalFileRadio = nullptr;
    QComboBox* testSizeCombo = nullptr;
    QSpinBox* streamCountSpin = nullptr;
    QLabel* totalSizeLabel = nullptr;
    QListWidget* sourceFileList = nullptr;
    QLabel* sourceFileHintLabel = nullptr;
    QPushButton* browseButton = nullptr;
    QPushButton* clearFilesButton = nullptr;
    QComboBox* blockSizeCombo = nullptr;
    QCheckBox* readTestCheck = nullptr;
    QDoubleSpinBox* perStreamWriteMinSpin = nullptr;
    QDoubleSpinBox* perStreamReadMinSpin = nullptr;
    QPushButton* verdictRulesButton = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopButton = nullptr;
    QProgressBar* writeProgressBar = nullptr;
    QLabel* writeSpeedLabel = nullptr;
    QLabel* rollingProgressLabel = nullptr;
    QProgressBar* readProgressBar = nullptr;
    QLabel* readSpeedLabel = nullptr;
    SpeedChartWidget* speedChart = nullptr;
    QTableWidget* resultsTable = nullptr;
    LogPane* logPane = nullptr;
    // Save report, History and copying the results; setResult() when a run ends.
    ResultActions* resultActions = nullptr;

    QLabel* driveLabel = nullptr;
    QLabel* modeLabel = nullptr;
    QLabel* sizeLabel = nullptr;
    QLabel* streamsLabel = nullptr;
    QLabel* filesLabel = nullptr;
    QLabel* blockLabel = nullptr;
    QLabel* readSpeedRowLabel = nullptr;
    QGroupBox* settingsGroup = nullptr;
    QGroupBox* writeGroup = nullptr;
    QGroupBox* readGroup = nullptr;
    QGroupBox* chartGroup = nullptr;
    QGroupBox* resultsGroup = nullptr;
    QWidget* sizeRow = nullptr;
    QWidget* filesBox = nullptr;
    QWidget* filesButtons = nullptr;

    QAction* testMenuAction = nullptr;
    QAction* startAction = nullptr;
    QAction* stopAction = nullptr;
    QAction* verdictRulesAction = nullptr;
    QAction* helpMenuAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* aboutQtAction = nullptr;
    QAction* languageMenuAction = nullptr;
    QActionGroup* languageGroup = nullptr;
    QAction* langSimplifiedAction = nullptr;
    QAction* langTraditionalAction = nullptr;
    QAction* langEnglishAction = nullptr;
};
