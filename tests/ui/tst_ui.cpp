#include "analysis/resultstable.h"
#include "analysis/verdictrules.h"
#include "analysis/verdictrulesdialog.h"
#include "dialoganswerer.h"
#include "i18n/i18n.h"
#include "platform/volumes.h"
#include "systemtree.h"
#include "ui/capacityrules.h"
#include "ui/launchcheck.h"
#include "ui/mainwindow.h"
#include "ui/runtexts.h"
#include "ui/streamsource.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStorageInfo>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <memory>

Q_DECLARE_METATYPE(platform::VolumeInfo)
Q_DECLARE_METATYPE(StreamSource)

// What a pre-flight case sets up once the window lists the card; returns the message boxes it
// expects as "icon|title|text".
struct PreflightCase;
using Prepare = std::function<QStringList(PreflightCase&)>;
Q_DECLARE_METATYPE(Prepare)

struct PreflightCase
{
    MainWindow* window;
    DialogAnswerer* answerer;
    SystemTree* noDrives;
    QString cardFolder;
    QString cardRoot;
    QString filesFolder;

    template<typename T>
    T* find(const char* name)
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) { find<QAbstractButton>(name)->click(); }
    QString makeFile(const QString& name, qint64 size)
    {
        QFile file(filesFolder + "/" + name);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(int(size), 'x'));
        return file.fileName();
    }
    void pick(const QString& path)
    {
        answerer->files << path;
        click("browseButton");
    }
};

namespace {

constexpr qint64 GiB = 1073741824;
constexpr qint64 MiB = 1048576;

const QString kTitle = QStringLiteral("Vavozi Dado Rera dir Evar 4I zoredivo  v1.0.3");

QString textOf(QObject* object)
{
    if (auto* group = qobject_cast<QGroupBox*>(object))
        return group->title();
    if (auto* button = qobject_cast<QAbstractButton*>(object))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(object))
        return label->text();
    if (auto* action = qobject_cast<QAction*>(object))
        return action->text();
    return QStringLiteral("<no text>");
}

void switchLanguage(MainWindow& window, const char* actionName)
{
    auto* action = window.findChild<QAction*>(QLatin1String(actionName));
    QVERIFY(action);
    action->trigger();
    QCoreApplication::processEvents(); // the language change reaches the window posted
}

StreamMetrics figures(double avg, double min, double jitter, double cv, double drop, int dropCount,
                      int samples)
{
    return {avg, avg + 5, min, jitter, cv, drop, dropCount, samples};
}

} // namespace

class TestUi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void driveItemText_data();
    void driveItemText();
    void sizeHiding_data();
    void sizeHiding();
    void totalSizeLabel_data();
    void totalSizeLabel();
    void launchChecks();
    void elapsedAndRounds_data();
    void elapsedAndRounds();
    void minimumSizeFollowsScreen_data();
    void minimumSizeFollowsScreen();

    void resultsTableBuild_data();
    void resultsTableBuild();
    void resultsTableColours();
    void resultsTableRelabel();

    void preflightRefusals_data();
    void preflightRefusals();
    void windowTexts_data();
    void windowTexts();
    void settingsSurviveARestart();

private:
    QTemporaryDir configDir;
    QTemporaryDir emptySystemRoot;
};

void TestUi::initTestCase()
{
    QVERIFY(configDir.isValid() && emptySystemRoot.isValid());
    // Private settings, and a system without removable drives.
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    qputenv("QUORVELCARD_SYSTEM_ROOT", emptySystemRoot.path().toLocal8Bit());
    QCoreApplication::setOrganizationName("Quorvel");
    QCoreApplication::setApplicationName("QuorvelCard");
    QCoreApplication::setApplicationVersion("1.0.3");
    QSettings().setValue("ui/language", 1); // English; no first-run question
    I18n::instance()->initLanguage();
    QCOMPARE(I18n::instance()->language(), English);
}

