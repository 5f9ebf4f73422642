// Formatting through the shell's own format dialog.
#include "platform/driveformatter.h"
#include "platform/formatrules.h"

#include <windows.h>

#include <shlobj.h>

static_assert(platform::win32::ShFmtIdDefault == SHFMT_ID_DEFAULT);
static_assert(platform::win32::ShFmtError == static_cast<std::uint32_t>(SHFMT_ERROR));
static_assert(platform::win32::ShFmtCancel == static_cast<std::uint32_t>(SHFMT_CANCEL));
static_assert(platform::win32::ShFmtNoFormat == static_cast<std::uint32_t>(SHFMT_NOFORMAT));

namespace platform {

FormatOutcome formatVolume(const std::string& root, std::uintptr_t nativeWindow)
{
    const int drive = win32DriveNumber(root);
    if (drive < 0)
        return FormatOutcome::Unsupported;
    // The dialog is modal to the window and runs its own message loop until it closes.
    const DWORD result = SHFormatDrive(reinterpret_cast<HWND>(nativeWindow),
                                       static_cast<UINT>(drive), SHFMT_ID_DEFAULT, 0);
    return outcomeOfShFormatDrive(static_cast<std::uint32_t>(result));
}

} // namespace platform
