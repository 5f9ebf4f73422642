#include "i18n/catalogue.h"
#include "i18n/i18n.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAtomicInt>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace {

const QString kLanguageKey = QStringLiteral("ui/language");

QString textOf(const CatalogueEntry& entry, Language lang)
{
    return QString::fromUtf8(Catalogue::text(entry, lang));
}

const CatalogueEntry* findEntry(const QString& key)
{
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        if (QString::fromUtf8(Catalogue::entries()[i].key) == key)
            return &Catalogue::entries()[i];
    }
    return nullptr;
}

QString catalogueText(const char* key, Language lang)
{
    return textOf(*findEntry(QString::fromUtf8(key)), lang);
}

QString lookup(const char* text)
{
    return QCoreApplication::translate("AnyClass", text);
}

QSet<int> placeholders(const QString& text)
{
    QSet<int> found;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("%(\\d+)")).globalMatch(text);
    while (it.hasNext())
        found.insert(it.next().captured(1).toInt());
    return found;
}

// Tags and entities in order of appearance; "< threshold" in a plain-text tooltip is no tag.
QStringList markup(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("</?[A-Za-z][^<>]*>|&#?[A-Za-z0-9]+;"));
    QStringList found;
    QRegularExpressionMatchIterator it = re.globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(0);
    return found;
}

bool hasCjk(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

// Watches for the first-run box while initLanguage() runs its modal loop, records what it shows
// and answers it: by clicking the button with the given text, or with Return for the default.
class DialogResponder
{
public:
    explicit DialogResponder(const QString& answer)
        : m_answer(answer)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(10);
    }

    bool seen = false;
    bool hadParent = true;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons; // marked when not an accepting button or when the default

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || seen)
            return;
        seen = true;
        hadParent = box->parentWidget() != nullptr;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        for (QAbstractButton* button : box->buttons()) {
            buttons << button->text() +
                           (box->buttonRole(button) == QMessageBox::AcceptRole ? "" : " (role)") +
                           (button == static_cast<QAbstractButton*>(box->defaultButton())
                                ? " (default)"
                                : "");
        }
        if (m_answer.isEmpty())
            QTest::keyClick(box, Qt::Key_Return);
        for (QAbstractButton* button : box->buttons()) {
            if (!m_answer.isEmpty() && button->text() == m_answer)
                button->click();
        }
    }

    QString m_answer;
    QTimer m_timer;
};

class LanguageProbe : public QWidget
{
public:
    int changes = 0;
    QString textSeen;

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::LanguageChange) {
            ++changes;
            textSeen = QCoreApplication::translate("LanguageProbe", "BtnStart");
        }
        QWidget::changeEvent(event);
    }
};

// Looks every text up the way a stream worker does, by key and by Simplified Chinese text.
QStringList lookUpAll()
{
    QStringList results;
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        results << QCoreApplication::translate("FileWorker", Catalogue::entries()[i].key)
                << QCoreApplication::translate("FileWorker", Catalogue::entries()[i].simplified);
    }
    return results;
}

} // namespace

