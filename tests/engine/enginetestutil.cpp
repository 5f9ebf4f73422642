#include "enginetestutil.h"

#include "engine/speedtester.h"
#include "i18n/i18n.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace enginetest {

const QString Started = "========== Speed test started ==========";
const QString Done = "========== Test complete ==========";

void useEnglish()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("QuorvelTests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_engine"));
    QSettings().setValue(QStringLiteral("ui/language"), 1);
    I18n::instance()->initLanguage();
}

void setLanguage(Language language)
{
    I18n::instance()->setLanguage(language);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray distinctBytes(qint64 size, quint32 seed)
{
    QByteArray out(static_cast<int>(size), Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 12345u;
    for (int i = 0; i < out.size(); ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<char>(x >> 16);
    }
    return out;
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool runRandom(SpeedTester& e, const QString& root, int streams, qint64 size, bool read,
               qint64 block)
{
    e.setRootPath(root);
    e.setStreamCount(streams);
    e.setTestSize(size);
    e.setBlockSize(block);
    e.setReadEnabled(read);
    e.start();
    return e.wait(120000);
}

} // namespace enginetest
