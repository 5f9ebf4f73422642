#include "cli/appidentity.h"
#include "cli/clioptions.h"
#include "cli/clirunner.h"
#include "platform/terminal.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstring>
#include <memory>

namespace {

// Whether the arguments ask for an HTML report, as far as one can tell before Qt reads them.
bool wantsHtmlReport(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char* prefix = "--report=";
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0)
            return CliOptions::isHtmlReport(QString::fromLocal8Bit(argv[i] + std::strlen(prefix)));
        if (std::strcmp(argv[i], "--report") == 0 && i + 1 < argc)
            return CliOptions::isHtmlReport(QString::fromLocal8Bit(argv[i + 1]));
    }
    return false;
}

} // namespace

// The command line: the window's test without a window or a display.
int main(int argc, char* argv[])
{
    // An HTML report holds a picture of the speed chart, which is the window's chart widget
    // drawn into an image: only then does the GUI part of Qt start, off screen.
    std::unique_ptr<QCoreApplication> app;
    if (wantsHtmlReport(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
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
