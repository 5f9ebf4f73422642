#pragma once

// The thresholds that turn metrics into verdicts, and the stress-test options that travel with
// them in the settings. Ratios are fractions (0.65 = 65 %), speeds MB/s. Every threshold test is
// strict: a value equal to its threshold does not trip it.
struct VerdictRules
{
    double jitterFail = 0.65;
    double jitterWarn = 0.45;
    double cvFail = 0.5;
    double cvWarn = 0.36;
    double dropFail = 0.2;
    double dropWarn = 0.1;
    // Stream rows fail when their minimum is below this share of their per-stream minimum.
    double minSpeedMult = 0.5;
    // Per-stream minimums; the window keeps these in step with its two hidden spin boxes.
    double perStreamWrite = 5.0;
    double perStreamRead = 10.0;
    // Card-total minimums.
    double aggWriteFail = 10.0;
    double aggWriteWarn = 20.0;
    double aggReadFail = 10.0;
    double aggReadWarn = 30.0;
    bool slcTrim = true;
    bool fullCap = false;
    int iterCount = 1;
    // Read every fill of the stress test back and check it before deleting it: slower, but it
    // finds a card that holds less than it claims.
    bool rollVerify = false;

    static constexpr int MinIterCount = 1;
    static constexpr int MaxIterCount = 99;
    // Range of the per-stream minimum editors.
    static constexpr double MaxPerStreamSpeed = 2000.0;
};
