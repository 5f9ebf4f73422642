#include "settings/settingsvalue.h"

#include <QString>

#include <cmath>
#include <limits>

namespace {

// Text and the native number types only: lists, byte arrays and other stored types are refused
// even where QVariant would convert them.
bool isScalar(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

} // namespace

bool SettingsValue::toDouble(const QVariant& value, double* out)
{
    if (!isScalar(value))
        return false;
    bool ok = false;
    const double d = value.userType() == QMetaType::QString
                         ? value.toString().trimmed().toDouble(&ok)
                         : value.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    *out = d;
    return true;
}

bool SettingsValue::toLongLong(const QVariant& value, qlonglong* out)
{
    if (!isScalar(value))
        return false;
    bool ok = false;
    qlonglong n = 0;
    switch (value.userType()) {
    case QMetaType::QString:
        n = value.toString().trimmed().toLongLong(&ok);
        break;
    case QMetaType::Double:
    case QMetaType::Float: {
        // Only whole numbers within range; the conversion would round or overflow otherwise.
        const double d = value.toDouble();
        ok = std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.0e18;
        n = ok ? static_cast<qlonglong>(d) : 0;
        break;
    }
    case QMetaType::ULongLong:
        ok = value.toULongLong() <= static_cast<qulonglong>(std::numeric_limits<qlonglong>::max());
        n = ok ? static_cast<qlonglong>(value.toULongLong()) : 0;
        break;
    default:
        n = value.toLongLong(&ok);
        break;
    }
    if (!ok)
        return false;
    *out = n;
    return true;
}

bool SettingsValue::toInt(const QVariant& value, int* out)
{
    qlonglong n = 0;
    if (!toLongLong(value, &n) || n < std::numeric_limits<int>::min() ||
        n > std::numeric_limits<int>::max())
        return false;
    *out = static_cast<int>(n);
    return true;
}

bool SettingsValue::toBool(const QVariant& value, bool* out)
{
    if (value.userType() == QMetaType::Bool) {
        *out = value.toBool();
        return true;
    }
    if (value.userType() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1")) {
            *out = true;
            return true;
        }
        if (text == QLatin1String("false") || text == QLatin1String("0")) {
            *out = false;
            return true;
        }
        return false;
    }
    qlonglong n = 0;
    if (!toLongLong(value, &n) || (n != 0 && n != 1))
        return false;
    *out = n == 1;
    return true;
}