void TestUi::cleanup()
{
    I18n::instance()->setLanguage(English);
    qputenv("QUORVELCARD_SYSTEM_ROOT", emptySystemRoot.path().toLocal8Bit());
    // Every window saves its set-up; the next case starts from a first run again.
    QSettings().remove("verdict");
    QSettings().remove("testSettings");
}

void TestUi::driveItemText_data()
{
    QTest::addColumn<platform::VolumeInfo>("volume");
    QTest::addColumn<QString>("text");

    platform::VolumeInfo cam{"E:\\", "CAM", "FAT32", true, 30816260915ull, 31890002739ull};
    QTest::newRow("labelled FAT32 card") << cam << "E:\\ [CAM] FAT32 28.7/29.7 GB";
    platform::VolumeInfo unnamed{"/media/u/F00D/", "", "exFAT", true, 0, 64 * quint64(GiB)};
    QTest::newRow("no label") << unnamed << "/media/u/F00D/ [Removable] exFAT 0.0/64.0 GB";
    platform::VolumeInfo unknown{"F:\\", "", "", false, 0, 0};
    QTest::newRow("volume and space queries failed") << unknown << "F:\\ [Removable]";
    platform::VolumeInfo noFs{"G:\\", "STICK", "", true, GiB / 2, GiB};
    QTest::newRow("no file system") << noFs << "G:\\ [STICK]  0.5/1.0 GB";
}

void TestUi::driveItemText()
{
    QFETCH(platform::VolumeInfo, volume);
    QFETCH(QString, text);
    QCOMPARE(CapacityRules::driveItemText(volume), text);
}

void TestUi::sizeHiding_data()
{
    QTest::addColumn<quint64>("capacity");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("visibleCount");
    QTest::addColumn<int>("selected");

    QTest::newRow("exactly 32 GiB is small") << 34359738368ull << 5 << 4 << 3;
    QTest::newRow("one byte more is not") << 34359738369ull << 5 << 10 << 5;
    QTest::newRow("1 byte card is small") << 1ull << 9 << 4 << 3;
    QTest::newRow("unknown capacity hides nothing") << 0ull << 9 << 10 << 9;
    QTest::newRow("small card keeps a fitting choice") << 16 * quint64(GiB) << 1 << 4 << 1;
    QTest::newRow("3 GB itself stays") << 8 * quint64(GiB) << 3 << 4 << 3;
    QTest::newRow("64 GiB card shows all") << 64 * quint64(GiB) << 7 << 10 << 7;
}

void TestUi::sizeHiding()
{
    QFETCH(quint64, capacity);
    QFETCH(int, current);
    QFETCH(int, visibleCount);
    QFETCH(int, selected);

    QVector<qint64> sizes;
    for (const MainWindow::SizeChoice& choice : MainWindow::testSizeChoices())
        sizes << choice.bytes;
    const QVector<bool> visible = CapacityRules::visibleSizes(sizes, capacity);
    QCOMPARE(int(visible.count(true)), visibleCount);
    // Whatever is hidden is the larger end of the list.
    QCOMPARE(visible.mid(0, visibleCount), QVector<bool>(visibleCount, true));
    QCOMPARE(CapacityRules::fittingIndex(current, visible), selected);
}

