#include "i18n/i18n.h"

#include "i18n/catalogue.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

namespace {
const char* const kLanguageKey = "ui/language";
}

I18n::Translator::Translator(const QHash<QString, QString>* table, QObject* parent)
    : QTranslator(parent)
    , m_table(table)
{}

I18n::Translator::~Translator() = default;

QString I18n::Translator::translate(const char* context, const char* sourceText,
                                    const char* disambiguation, int n) const
{
    Q_UNUSED(context)
    Q_UNUSED(disambiguation)
    if (sourceText == nullptr || m_table == nullptr)
        return QString();
    const QString key = QString::fromUtf8(sourceText);
    // A count of one takes the entry's singular form where it has one ("1 round").
    if (n == 1) {
        const QString one = m_table->value(key + QLatin1String(Catalogue::SingularSuffix));
        if (!one.isNull())
            return one;
    }
    // A null answer lets Qt fall back to the source text itself.
    return m_table->value(key);
}

// Never empty, so installing one always sends QEvent::LanguageChange.
bool I18n::Translator::isEmpty() const
{
    return false;
}

I18n* I18n::instance()
{
    static I18n theInstance;
    return &theInstance;
}

I18n::I18n()
    : m_simplified(Catalogue::buildTable(SimplifiedChinese))
    , m_english(Catalogue::buildTable(English))
    , m_traditional(Catalogue::buildTable(TraditionalChinese))
{
    qRegisterMetaType<Language>("Language");
    // Qt's own texts in Chinese, built into the library (see CMakeLists.txt).
    Q_INIT_RESOURCE(qttranslations);
}

I18n::~I18n() = default;

Language I18n::language() const
{
    return m_language;
}

Language I18n::languageFromSetting(const QVariant& stored)
{
    bool ok = false;
    const int value = stored.toInt(&ok);
    if (ok && value == English)
        return English;
    if (ok && value == TraditionalChinese)
        return TraditionalChinese;
    return SimplifiedChinese;
}

void I18n::initLanguage()
{
    {
        QSettings settings;
        if (!settings.contains(QLatin1String(kLanguageKey)))
            settings.setValue(QLatin1String(kLanguageKey), askLanguage());
    }
    useLanguage(languageFromSetting(QSettings().value(QLatin1String(kLanguageKey))));
}

void I18n::setLanguage(Language lang)
{
    // Only the three known values reach the translators and the settings store.
    lang = languageFromSetting(static_cast<int>(lang));
    if (lang == m_language)
        return;
    m_language = lang;

    if (m_installed != nullptr) {
        QCoreApplication::removeTranslator(m_installed);
        m_installed = nullptr;
    }
    // Tolerates a switch before initLanguage(): the translators are made on demand.
    createTranslators();
    installQtTranslator();
    m_installed = translatorFor(m_language);
    QCoreApplication::installTranslator(m_installed);

    QSettings().setValue(QLatin1String(kLanguageKey), static_cast<int>(m_language));
    emit languageChanged(m_language);
}

void I18n::useLanguage(Language lang)
{
    m_language = languageFromSetting(static_cast<int>(lang));
    createTranslators();
    // A repeated call must not leave an earlier translator installed beside the new one.
    if (m_installed != nullptr)
        QCoreApplication::removeTranslator(m_installed);
    installQtTranslator();
    m_installed = translatorFor(m_language);
    QCoreApplication::installTranslator(m_installed);
}

// No language is chosen yet, so the question is put in all three at once.
int I18n::askLanguage()
{
    QMessageBox box;
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(QStringLiteral("Select Language / 选择语言 / 選擇語言"));
    box.setText(QStringLiteral("Please choose your language.\n请选择语言。\n請選擇語言。"));
    QPushButton* simplified = box.addButton(QStringLiteral("简体中文"), QMessageBox::AcceptRole);
    QPushButton* traditional = box.addButton(QStringLiteral("繁體中文"), QMessageBox::AcceptRole);
    QPushButton* english = box.addButton(QStringLiteral("English"), QMessageBox::AcceptRole);
    box.setDefaultButton(simplified);
    box.exec();

    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == traditional)
        return TraditionalChinese;
    if (clicked == english)
        return English;
    return SimplifiedChinese;
}

void I18n::createTranslators()
{
    if (m_simplifiedTranslator != nullptr)
        return;
    m_simplifiedTranslator = new Translator(&m_simplified, this);
    m_englishTranslator = new Translator(&m_english, this);
    m_traditionalTranslator = new Translator(&m_traditional, this);
}

// Installed before the catalogue's translator, which is therefore asked first; it answers only
// its own keys, so Qt's texts (Yes, Cancel, the file dialog) fall through to this one.
void I18n::installQtTranslator()
{
    if (m_qtTranslator != nullptr) {
        QCoreApplication::removeTranslator(m_qtTranslator);
        delete m_qtTranslator;
        m_qtTranslator = nullptr;
    }
    if (m_language == English)
        return;
    auto* qt = new QTranslator(this);
    const QString file =
        QLatin1String(m_language == TraditionalChinese ? "qtbase_zh_TW" : "qtbase_zh_CN");
    if (qt->load(file, QStringLiteral(":/qttranslations"))) {
        QCoreApplication::installTranslator(qt);
        m_qtTranslator = qt;
    } else {
        delete qt;
    }
}

I18n::Translator* I18n::translatorFor(Language lang) const
{
    if (lang == English)
        return m_englishTranslator;
    if (lang == TraditionalChinese)
        return m_traditionalTranslator;
    return m_simplifiedTranslator;
}
