#include "analysis/verdictrules.h"

VerdictRules VerdictRules::restoredDefaults()
{
    VerdictRules rules;
    rules.perStreamWrite = 10.0;
    rules.perStreamRead = 10.0;
    return rules;
}
