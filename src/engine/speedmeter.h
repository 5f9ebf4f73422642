#pragma once

#include <QtGlobal>

// A current speed measured between block completions: bytes and the completion time of their
// last block where the speed was last measured. Counting whole blocks against the sampling
// clock would alias (a stream completing 4 or 5 blocks per sample by turns would show a 20 %
// swing on a steady card); measured between completions every reported speed is the card's.
struct SpeedMeter
{
    // Shortest span a speed is measured over: half the sampling interval. A block completing
    // moments after the previous one (absorbed by a cache, or released by a throttle's burst)
    // is left to the next sample's wider span instead of showing as a spike. Every steady
    // stream spans more than this between samples, so none of its measurements is held back.
    static constexpr qint64 MinSpanNs = 100000000;

    qint64 bytes = 0;
    qint64 stampNs = 0; // BlockProgress::steadyNowNs() time

    // MB/s since the last measurement, moving the meter on; 0 (nothing new to measure yet)
    // without new bytes or over a span shorter than MinSpanNs.
    double advance(qint64 nowBytes, qint64 nowStampNs);
};
