#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// The popup alert window: stamped alert lines in a memo the user can scroll, copy from or
// annotate, and one button to dismiss it. Every delivery that finds no window open gets a
// new, empty one.
class TMsBox : public QDialog {
    Q_OBJECT
public:
    explicit TMsBox(QWidget* parent = nullptr);

    void appendLine(const QString& line);

    QPushButton* BtnOK = nullptr;
    QPlainTextEdit* Memo = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void BtnOKClick();
};