void TestUi::totalSizeLabel_data()
{
    QTest::addColumn<qint64>("testSize");
    QTest::addColumn<int>("streams");
    QTest::addColumn<bool>("fullCap");
    QTest::addColumn<qint64>("blockSize");
    QTest::addColumn<quint64>("freeBytes");
    QTest::addColumn<int>("iterations");
    QTest::addColumn<QString>("text");

    QTest::newRow("3 x 512 MB") << 512 * MiB << 3 << false << MiB << 0ull << 1 << "Total: 1.5 GB";
    QTest::newRow("1 x 512 MB") << 512 * MiB << 1 << false << MiB << 0ull << 1 << "Total: 512 MB";
    QTest::newRow("exactly 1 GB") << 512 * MiB << 2 << false << MiB << 0ull << 1 << "Total: 1.0 GB";
    QTest::newRow("16 x 30 GB") << 30 * GiB << 16 << false << MiB << 0ull << 1 << "Total: 480.0 GB";
    QTest::newRow("rolling fill with a tail")
        << 3 * GiB << 2 << true << MiB << 10 * quint64(GiB) << 2 << "Total: 20.0 GB (fill × 2)";
    QTest::newRow("rolling fill ignores the stream count")
        << 2 * GiB << 16 << true << MiB << 7 * quint64(GiB) << 1 << "Total: 7.0 GB (fill × 1)";
    QTest::newRow("rolling fill shows the stored count unclamped")
        << 2 * GiB << 1 << true << MiB << 4 * quint64(GiB) << 0 << "Total: 4.0 GB (fill × 0)";
    QTest::newRow("rolling fill, tail cut to whole blocks")
        << GiB << 1 << true << 4 * MiB << quint64(GiB + 5 * MiB) << 1 << "Total: 1.0 GB (fill × 1)";
    QTest::newRow("rolling fill, less than one block free")
        << GiB << 1 << true << 8 * MiB << quint64(MiB) << 3 << "Total: 0.0 GB (fill × 3)";
    QTest::newRow("rolling fill without a drive falls back")
        << 2 * GiB << 2 << true << MiB << 0ull << 2 << "Total: 4.0 GB";
}

void TestUi::totalSizeLabel()
{
    QFETCH(qint64, testSize);
    QFETCH(int, streams);
    QFETCH(bool, fullCap);
    QFETCH(qint64, blockSize);
    QFETCH(quint64, freeBytes);
    QFETCH(int, iterations);
    QFETCH(QString, text);
    QCOMPARE(
        CapacityRules::totalSizeText(testSize, streams, fullCap, blockSize, freeBytes, iterations),
        text);
}

// The checks behind the window's refusals, at their boundaries: the largest file a small card
// takes, and free space that just suffices.
void TestUi::launchChecks()
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
    r.sourcePaths = QStringList{QDir::tempPath() + "/no such file.mp4"};
    QVERIFY(LaunchCheck::plan(r, plan).refused());

    QVERIFY(!LaunchCheck::freeSpace(5 * GiB, 5 * GiB).refused());
    QVERIFY(LaunchCheck::freeSpace(5 * GiB + 1, 5 * GiB).refused());
}

void TestUi::elapsedAndRounds_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("elapsed");

    QTest::newRow("start") << qint64(0) << "00:00";
    QTest::newRow("negative") << qint64(-5000) << "00:00";
    QTest::newRow("59:59") << qint64(3599999) << "59:59";
    QTest::newRow("one hour and five seconds") << qint64(3605000) << "01:00:05";
    QTest::newRow("100 hours") << qint64(360000000) << "100:00:00";
}

void TestUi::elapsedAndRounds()
{
    QFETCH(qint64, ms);
    QFETCH(QString, elapsed);
    QCOMPARE(RunTexts::elapsedText(ms), elapsed);

    // The rounds share one axis only while the window repeats the run itself.
    VerdictRules rules;
    rules.iterCount = 3;
    QCOMPARE(RunTexts::overallPercent(50, 2, rules), 50);
    QCOMPARE(RunTexts::overallPercent(100, 3, rules), 100);
    QCOMPARE(RunTexts::roundPrefix(2, rules), QString("Round 2/3 · "));
    rules.fullCap = true;
    QCOMPARE(RunTexts::overallPercent(50, 2, rules), 50);
    QVERIFY(RunTexts::roundPrefix(2, rules).isEmpty());
}

void TestUi::minimumSizeFollowsScreen_data()
{
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("minimum");

    QTest::newRow("large screen") << QSize(1920, 1040) << QSize(1300, 950);
    QTest::newRow("laptop") << QSize(1366, 728) << QSize(1300, 728);
    QTest::newRow("small in both") << QSize(1024, 700) << QSize(1024, 700);
    QTest::newRow("no screen") << QSize() << QSize(1300, 950);
}

