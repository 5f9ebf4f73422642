#pragma once

#include <QVector>

// The condensed figures of one speed series (MB/s). Ratios are fractions (0.1 = 10 %).
struct StreamMetrics
{
    double avg = 0.0;
    double max = 0.0;
    double min = 0.0;
    double jitter = 0.0;    // inter-quartile range / avg
    double cv = 0.0;        // standard deviation of the [P5, P95] samples / avg
    double dropRatio = 0.0; // dropCount / sampleCount
    int dropCount = 0;      // samples below 60 % of avg
    int sampleCount = 0;    // samples the figures describe (after the SLC trim)
    int slcCut = 0;         // leading samples of the SLC cache's burst left out
    int unjudged = 0;       // samples of a stream row taken while not every stream ran
};

namespace streamstats {

// Window of the trailing mean whose extremes are reported as maximum and minimum speed.
constexpr int TrendWindow = 15;
// Window of the smoothing used to find the end of the SLC-cache burst.
constexpr int SmoothWindow = 10;
// Fewer samples than this are too short to tell a cache burst from noise.
constexpr int MinTrimSamples = 30;
// The start must be this much faster than the steady tail to count as a cache burst ...
constexpr double BurstFactor = 1.15;
// ... and the burst ends where the smoothed speed comes back within this factor of the tail.
constexpr double SettleFactor = 1.05;
// A sample below this share of the average is a drop.
constexpr double DropFactor = 0.6;

// Mean of the last `window` samples of [begin, end), or of all of them while there are fewer.
// The range must not be empty.
double trailingMean(const QVector<double>& samples, int begin, int end, int window);

// Number of leading samples that belong to an SLC-cache burst, 0 when no burst is recognised.
// Never more than half of the samples.
int slcCut(const QVector<double>& samples);

} // namespace streamstats

// Condenses a series. Average, maximum and minimum describe one span, the samples kept after
// the SLC trim (all of them without one): the mean of the samples and the extremes of their
// trailing mean, whose window starts empty at the span's start. The mean of a series is a
// weighted mean of such trailing means, so the average always lies within [min, max]. The
// untrimmed average never exceeds fallbackAvg, the engine's bytes over time (min follows it
// down where it must). fallbackMax and fallbackMin stand only for an empty series, whose average is
// fallbackAvg. The series is not modified.
StreamMetrics computeStreamMetrics(const QVector<double>& series, double fallbackAvg,
                                   double fallbackMax, double fallbackMin, bool slcTrim);
