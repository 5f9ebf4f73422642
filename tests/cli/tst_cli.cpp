// The command line through its real executable, as a script or a person at a terminal uses it.
// Runs on a card need bench/card-sim with --usb-root, which offers its card as a USB card.
#include "cli/terminaltext.h"
#include "report/historystore.h"
#include "report/reportjson.h"

#include <QtTest>

#include <signal.h>

namespace {

struct Outcome
{
    int code = -1;
    QString out;
    QString err;
};

const QRegularExpression kProgressFrame(QStringLiteral("\\d+%  ·  [0-9.]+ MB/s"));

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config; // the settings store and the history of the programs run here,
    QTemporaryDir m_data;   // never the user's
    QTemporaryDir m_dir;
    QString m_card; // the emulated card's root, as listed
    QString m_looseRules;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_data.path());
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(display));
        return env;
    }
    Outcome run(const QString& program, const QStringList& args) const
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(program, args);
        Outcome o;
        if (p.waitForFinished(240000) && p.exitStatus() == QProcess::NormalExit)
            o.code = p.exitCode();
        o.out = QString::fromUtf8(p.readAllStandardOutput());
        o.err = QString::fromUtf8(p.readAllStandardError());
        return o;
    }
    static QString cli() { return qEnvironmentVariable("QC_CLI"); }
    // The program and its arguments quoted for a shell (none of ours holds a quote).
    static QString shellCommand(const QString& program, const QStringList& args)
    {
        QStringList words{program};
        words << args;
        for (QString& w : words)
            w = '\'' + w + '\'';
        return words.join(' ');
    }
    // The window's saved rules (or a rules file) with these keys of the [verdict] group.
    static void writeRules(const QString& path, const QVariantMap& keys)
    {
        QSettings s(path, QSettings::IniFormat);
        s.beginGroup(QStringLiteral("verdict"));
        for (auto it = keys.begin(); it != keys.end(); ++it)
            s.setValue(it.key(), it.value());
    }
    QString savedSettings() const
    {
        return m_config.path() + QStringLiteral("/Quorvel/QuorvelCard.conf");
    }
    QStringList cardEntries() const
    {
        return QDir(m_card).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QStringList runArgs(const QString& size, const QStringList& more = {}) const
    {
        return QStringList{QStringLiteral("--drive"), m_card, QStringLiteral("--size"), size} +
               more;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFileInfo(cli()).isExecutable());
        QSettings(savedSettings(), QSettings::IniFormat).setValue(QStringLiteral("ui/language"), 1);
        // Thresholds nothing trips: the verdict is Pass whatever the card's figures.
        m_looseRules = m_dir.filePath(QStringLiteral("loose.ini"));
        QVariantMap loose;
        for (const char* key :
             {"jitterFail", "jitterWarn", "cvFail", "cvWarn", "dropFail", "dropWarn"})
            loose.insert(QLatin1String(key), 100.0);
        for (const char* key : {"minSpeedMult", "perStreamWrite", "perStreamRead", "aggWriteFail",
                                "aggWriteWarn", "aggReadFail", "aggReadWarn"})
            loose.insert(QLatin1String(key), 0.0);
        writeRules(m_looseRules, loose);
        if (!qEnvironmentVariableIsEmpty("CARD_ROOT"))
            m_card = QDir(qEnvironmentVariable("CARD_ROOT")).canonicalPath() + '/';
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("told");
        QTest::addColumn<bool>("usage"); // whether the way to the usage is shown
        const QString otherIni = m_dir.filePath(QStringLiteral("other.ini"));
        QSettings(otherIni, QSettings::IniFormat).setValue(QStringLiteral("other/cvFail"), 0.1);
        // Files that cannot serve are no mistyped command line: no usage for them.
        const auto row = [](const char* name, const QString& args, const QString& told,
                            bool usage = true) {
            QTest::newRow(name) << args.split(' ') << told << usage;
        };
        row("unknown option", "--drive X --speed 9", "--speed");
        row("stray argument", "--drive X extra", "extra");
        row("value missing", "--drive", "--drive");
        row("no drive", "--size 1G", "--drive ROOT");
        row("no streams", "--drive X --streams 0", "from 1 to 16");
        row("too many streams", "--drive X --streams 17", "from 1 to 16");
        row("streams in words", "--drive X --streams=two", "\"two\"");
        row("empty size", "--drive X --size 0", "512M");
        row("unknown unit", "--drive X --size 12Q", "\"12Q\"");
        row("block not offered", "--drive X --block 3M", "\"3M\"");
        row("too many rounds", "--drive X --rounds 100", "from 1 to 99");
        row("no fill", "--drive X --fill 0", "from 1 to 99");
        row("fills and rounds", "--drive X --fill 2 --rounds 3", "--fill and --rounds");
        row("verify without fill", "--drive X --verify-fill", "--fill");
        row("json without list", "--drive X --json", "--list");
        row("no files", "--files --drive X", "--files");
        row("unknown language", "--drive X --lang fr", "\"fr\"");
        row("report of no kind", "--drive X --report r.txt", "\"r.txt\"");
        row("missing rules", "--drive X --rules " + m_dir.filePath("none.ini"), "none.ini", false);
        row("rules of another group", "--drive X --rules " + otherIni, "other.ini", false);
        row("report in no folder", "--drive X --report " + m_dir.filePath("none/r.json"),
            "none/r.json", false);
    }
    // Told on the error stream before any drive is looked at; a mistyped command line also
    // hears where the usage is.
    void badArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, told);
        QFETCH(bool, usage);
        const Outcome o = run(cli(), args);
        QCOMPARE(o.code, 3);
        QVERIFY2(o.err.contains(told) && o.err.contains(QStringLiteral("--help")) == usage,
                 qPrintable(o.err));
        QCOMPARE(o.out, QString());
    }

    // A folder, the system's root and a folder's path with a separator are no removable drives:
    // refused with the window's words, and nothing is written.
    void refusesWhatIsNotARemovableDrive()
    {
        for (const QString& root : {m_dir.path(), QStringLiteral("/"), m_dir.path() + '/'}) {
            const QStringList before =
                QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            const Outcome o =
                run(cli(), {QStringLiteral("--drive"), root, QStringLiteral("--size"),
                            QStringLiteral("64M"), QStringLiteral("--rules"), m_looseRules});
            QCOMPARE(o.code, 3);
            QVERIFY2(o.err.contains(QStringLiteral("Target %1 is not a removable drive").arg(root)),
                     qPrintable(o.err));
            QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        }
    }

    void helpVersionAndLanguage()
    {
        const Outcome help = run(cli(), {QStringLiteral("--help")});
        QCOMPARE(help.code, 0);
        for (const char* code : {"0 Pass", "1 Warn", "2 Fail", "3 refused or bad arguments",
                                 "4 test error", "130 interrupted"})
            QVERIFY2(help.out.contains(QLatin1String(code)), code);
        QCOMPARE(run(cli(), {QStringLiteral("--version")}).out,
                 QStringLiteral("quorvelcard-cli " QC_VERSION "\n"));
        // Each language its own text; the window's choice (English here) is the default.
        const QRegularExpression cjk(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
        const QString zhCN =
            run(cli(), {QStringLiteral("--help"), QStringLiteral("--lang=zh-CN")}).out;
        const QString zhTW =
            run(cli(), {QStringLiteral("--lang"), QStringLiteral("zh_TW"), QStringLiteral("-h")})
                .out;
        QVERIFY(!help.out.contains(cjk) && zhCN.contains(cjk) && zhTW.contains(cjk) &&
                zhCN != zhTW);
        QVERIFY(zhCN.contains(QStringLiteral("--drive")) &&
                zhTW.contains(QStringLiteral("--drive")));

        // The window's program answers on the terminal, without a display, and opens nothing.
        const QString app = qEnvironmentVariable("QC_APP");
        const Outcome appHelp = run(app, {QStringLiteral("--help")});
        QVERIFY2(appHelp.code == 0 &&
                     appHelp.out.contains(QStringLiteral("quorvelcard-cli --help")),
                 qPrintable(appHelp.out + appHelp.err));
        QCOMPARE(run(app, {QStringLiteral("--version")}).out,
                 QStringLiteral("QuorvelCard " QC_VERSION "\n"));
    }

    // Chinese characters take two columns: the in-place line is cut, and the table lined up,
    // by columns, never in the middle of a character.
    void terminalColumns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("fitted");
        QTest::newRow("latin") << "Write  42%" << 7 << 10 << "Write  ";
        QTest::newRow("simplified") << "写入 42%" << 5 << 8 << "写入 ";
        QTest::newRow("cut before a wide character") << "读取速度" << 5 << 8 << "读取";
        QTest::newRow("full-width colon") << "總計：1" << 10 << 7 << "總計：1";
        QTest::newRow("no width known") << "平均 1 MB/s" << 0 << 11 << "平均 1 MB/s";
    }
    void terminalColumns()
    {
        QFETCH(QString, text);
        QFETCH(int, columns);
        QFETCH(int, width);
        QFETCH(QString, fitted);
        QCOMPARE(TerminalText::width(text), width);
        QCOMPARE(TerminalText::fitted(text, columns), fitted);
        // A shorter line rewritten over a longer one leaves none of it behind.
        const QString redrawn = TerminalText::redraw(fitted, width + 3);
        QVERIFY(redrawn.startsWith('\r') && TerminalText::width(redrawn.mid(1)) == width + 3);
    }

    void exitCodeFollowsTheRules_data()
    {
        QTest::addColumn<bool>("savedFail");
        QTest::addColumn<bool>("rulesFile");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("separator"); // the root as given ends with its separator
        QTest::newRow("rules file, all pass") << false << true << 0 << true;
        QTest::newRow("saved rules fail") << true << false << 2 << true;
        QTest::newRow("the file over the saved rules, root as typed") << true << true << 0 << false;
    }
    // The saved rules apply by default; a rules file replaces them. 2 x 16 MiB written at 20 MB/s
    // and read back at 40, then reported and kept in the history. A root typed without its
    // separator is the listed card's root, which the files go into.
    void exitCodeFollowsTheRules()
    {
        if (m_card.isEmpty())
            QSKIP("Needs the emulated card: run through bench/card-sim --usb-root.");
        QFETCH(bool, savedFail);
        QFETCH(bool, rulesFile);
        QFETCH(int, code);
        QFETCH(bool, separator);
        QSettings saved(savedSettings(), QSettings::IniFormat);
        saved.remove(QStringLiteral("verdict"));
        if (savedFail) // a card-total write minimum of 1000 MB/s: no card here reaches it
            saved.setValue(QStringLiteral("verdict/aggWriteFail"), 1000.0);
        saved.sync();
        const QStringList before = cardEntries();
        const QString report = m_dir.filePath(QString::number(code) + QStringLiteral(".json"));
        QStringList args =
            runArgs(QStringLiteral("16M"), {QStringLiteral("--streams"), QStringLiteral("2"),
                                            QStringLiteral("--report"), report});
        if (!separator) // the listed root is tested, never its parent folder
            args[1].chop(1);
        if (rulesFile)
            args << QStringLiteral("--rules") << m_looseRules;
        const Outcome o = run(cli(), args);
        QVERIFY2(o.code == code, qPrintable(o.out + o.err));
        const QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
        // Header, card total and the two streams, then the card's verdict.
        QVERIFY2(lines.size() >= 5 && lines.at(1).startsWith(QStringLiteral("Card total")) &&
                     lines.last() ==
                         QStringLiteral("Card verdict: ") +
                             (code == 0 ? QStringLiteral("✓ Pass") : QStringLiteral("✗ Fail")),
                 qPrintable(o.out));
        QVERIFY2(o.err.contains(kProgressFrame) && !o.err.contains('\r'), qPrintable(o.err));
        QCOMPARE(cardEntries(), before);

        // The report reads back as the run it describes, and the run is in the history.
        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        RunResult result;
        QString error;
        QVERIFY2(ReportJson::read(file.readAll(), &result, &error), qPrintable(error));
        QVERIFY(result.end == RunEnd::Completed && result.figures.rows.size() == 3);
        QCOMPARE(int(result.figures.card()), code);
        QCOMPARE(result.card.root, m_card);
        HistoryStore history;
        QVERIFY(
            history.open(m_data.filePath(QStringLiteral("Quorvel/QuorvelCard/history.sqlite"))));
        const QVector<HistoryEntry> runs = history.list();
        QVERIFY(!runs.isEmpty() && int(runs.first().verdict) == code);
    }

    // Ctrl-C while writing, twice: the run stops as with the Stop button, its files go, and the
    // exit code says it was interrupted.
    void interruptStopsAndRemovesTheFiles()
    {
        if (m_card.isEmpty())
            QSKIP("Needs the emulated card: run through bench/card-sim --usb-root.");
        const QStringList before = cardEntries();
        QProcess p;
        p.setProcessEnvironment(environment());
        // 100 MiB at 20 MB/s: about five seconds of writing.
        p.start(cli(),
                runArgs(QStringLiteral("100M"), {QStringLiteral("--streams"), QStringLiteral("1"),
                                                 QStringLiteral("--no-read")}));
        QVERIFY(p.waitForStarted());
        QByteArray err;
        QElapsedTimer clock;
        clock.start();
        while (!QString::fromUtf8(err).contains(kProgressFrame) && clock.elapsed() < 60000 &&
               p.state() == QProcess::Running) {
            p.waitForReadyRead(200);
            err += p.readAllStandardError();
        }
        QVERIFY2(cardEntries() != before, "the run writes its files");
        // The second comes before any event is handled here, so the process cannot have been
        // reaped and its id reused (or 0, which would hit this whole process group).
        const pid_t pid = pid_t(p.processId());
        QVERIFY(pid > 0 && ::kill(pid, SIGINT) == 0);
        QThread::msleep(30);
        ::kill(pid, SIGINT);
        QVERIFY(p.waitForFinished(60000));
        err += p.readAllStandardError();
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == 130, qPrintable(QString::fromUtf8(err)));
        QCOMPARE(p.readAllStandardOutput(), QByteArray()); // no verdict for a stopped run
        QCOMPARE(cardEntries(), before);
    }

    // A reader that goes away (`| head -n 1`) ends nothing: the run goes on to its end and
    // removes its files. (SIGPIPE as a shell has it, whatever this process ignores.)
    void closedOutputLeavesNoFiles()
    {
        if (m_card.isEmpty())
            QSKIP("Needs the emulated card: run through bench/card-sim --usb-root.");
        const QStringList before = cardEntries();
        const QString command =
            shellCommand(
                cli(), runArgs(QStringLiteral("32M"), {QStringLiteral("--rules"), m_looseRules})) +
            QStringLiteral(" 2>&1 | head -n 1; exit ${PIPESTATUS[0]}");
        const Outcome o =
            run(QStringLiteral("env"), {QStringLiteral("--default-signal=PIPE"),
                                        QStringLiteral("bash"), QStringLiteral("-c"), command});
        QVERIFY2(o.code == 0, qPrintable(QString::number(o.code) + o.err));
        QCOMPARE(cardEntries(), before);
    }

    // A card that refuses writes ends the run as failed (4), with the message that names the
    // cause and what to do; the history and the report say the same.
    void writeProtectedCardFailsWithItsCause()
    {
        if (m_card.isEmpty())
            QSKIP("Needs the emulated card: run through bench/card-sim --usb-root.");
        const auto remount = [this](const char* how) {
            return QProcess::execute(
                       QStringLiteral("mount"),
                       {QStringLiteral("-o"), QStringLiteral("remount,%1").arg(how), m_card}) == 0;
        };
        if (!remount("ro"))
            QSKIP("The card cannot be remounted read-only here.");
        const QString report = m_dir.filePath(QStringLiteral("protected.json"));
        const Outcome o =
            run(cli(), runArgs(QStringLiteral("16M"), {QStringLiteral("--report"), report}));
        QVERIFY(remount("rw"));
        QVERIFY2(o.code == 4, qPrintable(QString::number(o.code) + o.out + o.err));
        QVERIFY2(o.err.contains(QStringLiteral("refuses writes")) &&
                     o.err.contains(m_card.chopped(1)),
                 qPrintable(o.err));
        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        RunResult result;
        QString error;
        QVERIFY2(ReportJson::read(file.readAll(), &result, &error), qPrintable(error));
        QVERIFY(result.end == RunEnd::Failed && result.cause == FailureCause::WriteProtected);
        QCOMPARE(result.figures.card(), Verdict::Fail);
    }

    // On a terminal the progress is one line, rewritten in place several times a phase; an
    // HTML report comes with it.
    void progressLineIsRewrittenOnATerminal()
    {
        if (m_card.isEmpty())
            QSKIP("Needs the emulated card: run through bench/card-sim --usb-root.");
        const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
        if (script.isEmpty())
            QSKIP("Needs script(1) for a pseudo-terminal.");
        // The HTML report's chart is drawn off screen: no display is needed for it either.
        const QString html = m_dir.filePath(QStringLiteral("report.html"));
        const QString command = shellCommand(
            cli(), runArgs(QStringLiteral("16M"), {QStringLiteral("--rules"), m_looseRules,
                                                   QStringLiteral("--report"), html}));
        const Outcome o =
            run(script, {QStringLiteral("-qfec"), command, QStringLiteral("/dev/null")});
        QVERIFY2(o.code == 0, qPrintable(o.out));
        int mostFrames = 0;
        for (const QString& line : o.out.split('\n'))
            mostFrames = qMax(mostFrames, int(line.split('\r').filter(kProgressFrame).size()));
        QVERIFY2(mostFrames >= 3, qPrintable(o.out));
        QVERIFY(o.out.contains(QStringLiteral("Card verdict: ✓ Pass")));
        QFile page(html);
        QVERIFY(page.open(QIODevice::ReadOnly) &&
                page.readAll().contains("<img class=\"chart\" alt="));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
