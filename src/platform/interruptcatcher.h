#pragma once

namespace platform {

// Catches the user's interrupt (Ctrl-C, and on POSIX systems also a termination request) for
// the lifetime of the object, so that a program can wind down and clean up instead of dying at
// once; every further interrupt is caught as well and only counted. On POSIX systems an output
// whose reader has gone (SIGPIPE) no longer ends the program either. The previous handling comes
// back on destruction. One object at a time per process.
class InterruptCatcher
{
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    // Whether the handler could be installed.
    bool isActive() const { return active_; }
    // Interrupts caught since construction; safe to read from any thread at any time.
    int count() const;

private:
    bool active_ = false;
};

} // namespace platform
