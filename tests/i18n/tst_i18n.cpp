#include "i18n/catalogue.h"
#include "i18n/i18n.h"

#include <QApplication>
#include <QAtomicInt>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

QString textOf(const CatalogueEntry& entry, Language lang)
{
    return QString::fromUtf8(Catalogue::text(entry, lang));
}

QString lookup(const char* text, const char* context = "AnyClass")
{
    return QCoreApplication::translate(context, text);
}

// The placeholders, tags and entities of a text, sorted, each once.
QStringList tokens(const QString& text)
{
    static const QRegularExpression re("%\\d+|</?[A-Za-z][^<>]*>|&#?[A-Za-z0-9]+;");
    QStringList found;
    for (auto it = re.globalMatch(text); it.hasNext();)
        found << it.next().captured(0);
    found.sort();
    found.removeDuplicates();
    return found;
}

// Runs the start-up step; answers a first-run box by clicking the button with the given text, or
// with Return for the default, and returns its buttons, "*" marking the default.
QStringList startUp(const QString& answer)
{
    QStringList buttons;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !buttons.isEmpty())
            return;
        for (QAbstractButton* b : box->buttons())
            buttons << b->text() + (b == box->defaultButton() ? "*" : "");
        for (QAbstractButton* b : box->buttons())
            if (b->text() == answer)
                b->click();
        if (answer.isEmpty())
            QTest::keyClick(box, Qt::Key_Return);
    });
    timer.start(10);
    I18n::instance()->initLanguage();
    return buttons;
}

} // namespace

// The built-in catalogue, and the language object driven for real: first-run dialog, stored
// choice, switching, and lookups from the GUI thread and from a worker thread.
class TestI18n : public QObject
{
    Q_OBJECT

    QTemporaryDir m_settingsDir;

private slots:
    void initTestCase()
    {
        // Settings go to a fresh private folder, never the user's store.
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName("QuorvelTests");
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        // Nothing is translated before the language is settled, but a switch that comes first
        // still installs a working translator.
        QCOMPARE(lookup("BtnStart"), QString("BtnStart"));
        I18n::instance()->setLanguage(English);
        QCOMPARE(lookup("BtnStart"), QString("&Start test"));
    }

    // Every case starts in English, settled from the stored choice.
    void init()
    {
        QSettings().setValue("ui/language", 1);
        QCOMPARE(startUp({}), QStringList());
        QCOMPARE(I18n::instance()->language(), English);
    }

    // Same placeholders (%1 … %n without gaps), tags and entities in every language, and each
    // Chinese text in its own written standard.
    void languagesAgree()
    {
        const QString simp = "这为们个设数据计删录读写时间开关动测试驱储导选择仅态块项现"
                             "应复样错误败缓载击级变结总满压滚轮还盘档资预";
        const QString trad = "這為們個設數據計刪錄讀寫時間開關動測試驅儲導選擇僅態塊項現"
                             "應複樣錯誤敗緩載擊級變結總滿壓滾輪還盤檔資預";
        for (int i = 0; i < Catalogue::entryCount(); ++i) {
            const CatalogueEntry& entry = Catalogue::entries()[i];
            const QString s = textOf(entry, SimplifiedChinese);
            const QString t = textOf(entry, TraditionalChinese);
            const QStringList en = tokens(textOf(entry, English));
            for (int n = 1; n <= en.filter(QRegularExpression("^%")).size(); ++n)
                QVERIFY2(en.contains(QString("%%1").arg(n)), entry.key);
            QVERIFY2(tokens(s) == en && tokens(t) == en, entry.key);
            QVERIFY2(!s.isEmpty() && !t.isEmpty(), entry.key);
            for (int c = 0; c < simp.size(); ++c)
                QVERIFY2(!s.contains(trad[c]) && !t.contains(simp[c]), entry.key);
        }
        QCOMPARE(tokens(Catalogue::buildTable(English).value("HdrFailGt")),
                 QStringList({"&gt;", "</b>", "<b>"}));
    }

