#include "engine/speedmeter.h"

double SpeedMeter::advance(qint64 nowBytes, qint64 nowStampNs)
{
    const qint64 moved = nowBytes - bytes;
    const qint64 span = nowStampNs - stampNs;
    if (moved <= 0 || span < MinSpanNs)
        return 0.0;
    bytes = nowBytes;
    stampNs = nowStampNs;
    return moved / 1048576.0 / (static_cast<double>(span) / 1e9);
}
