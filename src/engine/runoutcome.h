#pragma once

#include <QMetaType>
#include <QString>

// Why a run (or one of its phases) failed, as far as the operating system's error tells it.
// The front end words it in the user's language; the engine only classifies.
enum class FailureCause
{
    None,
    CardFull,        // no room left on the card's file system for the next block
    DeviceOutOfRoom, // the device refused to store while its file system reports room left
    WriteProtected,  // the card (or its lock switch) refuses writes
    FileTooLarge,    // the file system's per-file limit (FAT32's 4 GiB)
    DeviceError,     // the card or the reader reported an I/O error
    CardRemoved,     // the card is gone
    MissingSource,   // a file to copy could not be read
    Other,
};

Q_DECLARE_METATYPE(FailureCause)

// How an engine run ended; the engine's last word, sent once per run.
struct RunOutcome
{
    enum class Kind
    {
        Completed,
        Stopped,
        Failed,
    };
    Kind kind = Kind::Completed;
    FailureCause cause = FailureCause::None;
    QString message; // the failure as the user is told it (empty unless Failed)
    QString path;    // the file or card the failure concerns, when one does
};
