#include "analysis/phasesamples.h"

#include <algorithm>

bool PhaseSamples::addCardSample(int percent, double speed)
{
    return m_card.add(percent, speed);
}

bool PhaseSamples::addStreamSample(int streamIdx, int percent, double cur, double avg)
{
    if (streamIdx < 0 || streamIdx >= m_streams.size())
        return false;
    m_streamAvgs[streamIdx] = avg;
    return m_streams[streamIdx].add(percent, cur);
}

void PhaseSamples::reset(int streamCount)
{
    const int count = std::max(0, streamCount);
    m_card.clear();
    m_streams.clear();
    m_streams.resize(count);
    m_streamAvgs.fill(0.0, count);
}

void PhaseSamples::clear()
{
    m_card.clear();
    m_cardAvg = 0.0;
    m_streams.clear();
    m_streamAvgs.clear();
}

StreamMetrics PhaseSamples::cardMetrics(bool slcTrim) const
{
    return m_card.metrics(m_cardAvg, slcTrim);
}

StreamMetrics PhaseSamples::streamMetrics(int idx, bool slcTrim) const
{
    return m_streams.at(idx).metrics(m_streamAvgs.at(idx), slcTrim);
}

QVector<StreamMetrics> PhaseSamples::rowMetrics(bool slcTrim, int tableRows) const
{
    QVector<StreamMetrics> rows;
    rows.append(cardMetrics(slcTrim));
    const int streams = std::min(tableRows - 1, streamCount());
    for (int i = 0; i < streams; ++i)
        rows.append(streamMetrics(i, slcTrim));
    return rows;
}
