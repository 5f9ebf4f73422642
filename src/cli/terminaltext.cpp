#include "cli/terminaltext.h"

#include <QVector>

namespace {

// East Asian wide and full-width characters (Unicode's W and F classes, the blocks that
// matter here: Hangul, CJK, kana, full-width forms).
bool isWide(uint c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
           (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

int TerminalText::width(const QString& text)
{
    int columns = 0;
    for (const uint c : text.toUcs4())
        columns += isWide(c) ? 2 : 1;
    return columns;
}

QString TerminalText::fitted(const QString& text, int columns)
{
    if (columns < 1)
        return text;
    const QVector<uint> chars = text.toUcs4();
    int used = 0;
    int count = 0;
    for (const uint c : chars) {
        const int w = isWide(c) ? 2 : 1;
        if (used + w > columns)
            break;
        used += w;
        ++count;
    }
    return QString::fromUcs4(chars.constData(), count);
}

QString TerminalText::padded(const QString& text, int columns)
{
    const int missing = columns - width(text);
    return missing > 0 ? text + QString(missing, QLatin1Char(' ')) : text;
}

QString TerminalText::redraw(const QString& line, int previousWidth)
{
    return QLatin1Char('\r') + padded(line, previousWidth);
}
