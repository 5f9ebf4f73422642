#include "tst_language.h"

#include "i18n/catalogue.h"
#include "i18n/i18n.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAtomicInt>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace {

const QString kLanguageKey = QStringLiteral("ui/language");

QString lookup(const char* text)
{
    return QCoreApplication::translate("AnyClass", text);
}

QString catalogueText(const char* key, Language lang)
{
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        if (qstrcmp(Catalogue::entries()[i].key, key) == 0)
            return QString::fromUtf8(Catalogue::text(Catalogue::entries()[i], lang));
    }
    return QString();
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
    QStringList buttons;
    bool allAccept = true;
    QString defaultButton;

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
            buttons << button->text();
            allAccept = allAccept && box->buttonRole(button) == QMessageBox::AcceptRole;
        }
        if (box->defaultButton() != nullptr)
            defaultButton = box->defaultButton()->text();
        if (m_answer.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Return);
            return;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == m_answer)
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

// Looks texts up the way a stream worker does, by key and by Simplified Chinese text.
class LookupThread : public QThread
{
public:
    // Runs one round, or with untilStopped at least minimumRounds and then until stop is set.
    bool untilStopped = false;
    int minimumRounds = 1;
    QAtomicInt stop{0};
    QStringList results;

protected:
    void run() override
    {
        for (int round = 0; round < minimumRounds || (untilStopped && stop.loadRelaxed() == 0);
             ++round) {
            for (int i = 0; i < Catalogue::entryCount(); ++i) {
                const CatalogueEntry& entry = Catalogue::entries()[i];
                results << QCoreApplication::translate("FileWorker", entry.key)
                        << QCoreApplication::translate("FileWorker", entry.simplified);
            }
        }
    }
};

} // namespace

void TestLanguage::initTestCase()
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
    QCOMPARE(I18n::instance(), I18n::instance());

    // A switch that comes before the start-up step still installs a working translator.
    I18n::instance()->setLanguage(English);
    QCOMPARE(lookup("BtnStart"), QStringLiteral("Start test"));
}

// Every case starts in English, settled from the stored choice without a dialog.
void TestLanguage::init()
{
    QSettings().clear();
    QSettings().setValue(kLanguageKey, 1);
    DialogResponder unexpected(QStringLiteral("English"));
    I18n::instance()->initLanguage();
    QVERIFY(!unexpected.seen);
    QCOMPARE(I18n::instance()->language(), English);
    QCoreApplication::processEvents();
}

void TestLanguage::lookupByKeyAndSimplifiedText()
{
    for (Language lang : {SimplifiedChinese, TraditionalChinese, English}) {
        I18n::instance()->setLanguage(lang);
        for (int i = 0; i < Catalogue::entryCount(); ++i) {
            const CatalogueEntry& entry = Catalogue::entries()[i];
            const QString expected = QString::fromUtf8(Catalogue::text(entry, lang));
            QCOMPARE(lookup(entry.key), expected);
            QCOMPARE(QCoreApplication::translate("SpeedChartWidget", entry.simplified), expected);
            QCOMPARE(tr(entry.key), expected);
        }
    }
    QCOMPARE(tr("GroupTestSettings"), QStringLiteral("Test Settings"));
    QCOMPARE(lookup("写入"), QStringLiteral("Write"));
    QCOMPARE(lookup("TotalSizeGB"), QStringLiteral("Total: %1 GB"));
}

void TestLanguage::unknownTextComesBackUnchanged()
{
    for (Language lang : {English, SimplifiedChinese, TraditionalChinese}) {
        I18n::instance()->setLanguage(lang);
        QCOMPARE(lookup("NoSuchKey"), QStringLiteral("NoSuchKey"));
        QCOMPARE(lookup("MB/s"), QStringLiteral("MB/s"));
        // English and Traditional texts are not lookup texts.
        QCOMPARE(lookup("Write"), QStringLiteral("Write"));
        QCOMPARE(lookup("寫入"), QStringLiteral("寫入"));
        QCOMPARE(lookup("LangZh"), QStringLiteral("中文"));
        QCOMPARE(lookup("LangEn"), QStringLiteral("English"));
    }
}

void TestLanguage::translatorAnswersNullForUnknownOrMissing()
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

void TestLanguage::lookupFromWorkerThread()
{
    I18n::instance()->setLanguage(TraditionalChinese);
    LookupThread worker;
    worker.start();
    QVERIFY(worker.wait(60000));
    QCOMPARE(worker.results.size(), 2 * Catalogue::entryCount());
    for (int i = 0; i < Catalogue::entryCount(); ++i) {
        const QString expected =
            QString::fromUtf8(Catalogue::text(Catalogue::entries()[i], TraditionalChinese));
        QCOMPARE(worker.results.at(2 * i), expected);
        QCOMPARE(worker.results.at(2 * i + 1), expected);
    }
}

