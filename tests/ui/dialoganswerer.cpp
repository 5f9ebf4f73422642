#include "dialoganswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>

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
        // A picker whose folder is still loading may not take the file yet: try again later.
        picker->selectFile(files.first());
        QMetaObject::invokeMethod(picker, "accept", Qt::DirectConnection);
        if (!picker->isVisible())
            files.removeFirst();
    }
}
