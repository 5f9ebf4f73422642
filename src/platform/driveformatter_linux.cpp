// Stand-in until formatting lands.
#include "platform/driveformatter.h"

namespace platform {

FormatOutcome formatVolume(const std::string&, std::uintptr_t)
{
    return FormatOutcome::Unsupported;
}

} // namespace platform
