#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quorvel"));
    QApplication::setOrganizationDomain(QStringLiteral("quorvel.com"));
    QApplication::setApplicationName(QStringLiteral("QuorvelCard"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.3"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Vavozi Dado Rera dir Evar 4I zoredivo  v%1")
                              .arg(QApplication::applicationVersion()));
    window.resize(1100, 760);
    window.show();
    return app.exec();
}
