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
// desktop's disk service and keeps the calling thread's event loop running meanwhile.
FormatOutcome formatVolume(const std::string& root, std::uintptr_t nativeWindow);

} // namespace platform