// Checks over the whole built-in table and the literal texts the rest of the program relies on.
class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void keysAndLookupTables()
    {
        QCOMPARE(Catalogue::entryCount(), 163);
        const QRegularExpression keyShape(QStringLiteral(
            "^(Menu|Lang|Group|Label|Btn|Radio|Hint|Check|Progress|Round|Col|Row|Drive|Dlg|"
            "Section|Hdr|Metric|Tip|Suffix|Filter|Summary|Msg|Verdict|Log|Rolling|TotalSize|Err)"
            "[A-Z0-9][A-Za-z0-9]*$"));
        QSet<QString> keys;
        QSet<QString> simplified;
        for (int i = 0; i < Catalogue::entryCount(); ++i) {
            const CatalogueEntry& entry = Catalogue::entries()[i];
            const QString key = QString::fromUtf8(entry.key);
            const QString s = textOf(entry, SimplifiedChinese);
            QVERIFY2(keyShape.match(key).hasMatch(), qPrintable(key));
            QVERIFY2(!keys.contains(key), qPrintable("duplicate key " + key));
            QVERIFY2(!simplified.contains(s), qPrintable("duplicate Simplified text of " + key));
            keys.insert(key);
            simplified.insert(s);
            for (Language lang : {SimplifiedChinese, English, TraditionalChinese})
                QVERIFY2(!textOf(entry, lang).isEmpty(), qPrintable(key));
        }
        QVERIFY(!keys.intersects(simplified));

        for (Language lang : {SimplifiedChinese, English, TraditionalChinese}) {
            const QHash<QString, QString> table = Catalogue::buildTable(lang);
            QCOMPARE(table.size(), 2 * Catalogue::entryCount());
            for (int i = 0; i < Catalogue::entryCount(); ++i) {
                const CatalogueEntry& entry = Catalogue::entries()[i];
                QCOMPARE(table.value(QString::fromUtf8(entry.key)), textOf(entry, lang));
                QCOMPARE(table.value(textOf(entry, SimplifiedChinese)), textOf(entry, lang));
            }
            // English and Traditional texts are shown, never looked up.
            QVERIFY(!table.contains(QStringLiteral("Test Settings")));
            QVERIFY(!table.contains(QStringLiteral("測試設定")));
        }
    }

    void languagesAgree()
    {
        const QStringList sameInAll = {"LangZh", "LangEn", "MetricJitterFormula", "MetricCVFormula",
                                       "MetricDropFormula"};
        const QStringList sameInBothChinese = {
            "BtnStop",       "ColVerdict",    "HdrWarnGt",       "HdrWarnLt",
            "SuffixRuns",    "BtnCancel",     "MsgBlockedTitle", "MsgCapLimitTitle",
            "MsgFormatting", "MsgFormatDone", "VerdictWarn"};
        // Characters (and words) that belong to only one of the two written standards.
        const QString simplifiedOnly =
            QStringLiteral("这为们个设数据计删录读写时间开关动测试驱储导选择击"
                           "仅态块项现应复样错误败缓载级变结总满压滚轮还盘");
        const QString traditionalOnly =
            QStringLiteral("這為們個設數據計刪錄讀寫時間開關動測試驅儲導選擇擊"
                           "僅態塊項現應複樣錯誤敗緩載級變結總滿壓滾輪還盤檔資預");
        const QStringList mainlandTerms = {"文件", "默認", "數據", "設置",
                                           "打開", "保存", "U 盤", "信息"};
        const QStringList taiwanTerms = {"档案", "预设", "资料",   "设定",
                                         "开启", "储存", "记忆卡", "磁碟"};
        int same = 0;
        int sameChinese = 0;
        for (int i = 0; i < Catalogue::entryCount(); ++i) {
            const CatalogueEntry& entry = Catalogue::entries()[i];
            const QString key = QString::fromUtf8(entry.key);
            const QString en = textOf(entry, English);
            const QString s = textOf(entry, SimplifiedChinese);
            const QString t = textOf(entry, TraditionalChinese);
            // Placeholders run %1 … %n without gaps, at most %19.
            const QSet<int> numbers = placeholders(en);
            for (int n = 1; n <= numbers.size(); ++n)
                QVERIFY2(numbers.contains(n), qPrintable(key));
            QVERIFY(numbers.size() <= 19);
            // The two long tooltips read better in Chinese with one more break.
            const bool tooltip = key == "TipFullCap" || key == "TipIterations";
            const int breaks = en.count('\n');
            QVERIFY2(!tooltip || breaks == 2, qPrintable(key));
            for (const QString& text : {s, t}) {
                QVERIFY2(placeholders(text) == numbers, qPrintable(key));
                QVERIFY2(markup(text) == markup(en), qPrintable(key));
                QVERIFY2(text.count('\n') == breaks + (tooltip ? 1 : 0), qPrintable(key));
                QVERIFY2(!text.contains('\r') && !text.contains("\\n"), qPrintable(key));
                QVERIFY2(text == en || hasCjk(text), qPrintable(key));
            }
            if (sameInAll.contains(key)) {
                ++same;
                QVERIFY2(s == en && t == en, qPrintable(key));
            } else if (sameInBothChinese.contains(key)) {
                ++sameChinese;
                QVERIFY2(s == t && s != en, qPrintable(key));
            } else {
                QVERIFY2(s != t, qPrintable(key));
            }
            QVERIFY2(!(s + en + t).contains(QLatin1String("Vavozi")), qPrintable(key));
            for (const QChar c : traditionalOnly)
                QVERIFY2(!s.contains(c), qPrintable(key + " Simplified has " + c));
            for (const QChar c : simplifiedOnly)
                QVERIFY2(!t.contains(c), qPrintable(key + " Traditional has " + c));
            for (const QString& term : mainlandTerms)
                QVERIFY2(!t.contains(term), qPrintable(key + " Traditional has " + term));
            for (const QString& term : taiwanTerms)
                QVERIFY2(!s.contains(term), qPrintable(key + " Simplified has " + term));
        }
        QCOMPARE(same, sameInAll.size());
        QCOMPARE(sameChinese, sameInBothChinese.size());
        QCOMPARE(catalogueText("LangZh", English), QStringLiteral("中文"));
        QCOMPARE(catalogueText("LangEn", SimplifiedChinese), QStringLiteral("English"));
        // The checker itself sees tags and entities.
        QCOMPARE(markup(catalogueText("HdrFailGt", English)), QStringList({"<b>", "&gt;", "</b>"}));
    }

    // Texts whose exact spacing and symbols are easy to lose; a missing column is not checked.
    void literalTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("simplified");
        QTest::addColumn<QString>("traditional");
        const char* const rows[][4] = {
            {"BtnBrowse", "Browse..."},
            {"ProgressInitial", "Current: -- MB/s  |  Avg: -- MB/s"},
            {"RoundPrefix", "Round %1/%2 · "},
            {"DriveWarnNoDrive",
             "⚠ No removable drive detected — please insert an memory card / USB drive"},
            {"MetricJitterFormula",
             "<span style='color:#888;font-size:9pt;'>(P75−P25)/avg · IQR</span>"},
            {"LabelPerStreamReadMin", "Per-stream read min  ≥"},
            {"LabelMinSpeedLt", "Min speed &lt; threshold ×"},
            {"SuffixRuns", " runs"},
            {"MsgBlockedBody",
             "Target %1 is not a removable drive — the test is refused to protect local data.\n\n"
             "Please insert an memory card / USB drive and click \"Refresh\" to re-select."},
            {"MsgFormatting", "Formatting %1 …"},
            {"MsgFormatFailed", "Format failed. Continuing with test…"},
            {"VerdictTooltip",
             "Write: jitter %1% · CV %2% · drops %3/%4 (%5%) · min %6 MB/s\nRead : jitter %7% · "
             "CV %8% · drops %9/%10 (%11%) · min %12 MB/s\n\nRules (any subitem trips the row):\n"
             "  Fail: jitter > %13% | CV > %14% | drops > %15% | min < threshold×%16\n  Warn: "
             "jitter > %17% | CV > %18% | drops > %19% | min < threshold"},
            {"LogRoundEnter", "—— Starting round %1/%2 ——"},
            {"LogSizeBlock", "Total: %1 MB   Block: %2 KB"},
            {"LogBeginWrite", "  Writing %1"},
            {"TotalSizeRolling", "Total: %1 GB (fill × %2)"},
            {"GroupTestSettings", "Test Settings", "测试设置", "測試設定"},
            {"DriveRemovable", "Removable", "可移动", "卸除式"},
            {"ErrOpenSource", "Cannot open source file: %1", "无法打开源文件: %1",
             "無法開啟來源檔案: %1"},
            {"VerdictFail", "✗ Fail", "✗ 不达标", "✗ 未達標"},
            {"LogTestStart", "========== Speed test started ==========",
             "========== 速度测试开始 ==========", "========== 速度測試開始 =========="},
        };
        for (const auto& row : rows) {
            QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1])
                                  << QString::fromUtf8(row[2]) << QString::fromUtf8(row[3]);
        }
    }

    void literalTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, english);
        QFETCH(QString, simplified);
        QFETCH(QString, traditional);
        const CatalogueEntry* entry = findEntry(key);
        QVERIFY(entry != nullptr);
        QCOMPARE(textOf(*entry, English), english);
        if (!simplified.isNull())
            QCOMPARE(textOf(*entry, SimplifiedChinese), simplified);
        if (!traditional.isNull())
            QCOMPARE(textOf(*entry, TraditionalChinese), traditional);
    }
};