void TestUi::minimumSizeFollowsScreen()
{
    QFETCH(QSize, available);
    QFETCH(QSize, minimum);
    QCOMPARE(MainWindow::minimumSizeFor(available), minimum);
}

void TestUi::resultsTableBuild_data()
{
    QTest::addColumn<QVector<StreamSource>>("sources");
    QTest::addColumn<QStringList>("rowTexts");

    QTest::newRow("one stream") << QVector<StreamSource>{StreamSource::randomStream(1)}
                                << QStringList{"Card total"};
    QTest::newRow("rolling fill") << QVector<StreamSource>{StreamSource::rollingWrite()}
                                  << QStringList{"Card total"};
    QTest::newRow("three random streams")
        << QVector<StreamSource>{StreamSource::randomStream(1), StreamSource::randomStream(2),
                                 StreamSource::randomStream(3)}
        << QStringList{"Card total", "#1  Random stream #1", "#2  Random stream #2",
                       "#3  Random stream #3"};
    QTest::newRow("two files") << QVector<StreamSource>{StreamSource::externalFile("a.mp4"),
                                                        StreamSource::externalFile("b.bin")}
                               << QStringList{"Card total", "#1  a.mp4", "#2  b.bin"};
}

void TestUi::resultsTableBuild()
{
    QFETCH(QVector<StreamSource>, sources);
    QFETCH(QStringList, rowTexts);

    QTableWidget table(0, ResultsTable::ColumnCount);
    ResultsTable::setUp(&table);
    // A previous, larger run must leave nothing behind.
    ResultsTable::build(&table, QStringList{"x", "y", "z", "w", "v"});
    ResultsTable::build(&table, StreamSource::labels(sources));

    QCOMPARE(table.rowCount(), rowTexts.size());
    for (int r = 0; r < table.rowCount(); ++r) {
        QCOMPARE(table.item(r, 0)->text(), rowTexts.at(r));
        QCOMPARE(table.columnSpan(r, 0), 4);
        QCOMPARE(table.columnSpan(r, ResultsTable::VerdictColumn), 2);
        QCOMPARE(table.item(r, 0)->font().bold(), r == 0);
        for (int c = ResultsTable::WriteColumn; c <= ResultsTable::VerdictColumn; ++c)
            QCOMPARE(table.item(r, c)->text(), QString("--"));
        if (r > 0)
            QCOMPARE(table.item(r, 0)->toolTip(), sources.at(r - 1).label());
    }
}

void TestUi::resultsTableColours()
{
    const QColor good(25, 118, 210), warn(230, 126, 34), bad(211, 47, 47);
    VerdictRules rules; // jitter 0.45/0.65, CV 0.36/0.5, drop 0.1/0.2
    QTableWidget table(0, ResultsTable::ColumnCount);
    ResultsTable::setUp(&table);
    ResultsTable::build(&table, QStringList{"s1", "s2"});

    // Row 0: figures exactly at their thresholds; row 1: just past them.
    const QVector<StreamMetrics> rows = {figures(5.0, 5.0, 0.45, 0.5, 0.1, 4, 40),
                                         figures(4.99, 2.0, 0.66, 0.37, 0.25, 10, 40)};
    ResultsTable::fillPhase(&table, true, rows, 5.0, rules);

    struct Cell
    {
        int row, col;
        QString text;
        QColor colour;
    };
    const QVector<Cell> cells = {
        {0, 4, "5.00", good},  {0, 6, "5.00", good},  {0, 7, "45.0%", good},
        {0, 8, "50.0%", warn}, {0, 9, "10.0%", good}, {1, 4, "4.99", bad},
        {1, 5, "9.99", good},  {1, 6, "2.00", bad},   {1, 7, "66.0%", bad},
        {1, 8, "37.0%", warn}, {1, 9, "25.0%", bad},  {0, 10, "--", QColor()}};
    for (const Cell& cell : cells) {
        QTableWidgetItem* item = table.item(cell.row, cell.col);
        QCOMPARE(item->text(), cell.text);
        if (cell.colour.isValid()) {
            QCOMPARE(item->foreground().color(), cell.colour);
            QVERIFY(item->font().bold());
        }
    }
    QCOMPARE(table.item(1, 9)->toolTip(), QString("10 / 40 samples below avg×60%"));

    const QVector<RowVerdict> verdicts = judgeRows(rows, {}, rules, false);
    ResultsTable::setVerdicts(&table, rows, {}, verdicts, rules);
    QCOMPARE(table.item(1, ResultsTable::VerdictColumn)->text(), QString("✗ Fail"));
    QCOMPARE(table.item(1, ResultsTable::VerdictColumn)->foreground().color(), bad);
}

