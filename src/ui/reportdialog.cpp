#include "ui/reportdialog.h"

#include "report/reportwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>

namespace {

struct DialogTexts
{
    Q_DECLARE_TR_FUNCTIONS(ReportDialog)
};

// The folder the last report went to, offered again next time.
const char* const kFolderKey = "report/folder";

} // namespace

QString ReportDialog::save(QWidget* parent, const RunResult& result)
{
    QStringList filters;
    for (ReportFormat format : ReportWriter::formats())
        filters.append(ReportWriter::filter(format));
    const QString folder =
        QSettings()
            .value(kFolderKey, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .toString();
    const QString name = ReportWriter::defaultFileName(
        result.card.label, result.started.toLocalTime(), ReportWriter::formats().first());

    QString chosenFilter = filters.first();
    QString path = QFileDialog::getSaveFileName(parent, DialogTexts::tr("DlgSaveReport"),
                                                QDir(folder).filePath(name),
                                                filters.join(QStringLiteral(";;")), &chosenFilter);
    if (path.isEmpty())
        return QString();

    // The chosen filter decides unless the name itself asks for another format.
    const ReportFormat filtered = ReportWriter::formats().value(
        std::max(0, int(filters.indexOf(chosenFilter))), ReportFormat::Html);
    const ReportFormat format = ReportWriter::formatOf(path, filtered);
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + ReportWriter::suffix(format);

    QString error;
    if (!ReportWriter::save(result, path, format, &error)) {
        QMessageBox::warning(parent, DialogTexts::tr("MsgSaveFailedTitle"),
                             DialogTexts::tr("MsgSaveFailedBody").arg(error));
        return QString();
    }
    QSettings().setValue(kFolderKey, QFileInfo(path).absolutePath());
    return path;
}
