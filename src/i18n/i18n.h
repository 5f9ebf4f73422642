#pragma once

#include "i18n/language.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTranslator>
#include <QVariant>

// Owner of the user-interface language: holds the catalogue tables, installs the translator of the
// current language in the application and switches it on request.
class I18n : public QObject
{
    Q_OBJECT

public:
    // Answers tr() from one language table. Not a Qt object of its own on purpose: it only
    // overrides the two lookups Qt asks an installed translator for.
    class Translator : public QTranslator
    {
    public:
        Translator(const QHash<QString, QString>* table, QObject* parent);
        ~Translator() override;

        QString translate(const char* context, const char* sourceText,
                          const char* disambiguation = nullptr, int n = -1) const override;
        bool isEmpty() const override;

    private:
        const QHash<QString, QString>* m_table;
    };

    // The single process-wide object, created on first use (safe from any thread).
    static I18n* instance();

    Language language() const;

    // Start-up step: asks for the language on the very first start (no "ui/language" yet),
    // then installs the translator of the stored choice. Runs on the GUI thread. A second call
    // settles the language again from the store, replacing the installed translator.
    void initLanguage();

    // Switches to lang, retranslating every widget, and remembers the choice. Choosing the
    // current language does nothing at all. Runs on the GUI thread.
    void setLanguage(Language lang);

    // Installs lang's translator for this process only, asking and storing nothing: for front
    // ends without a window, which must neither ask nor change the window's choice.
    void useLanguage(Language lang);

    // Maps a stored "ui/language" value to a language: 1 English, 2 Traditional Chinese,
    // anything else (absent, out of range, not a number) Simplified Chinese.
    static Language languageFromSetting(const QVariant& stored);

signals:
    void languageChanged(Language lang);

private:
    I18n();
    ~I18n() override;

    static int askLanguage();
    void createTranslators();
    Translator* translatorFor(Language lang) const;
    // Qt's own translation of the current language; none for English.
    void installQtTranslator();

    Language m_language = SimplifiedChinese;
    QHash<QString, QString> m_simplified;
    QHash<QString, QString> m_english;
    QHash<QString, QString> m_traditional;
    Translator* m_simplifiedTranslator = nullptr;
    Translator* m_englishTranslator = nullptr;
    Translator* m_traditionalTranslator = nullptr;
    QTranslator* m_installed = nullptr;
    QTranslator* m_qtTranslator = nullptr;
};