void TestUi::resultsTableRelabel()
{
    const QVector<StreamSource> sources = {StreamSource::randomStream(1),
                                           StreamSource::randomStream(2)};
    QTableWidget table(0, ResultsTable::ColumnCount);
    ResultsTable::setUp(&table);
    ResultsTable::build(&table, StreamSource::labels(sources));
    const QVector<StreamMetrics> rows(3, figures(23.4712, 20, 0.1234, 0.05, 0, 0, 50));
    ResultsTable::fillPhase(&table, true, rows, 5.0, VerdictRules());

    I18n::instance()->setLanguage(TraditionalChinese);
    ResultsTable::retranslateHeaders(&table);
    ResultsTable::relabel(&table, StreamSource::labels(sources));

    QCOMPARE(table.item(0, 0)->text(), QString("整卡合計"));
    QCOMPARE(table.item(2, 0)->text(), QString("#2  隨機串流 #2"));
    QCOMPARE(table.horizontalHeaderItem(0)->text(), QString("檔案"));
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(table.item(r, 4)->text(), QString("23.47"));
        QCOMPARE(table.item(r, 7)->text(), QString("12.3%"));
    }
}

void TestUi::windowTexts_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("startText");
    QTest::newRow("English") << "langEnglishAction"
                             << "langTraditionalAction"
                             << "Start test";
    QTest::newRow("Simplified Chinese") << "langSimplifiedAction"
                                        << "langEnglishAction" << QString::fromUtf8("开始测试");
    QTest::newRow("Traditional Chinese") << "langTraditionalAction"
                                         << "langSimplifiedAction" << QString::fromUtf8("開始測試");
}

// A window switched to a language shows every text a window opened in it shows: nothing is
// left in the language it came from.
void TestUi::windowTexts()
{
    QFETCH(QString, action);
    QFETCH(QString, from);
    QFETCH(QString, startText);
    const auto texts = [](MainWindow& window) {
        QStringList out{window.windowTitle()};
        for (QObject* object : window.findChildren<QObject*>()) {
            const QString text = textOf(object);
            if (!object->objectName().isEmpty() && text != QLatin1String("<no text>"))
                out << object->objectName() + ": " + text;
        }
        out.sort();
        return out;
    };
    MainWindow switched;
    switchLanguage(switched, qPrintable(from));
    switchLanguage(switched, qPrintable(action));
    QVERIFY(switched.findChild<QAction*>(action)->isChecked());
    QCOMPARE(switched.findChild<QAbstractButton*>("startButton")->text(), startText);
    MainWindow fresh;
    QCOMPARE(texts(switched), texts(fresh));
    QCOMPARE(switched.windowTitle(), kTitle);
}

