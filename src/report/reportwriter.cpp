#include "report/reportwriter.h"

#include "report/reportchart.h"
#include "report/reportcsv.h"
#include "report/reporthtml.h"
#include "report/reportjson.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

struct WriterTexts
{
    Q_DECLARE_TR_FUNCTIONS(ReportWriter)
};

// Long enough to tell cards apart, short enough for any file system's name limit.
constexpr int MaxLabelLength = 64;

bool writeFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

} // namespace

QVector<ReportFormat> ReportWriter::formats()
{
    return {ReportFormat::Html, ReportFormat::Json, ReportFormat::Csv, ReportFormat::Png};
}

QString ReportWriter::suffix(ReportFormat format)
{
    switch (format) {
    case ReportFormat::Json:
        return QStringLiteral("json");
    case ReportFormat::Csv:
        return QStringLiteral("csv");
    case ReportFormat::Png:
        return QStringLiteral("png");
    case ReportFormat::Html:
        break;
    }
    return QStringLiteral("html");
}

QString ReportWriter::filter(ReportFormat format)
{
    switch (format) {
    case ReportFormat::Json:
        return WriterTexts::tr("FilterReportJson");
    case ReportFormat::Csv:
        return WriterTexts::tr("FilterReportCsv");
    case ReportFormat::Png:
        return WriterTexts::tr("FilterReportPng");
    case ReportFormat::Html:
        break;
    }
    return WriterTexts::tr("FilterReportHtml");
}

ReportFormat ReportWriter::formatOf(const QString& path, ReportFormat fallback)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("htm"))
        return ReportFormat::Html;
    for (ReportFormat format : formats()) {
        if (ext == suffix(format))
            return format;
    }
    return fallback;
}

QString ReportWriter::defaultFileName(const QString& cardLabel, const QDateTime& time,
                                      ReportFormat format)
{
    QString label;
    for (const QChar c : cardLabel.trimmed().left(MaxLabelLength)) {
        const bool unsafe =
            c.unicode() < 0x20 || c.isSpace() || QStringLiteral("\\/:*?\"<>|").contains(c);
        label += unsafe ? QLatin1Char('_') : c;
    }
    if (label.isEmpty())
        label = QStringLiteral("card");
    return QStringLiteral("%1_%2.%3")
        .arg(label, time.toString(QStringLiteral("yyyyMMdd'T'HHmmss")), suffix(format));
}

QString ReportWriter::samplesPath(const QString& csvPath)
{
    const QFileInfo info(csvPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-samples.csv"));
}

QByteArray ReportWriter::render(const RunResult& result, ReportFormat format,
                                const QDateTime& madeAt)
{
    switch (format) {
    case ReportFormat::Json:
        return ReportJson::write(result);
    case ReportFormat::Csv:
        return ReportCsv::resultsTable(result);
    case ReportFormat::Png:
        return ReportChart::png(result);
    case ReportFormat::Html:
        break;
    }
    return ReportHtml::page(result, ReportChart::png(result), madeAt);
}

bool ReportWriter::save(const RunResult& result, const QString& path, ReportFormat format,
                        QString* error)
{
    const QByteArray bytes = render(result, format, QDateTime::currentDateTime());
    if (format == ReportFormat::Csv &&
        !writeFile(samplesPath(path), ReportCsv::samples(result), error))
        return false;
    return writeFile(path, bytes, error);
}
