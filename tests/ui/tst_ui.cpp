#include "dialoganswerer.h"
#include "engine/units.h"
#include "i18n/i18n.h"
#include "layoutcheck.h"
#include "platform/volumes.h"
#include "session/capacityrules.h"
#include "session/launchcheck.h"
#include "session/runtexts.h"
#include "session/testsession.h"
#include "systemtree.h"
#include "ui/logpane.h"
#include "ui/mainwindow.h"
#include "ui/resultstable.h"
#include "ui/verdictrulesdialog.h"

#include <QtTest>
#include <QtWidgets>

namespace {

constexpr qint64 GiB = units::GiB;
constexpr qint64 MiB = units::MiB;

template<typename T>
T* child(QObject& window, const char* name)
{
    return window.findChild<T*>(QLatin1String(name));
}

// Every named object's text or title, so two windows can be compared text for text.
QStringList textsOf(MainWindow& window)
{
    QStringList out{window.windowTitle()};
    for (QObject* o : window.findChildren<QObject*>()) {
        const QVariant text =
            o->property("text").isValid() ? o->property("text") : o->property("title");
        if (!o->objectName().isEmpty() && text.isValid())
            out << o->objectName() + ": " + text.toString();
    }
    out.sort();
    return out;
}

// A finished four-stream run with a read phase, as the session hands it to the window: wide
// figures, every verdict, a progress line in each phase and a fill line.
void showFinishedRun(MainWindow& window, const QStringList& labels)
{
    auto* session = window.findChild<TestSession*>();
    emit session->runStarted(labels);
    emit session->phaseProgress(true, 100, 1234.56, 987.65, 3599000);
    emit session->phaseProgress(false, 100, 2345.67, 2109.87, 3599000);
    emit session->fillProgress(12, 31, 12 * GiB, 31 * GiB);
    RunFigures figures;
    figures.writeMeasured = figures.readMeasured = figures.judged = true;
    for (int i = 0; i <= labels.size(); ++i) {
        RunRow row;
        row.write = {987.65, 1234.56, 456.78, 0.999, 1.234, 0.5, 500, 1000};
        row.read = {2109.87, 2345.67, 1098.76, 0.123, 0.045, 0.0, 0, 1000};
        row.verdict.write = Verdict(i % 3);
        row.verdict.read = Verdict((i + 1) % 3);
        figures.rows << row;
    }
    emit session->figuresChanged(figures);
    RunResult result;
    result.figures = figures;
    result.streamLabels = labels;
    emit session->finished(result);
}

// Every text a user can see or point at: labels, buttons, titles, menus, headers, cells and
// their tooltips.
QStringList everyText(MainWindow& window)
{
    QStringList out;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(w))
            out << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            out << button->text();
        if (auto* box = qobject_cast<QGroupBox*>(w))
            out << box->title();
        out << w->toolTip();
    }
    for (QAction* action : window.findChildren<QAction*>())
        out << action->text();
    auto* table = child<QTableWidget>(window, "resultsTable");
    for (int c = 0; c < table->columnCount(); ++c) {
        out << table->horizontalHeaderItem(c)->text() << table->horizontalHeaderItem(c)->toolTip();
        for (int r = 0; r < table->rowCount(); ++r) {
            if (QTableWidgetItem* item = table->item(r, c))
                out << item->text() << item->toolTip();
        }
    }
    out.removeAll(QString());
    return out;
}

const char* const kLanguageActions[] = {"langSimplifiedAction", "langEnglishAction",
                                        "langTraditionalAction"};

} // namespace

class TestUi : public QObject
{
    Q_OBJECT

    QTemporaryDir configDir;
    QTemporaryDir emptySystemRoot;

private slots:
    void initTestCase()
    {
        QVERIFY(configDir.isValid() && emptySystemRoot.isValid());
        // Private settings, and a system without removable drives.
        qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", configDir.path().toLocal8Bit()); // the run history
        qputenv("QUORVELCARD_SYSTEM_ROOT", emptySystemRoot.path().toLocal8Bit());
        QCoreApplication::setApplicationVersion("1.0.3");
        QSettings().setValue("ui/language", 1); // English; no first-run question
        I18n::instance()->initLanguage();
    }

