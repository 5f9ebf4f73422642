#pragma once

class QSettings;

// The settings group "testSettings": the window's test set-up, as plain values. Indices refer to
// the items of the test size and block size lists.
struct TestSettings
{
    bool externalFiles = false; // stored as "testMode": 1 external files, 0 random data
    int sizeIndex = -1;
    int streamCount = -1;
    int blockIndex = -1;

    // What the controls accept: the item counts of the two lists and the stream count's range.
    struct Limits
    {
        int sizeCount = 0;
        int streamMin = 1;
        int streamMax = 16;
        int blockCount = 0;
    };

    // Reads the group. The mode is random data unless "testMode" is exactly 1. An index, or the
    // stream count, that is missing, not a whole number or outside limits keeps its value in
    // current, so the control keeps its state.
    static TestSettings load(QSettings& settings, const TestSettings& current,
                             const Limits& limits);
    // The same from a freshly opened default settings store.
    static TestSettings load(const TestSettings& current, const Limits& limits);

    // Writes all four keys.
    void save(QSettings& settings) const;
    // The same into a freshly opened default settings store.
    void save() const;
};
