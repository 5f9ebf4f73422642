#include "dialoganswerer.h"
#include "engine/units.h"
#include "i18n/i18n.h"
#include "platform/volumes.h"
#include "session/capacityrules.h"
#include "session/launchcheck.h"
#include "session/runtexts.h"
#include "systemtree.h"
#include "ui/mainwindow.h"

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
        r.randomMode = false;
        QTemporaryDir dir;
        QFile file(dir.filePath("clip.mp4"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(MiB));
        r.sourcePaths = QStringList{file.fileName(), dir.filePath("gone.mp4")};
        QVERIFY(LaunchCheck::plan(r, plan).refused()); // one of them is missing
        QVERIFY(!LaunchCheck::freeSpace(5 * GiB, 5 * GiB).refused());
        QVERIFY(LaunchCheck::freeSpace(5 * GiB + 1, 5 * GiB).refused());
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

    // Each refusal leaves the window idle and the card untouched.
    void preflightRefusals()
    {
        QTemporaryDir card;
        SystemTree tree, noDrives;
        QVERIFY(card.isValid() && tree.isValid() && noDrives.isValid());
        const QString root = tree.addCard(card.path(), "CAM", "vfat");
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
