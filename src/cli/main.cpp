#include "cli/appidentity.h"
#include "cli/clioptions.h"
#include "cli/clirunner.h"
#include "platform/terminal.h"

#include <QCoreApplication>

// The command line: the window's test without a window or a display.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    AppIdentity::apply();
    platform::useUtf8Output();

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    AppIdentity::useTerminalLanguage();
    CliOptions options = CliOptions::parse(arguments);
    // Everything, errors in the arguments included, is told in the language asked for.
    if (!options.language.isEmpty()) {
        AppIdentity::useTerminalLanguage(options.language);
        options = CliOptions::parse(arguments);
    }
    CliRunner runner;
    return runner.run(options);
}
