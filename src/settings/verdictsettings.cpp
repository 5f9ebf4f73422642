#include "settings/verdictsettings.h"

#include "settings/settingsvalue.h"

#include <QSettings>

#include <algorithm>
#include <cmath>

namespace {

const char* const kGroup = "verdict";

// The doubles of the group with their key, their member and the range they must lie in. A value
// outside [low, high] is replaced unless clamp is set.
struct DoubleKey
{
    const char* key;
    double VerdictRules::*member;
    double low;
    double high;
    bool clamp;
};

// In the order the group is read and written; "perStreamWrite" and "perStreamRead" come last,
// after "iterCount".
const DoubleKey kThresholds[] = {
    {"jitterFail", &VerdictRules::jitterFail, 0.0, VerdictSettings::MaxStoredRatio, false},
    {"jitterWarn", &VerdictRules::jitterWarn, 0.0, VerdictSettings::MaxStoredRatio, false},
    {"cvFail", &VerdictRules::cvFail, 0.0, VerdictSettings::MaxStoredRatio, false},
    {"cvWarn", &VerdictRules::cvWarn, 0.0, VerdictSettings::MaxStoredRatio, false},
    {"dropFail", &VerdictRules::dropFail, 0.0, VerdictSettings::MaxStoredRatio, false},
    {"dropWarn", &VerdictRules::dropWarn, 0.0, VerdictSettings::MaxStoredRatio, false},
    {"minSpeedMult", &VerdictRules::minSpeedMult, 0.0, VerdictSettings::MaxStoredFactor, false},
    {"aggWriteFail", &VerdictRules::aggWriteFail, 0.0, VerdictSettings::MaxStoredSpeed, false},
    {"aggWriteWarn", &VerdictRules::aggWriteWarn, 0.0, VerdictSettings::MaxStoredSpeed, false},
    {"aggReadFail", &VerdictRules::aggReadFail, 0.0, VerdictSettings::MaxStoredSpeed, false},
    {"aggReadWarn", &VerdictRules::aggReadWarn, 0.0, VerdictSettings::MaxStoredSpeed, false},
};

const DoubleKey kPerStream[] = {
    {"perStreamWrite", &VerdictRules::perStreamWrite, 0.0, VerdictSettings::MaxSpeed, true},
    {"perStreamRead", &VerdictRules::perStreamRead, 0.0, VerdictSettings::MaxSpeed, true},
};

const char* const kEnableRead = "enableRead";
const char* const kSlcTrim = "slcTrim";
const char* const kFullCap = "fullCap";
const char* const kIterCount = "iterCount";
const char* const kRollVerify = "rollVerify";

// value brought into the key's range, or fallback where it cannot be.
double checked(const DoubleKey& k, double value, double fallback)
{
    if (!std::isfinite(value))
        return fallback;
    if (k.clamp)
        return std::clamp(value, k.low, k.high);
    return value >= k.low && value <= k.high ? value : fallback;
}

int clampIterCount(qlonglong n)
{
    return static_cast<int>(
        std::clamp<qlonglong>(n, VerdictRules::MinIterCount, VerdictRules::MaxIterCount));
}

void readDouble(QSettings& settings, const DoubleKey& k, VerdictRules& rules)
{
    double value = 0.0;
    if (SettingsValue::toDouble(settings.value(QLatin1String(k.key)), &value))
        rules.*k.member = checked(k, value, rules.*k.member);
}

void readBool(QSettings& settings, const char* key, bool& member)
{
    bool value = false;
    if (SettingsValue::toBool(settings.value(QLatin1String(key)), &value))
        member = value;
}

} // namespace

VerdictSettings VerdictSettings::sanitized(const VerdictSettings& fallback) const
{
    // The fallback is not trusted either: where it is bad too, the default takes over.
    const VerdictRules defaults;
    VerdictSettings out = *this;
    for (const DoubleKey& k : kThresholds)
        out.rules.*k.member =
            checked(k, rules.*k.member, checked(k, fallback.rules.*k.member, defaults.*k.member));
    for (const DoubleKey& k : kPerStream)
        out.rules.*k.member =
            checked(k, rules.*k.member, checked(k, fallback.rules.*k.member, defaults.*k.member));
    out.rules.iterCount = clampIterCount(rules.iterCount);
    return out;
}

VerdictSettings VerdictSettings::sanitized() const
{
    return sanitized(VerdictSettings());
}

VerdictSettings VerdictSettings::load(QSettings& settings)
{
    return load(settings, VerdictSettings());
}

VerdictSettings VerdictSettings::load()
{
    return load(VerdictSettings());
}

VerdictSettings VerdictSettings::load(QSettings& settings, const VerdictSettings& current)
{
    VerdictSettings out = current.sanitized();
    settings.beginGroup(QLatin1String(kGroup));
    readBool(settings, kEnableRead, out.enableRead);
    for (const DoubleKey& k : kThresholds)
        readDouble(settings, k, out.rules);
    readBool(settings, kSlcTrim, out.rules.slcTrim);
    readBool(settings, kFullCap, out.rules.fullCap);
    qlonglong iterations = 0;
    if (SettingsValue::toLongLong(settings.value(QLatin1String(kIterCount)), &iterations))
        out.rules.iterCount = clampIterCount(iterations);
    for (const DoubleKey& k : kPerStream)
        readDouble(settings, k, out.rules);
    readBool(settings, kRollVerify, out.rules.rollVerify);
    settings.endGroup();
    return out;
}

VerdictSettings VerdictSettings::load(const VerdictSettings& current)
{
    QSettings settings;
    return load(settings, current);
}

void VerdictSettings::save(QSettings& settings) const
{
    const VerdictSettings clean = sanitized();
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QLatin1String(kEnableRead), clean.enableRead);
    for (const DoubleKey& k : kThresholds)
        settings.setValue(QLatin1String(k.key), clean.rules.*k.member);
    settings.setValue(QLatin1String(kSlcTrim), clean.rules.slcTrim);
    settings.setValue(QLatin1String(kFullCap), clean.rules.fullCap);
    settings.setValue(QLatin1String(kIterCount), clean.rules.iterCount);
    for (const DoubleKey& k : kPerStream)
        settings.setValue(QLatin1String(k.key), clean.rules.*k.member);
    settings.setValue(QLatin1String(kRollVerify), clean.rules.rollVerify);
    settings.endGroup();
}

void VerdictSettings::save() const
{
    QSettings settings;
    save(settings);
}
