#include "i18n/i18n.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The settings store is found by these names, so they come before anything reads it.
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationDomain(QStringLiteral("quorvel.com"));
    QApplication::setApplicationName(QStringLiteral("QuorvelCard"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.3"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/logo.ico")));

    // The language is settled (asking on the very first start) before any window builds texts.
    I18n* i18n = I18n::instance();
    i18n->initLanguage();

    MainWindow window;
    window.show();
    return app.exec();
}
