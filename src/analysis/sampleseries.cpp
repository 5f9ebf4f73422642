#include "analysis/sampleseries.h"

bool SampleSeries::add(int percent, double speed)
{
    if (!accepts(percent, speed))
        return false;
    m_samples.append(speed);
    const double mean =
        streamstats::trailingMean(m_samples, 0, m_samples.size(), streamstats::TrendWindow);
    if (!m_seen) {
        m_trendMax = m_trendMin = mean;
        m_seen = true;
    } else {
        if (mean > m_trendMax)
            m_trendMax = mean;
        if (mean < m_trendMin)
            m_trendMin = mean;
    }
    return true;
}

void SampleSeries::clear()
{
    m_samples.clear();
    m_trendMax = 0.0;
    m_trendMin = 0.0;
    m_seen = false;
}

StreamMetrics SampleSeries::metrics(double fallbackAvg, bool slcTrim) const
{
    return computeStreamMetrics(m_samples, fallbackAvg, m_trendMax, m_trendMin, slcTrim);
}
