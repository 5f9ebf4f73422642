#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

class VerdictRulesDialog;

// Answers the modal dialogs a test provokes, in the order they come: each message box with
// the next planned button (OK when nothing is planned), each file picker with the next planned
// path (cancelled when none is left), each verdict rules dialog with the next planned edit
// (true: OK, false: Cancel; cancelled when none is left). Remembers what every box said.
class DialogAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };

    DialogAnswerer();

    QList<QMessageBox::StandardButton> buttons;
    QStringList files;
    QList<std::function<bool(VerdictRulesDialog*)>> ruleEdits;
    // Runs right before a message box is answered, with the box's index.
    std::function<void(int)> beforeAnswer;

    QList<Box> boxes;

private:
    void poll();

    QTimer timer;
};
