#include "signalrecorder.h"

#include "engine/speedtester.h"

template<typename... Args>
void SignalRecorder::hook(SpeedTester* engine, void (SpeedTester::*signal)(Args...),
                          const char* name)
{
    connect(
        engine, signal, this,
        [this, name](Args... args) { record(name, {QVariant::fromValue(args)...}); },
        Qt::DirectConnection);
}

SignalRecorder::SignalRecorder(SpeedTester* engine)
{
    m_clock.start();
    hook(engine, &SpeedTester::writeProgress, "writeProgress");
    hook(engine, &SpeedTester::readProgress, "readProgress");
    hook(engine, &SpeedTester::fileWriteSample, "fileWriteSample");
    hook(engine, &SpeedTester::fileReadSample, "fileReadSample");
    hook(engine, &SpeedTester::writeFinished, "writeFinished");
    hook(engine, &SpeedTester::readFinished, "readFinished");
    hook(engine, &SpeedTester::testError, "testError");
    hook(engine, &SpeedTester::log, "log");
    hook(engine, &SpeedTester::rollingFileProgress, "rollingFileProgress");
}

void SignalRecorder::record(const QString& name, const QVariantList& args)
{
    Event e{name, args, 0};
    {
        QMutexLocker lock(&m_mutex);
        e.ms = m_clock.elapsed();
        m_events.append(e);
    }
    if (onEvent)
        onEvent(e);
}

QVector<SignalRecorder::Event> SignalRecorder::events() const
{
    QMutexLocker lock(&m_mutex);
    return m_events;
}

QVector<SignalRecorder::Event> SignalRecorder::named(const QString& name) const
{
    QVector<Event> out;
    for (const Event& e : events())
        if (e.name == name)
            out.append(e);
    return out;
}

QStringList SignalRecorder::logs() const
{
    QStringList out;
    for (const Event& e : named("log"))
        out.append(e.args.value(0).toString());
    return out;
}

int SignalRecorder::indexOf(const QString& name, const QString& text) const
{
    const QVector<Event> all = events();
    for (int i = 0; i < all.size(); ++i)
        if (all[i].name == name && (text.isNull() || all[i].args.value(0).toString() == text))
            return i;
    return -1;
}

QString SignalRecorder::doneLine(bool write) const
{
    const QVariant avg = named(write ? "writeFinished" : "readFinished").value(0).args.value(0);
    return QString(write ? "Write complete. Avg speed: %1 MB/s"
                         : "Read complete. Avg speed: %1 MB/s")
        .arg(avg.toDouble(), 0, 'f', 2);
}
