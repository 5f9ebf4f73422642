#include "ui/logpane.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Enough for a long rolling fill; older lines go first.
constexpr int kMaxLines = 20000;

} // namespace

LogPane::LogPane(QWidget* parent)
    : QWidget(parent)
{
    toggle = new QToolButton;
    toggle->setObjectName(QStringLiteral("logToggle"));
    toggle->setCheckable(true);
    toggle->setAutoRaise(true);
    toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle->setArrowType(Qt::RightArrow);

    view = new QPlainTextEdit;
    view->setObjectName(QStringLiteral("logView"));
    view->setReadOnly(true);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    view->setMaximumBlockCount(kMaxLines);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFixedHeight(160);
    view->hide();

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(2);
    box->addWidget(toggle);
    box->addWidget(view);

    connect(toggle, &QToolButton::toggled, this, &LogPane::setExpanded);
    retranslate();
}

void LogPane::appendLine(const QString& line)
{
    QScrollBar* bar = view->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    view->appendPlainText(line);
    // Follow new lines unless the user has scrolled back to read.
    if (atEnd)
        bar->setValue(bar->maximum());
}

void LogPane::clear()
{
    view->clear();
}

QString LogPane::text() const
{
    return view->toPlainText();
}

bool LogPane::isExpanded() const
{
    return toggle->isChecked();
}

void LogPane::setExpanded(bool expanded)
{
    toggle->setChecked(expanded);
    toggle->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
    view->setVisible(expanded);
}

void LogPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void LogPane::retranslate()
{
    toggle->setText(tr("GroupLog"));
}
