#include "report/numbertext.h"

#include <charconv>
#include <cmath>
#include <iterator>

namespace {

// The shortest form of any double is at most 24 characters.
constexpr int BufferSize = 32;

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
    // Most values are small with few decimals: scaled to a whole number they print several
    // times faster. The product can be off by an ulp, which only matters where it lies next to
    // a half; those, and large values, take the slow and exact way.
    static constexpr long long Units[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    const bool few = decimals > 0 && decimals < int(std::size(Units));
    const long long unit = few ? Units[decimals] : 1;
    const double scaled = std::fabs(value) * double(unit);
    const double fraction = scaled - std::floor(scaled);
    if (few && scaled < 1e15 && std::fabs(fraction - 0.5) > 1e-6) {
        const long long whole = std::llround(scaled);
        if (value < 0)
            out.append('-');
        char digits[24];
        std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, whole / unit);
        out.append(digits, int(r.ptr - digits));
        out.append('.');
        r = std::to_chars(digits, digits + sizeof digits, whole % unit + unit);
        out.append(digits + 1, int(r.ptr - digits - 1)); // the leading 1 keeps the zeros
        return;
    }
    // Qt's own conversion, so that halves round as the window's figures do.
    out.append(QByteArray::number(value, 'f', decimals));
}

QString NumberText::fixed(double value, int decimals)
{
    QByteArray out;
    appendFixed(out, value, decimals);
    return QString::fromLatin1(out);
}
