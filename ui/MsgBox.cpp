#include "ui/MsgBox.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

TMsBox::TMsBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"MsBox"_s);
    setWindowTitle(u"Vardometer : Free Space Alert"_s);
    // The classic small sans face at 8 points, inherited by both controls.
    setFont(QFont(u"Liberation Sans"_s, 8));
    setFixedSize(502, 276);

    // Created in tab order: the button first, so it is where the focus starts.
    BtnOK = new QPushButton(u"OK"_s, this);
    BtnOK->setObjectName(u"BtnOK"_s);
    BtnOK->setGeometry(232, 240, 49, 25);
    BtnOK->setDefault(true);
    connect(BtnOK, &QPushButton::clicked, this, &TMsBox::BtnOKClick);

    // Editable on purpose: the user may jot a note beside an alert before closing. Enter in
    // here starts a new line rather than pressing OK.
    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(u"Memo"_s);
    Memo->setGeometry(16, 16, 473, 209);
    Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Memo->setTabChangesFocus(true);

    setTabOrder(BtnOK, Memo);
    BtnOK->setFocus();
    FormCreate();
}

void TMsBox::FormCreate()
{
    // Always the same corner, whatever window is in front, so the user knows where to look.
    move(100, 100);
}

void TMsBox::appendLine(const QString& line)
{
    Memo->appendPlainText(line);
}

void TMsBox::BtnOKClick()
{
    done(QDialog::Accepted);
}

void TMsBox::keyPressEvent(QKeyEvent* event)
{
    // There is no Cancel button, so Escape does not dismiss the alerts; the user closes the
    // window with OK, Enter or the close box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
