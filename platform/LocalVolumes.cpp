#include "platform/LocalVolumes.h"

#include <QSet>
#include <QStorageInfo>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

QList<LocalVolume> mountedLocalVolumes()
{
    QList<LocalVolume> volumes;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
        if (!info.isValid() || !info.isReady())
            continue;
        volumes << LocalVolume{info.rootPath(), QString::fromLatin1(info.fileSystemType()),
                               info.device(), info.bytesTotal()};
    }
    return volumes;
}

QList<LocalVolume> selectWatchableVolumes(const QList<LocalVolume>& volumes)
{
    static const QSet<QString> pseudo = {
        u"proc"_s,        u"sysfs"_s,      u"devtmpfs"_s,   u"devpts"_s,
        u"cgroup"_s,      u"cgroup2"_s,    u"securityfs"_s, u"pstore"_s,
        u"debugfs"_s,     u"tracefs"_s,    u"configfs"_s,   u"fusectl"_s,
        u"mqueue"_s,      u"hugetlbfs"_s,  u"bpf"_s,        u"autofs"_s,
        u"binfmt_misc"_s, u"rpc_pipefs"_s, u"nsfs"_s,       u"efivarfs"_s,
        u"squashfs"_s,    u"ramfs"_s,      u"selinuxfs"_s,  u"fuse.gvfsd-fuse"_s,
        u"fuse.portal"_s, u"overlayfs"_s,  u"iso9660"_s,
    };
    auto underSystemArea = [](const QString& path) {
        for (const QString& area : {u"/run"_s, u"/dev"_s, u"/sys"_s, u"/proc"_s})
            if (path == area || path.startsWith(area + u'/'))
                return true;
        return false;
    };

    QList<LocalVolume> sorted = volumes;
    std::stable_sort(sorted.begin(), sorted.end(), [](const LocalVolume& a, const LocalVolume& b) {
        return a.mountPoint.size() < b.mountPoint.size();
    });
    QList<LocalVolume> kept;
    QSet<QByteArray> devices;
    for (const LocalVolume& v : std::as_const(sorted)) {
        if (pseudo.contains(v.fileSystemType) || v.bytesTotal <= 0)
            continue;
        if (underSystemArea(v.mountPoint))
            continue;
        if (v.fileSystemType == u"tmpfs" && v.mountPoint != u"/tmp")
            continue;
        if (!v.device.isEmpty() && v.fileSystemType != u"tmpfs" && devices.contains(v.device))
            continue;
        devices.insert(v.device);
        kept << v;
    }
    std::stable_sort(kept.begin(), kept.end(), [](const LocalVolume& a, const LocalVolume& b) {
        return a.mountPoint < b.mountPoint;
    });
    return kept;
}

QString systemNameForMountPoint(const QString& mountPoint, const QStringList& taken, int maxLength)
{
    QString base = mountPoint.section(u'/', -1, -1, QString::SectionSkipEmpty);
    if (base.isEmpty())
        base = u"root"_s;
    base = base.left(maxLength);
    QString name = base;
    for (int n = 2; taken.contains(name, Qt::CaseInsensitive); ++n) {
        const QString suffix = QString::number(n);
        name = base.left(maxLength - static_cast<int>(suffix.size())) + suffix;
    }
    return name;
}
