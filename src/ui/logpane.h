#pragma once

#include <QWidget>

class QPlainTextEdit;
class QToolButton;

// The run log under the results: a header that folds it open and shut, and read-only,
// selectable lines.
class LogPane : public QWidget
{
    Q_OBJECT

public:
    explicit LogPane(QWidget* parent = nullptr);

    void appendLine(const QString& line);
    void clear();
    QString text() const;
    bool isExpanded() const;
    void setExpanded(bool expanded);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QToolButton* toggle = nullptr;
    QPlainTextEdit* view = nullptr;
};
