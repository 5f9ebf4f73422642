#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {

int descriptorOf(StdStream stream)
{
    return stream == StdStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}

} // namespace

bool isTerminal(StdStream stream)
{
    return isatty(descriptorOf(stream)) == 1;
}

int terminalColumns(StdStream stream)
{
    winsize size{};
    if (!isTerminal(stream) || ioctl(descriptorOf(stream), TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

void attachParentConsole() {}

void useUtf8Output() {}

} // namespace platform
