#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The window's descriptor of one stream of a run. The label is built on each request, so it
// follows the language in force when it is asked for.
struct StreamSource
{
    enum Kind
    {
        ExternalFile = 0,
        RandomStream = 1,
        RollingWrite = 2,
    };

    int kind = RandomStream;
    int number = 0; // counted from 1 for random streams, otherwise 0
    QString name;   // external files: the file name without its folder

    static StreamSource externalFile(const QString& fileName);
    static StreamSource randomStream(int number);
    static StreamSource rollingWrite();

    QString label() const;
    static QStringList labels(const QVector<StreamSource>& sources);
};
