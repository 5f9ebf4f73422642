#pragma once

#include "analysis/streammetrics.h"

#include <QVector>

// The speeds (MB/s) one stream, or the card as a whole, reported during one phase, in arrival
// order, with the running extremes of their 15-sample trailing mean.
class SampleSeries
{
public:
    // Only real measurements enter a series: the closing 100 % report repeats the phase average
    // and a speed of 0 means nothing moved yet.
    static bool accepts(int percent, double speed) { return percent <= 99 && speed > 0.0; }

    // Appends speed if accepts(percent, speed) and updates the extremes; returns whether it did.
    bool add(int percent, double speed);
    void clear();

    const QVector<double>& samples() const { return m_samples; }
    int size() const { return m_samples.size(); }
    bool isEmpty() const { return m_samples.isEmpty(); }

    // Largest and smallest trailing mean seen so far; 0 until the first sample.
    double trendMax() const { return m_trendMax; }
    double trendMin() const { return m_trendMin; }
    bool seen() const { return m_seen; }

    // The series condensed, with fallbackAvg as the average when it is not trimmed.
    StreamMetrics metrics(double fallbackAvg, bool slcTrim) const;

private:
    QVector<double> m_samples;
    double m_trendMax = 0.0;
    double m_trendMin = 0.0;
    bool m_seen = false;
};