void TestUi::preflightRefusals_data()
{
    QTest::addColumn<Prepare>("prepare");
    const QString noDriveBody = "Please insert an memory card / USB drive, click \"Refresh\", "
                                "then start the test.";
    const QString formatQuestion = "Q|Format before test|Format %1 first?\n\nThis will erase ALL "
                                   "data on the target drive!\nA freshly formatted card yields "
                                   "more consistent, repeatable results.";

    QTest::newRow("no drive listed") << Prepare([=](PreflightCase& c) {
        c.noDrives->activate();
        c.click("refreshButton");
        return QStringList{"W|No removable drive detected|" + noDriveBody};
    });
    QTest::newRow("card gone since the listing") << Prepare([](PreflightCase& c) {
        c.noDrives->activate();
        return QStringList{"C|Operation blocked|Target " + c.cardRoot +
                           " is not a removable drive — the test is refused to protect local "
                           "data.\n\nPlease insert an memory card / USB drive and click "
                           "\"Refresh\" to re-select."};
    });
    QTest::newRow("file mode without files") << Prepare([](PreflightCase& c) {
        c.click("externalFileRadio");
        return QStringList{"W|Error|Please select at least one external file first."};
    });
    QTest::newRow("chosen file deleted") << Prepare([](PreflightCase& c) {
        c.click("externalFileRadio");
        const QString path = c.makeFile("clip.mp4", 2 * MiB);
        c.pick(path);
        QFile::remove(path);
        return QStringList{"W|Error|The following files do not exist:\n" + path};
    });
    QTest::newRow("files below one block") << Prepare([](PreflightCase& c) {
        c.click("externalFileRadio");
        c.pick(c.makeFile("tiny.txt", 1000));
        c.pick(c.makeFile("small.txt", MiB - 1));
        return QStringList{
            "W|Error|Total size of selected files is smaller than the block size; cannot test."};
    });
    QTest::newRow("not enough free space") << Prepare([=](PreflightCase& c) {
        c.find<QSpinBox>("streamCountSpin")->setValue(16);
        c.find<QComboBox>("testSizeCombo")->setCurrentIndex(9); // 30 GB
        c.answerer->buttons << QMessageBox::No;
        return QStringList{formatQuestion.arg(c.cardRoot),
                           "W|Insufficient space|Selected drive has insufficient free "
                           "space.\nRequired: 491520 MB\nAvailable: "};
    });
    QTest::newRow("card gone after the format") << Prepare([=](PreflightCase& c) {
        c.answerer->buttons << QMessageBox::Yes;
        c.answerer->beforeAnswer = [&c](int box) {
            if (box == 0)
                c.noDrives->activate();
        };
        return QStringList{formatQuestion.arg(c.cardRoot),
                           "W|Error|Cannot access the drive after format."};
    });
}

