#pragma once

#include <QString>

// Text laid out for a terminal, where CJK characters take two columns.
class TerminalText
{
public:
    // Columns the text takes on a terminal.
    static int width(const QString& text);
    // text cut to at most `columns` columns (unchanged when columns < 1).
    static QString fitted(const QString& text, int columns);
    // text followed by blanks up to `columns` columns.
    static QString padded(const QString& text, int columns);
    // What rewrites the current line with `line` when the previous one took previousWidth
    // columns: back to the line's start, the line, and blanks over what is left of the old one.
    static QString redraw(const QString& line, int previousWidth);
};
