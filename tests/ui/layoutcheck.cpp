#include "layoutcheck.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QTableWidget>
#include <QTextDocument>

#include <algorithm>

namespace {

QString nameOf(const QWidget* w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

// Width and height of a text as drawn in font, one line per line break; a mnemonic's "&" takes
// no room.
QSize textSize(QString text, const QFont& font, bool rich = false)
{
    if (rich) {
        QTextDocument doc;
        doc.setDefaultFont(font);
        doc.setDocumentMargin(0);
        doc.setHtml(text);
        return QSize(int(doc.idealWidth() + 0.99), int(doc.size().height()));
    }
    text.remove(QRegExp(QStringLiteral("&(?!&)")));
    const QFontMetrics fm(font);
    int width = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        width = std::max(width, fm.horizontalAdvance(line));
    return QSize(width, fm.height() * int(lines.size()));
}

// Records a fault when need does not fit into has.
void fit(QStringList& faults, const QString& what, const QString& text, QSize need, QSize has)
{
    if (need.width() > has.width() || need.height() > has.height())
        faults << QStringLiteral("%1 \"%2\" needs %3x%4, has %5x%6")
                      .arg(what, text)
                      .arg(need.width())
                      .arg(need.height())
                      .arg(has.width())
                      .arg(has.height());
}

void checkLabel(const QLabel* label, QStringList& faults)
{
    if (label->text().isEmpty() || label->wordWrap())
        return;
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    const QSize need = textSize(label->text(), label->font(), rich);
    fit(faults, nameOf(label), label->text(), need, label->contentsRect().size() + QSize(0, 1));
}

// A button smaller than its size hint is squashed: its text is cut or its frame crushed.
void checkButton(const QAbstractButton* button, QStringList& faults)
{
    fit(faults, nameOf(button), button->text(), button->sizeHint(), button->size());
}

void checkGroupTitle(const QGroupBox* box, QStringList& faults)
{
    // The title sits inside the frame with a few pixels of indent on either side.
    const int need = textSize(box->title(), box->font()).width() + 16;
    fit(faults, nameOf(box), box->title(), QSize(need, 0), box->size());
}

// Header sections and cells, with the paddings of the table's style sheet (header 6px 4px,
// cells 4px 3px) and the header's bold type.
void checkTable(const QTableWidget* table, QStringList& faults)
{
    const QHeaderView* header = table->horizontalHeader();
    QFont headerFont = header->font();
    headerFont.setBold(true);
    for (int c = 0; c < table->columnCount(); ++c) {
        const QTableWidgetItem* item = table->horizontalHeaderItem(c);
        if (table->isColumnHidden(c) || !item || item->text().isEmpty())
            continue;
        fit(faults, QStringLiteral("header %1").arg(c), item->text(),
            textSize(item->text(), headerFont) + QSize(8, 12),
            QSize(header->sectionSize(c), header->height()));
    }
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            const QTableWidgetItem* item = table->item(r, c);
            if (table->isColumnHidden(c) || !item || item->text().isEmpty())
                continue;
            int width = 0;
            for (int s = c; s < c + table->columnSpan(r, c); ++s)
                width += table->isColumnHidden(s) ? 0 : table->columnWidth(s);
            // The table wraps a text at its blanks when a line is too long; a word never is.
            QSize need = textSize(item->text(), item->font());
            if (table->wordWrap() && need.width() + 6 > width)
                need =
                    QFontMetrics(item->font())
                        .boundingRect(QRect(0, 0, width - 6, 10000), Qt::TextWordWrap, item->text())
                        .size();
            fit(faults, QStringLiteral("cell %1,%2").arg(r).arg(c), item->text(),
                need + QSize(6, 8), QSize(width, table->rowHeight(r)));
        }
    }
}

void walk(QWidget* widget, QStringList& faults)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        checkLabel(label, faults);
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        checkButton(button, faults);
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        checkGroupTitle(box, faults);
    if (auto* table = qobject_cast<QTableWidget*>(widget))
        checkTable(table, faults);
    // A scrolled page is checked as laid out; the scroll area's own parts are not.
    if (auto* scroll = qobject_cast<QScrollArea*>(widget)) {
        if (scroll->widget())
            walk(scroll->widget(), faults);
        return;
    }
    // These draw their parts into one another on purpose.
    if (qobject_cast<QAbstractScrollArea*>(widget) || qobject_cast<QComboBox*>(widget) ||
        qobject_cast<QAbstractSpinBox*>(widget))
        return;

    QList<QWidget*> shown;
    for (QObject* o : widget->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (child && child->isVisible() && !child->isWindow())
            shown << child;
    }
    for (int i = 0; i < shown.size(); ++i) {
        for (int j = i + 1; j < shown.size(); ++j) {
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                faults << QStringLiteral("%1 overlaps %2").arg(nameOf(shown[i]), nameOf(shown[j]));
        }
        walk(shown[i], faults);
    }
}

} // namespace

QStringList layoutFaults(QWidget* top)
{
    QStringList faults;
    walk(top, faults);
    return faults;
}
