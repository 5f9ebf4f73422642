#pragma once

#include "engine/runoutcome.h"

#include <QCoreApplication>
#include <QString>

// What the user is told when a run fails: the cause in words, the file or card it concerns and
// what to do, in the current language.
class FailureText
{
    Q_DECLARE_TR_FUNCTIONS(FailureText)
public:
    // file: the file being worked on (for MissingSource the file to copy); card: the card's root.
    // otherwise: the text for a cause that says nothing of its own (Other, None), typically what
    // could not be done with the system's own description of the error.
    static QString message(FailureCause cause, const QString& file, const QString& card,
                           const QString& otherwise);
    // "what failed (path) — the system's words", the system part left out when there is none.
    static QString withDetail(const QString& what, int osError);
};