    // Texts shown exactly as they stand, in English, Simplified and Traditional Chinese.
    void literalTexts_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("ProgressInitial") << QStringList{"Current: -- MB/s  |  Avg: -- MB/s"};
        QTest::newRow("LabelMinSpeedLt") << QStringList{"Min speed &lt; threshold ×"};
        QTest::newRow("LogUserCancelled") << QStringList{"Test cancelled by user."};
        QTest::newRow("GroupTestSettings") << QStringList{"Test Settings", "测试设置", "測試設定"};
        QTest::newRow("VerdictFail") << QStringList{"✗ Fail", "✗ 不达标", "✗ 未達標"};
    }
    void literalTexts()
    {
        QFETCH(QStringList, texts);
        const Language langs[] = {English, SimplifiedChinese, TraditionalChinese};
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(Catalogue::buildTable(langs[i]).value(QTest::currentDataTag()), texts[i]);
    }
    // A count of one takes the singular form where there is one; every other count, and an
    // entry without one, the entry itself.
    void plurals_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("english");
        QTest::newRow("one round") << "SuffixRuns" << 1 << " round";
        QTest::newRow("no rounds") << "SuffixRuns" << 0 << " rounds";
        QTest::newRow("two rounds") << "SuffixRuns" << 2 << " rounds";
        QTest::newRow("one file") << "SummaryFilesSelected" << 1
                                  << "Selected: %1 file, %2 MB total";
        QTest::newRow("no count") << "SummaryFilesSelected" << -1
                                  << "Selected: %1 files, %2 MB total";
        QTest::newRow("no singular") << "ColFile" << 1 << "File";
    }
    void plurals()
    {
        QFETCH(QString, key);
        QFETCH(int, count);
        QFETCH(QString, english);
        I18n::instance()->setLanguage(English);
        const QByteArray k = key.toUtf8();
        QCOMPARE(QCoreApplication::translate("Any", k.constData(), nullptr, count), english);
        I18n::instance()->setLanguage(SimplifiedChinese);
        QCOMPARE(QCoreApplication::translate("Any", k.constData(), nullptr, count),
                 Catalogue::buildTable(SimplifiedChinese).value(key));
    }

    // A switch signals and stores the choice, so the next start keeps it. Lookups ignore the
    // context; anything not a key or a Simplified text comes back unchanged.
    void switchAndLookUp()
    {
        QSignalSpy spy(I18n::instance(), &I18n::languageChanged);
        for (int asked : {int(TraditionalChinese), 5, int(English)}) {
            const Language lang = asked == 5 ? SimplifiedChinese : Language(asked);
            I18n::instance()->setLanguage(Language(asked));
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.takeFirst().at(0).value<Language>(), lang);
            QCOMPARE(QSettings().value("ui/language").toInt(), int(lang));
            QCOMPARE(startUp({}), QStringList());
            for (int i = 0; i < Catalogue::entryCount(); ++i) {
                const CatalogueEntry& entry = Catalogue::entries()[i];
                QCOMPARE(lookup(entry.key), textOf(entry, lang));
                // A singular form shares its Simplified text with its plural entry.
                if (!QByteArray(entry.key).endsWith(Catalogue::SingularSuffix))
                    QCOMPARE(lookup(entry.simplified, "Chart"), textOf(entry, lang));
            }
            for (const char* unknown : {"NoSuchKey", "MB/s", "Test Settings", "測試設定"})
                QCOMPARE(lookup(unknown), QString::fromUtf8(unknown));
        }
    }

    // During a switch a worker sees the old text, the new one, or for a moment the key.
    void lookupWhileSwitching()
    {
        const CatalogueEntry& e = Catalogue::entries()[0];
        QSet<QString> seen;
        QAtomicInt stop{0};
        const std::unique_ptr<QThread> worker(QThread::create([&] {
            while (stop == 0 || seen.isEmpty())
                seen << QCoreApplication::translate("Worker", e.key);
        }));
        worker->start();
        for (int i = 0; i < 60; ++i)
            I18n::instance()->setLanguage(Language(i % 3));
        stop = 1;
        QVERIFY(worker->wait(60000));
        seen.subtract({e.key, e.simplified, e.english, e.traditional});
        QVERIFY2(seen.isEmpty(), qPrintable(seen.values().join(' ')));
    }

    // Without a stored choice the first start asks, and stores the answer; otherwise the
    // stored choice is settled without asking, and left as it was.
    void firstAndLaterStarts_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("expected");
        QTest::newRow("ask simplified") << QVariant() << "简体中文" << 0;
        QTest::newRow("ask traditional") << QVariant() << "繁體中文" << 2;
        QTest::newRow("ask, default") << QVariant() << QString() << 0;
        QTest::newRow("stored 2") << QVariant(2) << QString() << 2;
        QTest::newRow("stored 7") << QVariant(7) << QString() << 0;
    }
    void firstAndLaterStarts()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, answer);
        QFETCH(int, expected);
        QSettings().remove("ui/language");
        if (stored.isValid())
            QSettings().setValue("ui/language", stored);
        const QStringList buttons = {"简体中文*", "繁體中文", "English"};
        QCOMPARE(startUp(answer), stored.isValid() ? QStringList() : buttons);
        QCOMPARE(int(I18n::instance()->language()), expected);
        QCOMPARE(lookup("BtnStart"), Catalogue::buildTable(Language(expected)).value("BtnStart"));
        QCOMPARE(QSettings().value("ui/language"), stored.isValid() ? stored : QVariant(expected));
    }
};

QTEST_MAIN(TestI18n)
#include "tst_i18n.moc"
