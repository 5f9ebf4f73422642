#pragma once

#include <QString>
#include <QStringList>

// The program's identity, which also locates the settings store, and what both executables
// answer on a terminal.
class AppIdentity
{
public:
    static QString version();
    // Organisation, domain, application name and version; before anything reads the settings.
    static void apply();

    // Installs the language a terminal is answered in: languageOption (--lang) when valid, else
    // the window's stored choice, else the system's. Asks nothing and stores nothing.
    static void useTerminalLanguage(const QString& languageOption = QString());

    // What the window's executable prints instead of opening the window: its usage for --help
    // or -h, its version for --version; empty when the arguments ask for neither.
    static QString windowTerminalAnswer(const QStringList& arguments);
};
