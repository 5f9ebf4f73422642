#include "ui/verdictcell.h"

#include <QBrush>
#include <QCoreApplication>
#include <QTableWidgetItem>
#include <QVariant>

namespace {

struct VerdictCellTexts
{
    Q_DECLARE_TR_FUNCTIONS(VerdictCellTexts)
};

} // namespace

QColor VerdictCellStyle::verdictColor(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return QColor(25, 118, 210);
    case Verdict::Warn:
        return QColor(230, 126, 34);
    case Verdict::Fail:
        break;
    }
    return QColor(211, 47, 47);
}

QFont VerdictCellStyle::enlargedFont(const QFont& originalFont)
{
    QFont font = originalFont;
    font.setWeight(QFont::Bold);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() + PointSizeIncrease);
    else if (font.pixelSize() > 0)
        font.setPixelSize(font.pixelSize() + PointSizeIncrease * 4 / 3); // 6 pt at 96 dpi
    return font;
}

VerdictCellStyle VerdictCellStyle::forVerdict(Verdict verdict, const QFont& originalFont,
                                              const QString& toolTip)
{
    VerdictCellStyle style;
    style.text = verdictText(verdict);
    style.foreground = verdictColor(verdict);
    style.background = style.foreground;
    style.background.setAlpha(BackgroundAlpha);
    style.font = enlargedFont(originalFont);
    style.alignment = Qt::AlignCenter;
    style.toolTip = toolTip;
    return style;
}

void VerdictCellStyle::apply(QTableWidgetItem* item, Verdict verdict, const QString& toolTip)
{
    if (!item)
        return;
    QVariant original = item->data(OriginalFontRole);
    if (!original.canConvert<QFont>()) {
        original = QVariant::fromValue(item->font());
        item->setData(OriginalFontRole, original);
    }
    const VerdictCellStyle style = forVerdict(verdict, original.value<QFont>(), toolTip);
    item->setText(style.text);
    item->setForeground(QBrush(style.foreground));
    item->setBackground(QBrush(style.background));
    item->setFont(style.font);
    item->setTextAlignment(static_cast<int>(style.alignment));
    item->setToolTip(style.toolTip);
}
