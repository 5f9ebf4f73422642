#pragma once

#include "analysis/sampleseries.h"
#include "analysis/streammetrics.h"

#include <QVector>

// Everything collected during one phase (write or read) of a test: the card-total series with
// the average of the phase's last finish report, and one series per stream with the average of
// that stream's last report. Samples accumulate over all rounds of a multi-round test.
//
// A stream row is judged on its share of the card while every stream of the round ran: the
// card-total samples of that span, scaled by the stream's share of the bytes moved. How a busy
// card divides itself between streams is decided by how their requests interleave (a stream
// that gets two blocks to the other's one for a while, a stream that speeds up when another one
// has finished or has not started yet), which is no unsteadiness of the card; what the card
// gave all streams together, and each stream's part of it, is. A stream that never ran
// alongside all others is judged on its own samples.
class PhaseSamples
{
public:
    // A card-total progress report; returns whether the speed entered the series.
    bool addCardSample(int percent, double speed);
    // A per-stream report. The stream's average is kept from every report (also at 100 % or with
    // speed 0); the speed enters the series only when it is a measurement. An index outside the
    // streams is ignored and gives false.
    bool addStreamSample(int streamIdx, int percent, double cur, double avg);
    // The phase's finish report; the next samples belong to a new round.
    void finish(double avgSpeed);

    // Test start: empties every series and sizes the per-stream data for streamCount streams.
    // The card average of the last finish report is kept until the next one.
    void reset(int streamCount);
    // Display reset: forgets everything, the card average and the streams included.
    void clear();

    const SampleSeries& card() const { return m_card; }
    int streamCount() const { return m_streams.size(); }
    const SampleSeries& stream(int idx) const { return m_streams.at(idx); }

    StreamMetrics cardMetrics(bool slcTrim) const;
    StreamMetrics streamMetrics(int idx, bool slcTrim) const;

    // The records of a results table with tableRows rows: the card total first (always present),
    // then stream i for row i + 1 while both rows and streams last. A table of fewer than two
    // rows has no stream rows.
    QVector<StreamMetrics> rowMetrics(bool slcTrim, int tableRows) const;

private:
    SampleSeries m_card;
    double m_cardAvg = 0.0;
    QVector<SampleSeries> m_streams;
    QVector<double> m_streamAvgs;
    // The card-total samples taken while every stream ran, and each stream's average at its
    // last report in that span (all on the phase's clock, so they divide as the bytes do).
    SampleSeries m_allRunningCard;
    QVector<double> m_allRunningAvgs;
    // This round: which streams have reported, and whether one has finished.
    QVector<bool> m_reported;
    bool m_oneFinished = false;

    bool allRunning() const { return !m_oneFinished && !m_reported.contains(false); }
    // The speeds stream idx is judged on (see above).
    QVector<double> judgedStream(int idx) const;
};
