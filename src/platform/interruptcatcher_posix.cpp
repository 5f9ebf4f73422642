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
}

InterruptCatcher::~InterruptCatcher()
{
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

int InterruptCatcher::count() const
{
    return caught.load(std::memory_order_relaxed);
}

} // namespace platform
