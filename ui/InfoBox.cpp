#include "ui/InfoBox.h"

#include "ui/Pictures.h"

#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

TInfoBox::TInfoBox(const QString& objectName, const QString& caption, QSize clientSize,
                   QWidget* parent)
    : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    if (parent)
        setFont(parent->font());
    setFixedSize(clientSize);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_panel = new QFrame(this);
    m_panel->setObjectName(u"Panel1"_s);
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panel->setLineWidth(2);

    auto* icon = new QLabel(m_panel);
    icon->setObjectName(u"ProgramIcon"_s);
    icon->setFixedSize(64, 64);
    icon->setPixmap(Pictures::icon(Pictures::CheckSpace).pixmap(64, 64));
    icon->setScaledContents(true);

    m_textArea = new QWidget(m_panel);
    m_textArea->setObjectName(u"PanelTexts"_s);
    auto* texts = new QVBoxLayout(m_textArea);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(8);

    auto* panelLayout = new QHBoxLayout(m_panel);
    panelLayout->setContentsMargins(12, 12, 12, 12);
    panelLayout->setSpacing(14);
    panelLayout->addWidget(icon, 0, Qt::AlignTop);
    panelLayout->addWidget(m_textArea, 1);

    OKBtn = new QPushButton(u"OK"_s, this);
    OKBtn->setObjectName(u"OKButton"_s);
    OKBtn->setFixedSize(75, 25);
    OKBtn->setDefault(true);
    OKBtn->setAutoDefault(true);
    // The button only closes the dialog, with the result OK.
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    layout->addWidget(m_panel, 1);
    layout->addWidget(OKBtn, 0, Qt::AlignHCenter);
}

QLabel* TInfoBox::addText(const QString& objectName, const QString& text, int pointSize, bool bold)
{
    auto* label = new QLabel(text, m_textArea);
    label->setObjectName(objectName);
    QFont f = label->font();
    if (pointSize > 0)
        f.setPointSize(pointSize);
    f.setBold(bold);
    label->setFont(f);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
    m_textArea->layout()->addWidget(label);
    return label;
}

void TInfoBox::openLink(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

void TInfoBox::keyPressEvent(QKeyEvent* event)
{
    // No cancel button, so Escape has nothing to do; Enter still presses OK.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TInfoBox::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        if (QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    OKBtn->setFocus();
    QDialog::showEvent(event);
}
