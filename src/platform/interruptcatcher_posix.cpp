#include "platform/interruptcatcher.h"

#include <atomic>
#include <csignal>

namespace platform {

namespace {

// A signal handler may touch nothing but lock-free atomics.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction previousInt;
struct sigaction previousTerm;
struct sigaction previousPipe;

void onSignal(int)
{
    caught.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

InterruptCatcher::InterruptCatcher()
{
    caught.store(0);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes carry on rather than fail with EINTR.
    action.sa_flags = SA_RESTART;
    active_ = sigaction(SIGINT, &action, &previousInt) == 0 &&
              sigaction(SIGTERM, &action, &previousTerm) == 0;
    // A reader that goes away (`| head`) must not end the program either: writes to it fail
    // with EPIPE instead, and the run goes on to remove its files.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    active_ = sigaction(SIGPIPE, &ignore, &previousPipe) == 0 && active_;
}

InterruptCatcher::~InterruptCatcher()
{
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGPIPE, &previousPipe, nullptr);
}

int InterruptCatcher::count() const
{
    return caught.load(std::memory_order_relaxed);
}

} // namespace platform