void TestUi::preflightRefusals()
{
    QFETCH(Prepare, prepare);
    QTemporaryDir card, files;
    SystemTree tree, noDrives;
    QVERIFY(card.isValid() && files.isValid() && tree.isValid() && noDrives.isValid());
    const QString cardRoot = tree.addCard(card.path(), "CAM", "vfat");
    tree.activate();
    if (platform::listRemovableVolumes().empty())
        QSKIP("This build's volume scan does not read a crafted system.");

    MainWindow window;
    DialogAnswerer answerer;
    auto* drives = window.findChild<QComboBox*>("driveCombo");
    QCOMPARE(drives->currentData().toString(), cardRoot);
    QVERIFY(drives->currentText().startsWith(cardRoot + " [CAM] "));

    PreflightCase c{&window, &answerer, &noDrives, card.path(), cardRoot, files.path()};
    const QStringList expected = prepare(c);
    c.click("startButton");
    qputenv("QUORVELCARD_SYSTEM_ROOT", emptySystemRoot.path().toLocal8Bit());

    QCOMPARE(answerer.boxes.size(), expected.size());
    const QMap<QMessageBox::Icon, QString> icons = {
        {QMessageBox::Warning, "W"}, {QMessageBox::Critical, "C"}, {QMessageBox::Question, "Q"}};
    for (int i = 0; i < expected.size(); ++i) {
        const DialogAnswerer::Box& box = answerer.boxes.at(i);
        const QString seen = icons.value(box.icon) + "|" + box.title + "|" + box.text;
        if (expected.at(i).endsWith("Available: ")) {
            // The free space moves with everything else on this file system.
            QVERIFY2(seen.startsWith(expected.at(i)), qPrintable(seen));
            const double shown = seen.mid(expected.at(i).size()).section(' ', 0, 0).toDouble();
            const double actual = QStorageInfo(card.path()).bytesAvailable() / double(MiB);
            QVERIFY2(qAbs(shown - actual) <= 0.05 * actual + 64, qPrintable(seen));
        } else {
            QCOMPARE(seen, expected.at(i));
        }
    }
    QVERIFY(answerer.buttons.isEmpty());

    // Refused: still idle, nothing prepared, nothing written.
    QVERIFY(window.findChild<QPushButton*>("startButton")->isEnabled());
    QVERIFY(!window.findChild<QPushButton*>("stopButton")->isEnabled());
    QCOMPARE(window.findChild<QTableWidget*>("resultsTable")->rowCount(), 0);
    QCOMPARE(QDir(card.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

QTEST_MAIN(TestUi)
#include "tst_ui.moc"

void TestUi::settingsSurviveARestart()
{
    // Values that load as they are stored, where a save during the load would rewrite them.
    QSettings().setValue("testSettings/testSizeIndex", 99);
    QSettings().setValue("verdict/iterCount", 0);
    {
        MainWindow window;
        QCOMPARE(QSettings().value("testSettings/testSizeIndex").toInt(), 99);
        QCOMPARE(QSettings().value("verdict/iterCount").toInt(), 0);

        PreflightCase c{&window, nullptr, nullptr, {}, {}, {}};
        c.click("externalFileRadio");
        c.find<QComboBox>("testSizeCombo")->setCurrentIndex(3);
        c.find<QSpinBox>("streamCountSpin")->setValue(5);
        c.find<QComboBox>("blockSizeCombo")->setCurrentIndex(2);
        c.click("readTestCheck");
        DialogAnswerer answerer;
        answerer.ruleEdits << [](VerdictRulesDialog* dialog) {
            dialog->findChild<QDoubleSpinBox*>("jitterFailSpin")->setValue(70);
            dialog->findChild<QDoubleSpinBox*>("perStreamWriteSpin")->setValue(12.5);
            dialog->findChild<QSpinBox*>("iterationsSpin")->setValue(4);
            dialog->findChild<QCheckBox*>("rollVerifyCheck")->setChecked(true);
            return true;
        };
        c.click("verdictRulesButton");
        // Without results the rules are only kept.
        QCOMPARE(c.find<QTableWidget>("resultsTable")->rowCount(), 0);
    }

    MainWindow window;
    PreflightCase c{&window, nullptr, nullptr, {}, {}, {}};
    QVERIFY(c.find<QAbstractButton>("externalFileRadio")->isChecked());
    QCOMPARE(c.find<QComboBox>("testSizeCombo")->currentIndex(), 3);
    QCOMPARE(c.find<QSpinBox>("streamCountSpin")->value(), 5);
    QCOMPARE(c.find<QComboBox>("blockSizeCombo")->currentIndex(), 2);
    QVERIFY(c.find<QAbstractButton>("readTestCheck")->isChecked());
    QVERIFY(c.find<QWidget>("readGroup")->isVisibleTo(&window));
    QCOMPARE(c.find<QDoubleSpinBox>("perStreamWriteMinSpin")->value(), 12.5);
    VerdictRules shown;
    DialogAnswerer answerer;
    answerer.ruleEdits << [&shown](VerdictRulesDialog* dialog) {
        shown = dialog->rules();
        return false;
    };
    c.click("verdictRulesButton");
    QCOMPARE(shown.jitterFail, 0.7);
    QCOMPARE(shown.iterCount, 4);
    QVERIFY(shown.rollVerify);
}
