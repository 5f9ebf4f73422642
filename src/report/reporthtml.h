#pragma once

#include "session/runresult.h"

#include <QByteArray>
#include <QDateTime>

// A finished run as one self-contained HTML page (UTF-8, no outside files): the card, the plan,
// the results table with the window's colours and the verdicts' reasons, the chart, the rules,
// errors and log, the program version and the times. Texts in the current language.
class ReportHtml
{
public:
    static QByteArray page(const RunResult& result, const QByteArray& chartPng,
                           const QDateTime& madeAt);
};
