#include "report/numbertext.h"

#include <charconv>
#include <cmath>

namespace {

// Enough for any double in either form with the few decimals reports use.
constexpr int BufferSize = 352;

} // namespace

void NumberText::appendShortest(QByteArray& out, double value)
{
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    char buffer[BufferSize];
    const std::to_chars_result r = std::to_chars(buffer, buffer + BufferSize, value);
    out.append(buffer, int(r.ptr - buffer));
}

void NumberText::appendFixed(QByteArray& out, double value, int decimals)
{
    if (!std::isfinite(value))
        return;
    char buffer[BufferSize];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + BufferSize, value, std::chars_format::fixed, decimals);
    if (r.ec == std::errc())
        out.append(buffer, int(r.ptr - buffer));
}

QString NumberText::fixed(double value, int decimals)
{
    QByteArray out;
    appendFixed(out, value, decimals);
    return QString::fromLatin1(out);
}
