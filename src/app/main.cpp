#include "cli/appidentity.h"
#include "i18n/i18n.h"
#include "platform/terminal.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

namespace {

// --help and --version are answered on the terminal, without a display and without the window.
bool answeredOnTerminal(int& argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (AppIdentity::windowTerminalAnswer(arguments).isEmpty())
        return false;
    QCoreApplication app(argc, argv);
    AppIdentity::apply();
    AppIdentity::useTerminalLanguage();
    platform::attachParentConsole();
    platform::useUtf8Output();
    std::fputs((AppIdentity::windowTerminalAnswer(arguments) + QLatin1Char('\n')).toUtf8(), stdout);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (answeredOnTerminal(argc, argv))
        return 0;

    QApplication app(argc, argv);
    // The settings store is found by these names, so they come before anything reads it.
    AppIdentity::apply();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/logo.ico")));

    // The language is settled (asking on the very first start) before any window builds texts.
    I18n* i18n = I18n::instance();
    i18n->initLanguage();

    MainWindow window;
    window.show();
    return app.exec();
}
