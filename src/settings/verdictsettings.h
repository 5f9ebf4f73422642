#pragma once

#include "analysis/verdictrules.h"

class QSettings;

// The settings group "verdict": the verdict rules (with the two per-stream minimums the window
// keeps in its hidden spin boxes) and the read-test switch. The whole group is always read and
// written at once.
struct VerdictSettings
{
    VerdictRules rules;
    bool enableRead = false;

    // What the rules dialog can edit.
    static constexpr double MaxRatio = 5.0; // 500 %
    static constexpr double MinSpeedFactor = 0.1;
    static constexpr double MaxSpeedFactor = 1.0;
    static constexpr double MaxSpeed = VerdictRules::MaxPerStreamSpeed;
    // What a stored value may be before it is taken for damage and replaced. Wider than the
    // editors: a value the dialog would merely clamp (700 %, a factor of 0.05) is the user's
    // and loads as stored. The round count and the per-stream minimums are clamped instead.
    static constexpr double MaxStoredRatio = 100.0;
    static constexpr double MaxStoredFactor = 10.0;
    static constexpr double MaxStoredSpeed = 1.0e6;

    // Reads the group. A key that is missing, of the wrong kind, not finite or out of range keeps
    // the value it has in current (itself first brought into range).
    static VerdictSettings load(QSettings& settings, const VerdictSettings& current);
    // The same with the defaults as current.
    static VerdictSettings load(QSettings& settings);
    // The same from a freshly opened default settings store.
    static VerdictSettings load(const VerdictSettings& current);
    static VerdictSettings load();

    // Writes every key of the group; a value load() would refuse is written as its default, so
    // whatever is written reads back unchanged.
    void save(QSettings& settings) const;
    // The same into a freshly opened default settings store.
    void save() const;

    // This record with every value load() would refuse replaced by fallback's (by the default's
    // where fallback's is bad too), and the clamped fields clamped.
    VerdictSettings sanitized(const VerdictSettings& fallback) const;
    VerdictSettings sanitized() const;
};
