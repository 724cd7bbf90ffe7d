#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QUrl;

// What the three information dialogs share: a fixed client area, a bevelled panel at the
// top with the program's icon and the texts, and under it one OK button, the default,
// which has the focus when the dialog opens. There is no cancel: Escape does nothing and
// the close box closes. Centred the first time; later showings keep the user's place.
class TInfoBox : public QDialog {
    Q_OBJECT
public:
    QPushButton* OKBtn = nullptr;

protected:
    TInfoBox(const QString& objectName, const QString& caption, QSize clientSize, QWidget* parent);

    // The panel's texts go here, right of the icon.
    QWidget* textArea() const { return m_textArea; }
    QLabel* addText(const QString& objectName, const QString& text, int pointSize = 0,
                    bool bold = false);

    // Hands a link to the desktop (browser, mail program); whether anything took it is not
    // looked at, and the dialog stays open.
    static void openLink(const QUrl& url);

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QFrame* m_panel = nullptr;
    QWidget* m_textArea = nullptr;
    bool m_placed = false;
};
