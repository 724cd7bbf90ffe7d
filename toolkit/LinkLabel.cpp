#include "toolkit/LinkLabel.h"

#include <QFontDatabase>
#include <QMouseEvent>

LinkLabel::LinkLabel(const QString& objectName, const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setObjectName(objectName);
    // The platform's own interface font rather than the window's, as links always were.
    QFont linkFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    linkFont.setUnderline(true);
    setFont(linkFont);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(p);
    setCursor(Qt::PointingHandCursor);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release on the label, as with a button.
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        Q_EMIT clicked();
}