    void cleanup()
    {
        I18n::instance()->setLanguage(English);
        qputenv("QUORVELCARD_SYSTEM_ROOT", emptySystemRoot.path().toLocal8Bit());
        // Every window saves its set-up; the next case starts from a first run again.
        QSettings().remove("testSettings");
    }

    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const auto total = &CapacityRules::totalSizeText;
        // How many test sizes a card lists (all: -1), and the choice kept from the current one.
        const auto sizes = [](quint64 capacity, int current) {
            QVector<qint64> bytes;
            for (const MainWindow::SizeChoice& choice : MainWindow::testSizeChoices())
                bytes << choice.bytes;
            const QVector<bool> shown = CapacityRules::visibleSizes(bytes, capacity);
            return QString("%1 shown, %2")
                .arg(shown.indexOf(false))
                .arg(CapacityRules::fittingIndex(current, shown));
        };
        // clang-format off
        QTest::newRow("drive") << CapacityRules::driveItemText({"E:\\", "CAM", "FAT32", true, 30816260915ull, 31890002739ull}) << "E:\\ [CAM] FAT32 28.7/29.7 GB";
        QTest::newRow("drive, no label") << CapacityRules::driveItemText({"/m/F00D/", "", "exFAT", true, 0, 64 * GiB}) << "/m/F00D/ [Removable] exFAT 0.0/64.0 GB";
        QTest::newRow("drive, queries failed") << CapacityRules::driveItemText({"F:\\", "", "", false, 0, 0}) << "F:\\ [Removable]";
        QTest::newRow("total 3 x 512 MB") << total(512 * MiB, 3, false, MiB, 0, 1) << "Total: 1.5 GB";
        QTest::newRow("total 1 x 512 MB") << total(512 * MiB, 1, false, MiB, 0, 1) << "Total: 512 MB";
        QTest::newRow("total exactly 1 GB") << total(512 * MiB, 2, false, MiB, 0, 1) << "Total: 1.0 GB";
        QTest::newRow("fill with a tail") << total(3 * GiB, 2, true, MiB, 10 * GiB, 2) << "Total: 20.0 GB (fill × 2)";
        QTest::newRow("fill ignores streams") << total(2 * GiB, 16, true, MiB, 7 * GiB, 1) << "Total: 7.0 GB (fill × 1)";
        QTest::newRow("fill, tail in whole blocks") << total(GiB, 1, true, 4 * MiB, GiB + 5 * MiB, 1) << "Total: 1.0 GB (fill × 1)";
        QTest::newRow("fill, under a block free") << total(GiB, 1, true, 8 * MiB, MiB, 3) << "Total: 0.0 GB (fill × 3)";
        QTest::newRow("fill without a drive") << total(2 * GiB, 2, true, MiB, 0, 2) << "Total: 4.0 GB";
        QTest::newRow("elapsed 1 h 5 s") << RunTexts::elapsedText(3605000) << "01:00:05";
        QTest::newRow("elapsed 100 h") << RunTexts::elapsedText(360000000) << "100:00:00";
        QTest::newRow("32 GiB card is small") << sizes(32 * GiB, 5) << "4 shown, 3";
        QTest::newRow("a byte more is not") << sizes(32 * GiB + 1, 5) << "-1 shown, 5";
        QTest::newRow("unknown capacity") << sizes(0, 9) << "-1 shown, 9";
        QTest::newRow("a fitting choice stays") << sizes(16 * GiB, 1) << "4 shown, 1";
        // clang-format on
    }

    void texts()
    {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    // The checks behind the window's refusals, at their boundaries: the largest file a small card
    // takes, and free space that just suffices.
    void launchChecks()
    {
        const qint64 limit = CapacityRules::SmallCardMaxFile;
        LaunchRequest r;
        r.testSize = limit;
        r.blockSize = MiB;
        r.streamCount = 3;
        r.capacity = 16 * quint64(GiB);
        LaunchPlan plan;
        QVERIFY(!LaunchCheck::plan(r, plan).refused());
        QCOMPARE(plan.required, 3 * quint64(limit));
        r.testSize = limit + MiB;
        QVERIFY(LaunchCheck::plan(r, plan).refused());
        r.capacity = 64 * quint64(GiB);
        QVERIFY(!LaunchCheck::plan(r, plan).refused());
        // The 4 GiB file limit is the file system's: any FAT, whatever the card's size.
        for (const auto& [fileSystem, capacity, limited] : {std::tuple{"FAT32", 64, true},
                                                            {"FAT16", 2, true},
                                                            {"FAT", 128, true},
                                                            {"exFAT", 16, false},
                                                            {"NTFS", 16, false},
                                                            {"ext4", 8, false}}) {
            r.fileSystem = fileSystem;
            r.capacity = capacity * quint64(GiB);
            QVERIFY2(LaunchCheck::plan(r, plan).refused() == limited, fileSystem);
        }
        r.fileSystem.clear();
        r.randomMode = false;
        QTemporaryDir dir;
        QFile file(dir.filePath("clip.mp4"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(MiB));
        r.sourcePaths = QStringList{file.fileName(), dir.filePath("gone.mp4")};
        QVERIFY(LaunchCheck::plan(r, plan).refused()); // one of them is missing
        QVERIFY(!LaunchCheck::freeSpace(5 * GiB, 5 * GiB).refused());
        QVERIFY(LaunchCheck::freeSpace(5 * GiB + 1, 5 * GiB).refused());
        // A card too full to fill and measure is refused, whatever else it could take.
        QVERIFY(!LaunchCheck::fillRoom(LaunchCheck::MinFillBytes).refused());
        const Refusal full = LaunchCheck::fillRoom(4 * MiB + 12345);
        QCOMPARE(full.title + '|' + full.body,
                 QString("Insufficient space|Only 4 MB are free on the card: too little to fill "
                         "and measure.\nThe fill-entire-card test needs at least 64 MB free: make "
                         "room or format the card first."));
    }

    // At the window's default size every figure reads in full, the widest speed included.
    void figuresReadInFull()
    {
        MainWindow window;
        window.resize(MainWindow::minimumSizeFor(QSize(4000, 3000))); // as on a large screen
        window.show();
        auto* table = child<QTableWidget>(window, "resultsTable");
        ResultsTable::build(table, {"a", "b"});
        ResultsTable::setReadColumnsVisible(table, true);
        const StreamMetrics widest{9999.99, 9999.99, 9999.99, 9.999, 9.999, 1, 10, 10};
        for (bool write : {true, false})
            ResultsTable::fillPhase(table, write, {widest, widest, widest}, 5, VerdictRules());
        QCoreApplication::processEvents();
        for (int c = ResultsTable::WriteColumn; c < ResultsTable::VerdictColumn; ++c) {
            const QTableWidgetItem* item = table->item(1, c);
            const int needed = QFontMetrics(item->font()).horizontalAdvance(item->text()) + 6;
            QVERIFY2(needed <= table->columnWidth(c), qPrintable(QString("%1: %2 > %3")
                                                                     .arg(item->text())
                                                                     .arg(needed)
                                                                     .arg(table->columnWidth(c))));
        }
    }

    // The set-up a user chose comes back after a restart.
    void setUpSurvivesARestart()
    {
        const auto setUp = [](MainWindow& w) {
            return QString("%1 %2 %3 %4 %5")
                .arg(child<QRadioButton>(w, "externalFileRadio")->isChecked())
                .arg(child<QComboBox>(w, "testSizeCombo")->currentIndex())
                .arg(child<QSpinBox>(w, "streamCountSpin")->value())
                .arg(child<QComboBox>(w, "blockSizeCombo")->currentIndex())
                .arg(child<QCheckBox>(w, "readTestCheck")->isChecked());
        };
        QString chosen;
        {
            MainWindow first;
            QCOMPARE(setUp(first), QString("0 2 2 4 0"));
            child<QRadioButton>(first, "externalFileRadio")->click();
            child<QCheckBox>(first, "readTestCheck")->click();
            child<QComboBox>(first, "testSizeCombo")->setCurrentIndex(5);
            child<QSpinBox>(first, "streamCountSpin")->setValue(7);
            child<QComboBox>(first, "blockSizeCombo")->setCurrentIndex(1); // last: saves alone
            chosen = setUp(first);
        }
        MainWindow restarted;
        QCOMPARE(setUp(restarted), chosen);
        child<QCheckBox>(restarted, "readTestCheck")->click(); // off again for the other cases
    }

    void windowTexts_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("startText");
        // clang-format off
        QTest::newRow("English") << "langEnglishAction" << "langTraditionalAction" << "&Start test";
        QTest::newRow("Simplified") << "langSimplifiedAction" << "langEnglishAction" << "开始测试(&S)";
        QTest::newRow("Traditional") << "langTraditionalAction" << "langSimplifiedAction" << "開始測試(&S)";
        // clang-format on
    }

    // A window switched to a language shows every text a window opened in it shows: nothing is
    // left in the language it came from.
    void windowTexts()
    {
        QFETCH(QString, action);
        QFETCH(QString, from);
        QFETCH(QString, startText);
        MainWindow switched;
        for (const QString& name : {from, action})
            switched.findChild<QAction*>(name)->trigger();
        QCoreApplication::processEvents(); // the language change reaches the window posted
        QCOMPARE(child<QAbstractButton>(switched, "startButton")->text(), startText);
        MainWindow fresh;
        QCOMPARE(textsOf(switched), textsOf(fresh));
        QCOMPARE(switched.windowTitle(), QString("Vavozi Dado Rera dir Evar 4I zoredivo  v1.0.3"));
    }

    // The results of a finished run, in each language and at each size from a 1366 x 768
    // screen to a 1920 x 1080 one at 1.5 x (1280 x 720 logical pixels), less a panel and a title
    // bar: every text fits and nothing overlaps, with the log folded open and the file rows too.
    void layoutFits_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QSize>("size");
        const QList<QPair<const char*, QSize>> sizes = {{"designed", QSize(1300, 950)},
                                                        {"1366x768", QSize(1366, 706)},
                                                        {"1920x1080x1.5", QSize(1280, 658)}};
        for (int lang : {int(English), int(SimplifiedChinese), int(TraditionalChinese)}) {
            for (const auto& size : sizes)
                QTest::addRow("%d %s", lang, size.first) << lang << size.second;
        }
    }
    void layoutFits()
    {
        QFETCH(int, language);
        QFETCH(QSize, size);
        I18n::instance()->setLanguage(Language(language));
        MainWindow window;
        child<QCheckBox>(window, "readTestCheck")->setChecked(true);
        window.resize(size);
        window.show();
        QStringList streams;
        for (int i = 1; i <= 4; ++i)
            streams << StreamSource::randomStream(i * 4).label(); // #4 to #16
        showFinishedRun(window, streams);
        QCoreApplication::processEvents();
        QCOMPARE(window.size(), size); // the whole window stays on the screen
        // A speed also in makers' MB of 10^6 bytes: 987.65 x 1.048576.
        QVERIFY(
            child<QTableWidget>(window, "resultsTable")->item(0, 4)->toolTip().contains("1035.63"));
        QStringList faults = layoutFaults(&window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));

        child<QRadioButton>(window, "externalFileRadio")->setChecked(true);
        window.findChild<LogPane*>()->setExpanded(true);
        QCoreApplication::processEvents();
        QCOMPARE(window.size(), size);
        faults = layoutFaults(&window);
        child<QCheckBox>(window, "readTestCheck")->setChecked(false);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));

        // Qt opens a dialog at its size hint, up to two thirds of the screen's width, but never
        // below what its layout needs; that must fit the screen.
        VerdictRulesDialog dialog(VerdictRules{}, &window);
        dialog.resize(dialog.sizeHint()
                          .boundedTo(QSize(size.width() * 2 / 3, size.height()))
                          .expandedTo(dialog.minimumSizeHint()));
        dialog.show();
        QCoreApplication::processEvents();
        QVERIFY(dialog.width() <= size.width() && dialog.height() <= size.height());
        faults = layoutFaults(&dialog);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // After a switch, a finished run's window shows exactly what a window that showed the same
    // run in that language shows: verdicts, progress lines, headers and tooltips included.
    void switchAfterRun_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        for (int from = 0; from < 3; ++from) {
            for (int to = 0; to < 3; ++to) {
                if (from != to)
                    QTest::addRow("%s to %s", kLanguageActions[from], kLanguageActions[to])
                        << from << to;
            }
        }
    }
    void switchAfterRun()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        MainWindow switched;
        switched.findChild<QAction*>(kLanguageActions[from])->trigger();
        const QStringList files = {"front.mp4", "rear.mp4"};
        showFinishedRun(switched, files);
        const QStringList before = everyText(switched);
        switched.findChild<QAction*>(kLanguageActions[to])->trigger();
        QCoreApplication::processEvents();
        MainWindow fresh;
        showFinishedRun(fresh, files);
        QCOMPARE(everyText(switched), everyText(fresh));
        QVERIFY(everyText(switched) != before);
        // Qt's own buttons follow too: Chinese from a Chinese window, else English.
        const QString cancel = QDialogButtonBox(QDialogButtonBox::Cancel).buttons()[0]->text();
        QCOMPARE(cancel.at(0).unicode() >= 0x2E80, to != int(English));
    }

    // A Warn limit never passes its Fail limit, from either editor; Restore defaults brings back
    // what a first start has, however the editors were bound before.
    void rulesBounds_data()
    {
        QTest::addColumn<QString>("moved");
        QTest::addColumn<double>("to");
        QTest::addColumn<QString>("other");
        QTest::addColumn<double>("expected"); // the moved editor's value afterwards
        QTest::newRow("jitter warn up") << "jitterWarnSpin" << 90.0 << "jitterFailSpin" << 65.0;
        QTest::newRow("jitter fail down") << "jitterFailSpin" << 10.0 << "jitterWarnSpin" << 45.0;
        QTest::newRow("cv warn up") << "cvWarnSpin" << 400.0 << "cvFailSpin" << 50.0;
        QTest::newRow("drop fail down") << "dropFailSpin" << 0.0 << "dropWarnSpin" << 10.0;
        QTest::newRow("write fail up") << "aggWriteFailSpin" << 25.0 << "aggWriteWarnSpin" << 20.0;
        QTest::newRow("read warn down") << "aggReadWarnSpin" << 5.0 << "aggReadFailSpin" << 10.0;
        QTest::newRow("within") << "jitterWarnSpin" << 60.0 << "jitterFailSpin" << 60.0;
    }
    void rulesBounds()
    {
        QFETCH(QString, moved);
        QFETCH(double, to);
        QFETCH(QString, other);
        QFETCH(double, expected);
        VerdictRules first;
        first.perStreamWrite = 7.0;
        VerdictRulesDialog dialog(first);
        auto* spin = dialog.findChild<QDoubleSpinBox*>(moved);
        auto* partner = dialog.findChild<QDoubleSpinBox*>(other);
        const double partnerBefore = partner->value();
        spin->setValue(to);
        QCOMPARE(spin->value(), expected);
        QCOMPARE(partner->value(), partnerBefore);
        // Every editor as high as its bounds let it go, then restored: the old bounds must
        // not hold the defaults back.
        for (int pass = 0; pass < 2; ++pass) {
            for (QDoubleSpinBox* any : dialog.findChildren<QDoubleSpinBox*>())
                any->setValue(any->maximum());
        }
        dialog.restoreDefaults();
        const VerdictRules restored = dialog.rules(), defaults;
        QCOMPARE(restored.jitterWarn, defaults.jitterWarn);
        QCOMPARE(restored.jitterFail, defaults.jitterFail);
        QCOMPARE(restored.cvWarn, defaults.cvWarn);
        QCOMPARE(restored.dropFail, defaults.dropFail);
        QCOMPARE(restored.aggWriteFail, defaults.aggWriteFail);
        QCOMPARE(restored.aggReadWarn, defaults.aggReadWarn);
        QCOMPARE(restored.perStreamWrite, defaults.perStreamWrite);
        QCOMPARE(restored.iterCount, defaults.iterCount);
    }

    // Tab walks the controls in reading order; the run's buttons and the menus have mnemonics;
    // About names the version and Qt's; filling the card turns Streams and the read test off.
    void keyboardMenusAndFillMode()
    {
        MainWindow window;
        window.show();
        const QStringList reading = {"driveCombo",    "refreshButton",      "randomRadio",
                                     "testSizeCombo", "streamCountSpin",    "blockSizeCombo",
                                     "readTestCheck", "verdictRulesButton", "startButton"};
        QStringList walked;
        QWidget* w = child<QWidget>(window, "driveCombo");
        for (int i = 0; i < 200 && walked.size() < reading.size(); ++i, w = w->nextInFocusChain()) {
            if (reading.contains(w->objectName()) && !walked.contains(w->objectName()))
                walked << w->objectName();
        }
        QCOMPARE(walked, reading);
        for (const char* name : {"verdictRulesButton", "startButton", "stopButton"})
            QVERIFY(child<QAbstractButton>(window, name)->text().contains('&'));
        for (const char* name : {"testMenuAction", "languageMenuAction", "helpMenuAction"})
            QVERIFY(child<QAction>(window, name)->text().contains('&'));
        QCOMPARE(child<QAction>(window, "startAction")->shortcut(), QKeySequence(Qt::Key_F5));

        DialogAnswerer answerer;
        child<QAction>(window, "aboutAction")->trigger();
        QCOMPARE(answerer.boxes.size(), 1);
        QVERIFY(answerer.boxes[0].text.contains("1.0.3"));
        QVERIFY(answerer.boxes[0].text.contains(qVersion()));

        for (bool fill : {true, false}) {
            answerer.ruleEdits << [fill](VerdictRulesDialog* dialog) {
                dialog->findChild<QCheckBox*>("fullCapCheck")->setChecked(fill);
                return true;
            };
            child<QAbstractButton>(window, "verdictRulesButton")->click();
            QCOMPARE(child<QWidget>(window, "streamCountSpin")->isEnabled(), !fill);
            QCOMPARE(child<QWidget>(window, "readTestCheck")->isEnabled(), !fill);
            QCOMPARE(child<QWidget>(window, "readGroup")->isEnabled(), !fill);
        }
        // Rounds repeat a normal test too, and the total says so.
        answerer.ruleEdits << [](VerdictRulesDialog* dialog) {
            dialog->findChild<QSpinBox*>("iterationsSpin")->setValue(3);
            return true;
        };
        child<QAbstractButton>(window, "verdictRulesButton")->click();
        QVERIFY(child<QLabel>(window, "totalSizeLabel")->text().endsWith(" (3 rounds)"));
        answerer.ruleEdits << [](VerdictRulesDialog* dialog) {
            dialog->restoreDefaults(); // the rules of a first start for the other cases
            return true;
        };
        child<QAbstractButton>(window, "verdictRulesButton")->click();
        QVERIFY(!child<QLabel>(window, "totalSizeLabel")->text().contains("round"));
    }

    // The drive the user chose stays chosen while it is listed, whatever re-lists the drives;
    // once it has gone nothing is chosen in its place, and the user is told.
    void driveChoiceSurvivesRefresh()
    {
        // Two cards need two file systems: the scan lists a file system once.
        QTemporaryDir first, second("/dev/shm/qc-card-XXXXXX");
        SystemTree both, onlyFirst;
        QVERIFY(first.isValid() && second.isValid() && both.isValid() && onlyFirst.isValid());
        const QString a = both.addCard(first.path(), "ALPHA", "vfat");
        const QString b = both.addCard(second.path(), "BETA", "exfat");
        // The list is sorted by root: the user chooses the second, which then goes.
        const QString kept = qMin(a, b), gone = qMax(a, b);
        QVERIFY(onlyFirst.addCard(kept == a ? first.path() : second.path(), "K", "vfat") == kept);
        both.activate();
        if (platform::listRemovableVolumes().size() != 2)
            QSKIP("Needs a crafted system and two file systems (/tmp and /dev/shm).");
        MainWindow window;
        DialogAnswerer answerer;
        auto* combo = child<QComboBox>(window, "driveCombo");
        QCOMPARE(combo->currentData().toString(), kept); // nothing chosen yet: the first
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        child<QAbstractButton>(window, "refreshButton")->click();
        QCOMPARE(combo->currentData().toString(), gone);
        window.findChild<QAction*>("langTraditionalAction")->trigger();
        QCoreApplication::processEvents();
        window.findChild<QAction*>("langEnglishAction")->trigger();
        QCoreApplication::processEvents();
        QCOMPARE(combo->currentData().toString(), gone);

        onlyFirst.activate();
        child<QAbstractButton>(window, "refreshButton")->click();
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY2(combo->placeholderText().contains(gone), qPrintable(combo->placeholderText()));
        // A Start now aims at nothing: the card that is still there is not tested instead.
        child<QAbstractButton>(window, "startButton")->click();
        QVERIFY(!answerer.boxes.isEmpty() && answerer.boxes.first().title.contains("No removable"));
        QCOMPARE(QDir(kept == a ? first.path() : second.path())
                     .entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
        // Chosen again once it is back.
        both.activate();
        child<QAbstractButton>(window, "refreshButton")->click();
        QCOMPARE(combo->currentData().toString(), gone);
    }

    // Each refusal leaves the window idle and the card untouched.
    void preflightRefusals()
    {
        QTemporaryDir card;
        SystemTree tree, noDrives;
        QVERIFY(card.isValid() && tree.isValid() && noDrives.isValid());
        const QString root = tree.addCard(card.path(), "CAM", "exfat");
        tree.activate();
        if (platform::listRemovableVolumes().empty())
            QSKIP("This build's volume scan does not read a crafted system.");
        MainWindow window;
        DialogAnswerer answerer;
        // Starts a run; returns the boxes shown but the format question, as "icon|title|text".
        auto* startButton = child<QAbstractButton>(window, "startButton");
        const auto start = [&] {
            answerer.boxes.clear();
            startButton->click();
            QStringList shown;
            for (const DialogAnswerer::Box& box : answerer.boxes) {
                if (box.icon != QMessageBox::Question)
                    shown << QString("%1|%2|%3").arg(box.icon).arg(box.title, box.text);
            }
            if (!startButton->isEnabled()) // not refused: the window stops it when it closes
                shown << "started";
            return shown.join('\n');
        };
        child<QSpinBox>(window, "streamCountSpin")->setValue(16);
        child<QComboBox>(window, "testSizeCombo")->setCurrentIndex(9); // 30 GB
        answerer.buttons << QMessageBox::No;
        const QString shown = start(), lowSpace = "2|Insufficient space|Selected drive has "
                                                  "insufficient free space.\nRequired: 491520 "
                                                  "MB\nAvailable: ";
        QVERIFY2(shown.startsWith(lowSpace) && shown.endsWith(" MB"), qPrintable(shown));
        // The free space moves with everything else on this file system.
        const double available = shown.mid(lowSpace.size()).section(' ', 0, 0).toDouble();
        const double actual = QStorageInfo(card.path()).bytesAvailable() / double(MiB);
        QVERIFY2(qAbs(available - actual) <= 0.05 * actual + 64, qPrintable(shown));
        noDrives.activate(); // the card is gone since the listing
        QVERIFY(start().startsWith("3|Operation blocked|Target " + root + " is not a removable"));
        tree.activate();
        child<QAbstractButton>(window, "refreshButton")->click();
        answerer.buttons << QMessageBox::Yes;
        answerer.beforeAnswer = [&](int) { noDrives.activate(); }; // gone during the format
        QCOMPARE(start(), QString("2|Error|Cannot access the drive after format."));
        answerer.beforeAnswer = nullptr;
        QVERIFY(start().startsWith("2|No removable drive detected|Please insert"));
        QCOMPARE(child<QTableWidget>(window, "resultsTable")->rowCount(), 0);
        QCOMPARE(QDir(card.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
    }
};

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
