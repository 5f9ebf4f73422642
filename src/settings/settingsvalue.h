#pragma once

#include <QVariant>

// Strict readers for values from the settings store. The file is the user's and may have been
// edited by hand or written by another version, so a value is only taken when it is of the
// expected kind; otherwise the reader reports failure and the caller keeps its fallback.
class SettingsValue
{
public:
    // A finite number. Text must be a plain number ("0.65", "1e2"); "nan", "inf" and numbers too
    // large for a double are refused.
    static bool toDouble(const QVariant& value, double* out);
    // A whole number that fits in an int.
    static bool toInt(const QVariant& value, int* out);
    // A whole number of any size that fits in 64 bits, for values that are clamped afterwards.
    static bool toLongLong(const QVariant& value, qlonglong* out);
    // A native boolean, the texts "true"/"false"/"1"/"0" (any case, blanks around) or the numbers
    // 0 and 1.
    static bool toBool(const QVariant& value, bool* out);
};
