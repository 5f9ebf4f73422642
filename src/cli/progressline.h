#pragma once

#include <QString>
#include <QtGlobal>

// Where a run is, as its progress line tells it.
struct ProgressState
{
    bool write = true;
    bool rolling = false; // the fill of the whole card
    int round = 1;
    int rounds = 1;
    int percent = 0;
    double currentMBps = 0.0;
    double avgMBps = 0.0;
    qint64 elapsedMs = 0;
    qint64 leftMs = -1; // unknown while negative
    QString fillText;   // where the fill is, file by file; empty when not filling
};

// The one line of progress the command line shows: phase, percent, speeds, elapsed time and
// time left, in the current language.
class ProgressLine
{
public:
    static QString text(const ProgressState& state);

    // Time left of a run that has done doneFraction (0 to 1) of its work in elapsedMs, at the
    // pace so far; -1 while too little is done to tell.
    static qint64 timeLeftMs(double doneFraction, qint64 elapsedMs);
};
