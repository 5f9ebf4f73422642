#include "cli/appidentity.h"

#include "cli/clioptions.h"
#include "i18n/i18n.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSettings>

namespace {

struct AppIdentityTr
{
    Q_DECLARE_TR_FUNCTIONS(AppIdentity)
};

} // namespace

QString AppIdentity::version()
{
    return QStringLiteral("1.0.3");
}

void AppIdentity::apply()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quorvel.com"));
    QCoreApplication::setApplicationName(QStringLiteral("QuorvelCard"));
    QCoreApplication::setApplicationVersion(version());
}

void AppIdentity::useTerminalLanguage(const QString& languageOption)
{
    const QVariant stored = QSettings().value(QStringLiteral("ui/language"));
    I18n::instance()->useLanguage(
        CliOptions::languageFor(languageOption, stored, QLocale::system()));
}

QString AppIdentity::windowTerminalAnswer(const QStringList& arguments)
{
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h")))
        return AppIdentityTr::tr("CliAppHelp");
    if (arguments.contains(QStringLiteral("--version")))
        return QStringLiteral("QuorvelCard ") + version();
    return QString();
}
