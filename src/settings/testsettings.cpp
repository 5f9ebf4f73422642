#include "settings/testsettings.h"

#include "settings/settingsvalue.h"

#include <QSettings>

namespace {

const char* const kGroup = "testSettings";
const char* const kTestMode = "testMode";
const char* const kSizeIndex = "testSizeIndex";
const char* const kStreamCount = "streamCount";
const char* const kBlockIndex = "blockIndex";

// The stored whole number under key if it lies in [low, high], else fallback.
int readInRange(QSettings& settings, const char* key, int low, int high, int fallback)
{
    int value = 0;
    if (!SettingsValue::toInt(settings.value(QLatin1String(key)), &value))
        return fallback;
    return value >= low && value <= high ? value : fallback;
}

} // namespace

TestSettings TestSettings::load(QSettings& settings, const TestSettings& current,
                                const Limits& limits)
{
    TestSettings out = current;
    settings.beginGroup(QLatin1String(kGroup));
    int mode = 0;
    out.externalFiles =
        SettingsValue::toInt(settings.value(QLatin1String(kTestMode)), &mode) && mode == 1;
    out.sizeIndex = readInRange(settings, kSizeIndex, 0, limits.sizeCount - 1, current.sizeIndex);
    out.streamCount = readInRange(settings, kStreamCount, limits.streamMin, limits.streamMax,
                                  current.streamCount);
    out.blockIndex =
        readInRange(settings, kBlockIndex, 0, limits.blockCount - 1, current.blockIndex);
    settings.endGroup();
    return out;
}

TestSettings TestSettings::load(const TestSettings& current, const Limits& limits)
{
    QSettings settings;
    return load(settings, current, limits);
}

void TestSettings::save(QSettings& settings) const
{
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QLatin1String(kTestMode), externalFiles ? 1 : 0);
    settings.setValue(QLatin1String(kSizeIndex), sizeIndex);
    settings.setValue(QLatin1String(kStreamCount), streamCount);
    settings.setValue(QLatin1String(kBlockIndex), blockIndex);
    settings.endGroup();
}

void TestSettings::save() const
{
    QSettings settings;
    save(settings);
}
