#pragma once

#include <QLabel>

// A text that reads as a link: blue, underlined, a hand cursor, and a click signal. What a
// click opens is the owner's business.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& objectName, const QString& text, QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};
