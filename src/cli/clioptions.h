#pragma once

#include "engine/units.h"
#include "i18n/language.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QLocale;
class QVariant;

// The exit codes of the command line, as --help and the README document them.
enum CliExit
{
    ExitPass = 0,
    ExitWarn = 1,
    ExitFail = 2,
    ExitRefused = 3, // a refused test or bad arguments
    ExitTestError = 4,
    ExitInterrupted = 130, // 128 + SIGINT, as shells report a process ended by Ctrl-C
};

// The command line's arguments, parsed. Parsing checks every value it can without asking the
// system; what needs the card (is it listed, do the files exist, is there room) is checked by
// the run.
struct CliOptions
{
    enum class Action
    {
        Run,
        List,
        Help,
        Version,
    };

    static constexpr qint64 GiB = 1073741824;

    Action action = Action::Run;
    bool json = false;
    QString drive;
    // The window's defaults: 2 streams of 2 GB in 1 MB blocks, read back.
    qint64 testSize = 2 * GiB;
    qint64 blockSize = units::MiB;
    int streamCount = 2;
    bool read = true;
    QStringList files;
    bool fill = false;
    int fills = 1;
    bool verifyFill = false;
    int rounds = 1;
    QString rulesFile;
    QString reportFile; // .json, .csv or .html
    QString language;   // as given with --lang; empty when not given
    bool quiet = false;
    // What is wrong with the arguments, in the current language; empty when nothing is.
    QString error;

    // Parses the arguments after the program's name. Options take their value as the next
    // argument or after "="; the last of a repeated option counts, --files adds up.
    static CliOptions parse(const QStringList& arguments);

    // "512M", "2G", "1.5G", "64KiB" or plain bytes; units are powers of 1024. False for
    // anything else, zero included.
    static bool parseSize(const QString& text, qint64* bytes);
    // "en", "zh-CN", "zh-TW" and their usual spellings (zh_CN, zh-Hans, zh-Hant, ...).
    static bool parseLanguage(const QString& text, Language* language);
    // Whether a report file name asks for HTML, whose chart picture needs the GUI part of Qt.
    static bool isHtmlReport(const QString& path);
    // The language to speak: --lang when it is valid, else the window's stored choice, else
    // the system's (Chinese in its script, anything else English). Never asks.
    static Language languageFor(const QString& option, const QVariant& stored,
                                const QLocale& system);
};
