#pragma once

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>
#include <functional>

class SpeedTester;

// Records every signal of one engine, in emission order, with a time stamp. Connected
// directly, so it runs on the engine's thread: read it after the engine has finished.
class SignalRecorder : public QObject
{
public:
    struct Event
    {
        QString name;
        QVariantList args;
        qint64 ms = 0; // since the recorder was made
    };

    explicit SignalRecorder(SpeedTester* engine);

    // Called on the engine's thread for every event after it was recorded; set before start.
    std::function<void(const Event&)> onEvent;

    QVector<Event> events() const;
    QVector<Event> named(const QString& name) const;
    QStringList logs() const;
    int count(const QString& name) const { return named(name).size(); }
    // Index of the first event with this name (and, for a log, this exact text); -1 if none.
    int indexOf(const QString& name, const QString& text = QString()) const;
    // The line that closes a phase, built from the average its finished signal carried.
    QString doneLine(bool write) const;

private:
    template<typename... Args>
    void hook(SpeedTester* engine, void (SpeedTester::*signal)(Args...), const char* name);
    void record(const QString& name, const QVariantList& args);

    mutable QMutex m_mutex;
    QVector<Event> m_events;
    QElapsedTimer m_clock;
};
