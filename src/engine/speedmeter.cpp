#include "engine/speedmeter.h"
#include "engine/units.h"

#include <algorithm>

namespace {

double mbPerSecond(qint64 bytes, qint64 ns)
{
    return bytes / units::BytesPerMB / (std::max<qint64>(ns, 1000000) / 1e9);
}

} // namespace

void SpeedMeter::start(qint64 blockBytes, qint64 startNs)
{
    m_blockBytes = std::max<qint64>(1, blockBytes);
    m_points.assign(1, Point{0, startNs});
}

double SpeedMeter::sample(qint64 bytes, qint64 lastBlockNs, qint64 inFlightBytes, qint64 nowNs)
{
    if (bytes > m_points.back().bytes)
        m_points.push_back(Point{bytes, std::max(lastBlockNs, m_points.back().ns)});
    const Point end = m_points.back();
    if (end.bytes <= 0)
        return 0.0;

    // The span opens at the latest completion that lies a window before now and enough blocks
    // before the latest one; older points are no longer needed. Until there is one it opens at
    // the first completion: what completes at once after the start (a cache or a throttle
    // taking the first requests in a burst) is no speed of the card.
    const qint64 enough = WindowBlocks * m_blockBytes;
    auto open = m_points.size() > 2 && m_points.front().bytes == 0 ? m_points.begin() + 1
                                                                   : m_points.begin();
    for (auto it = m_points.end() - 1; it != m_points.begin(); --it) {
        const auto candidate = it - 1;
        if (nowNs - candidate->ns >= WindowNs && end.bytes - candidate->bytes >= enough) {
            open = candidate;
            break;
        }
    }
    m_points.erase(m_points.begin(), open);
    const Point first = m_points.front();

    const qint64 moved = end.bytes - first.bytes;
    const qint64 waited = std::max(end.ns, nowNs - GraceNs) - first.ns;
    const double atBest = mbPerSecond(moved + std::max<qint64>(0, inFlightBytes), waited);
    if (end.ns <= first.ns)
        return atBest;
    return std::min(mbPerSecond(moved, end.ns - first.ns), atBest);
}

void SpeedMeter::shift(qint64 ns)
{
    for (Point& p : m_points)
        p.ns += ns;
}
