#pragma once

#include <QtGlobal>

#include <deque>

// The current speed of a stream, or of the card as a whole: the one definition of every current
// speed the engine reports, and with it of every sample the figures and verdicts are made of.
//
// Why not the bytes counted since the previous 200 ms sample: a block is counted only once it
// has completed, so at one or two blocks per sample the count swings by a whole block from
// sample to sample, and a card (or a throttle) that completes blocks in bursts swings it more,
// on a perfectly steady card. So a speed spans at least WindowNs and at least WindowBlocks
// whole blocks, and is measured between block completions: the bytes over the time from the
// completion that opens the span to the latest one. Bursts within the span average out.
//
// Why half a second: a recorder writes through a buffer of a second or so, and a stall of half
// a second is what empties it. Over half a second such a stall reads as a speed near zero, a
// drop the verdict sees; over longer spans it would be averaged into a mere dip.
//
// Time without progress is part of the card's behaviour and never vanishes: the speed is also
// bounded by what the card could at best have done up to now, had the blocks under way
// (inFlightBytes) completed this very moment. During a stall that bound falls with every
// sample, and once progress resumes the span over the stall keeps it in the speeds until the
// window has moved past it, so a stall weighs in for about as long as it lasted.
class SpeedMeter
{
public:
    static constexpr qint64 WindowNs = 500000000;
    static constexpr int WindowBlocks = 4;
    // A card's controller, or a throttle, may hold requests for a moment and complete them
    // together: time without progress counts once it is longer than this.
    static constexpr qint64 GraceNs = 100000000;

    // A span begins: nothing moved yet at startNs (BlockProgress::steadyNowNs() time).
    void start(qint64 blockBytes, qint64 startNs);
    // The speed now, in MB/s, with bytes counted so far, the completion time of their last
    // block, the bytes that may be under way at this moment and the time now. 0 until the
    // first bytes.
    double sample(qint64 bytes, qint64 lastBlockNs, qint64 inFlightBytes, qint64 nowNs);
    // Moves every recorded time on by ns: a pause that is not the card's (a check between
    // fills) must not count as time without progress.
    void shift(qint64 ns);

private:
    struct Point
    {
        qint64 bytes;
        qint64 ns;
    };
    qint64 m_blockBytes = 1;
    std::deque<Point> m_points{{0, 0}}; // completions seen at samples, oldest first
};
