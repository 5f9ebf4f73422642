#include "dialoganswerer.h"

#include "ui/verdictrulesdialog.h"

#include <QtWidgets>

DialogAnswerer::DialogAnswerer()
{
    QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
    timer.start(20);
}

void DialogAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        boxes.append({box->windowTitle(), box->text(), box->icon()});
        if (beforeAnswer)
            beforeAnswer(boxes.size() - 1);
        QAbstractButton* button =
            box->button(buttons.isEmpty() ? QMessageBox::Ok : buttons.takeFirst());
        button ? button->click() : box->reject();
    } else if (auto* picker = qobject_cast<QFileDialog*>(modal)) {
        if (files.isEmpty())
            return picker->reject();
        // An absolute path typed into the name field does not depend on the folder the picker
        // is still loading; a picker that does not take it yet is tried again later.
        if (auto* name = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(files.first());
        else
            picker->selectFile(files.first());
        QMetaObject::invokeMethod(picker, "accept", Qt::DirectConnection);
        if (!picker->isVisible())
            files.removeFirst();
    } else if (auto* rules = qobject_cast<VerdictRulesDialog*>(modal)) {
        const bool ok = !ruleEdits.isEmpty() && ruleEdits.takeFirst()(rules);
        ok ? rules->accept() : rules->reject();
    }
}
