#pragma once

#include "engine/units.h"
#include "platform/driveformatter.h"
#include "session/streamsource.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

// A reason not to start, as the message box shows it.
struct Refusal
{
    bool critical = false;
    QString title;
    QString body;

    bool refused() const { return !title.isEmpty(); }
};

// What the user set up for a test.
struct LaunchRequest
{
    bool randomMode = true;
    bool fullCap = false; // fill the entire card
    qint64 testSize = 0;
    qint64 blockSize = 0;
    int streamCount = 1;
    quint64 capacity = 0; // of the target card, 0 when unknown
    QString fileSystem;   // of the target card, empty when unknown
    QStringList sourcePaths;
};

// What a run will do when the set-up is accepted.
struct LaunchPlan
{
    qint64 fileSize = 0; // random data: bytes per stream file; external files: 0
    int streamCount = 1;
    quint64 required = 0; // bytes that must be free on the card
    // Every chosen file for the engine, which logs the ones it skips.
    QStringList sourcePaths;
    // One entry per stream the engine will run, in its order: files below one block have none.
    QVector<StreamSource> streams;
};

// The checks before a test, apart from those that ask the drive or the user.
class LaunchCheck
{
public:
    static Refusal noDrive();
    static Refusal notRemovable(const QString& root);
    static Refusal formatNoAccess();
    // Sizes, files and modes; fills plan when nothing is refused.
    static Refusal plan(const LaunchRequest& request, LaunchPlan& plan);
    static Refusal freeSpace(quint64 required, quint64 freeBytes);
    // Fill-entire-card mode: the free space must hold enough to measure.
    static Refusal fillRoom(quint64 freeBytes);
    // Below this the fill would be over within a second or two on a fast card: too few whole
    // one-second spans to give a speed, and what little there is lands in the card's cache.
    static constexpr quint64 MinFillBytes = 64 * units::MiB;
    // The log line that reports a format's outcome.
    static QString formatOutcomeText(platform::FormatOutcome outcome);
};
