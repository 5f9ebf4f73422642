#pragma once

#include <QObject>
#include <QTemporaryDir>

// The language object driven for real: first-run dialog, stored choice, switching, and lookups
// through the installed translator from the GUI thread and from worker threads.
class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void lookupByKeyAndSimplifiedText();
    void unknownTextComesBackUnchanged();
    void translatorAnswersNullForUnknownOrMissing();
    void lookupFromWorkerThread();
    void lookupWhileSwitching();

    void firstRunDialog_data();
    void firstRunDialog();
    void storedChoiceWithoutDialog_data();
    void storedChoiceWithoutDialog();
    void choosingCurrentLanguageDoesNothing();
    void switchRetranslatesStoresAndSignals();
    void switchSurvivesRestart();
    void outOfRangeLanguageFallsBackToSimplified();

private:
    QTemporaryDir m_settingsDir;
};
