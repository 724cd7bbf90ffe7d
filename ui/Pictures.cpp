#include "ui/Pictures.h"

#include <QPainter>
#include <QPixmap>

using namespace Qt::Literals::StringLiterals;

namespace Pictures {

namespace {

QIcon drawnChart()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(60, 60, 60));
    p.drawLine(1, 14, 14, 14);
    p.drawLine(1, 1, 1, 14);
    p.fillRect(QRect(3, 8, 3, 6), QColor(52, 101, 164));
    p.fillRect(QRect(7, 4, 3, 10), QColor(204, 0, 0));
    p.fillRect(QRect(11, 10, 3, 4), QColor(78, 154, 6));
    return QIcon(pixmap);
}

QIcon drawnTable()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.fillRect(QRect(1, 2, 14, 12), Qt::white);
    p.fillRect(QRect(1, 2, 14, 3), QColor(52, 101, 164));
    p.setPen(QColor(90, 90, 90));
    p.drawRect(QRect(1, 2, 13, 11));
    p.drawLine(1, 8, 14, 8);
    p.drawLine(1, 11, 14, 11);
    p.drawLine(6, 5, 6, 13);
    return QIcon(pixmap);
}

QIcon drawnDisk()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(80, 80, 80));
    p.setBrush(QColor(200, 200, 200));
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 8), 2, 2);
    p.setBrush(QColor(78, 154, 6));
    p.drawEllipse(QRectF(10.5, 9, 2, 2));
    return QIcon(pixmap);
}

QIcon themed(const QString& name, const QIcon& drawn)
{
    // Without a desktop session Qt knows no theme; the one Debian installs is the best guess.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor"_s)
        QIcon::setThemeName(u"Adwaita"_s);
    return QIcon::fromTheme(name, drawn);
}

} // namespace

QIcon icon(Picture picture)
{
    switch (picture) {
    case Chart:
        return drawnChart();
    case Table:
        return drawnTable();
    case Systems:
        return themed(u"network-server"_s, drawnDisk());
    case Company:
        return themed(u"computer"_s, drawnDisk());
    case CheckSpace:
        return themed(u"drive-harddisk"_s, drawnDisk());
    case General:
        return themed(u"preferences-system"_s, drawnDisk());
    case EMail:
        return themed(u"mail-send"_s, drawnTable());
    case Recipients:
        return themed(u"x-office-address-book"_s, drawnTable());
    case Credentials:
        return themed(u"dialog-password"_s, drawnDisk());
    }
    return {};
}

} // namespace Pictures
