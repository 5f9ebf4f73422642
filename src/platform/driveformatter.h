#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class FormatOutcome
{
    Done,
    Failed,
    Cancelled,   // the user declined (the format dialog, or an authorisation prompt)
    Unsupported, // this drive cannot be formatted here
};

// Formats the removable volume at root and returns when the format has ended. Windows shows
// the shell's own format dialog, owned by nativeWindow (an HWND); Linux formats through the
// desktop's disk service (udisks2, see udisksformatter.h) and keeps the calling thread's event
// loop running meanwhile: the window repaints and timers fire, user input is held back until
// the call returns, and a second call made meanwhile returns Failed at once.
FormatOutcome formatVolume(const std::string& root, std::uintptr_t nativeWindow);

} // namespace platform
