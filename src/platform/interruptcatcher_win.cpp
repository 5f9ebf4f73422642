#include "platform/interruptcatcher.h"

#include <windows.h>

#include <atomic>

namespace platform {

namespace {

std::atomic<int> caught{0};

// Runs on a thread the system starts for the event. Ctrl-C and Ctrl-Break are taken; closing
// the console, logging off and shutting down go on to the default handling.
BOOL WINAPI onConsoleEvent(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    caught.fetch_add(1, std::memory_order_relaxed);
    return TRUE;
}

} // namespace

InterruptCatcher::InterruptCatcher()
{
    caught.store(0);
    active_ = SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}

InterruptCatcher::~InterruptCatcher()
{
    if (active_)
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

int InterruptCatcher::count() const
{
    return caught.load(std::memory_order_relaxed);
}

} // namespace platform
