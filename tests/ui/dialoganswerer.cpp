#include "dialoganswerer.h"

#include "analysis/verdictrulesdialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>

DialogAnswerer::DialogAnswerer()
{
    connect(&timer, &QTimer::timeout, this, &DialogAnswerer::poll);
    timer.start(20);
}

void DialogAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (!box->isVisible())
            return;
        boxes.append({box->windowTitle(), box->text(), box->icon()});
        if (beforeAnswer)
            beforeAnswer(boxes.size() - 1);
        const QMessageBox::StandardButton answer =
            buttons.isEmpty() ? QMessageBox::Ok : buttons.takeFirst();
        if (QAbstractButton* button = box->button(answer))
            button->click();
        else
            box->reject();
    } else if (auto* picker = qobject_cast<QFileDialog*>(modal)) {
        if (!picker->isVisible())
            return;
        if (files.isEmpty()) {
            picker->reject();
            return;
        }
        // An absolute path typed into the name field does not depend on the folder the picker
        // is still loading. A picker that does not take it yet is tried again later.
        if (auto* name = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(files.first());
        else
            picker->selectFile(files.first());
        QMetaObject::invokeMethod(picker, "accept", Qt::DirectConnection);
        if (!picker->isVisible())
            files.removeFirst();
    } else if (auto* rules = qobject_cast<VerdictRulesDialog*>(modal)) {
        if (!rules->isVisible())
            return;
        const bool ok = !ruleEdits.isEmpty() && ruleEdits.takeFirst()(rules);
        if (ok)
            rules->accept();
        else
            rules->reject();
    }
}
