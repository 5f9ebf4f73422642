#include "session/streamsource.h"

#include <QCoreApplication>

namespace {

struct StreamSourceTexts
{
    Q_DECLARE_TR_FUNCTIONS(StreamSourceTexts)
};

} // namespace

StreamSource StreamSource::externalFile(const QString& fileName)
{
    return {ExternalFile, 0, fileName};
}

StreamSource StreamSource::randomStream(int number)
{
    return {RandomStream, number, QString()};
}

StreamSource StreamSource::rollingWrite()
{
    return {RollingWrite, 0, QString()};
}

QString StreamSource::label() const
{
    switch (kind) {
    case ExternalFile:
        return name;
    case RandomStream:
        return StreamSourceTexts::tr("LabelRandomStream").arg(number);
    case RollingWrite:
        return StreamSourceTexts::tr("LabelRollingWrite");
    default:
        return QString();
    }
}

QStringList StreamSource::labels(const QVector<StreamSource>& sources)
{
    QStringList out;
    out.reserve(sources.size());
    for (const StreamSource& s : sources)
        out << s.label();
    return out;
}
