#pragma once

namespace platform {

// The two text streams a command-line program writes to.
enum class StdStream
{
    Output,
    Error,
};

// Whether the stream goes to a terminal (a console on Windows) rather than to a file or a pipe:
// only a terminal can show a line that is rewritten in place.
bool isTerminal(StdStream stream);

// Columns of the terminal behind the stream; 0 when unknown or not a terminal.
int terminalColumns(StdStream stream);

// Connects the standard streams of a program without a console of its own (a Windows GUI
// program) to the console of the terminal that started it, if there is one; elsewhere the
// streams are already connected and nothing happens.
void attachParentConsole();

// Lets the terminal show UTF-8 text as such: Windows consoles are switched to the UTF-8 code
// page, other systems need nothing.
void useUtf8Output();

} // namespace platform