// The language object driven for real: first-run dialog, stored choice, switching, and lookups
// through the installed translator from the GUI thread and from worker threads.
class TestLanguage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_settingsDir;

private slots:
    void initTestCase()
    {
        // Settings go to a fresh private folder, never the user's store.
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("QuorvelTests"));
        QCoreApplication::setApplicationName(QStringLiteral("tst_i18n"));
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QVERIFY(QSettings().fileName().startsWith(m_settingsDir.path()));

        // Before the language is settled nothing is translated.
        QCOMPARE(I18n::instance()->language(), SimplifiedChinese);
        QCOMPARE(lookup("BtnStart"), QStringLiteral("BtnStart"));

        // A switch that comes before the start-up step still installs a working translator.
        I18n::instance()->setLanguage(English);
        QCOMPARE(lookup("BtnStart"), QStringLiteral("Start test"));
    }

    // Every case starts in English, settled from the stored choice without a dialog.
    void init()
    {
        QSettings().clear();
        QSettings().setValue(kLanguageKey, 1);
        DialogResponder unexpected(QStringLiteral("English"));
        I18n::instance()->initLanguage();
        QVERIFY(!unexpected.seen);
        QCOMPARE(I18n::instance()->language(), English);
        QCoreApplication::processEvents();
    }

    // Lookups ignore the context; anything not a key or a Simplified text comes back unchanged.
    void lookupByKeyAndSimplifiedText()
    {
        for (Language lang : {SimplifiedChinese, TraditionalChinese, English}) {
            I18n::instance()->setLanguage(lang);
            for (int i = 0; i < Catalogue::entryCount(); ++i) {
                const CatalogueEntry& entry = Catalogue::entries()[i];
                const QString expected = textOf(entry, lang);
                QCOMPARE(lookup(entry.key), expected);
                QCOMPARE(QCoreApplication::translate("SpeedChartWidget", entry.simplified),
                         expected);
                QCOMPARE(tr(entry.key), expected);
            }
            for (const char* unknown : {"NoSuchKey", "MB/s", "Write", "寫入"})
                QCOMPARE(lookup(unknown), QString::fromUtf8(unknown));
        }
    }

    // Null, not empty, lets Qt fall through to the next translator or the source text.
    void translatorAnswersNullForUnknownOrMissing()
    {
        const QHash<QString, QString> table = Catalogue::buildTable(TraditionalChinese);
        I18n::Translator translator(&table, nullptr);
        QVERIFY(!translator.isEmpty());
        QCOMPARE(translator.translate("ctx", "BtnStart"),
                 catalogueText("BtnStart", TraditionalChinese));
        QVERIFY(translator.translate("ctx", "NoSuchKey").isNull());
        QVERIFY(translator.translate("ctx", nullptr).isNull());

        I18n::Translator noTable(nullptr, nullptr);
        QVERIFY(!noTable.isEmpty());
        QVERIFY(noTable.translate("ctx", "BtnStart").isNull());
    }

    void lookupFromWorkerThread()
    {
        I18n::instance()->setLanguage(TraditionalChinese);
        QStringList results;
        const std::unique_ptr<QThread> worker(QThread::create([&] { results = lookUpAll(); }));
        worker->start();
        QVERIFY(worker->wait(60000));
        QCOMPARE(results.size(), 2 * Catalogue::entryCount());
        for (int r = 0; r < results.size(); ++r)
            QCOMPARE(results.at(r), textOf(Catalogue::entries()[r / 2], TraditionalChinese));
    }

    // During a switch a worker sees the old text, the new one, or for a moment the lookup text.
    void lookupWhileSwitching()
    {
        QStringList results;
        QAtomicInt stop{0};
        const std::unique_ptr<QThread> worker(QThread::create([&] {
            for (int round = 0; round < 3 || stop == 0; ++round)
                results << lookUpAll();
        }));
        worker->start();
        for (int i = 0; i < 60; ++i)
            I18n::instance()->setLanguage(static_cast<Language>(i % 3));
        stop = 1;
        QVERIFY(worker->wait(60000));

        const int n = Catalogue::entryCount();
        QVERIFY(results.size() >= 2 * n);
        for (int r = 0; r < results.size(); ++r) {
            const CatalogueEntry& entry = Catalogue::entries()[(r / 2) % n];
            const QString got = results.at(r);
            const QStringList allowed = {
                QString::fromUtf8(r % 2 == 0 ? entry.key : entry.simplified),
                QString::fromUtf8(entry.simplified), QString::fromUtf8(entry.english),
                QString::fromUtf8(entry.traditional)};
            QVERIFY2(allowed.contains(got), qPrintable(got));
        }
    }

    void firstRunDialog_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("stored");
        QTest::newRow("simplified") << QStringLiteral("简体中文") << 0;
        QTest::newRow("traditional") << QStringLiteral("繁體中文") << 2;
        QTest::newRow("english") << QStringLiteral("English") << 1;
        QTest::newRow("default button") << QString() << 0;
    }

    void firstRunDialog()
    {
        QFETCH(QString, answer);
        QFETCH(int, stored);
        // Start from the language that the answer must move away from.
        I18n::instance()->setLanguage(stored == 1 ? TraditionalChinese : English);
        QSettings().clear();

        DialogResponder responder(answer);
        I18n::instance()->initLanguage();

        QVERIFY(responder.seen);
        QVERIFY(!responder.hadParent);
        QCOMPARE(responder.title, QStringLiteral("Select Language / 选择语言 / 選擇語言"));
        QCOMPARE(responder.text,
                 QStringLiteral("Please choose your language.\n请选择语言。\n請選擇語言。"));
        QCOMPARE(responder.icon, QMessageBox::Question);
        QCOMPARE(responder.buttons, QStringList({"简体中文 (default)", "繁體中文", "English"}));

        const QVariant value = QSettings().value(kLanguageKey);
        QVERIFY(value.isValid());
        QCOMPARE(value.toInt(), stored);
        QCOMPARE(static_cast<int>(I18n::instance()->language()), stored);
        QCOMPARE(lookup("BtnStart"), catalogueText("BtnStart", static_cast<Language>(stored)));
    }

    void storedChoiceWithoutDialog_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("2") << QVariant(2) << int(TraditionalChinese);
        QTest::newRow("1 as text") << QVariant(QStringLiteral("1")) << int(English);
        QTest::newRow("0") << QVariant(0) << int(SimplifiedChinese);
        QTest::newRow("7") << QVariant(7) << int(SimplifiedChinese);
        QTest::newRow("-1") << QVariant(-1) << int(SimplifiedChinese);
        QTest::newRow("word") << QVariant(QStringLiteral("klingon")) << int(SimplifiedChinese);
    }

    // The next start settles the stored choice, and leaves the stored value exactly as it was.
    void storedChoiceWithoutDialog()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, expected);
        QSettings().setValue(kLanguageKey, stored);

        DialogResponder unexpected(QStringLiteral("English"));
        I18n::instance()->initLanguage();
        QVERIFY(!unexpected.seen);

        QCOMPARE(static_cast<int>(I18n::instance()->language()), expected);
        QCOMPARE(lookup("GroupTestSettings"),
                 catalogueText("GroupTestSettings", static_cast<Language>(expected)));
        QCOMPARE(QSettings().value(kLanguageKey).toString(), stored.toString());
    }

    void choosingCurrentLanguageDoesNothing()
    {
        // A marker the settings write would overwrite.
        QSettings().setValue(kLanguageKey, QStringLiteral("marker"));
        LanguageProbe probe;
        QSignalSpy spy(I18n::instance(), &I18n::languageChanged);
        I18n::instance()->setLanguage(English);
        QCoreApplication::processEvents();

        QCOMPARE(probe.changes, 0);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(QSettings().value(kLanguageKey).toString(), QStringLiteral("marker"));
        QCOMPARE(I18n::instance()->language(), English);
    }

    // A switch retranslates, signals and stores; settling again, as the next start does, keeps
    // it. An out-of-range language counts as Simplified Chinese.
    void switchRetranslatesStoresAndSignals_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("expected");
        QTest::newRow("traditional") << int(TraditionalChinese) << int(TraditionalChinese);
        QTest::newRow("simplified") << int(SimplifiedChinese) << int(SimplifiedChinese);
        QTest::newRow("out of range") << 5 << int(SimplifiedChinese);
    }

    void switchRetranslatesStoresAndSignals()
    {
        QFETCH(int, asked);
        QFETCH(int, expected);
        const auto lang = static_cast<Language>(expected);
        LanguageProbe probe;
        QSignalSpy spy(I18n::instance(), &I18n::languageChanged);

        I18n::instance()->setLanguage(static_cast<Language>(asked));

        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<Language>(), lang);
        QCOMPARE(QSettings().value(kLanguageKey).toInt(), expected);
        QCOMPARE(I18n::instance()->language(), lang);
        QTRY_VERIFY(probe.changes > 0);
        QCOMPARE(probe.textSeen, catalogueText("BtnStart", lang));

        DialogResponder unexpected(QStringLiteral("English"));
        I18n::instance()->initLanguage();
        QVERIFY(!unexpected.seen);
        QCOMPARE(I18n::instance()->language(), lang);
        QCOMPARE(lookup("BtnStart"), catalogueText("BtnStart", lang));
    }
};

// Both run in one process, as the language object is a process-wide single instance.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    TestCatalogue catalogue;
    TestLanguage language;
    const int failures = QTest::qExec(&catalogue, argc, argv) + QTest::qExec(&language, argc, argv);
    return failures == 0 ? 0 : 1;
}

#include "tst_i18n.moc"
