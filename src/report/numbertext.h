#pragma once

#include <QByteArray>
#include <QString>

// Numbers as reports write them: a dot as the decimal separator whatever the locale, and fast
// enough for the hundreds of thousands of samples a long run leaves.
class NumberText
{
public:
    // The shortest text that reads back as exactly the same double; "null" for a value that is
    // not a finite number (JSON has no such numbers).
    static void appendShortest(QByteArray& out, double value);
    // Fixed-point with the given number of decimals, as QString::number() gives it (halves
    // away from zero); empty for a value that is not finite.
    static void appendFixed(QByteArray& out, double value, int decimals);
    static QString fixed(double value, int decimals);
};
