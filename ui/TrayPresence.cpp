#include "ui/TrayPresence.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <cmath>
#include <numbers>

using namespace Qt::Literals::StringLiterals;

namespace {

// A disc in the state's colour with a white gauge on it: the needle low on the scale when
// all is well, far over when a system reached its threshold; a system nobody could reach
// gives no reading, so its gauge is a bar instead.
void drawGauge(QPainter& p, double size, SystemState state)
{
    const QColor fill = TrayPresence::colour(state);
    const double rim = std::max(1.0, size / 16);
    const QRectF disc(rim / 2, rim / 2, size - rim, size - rim);
    p.setPen(QPen(fill.darker(170), rim));
    p.setBrush(fill);
    p.drawEllipse(disc);

    const QPointF centre = disc.center() + QPointF(0, size * 0.12);
    const double radius = size * 0.34;
    QPen white(Qt::white, std::max(1.5, size / 10), Qt::SolidLine, Qt::RoundCap);
    p.setPen(white);
    if (state == SystemState::NotFound) {
        p.drawLine(QPointF(size * 0.28, size * 0.5), QPointF(size * 0.72, size * 0.5));
        return;
    }
    // The scale: an arc over the upper half.
    QPen scale(Qt::white, std::max(1.0, size / 16), Qt::SolidLine, Qt::FlatCap);
    p.setPen(scale);
    p.setBrush(Qt::NoBrush);
    const QRectF arc(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(arc, 20 * 16, 140 * 16);
    const double degrees = state == SystemState::Ok ? 40 : 150;
    const double radians = degrees * std::numbers::pi / 180;
    const QPointF tip(centre.x() - std::cos(radians) * radius * 0.9,
                      centre.y() - std::sin(radians) * radius * 0.9);
    p.setPen(white);
    p.drawLine(centre, tip);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, size / 12, size / 12);
}

} // namespace

TrayPresence::TrayPresence(QObject* parent)
    : QObject(parent)
    , m_available([] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{
    setObjectName(u"TrayPresence"_s);
    TrayIcon = new QSystemTrayIcon(this);
    TrayIcon->setObjectName(u"TrayIcon"_s);
    // A tray's menu has no parent widget, and the icon does not own it.
    m_menu = std::make_unique<QMenu>();
    TrayMenu = m_menu.get();
    TrayMenu->setObjectName(u"TrayMenu"_s);
    TrayOpen = TrayMenu->addAction(u"&Open Vardometer"_s);
    TrayOpen->setObjectName(u"TrayOpen"_s);
    TrayMenu->addSeparator();
    TrayQuit = TrayMenu->addAction(u"&Quit"_s);
    TrayQuit->setObjectName(u"TrayQuit"_s);
    TrayIcon->setContextMenu(TrayMenu);
    connect(TrayOpen, &QAction::triggered, this, &TrayPresence::openRequested);
    connect(TrayQuit, &QAction::triggered, this, &TrayPresence::quitRequested);
    connect(TrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A right click opens the menu; any other click opens the window.
                if (reason != QSystemTrayIcon::Context)
                    Q_EMIT openRequested();
            });
    connect(TrayIcon, &QSystemTrayIcon::messageClicked, this, &TrayPresence::openRequested);
    setCounts({});
}

TrayPresence::~TrayPresence()
{
    TrayIcon->hide();
}

void TrayPresence::setWanted(bool wanted)
{
    TrayIcon->setVisible(wanted && trayAvailable());
}

bool TrayPresence::isShown() const
{
    return TrayIcon->isVisible();
}

void TrayPresence::setCounts(const SystemStates::Counts& counts)
{
    const SystemState state = counts.worst();
    if (state != m_state || TrayIcon->icon().isNull())
        TrayIcon->setIcon(picture(state));
    m_state = state;
    TrayIcon->setToolTip(u"Vardometer\n"_s + SystemStates::describe(counts));
}

QString TrayPresence::toolTip() const
{
    return TrayIcon->toolTip();
}

void TrayPresence::tellStillRunning()
{
    if (m_stillRunningTold > 0 || !TrayIcon->isVisible())
        return;
    ++m_stillRunningTold;
    TrayIcon->showMessage(u"Vardometer"_s,
                          u"Vardometer keeps watching disk space in the background. Click its "
                          u"icon to open the window again, or choose Quit from the icon's menu "
                          u"to end it."_s,
                          picture(m_state), 10'000);
}

QColor TrayPresence::colour(SystemState state)
{
    switch (state) {
    case SystemState::Ok:
        return QColor(46, 158, 68);
    case SystemState::AtThreshold:
        return QColor(240, 160, 32);
    case SystemState::NotFound:
        return QColor(208, 48, 48);
    }
    return Qt::gray;
}

QIcon TrayPresence::picture(SystemState state)
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        drawGauge(p, size, state);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
