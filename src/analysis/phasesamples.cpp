#include "analysis/phasesamples.h"

#include <algorithm>

bool PhaseSamples::addCardSample(int percent, double speed)
{
    if (!m_reported.isEmpty() && allRunning())
        m_allRunningCard.add(percent, speed);
    return m_card.add(percent, speed);
}

bool PhaseSamples::addStreamSample(int streamIdx, int percent, double cur, double avg)
{
    if (streamIdx < 0 || streamIdx >= m_streams.size())
        return false;
    m_streamAvgs[streamIdx] = avg;
    m_reported[streamIdx] = true;
    m_oneFinished = m_oneFinished || percent >= 100;
    if (allRunning())
        m_allRunningAvgs[streamIdx] = avg;
    return m_streams[streamIdx].add(percent, cur);
}

void PhaseSamples::finish(double avgSpeed)
{
    m_cardAvg = avgSpeed;
    m_reported.fill(false);
    m_oneFinished = false;
}

QVector<double> PhaseSamples::judgedStream(int idx) const
{
    double all = 0.0;
    for (double avg : m_allRunningAvgs)
        all += avg;
    if (m_allRunningCard.isEmpty() || !(all > 0.0))
        return m_streams.at(idx).samples();
    const double share = m_allRunningAvgs.at(idx) / all;
    QVector<double> speeds = m_allRunningCard.samples();
    for (double& speed : speeds)
        speed *= share;
    return speeds;
}

void PhaseSamples::reset(int streamCount)
{
    const int count = std::max(0, streamCount);
    m_card.clear();
    m_streams.clear();
    m_streams.resize(count);
    m_allRunningCard.clear();
    m_allRunningAvgs.fill(0.0, count);
    m_streamAvgs.fill(0.0, count);
    m_reported.fill(false, count);
    m_oneFinished = false;
}

void PhaseSamples::clear()
{
    m_card.clear();
    m_cardAvg = 0.0;
    m_streams.clear();
    m_allRunningCard.clear();
    m_allRunningAvgs.clear();
    m_streamAvgs.clear();
    m_reported.clear();
    m_oneFinished = false;
}

StreamMetrics PhaseSamples::cardMetrics(bool slcTrim) const
{
    return m_card.metrics(m_cardAvg, slcTrim);
}

StreamMetrics PhaseSamples::streamMetrics(int idx, bool slcTrim) const
{
    const SampleSeries& own = m_streams.at(idx);
    const QVector<double> judged = judgedStream(idx);
    StreamMetrics m =
        computeStreamMetrics(judged, m_streamAvgs.at(idx), own.trendMax(), own.trendMin(), slcTrim);
    if (!m_allRunningCard.isEmpty())
        m.unjudged = m_card.size() - m_allRunningCard.size();
    return m;
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
