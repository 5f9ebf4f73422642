#pragma once

#include "analysis/verdict.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <Qt>

class QTableWidgetItem;

// How a verdict cell looks. The enlarged font is always derived from the font the cell was built
// with: deriving it from the cell's current font would grow it again at every recomputation
// (each round of a multi-round test, each change of the rules).
struct VerdictCellStyle
{
    QString text;
    QColor foreground;
    QColor background;
    QFont font;
    Qt::Alignment alignment = Qt::AlignCenter;
    QString toolTip;

    // Item data role under which a verdict cell keeps the font it was built with.
    static constexpr int OriginalFontRole = Qt::UserRole + 1;
    // Opacity (of 255) of the background tint.
    static constexpr int BackgroundAlpha = 35;
    // How much larger than the cell's original font the verdict is shown, in points.
    static constexpr int PointSizeIncrease = 6;

    static VerdictCellStyle forVerdict(Verdict verdict, const QFont& originalFont,
                                       const QString& toolTip);

    // Status colour: Pass blue, Warn orange, Fail red.
    static QColor verdictColor(Verdict verdict);
    // The original font, bold and 6 points larger.
    static QFont enlargedFont(const QFont& originalFont);

    // Writes the style into a results-table item. The first call remembers the item's font under
    // OriginalFontRole (unless the table stored it there when it built the cell); every call
    // enlarges that remembered font, so repeated calls give the same result.
    static void apply(QTableWidgetItem* item, Verdict verdict, const QString& toolTip);
};
