#include "platform/terminal.h"

#include <windows.h>

#include <cstdio>

namespace platform {

namespace {

HANDLE handleOf(StdStream stream)
{
    return GetStdHandle(stream == StdStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

} // namespace

// Only a console handle has a console mode; files, pipes and terminals emulated through pipes
// (as some shells do) have none and get plain lines.
bool isTerminal(StdStream stream)
{
    DWORD mode = 0;
    const HANDLE handle = handleOf(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

int terminalColumns(StdStream stream)
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!isTerminal(stream) || !GetConsoleScreenBufferInfo(handleOf(stream), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

void attachParentConsole()
{
    // Streams that already go somewhere (a file, a pipe) are left where they go.
    if (GetConsoleWindow() != nullptr || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN)
        std::freopen("CONOUT$", "w", stdout);
    if (GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_UNKNOWN)
        std::freopen("CONOUT$", "w", stderr);
}

void useUtf8Output()
{
    SetConsoleOutputCP(CP_UTF8);
}

} // namespace platform
