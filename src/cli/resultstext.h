#pragma once

#include <QString>

struct RunFigures;
enum class Verdict;

// A run's results as plain text for a terminal or a log: the window's figures (card total first,
// then one row per stream; speeds in MB/s, ratios in percent), why each row got its verdict, and
// the card's verdict last. In the current language.
class ResultsText
{
public:
    static QString table(const RunFigures& figures);
};
