#pragma once

#include <QObject>

// Checks over the whole built-in table: shape, consistency between the three languages and the
// literal texts the rest of the program relies on.
class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void keysAndSimplifiedTextsAreDistinct();
    void tablesHoldKeyAndSimplifiedMappings();
    void placeholdersAndMarkupMatchAcrossLanguages();
    void lineBreaks();
    void sharedTexts();
    void chineseTextsUseTheirOwnScriptAndTerms();
    void englishTexts_data();
    void englishTexts();
    void chineseTexts_data();
    void chineseTexts();
};