// During a switch a worker sees the old text, the new one, or for a moment the lookup text.
void TestLanguage::lookupWhileSwitching()
{
    LookupThread worker;
    worker.untilStopped = true;
    worker.minimumRounds = 3;
    worker.start();
    const Language order[] = {TraditionalChinese, SimplifiedChinese, English};
    for (int i = 0; i < 60; ++i)
        I18n::instance()->setLanguage(order[i % 3]);
    worker.stop.storeRelaxed(1);
    QVERIFY(worker.wait(60000));

    const int n = Catalogue::entryCount();
    QVERIFY(worker.results.size() >= 2 * n);
    for (int r = 0; r < worker.results.size(); ++r) {
        const CatalogueEntry& entry = Catalogue::entries()[(r / 2) % n];
        const QString asked = QString::fromUtf8(r % 2 == 0 ? entry.key : entry.simplified);
        const QString got = worker.results.at(r);
        QVERIFY2(got == asked || got == QString::fromUtf8(entry.simplified) ||
                     got == QString::fromUtf8(entry.english) ||
                     got == QString::fromUtf8(entry.traditional),
                 qPrintable(got));
    }
}

void TestLanguage::firstRunDialog_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("stored");
    QTest::newRow("simplified") << QStringLiteral("简体中文") << 0;
    QTest::newRow("traditional") << QStringLiteral("繁體中文") << 2;
    QTest::newRow("english") << QStringLiteral("English") << 1;
    QTest::newRow("default button") << QString() << 0;
}

void TestLanguage::firstRunDialog()
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
    QCOMPARE(responder.buttons, QStringList({QStringLiteral("简体中文"), QStringLiteral("繁體中文"),
                                             QStringLiteral("English")}));
    QVERIFY(responder.allAccept);
    QCOMPARE(responder.defaultButton, QStringLiteral("简体中文"));

    const QVariant value = QSettings().value(kLanguageKey);
    QVERIFY(value.isValid());
    QCOMPARE(value.toInt(), stored);
    QCOMPARE(static_cast<int>(I18n::instance()->language()), stored);
    QCOMPARE(lookup("BtnStart"), catalogueText("BtnStart", static_cast<Language>(stored)));
}

void TestLanguage::storedChoiceWithoutDialog_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("2") << QVariant(2) << int(TraditionalChinese);
    QTest::newRow("1 as text") << QVariant(QStringLiteral("1")) << int(English);
    QTest::newRow("0") << QVariant(0) << int(SimplifiedChinese);
    QTest::newRow("7") << QVariant(7) << int(SimplifiedChinese);
    QTest::newRow("-1") << QVariant(-1) << int(SimplifiedChinese);
    QTest::newRow("word") << QVariant(QStringLiteral("klingon")) << int(SimplifiedChinese);
    QTest::newRow("empty") << QVariant(QString()) << int(SimplifiedChinese);
}

void TestLanguage::storedChoiceWithoutDialog()
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
    // The stored value is left exactly as it was.
    QCOMPARE(QSettings().value(kLanguageKey).toString(), stored.toString());
}

void TestLanguage::choosingCurrentLanguageDoesNothing()
{
    // A marker the settings write would overwrite.
    QSettings().setValue(kLanguageKey, QStringLiteral("marker"));
    LanguageProbe probe;
    QSignalSpy spy(I18n::instance(), &I18n::languageChanged);
    QVERIFY(spy.isValid());

    I18n::instance()->setLanguage(English);
    QCoreApplication::processEvents();

    QCOMPARE(probe.changes, 0);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(QSettings().value(kLanguageKey).toString(), QStringLiteral("marker"));
    QCOMPARE(I18n::instance()->language(), English);
}

void TestLanguage::switchRetranslatesStoresAndSignals()
{
    LanguageProbe probe;
    QSignalSpy spy(I18n::instance(), &I18n::languageChanged);

    I18n::instance()->setLanguage(TraditionalChinese);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<Language>(), TraditionalChinese);
    QCOMPARE(QSettings().value(kLanguageKey).toInt(), 2);
    QCOMPARE(I18n::instance()->language(), TraditionalChinese);
    QTRY_VERIFY(probe.changes > 0);
    QCOMPARE(probe.textSeen, catalogueText("BtnStart", TraditionalChinese));

    I18n::instance()->setLanguage(SimplifiedChinese);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).value<Language>(), SimplifiedChinese);
    QCOMPARE(QSettings().value(kLanguageKey).toInt(), 0);
    QTRY_COMPARE(probe.textSeen, catalogueText("BtnStart", SimplifiedChinese));
}

// Settling the language again, as the next start does, keeps the switched choice.
void TestLanguage::switchSurvivesRestart()
{
    I18n::instance()->setLanguage(TraditionalChinese);
    DialogResponder unexpected(QStringLiteral("English"));
    I18n::instance()->initLanguage();
    QVERIFY(!unexpected.seen);
    QCOMPARE(I18n::instance()->language(), TraditionalChinese);
    QCOMPARE(lookup("BtnStart"), catalogueText("BtnStart", TraditionalChinese));

    I18n::instance()->setLanguage(English);
    QCOMPARE(lookup("BtnStart"), QStringLiteral("Start test"));
}

void TestLanguage::outOfRangeLanguageFallsBackToSimplified()
{
    QSignalSpy spy(I18n::instance(), &I18n::languageChanged);
    I18n::instance()->setLanguage(static_cast<Language>(5));
    QCOMPARE(I18n::instance()->language(), SimplifiedChinese);
    QCOMPARE(QSettings().value(kLanguageKey).toInt(), 0);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(lookup("BtnStart"), QStringLiteral("开始测试"));
}
