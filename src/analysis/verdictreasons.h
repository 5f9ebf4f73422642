#pragma once

#include "analysis/streammetrics.h"
#include "analysis/verdict.h"
#include "analysis/verdictrules.h"

#include <QStringList>

// Why a row's verdict is what it is: one short text per rule that tripped, at the level it
// tripped (the fail limit when it failed, else the warn limit), in the current language. The
// rules are those of judgeCardTotalRow() (cardTotal) or judgeStreamRow(); the data check adds
// one text when blocks came back wrong. Empty for a clean Pass.
QStringList verdictReasons(const StreamMetrics& write, const StreamMetrics& read,
                           const VerdictRules& rules, bool cardTotal, bool readEnabled,
                           const DataIntegrity& data);
