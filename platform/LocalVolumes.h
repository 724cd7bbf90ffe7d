#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The filesystems mounted on this machine, for offering them as systems to watch.
struct LocalVolume {
    QString mountPoint;
    QString fileSystemType;
    QByteArray device;
    qint64 bytesTotal = 0;
};

QList<LocalVolume> mountedLocalVolumes();

// Keeps the volumes a person would call disks: no kernel pseudo filesystems, no tmpfs
// scratch areas under /run, /dev or /sys, nothing of zero size, and one mount point per
// device (the shortest), so bind and overlay duplicates are listed once.
QList<LocalVolume> selectWatchableVolumes(const QList<LocalVolume>& volumes);

// A system name of at most maxLength characters made from a mount point ("/" -> "root",
// "/srv/data" -> "data"), made unique against the names already taken.
QString systemNameForMountPoint(const QString& mountPoint, const QStringList& taken,
                                int maxLength = 15);
