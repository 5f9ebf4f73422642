#include "engine/speedmeter.h"
#include "engine/units.h"

double SpeedMeter::advance(qint64 nowBytes, qint64 nowStampNs)
{
    const qint64 moved = nowBytes - bytes;
    const qint64 span = nowStampNs - stampNs;
    if (moved <= 0 || span < MinSpanNs)
        return 0.0;
    bytes = nowBytes;
    stampNs = nowStampNs;
    return moved / units::BytesPerMB / (static_cast<double>(span) / 1e9);
}
