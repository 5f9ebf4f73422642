#pragma once

#include <QStringList>
#include <QVector>
#include <QWidget>

class QEvent;
class QPaintEvent;

// Live per-stream speed curves over test progress: write samples on the left half, read
// samples on the right half, each half with its own speed scale.
class SpeedChartWidget : public QWidget
{
    Q_OBJECT

public:
    // Number of most recent raw samples averaged into one smoothed value.
    static constexpr int SmoothingWindow = 15;

    explicit SpeedChartWidget(QWidget* parent = nullptr);

    // One name per stream of the coming run; drops every stored sample.
    void setStreams(const QStringList& names);
    // Drops every stored sample but keeps the streams.
    void clearSamples();
    // Samples for an unknown stream, or with a speed that is not a finite number, are ignored.
    void addWriteSample(int stream, int percent, double mbps);
    void addReadSample(int stream, int percent, double mbps);
    void setReadVisible(bool visible);

    int streamCount() const { return streamNames.size(); }
    const QStringList& names() const { return streamNames; }
    bool isReadVisible() const { return readVisible; }
    // Per-stream series; an unknown stream gives an empty list.
    const QVector<int>& writePercentOf(int stream) const;
    const QVector<double>& writeSpeedOf(int stream) const;
    const QVector<double>& writeSmoothedOf(int stream) const;
    const QVector<int>& readPercentOf(int stream) const;
    const QVector<double>& readSpeedOf(int stream) const;
    const QVector<double>& readSmoothedOf(int stream) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool appendSample(QVector<QVector<int>>& percents, QVector<QVector<double>>& speeds,
                      QVector<QVector<double>>& smoothed, int stream, int percent, double mbps);

    QStringList streamNames;
    QVector<QVector<int>> writePercent;
    QVector<QVector<double>> writeSpeed;
    QVector<QVector<double>> writeSmoothed;
    QVector<QVector<int>> readPercent;
    QVector<QVector<double>> readSpeed;
    QVector<QVector<double>> readSmoothed;
    bool readVisible = true;
};
