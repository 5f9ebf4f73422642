#include "analysis/streammetrics.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace streamstats {

double trailingMean(const QVector<double>& samples, int begin, int end, int window)
{
    const int first = std::max(begin, end - window);
    // Summed afresh each time: a running sum that subtracts the leaving sample drifts, and equal
    // samples must give exactly their own value back.
    double sum = 0.0;
    for (int i = first; i < end; ++i)
        sum += samples[i];
    return sum / (end - first);
}

int slcCut(const QVector<double>& samples)
{
    const int n = samples.size();
    if (n < MinTrimSamples)
        return 0;

    QVector<double> smooth(n);
    for (int i = 0; i < n; ++i)
        smooth[i] = trailingMean(samples, 0, i + 1, SmoothWindow);

    // Steady-state speed: median of the last 40 % (upper middle for an even count).
    QVector<double> tail(samples.begin() + (6 * n) / 10, samples.end());
    std::sort(tail.begin(), tail.end());
    const double steady = tail[tail.size() / 2];
    if (!(steady > 0.0))
        return 0;

    // Peak of the first half; the earliest of equal peaks wins.
    const int half = n / 2;
    double peak = 0.0;
    int peakIdx = 0;
    for (int i = 0; i < half; ++i) {
        if (smooth[i] > peak) {
            peak = smooth[i];
            peakIdx = i;
        }
    }
    if (BurstFactor * steady > peak)
        return 0;

    const double settled = SettleFactor * steady;
    for (int j = peakIdx + 1; j < n; ++j) {
        if (smooth[j] <= settled)
            return std::min(j, half);
    }
    return 0;
}

} // namespace streamstats

namespace {

// Nearest-rank percentile without interpolation over an ascending, non-empty array.
double percentile(const QVector<double>& sorted, double q)
{
    const int last = sorted.size() - 1;
    const int k = qBound(0, static_cast<int>(q * last), last);
    return sorted[k];
}

} // namespace

StreamMetrics computeStreamMetrics(const QVector<double>& series, double fallbackAvg,
                                   double fallbackMax, double fallbackMin, bool slcTrim)
{
    using namespace streamstats;

    StreamMetrics m;
    const int n = series.size();
    const int cut = slcTrim ? slcCut(series) : 0;
    m.sampleCount = n - cut;
    m.slcCut = cut;

    if (n > 0) {
        double sum = 0.0;
        for (int i = cut; i < n; ++i)
            sum += series[i];
        m.avg = sum / m.sampleCount;
        m.max = m.min = trailingMean(series, cut, cut + 1, TrendWindow);
        for (int end = cut + 2; end <= n; ++end) {
            const double mean = trailingMean(series, cut, end, TrendWindow);
            m.max = std::max(m.max, mean);
            m.min = std::min(m.min, mean);
        }
        // Untrimmed, never faster than the bytes over the time they took: where a burst at the
        // start fills the first samples their mean runs ahead of it. Min then reaches down to
        // the average, which it otherwise bounds already (rounding aside).
        if (cut == 0 && fallbackAvg > 0.0 && fallbackAvg < m.avg)
            m.avg = fallbackAvg;
        m.min = std::min(m.min, m.avg);
        m.avg = std::min(m.avg, m.max);
    } else {
        m.avg = fallbackAvg;
        m.max = fallbackMax;
        m.min = fallbackMin;
    }

    // Nothing to relate the spread to: no samples, or an average that is not a positive number
    // (a NaN or infinite average would otherwise poison every ratio).
    if (n == 0 || !(m.avg > 0.0) || !std::isfinite(m.avg))
        return m;

    QVector<double> sorted(series.begin() + cut, series.end());
    std::sort(sorted.begin(), sorted.end());
    const double p5 = percentile(sorted, 0.05);
    const double p25 = percentile(sorted, 0.25);
    const double p75 = percentile(sorted, 0.75);
    const double p95 = percentile(sorted, 0.95);

    m.jitter = (p75 - p25) / m.avg;

    // Spread of the body only: the outer 5 % on each side are left out, and deviations are
    // taken from the reported average so that the figure matches what the table shows.
    double squares = 0.0;
    int inside = 0;
    for (int i = cut; i < n; ++i) {
        const double s = series[i];
        if (s >= p5 && s <= p95) {
            squares += (s - m.avg) * (s - m.avg);
            ++inside;
        }
    }
    m.cv = inside > 0 ? std::sqrt(squares / inside) / m.avg : 0.0;

    const double dropLine = DropFactor * m.avg;
    for (int i = cut; i < n; ++i) {
        if (series[i] < dropLine)
            ++m.dropCount;
    }
    m.dropRatio = static_cast<double>(m.dropCount) / m.sampleCount;
    return m;
}
