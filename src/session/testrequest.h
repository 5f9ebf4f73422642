#pragma once

#include "analysis/verdictrules.h"
#include "engine/units.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What a user asks a run to do, as any front end collects it. The session checks it, turns it
// into engine plans and runs it.
struct TestRequest
{
    QString root;            // the card's root; must be a listed removable volume
    QStringList sourceFiles; // copy mode when not empty (the window's "external files")
    // Copy mode chosen even with no file picked yet, which the checks then refuse.
    bool externalFiles = false;
    qint64 testSize = 0; // random data: bytes per stream
    qint64 blockSize = units::MiB;
    int streamCount = 1;
    bool readEnabled = false;
    // The rules in force at the launch. Its fullCap, iterCount and rollVerify shape the whole
    // run (fill the card, rounds, check each fill); its thresholds judge the figures.
    VerdictRules rules;
};
