#include "signalrecorder.h"

#include "engine/speedtester.h"

SignalRecorder::SignalRecorder(SpeedTester* engine)
{
    m_clock.start();
    const auto direct = Qt::DirectConnection;
    connect(
        engine, &SpeedTester::writeProgress, this,
        [this](int p, double c, double a) {
            record("writeProgress", {p, c, a});
        },
        direct);
    connect(
        engine, &SpeedTester::readProgress, this,
        [this](int p, double c, double a) {
            record("readProgress", {p, c, a});
        },
        direct);
    connect(
        engine, &SpeedTester::fileWriteSample, this,
        [this](int i, int p, double c, double a) {
            record("fileWriteSample", {i, p, c, a});
        },
        direct);
    connect(
        engine, &SpeedTester::fileReadSample, this,
        [this](int i, int p, double c, double a) {
            record("fileReadSample", {i, p, c, a});
        },
        direct);
    connect(
        engine, &SpeedTester::writeFinished, this,
        [this](double a) { record("writeFinished", {a}); }, direct);
    connect(
        engine, &SpeedTester::readFinished, this, [this](double a) { record("readFinished", {a}); },
        direct);
    connect(
        engine, &SpeedTester::testError, this,
        [this](const QString& m) { record("testError", {m}); }, direct);
    connect(
        engine, &SpeedTester::log, this, [this](const QString& m) { record("log", {m}); }, direct);
    connect(
        engine, &SpeedTester::rollingFileProgress, this,
        [this](int c, int t, qlonglong w, qlonglong b) {
            record("rollingFileProgress", {c, t, w, b});
        },
        direct);
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
    for (const Event& e : events()) {
        if (e.name == name)
            out.append(e);
    }
    return out;
}

QStringList SignalRecorder::logs() const
{
    QStringList out;
    for (const Event& e : named("log"))
        out.append(e.args.value(0).toString());
    return out;
}

int SignalRecorder::count(const QString& name) const
{
    return named(name).size();
}

int SignalRecorder::indexOf(const QString& name, const QString& text) const
{
    const QVector<Event> all = events();
    for (int i = 0; i < all.size(); ++i) {
        if (all[i].name == name && (text.isNull() || all[i].args.value(0).toString() == text))
            return i;
    }
    return -1;
}
