#pragma once

#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <functional>

class VerdictRulesDialog;

// Answers the modal dialogs a test provokes as they come: message boxes with the planned buttons
// (else OK), file pickers with the planned paths, verdict rules dialogs with the planned edits
// (true: OK, false: Cancel; nothing planned cancels). Remembers what every box said.
class DialogAnswerer
{
public:
    struct Box
    {
        QString title, text;
        QMessageBox::Icon icon;
    };

    DialogAnswerer();

    QList<QMessageBox::StandardButton> buttons;
    QStringList files;
    QList<std::function<bool(VerdictRulesDialog*)>> ruleEdits;
    std::function<void(int)> beforeAnswer; // runs before box n is answered
    QList<Box> boxes;

private:
    void poll();

    QTimer timer;
};
