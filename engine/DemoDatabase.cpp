#include "engine/DemoDatabase.h"

#include "data/DM2.h"
#include "data/DatabaseCreator.h"
#include "engine/Directories.h"
#include "engine/EngineHost.h"
#include "platform/LocalVolumes.h"

#include <QDir>

#include <pwd.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString currentUserName()
{
    if (const passwd* pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_name).left(30);
    return QString();
}

QList<DatabaseCreator::NewSystem> thisMachinesDisks()
{
    QList<DatabaseCreator::NewSystem> systems;
    QStringList taken;
    const QString owner = currentUserName();
    for (const LocalVolume& v : selectWatchableVolumes(mountedLocalVolumes())) {
        const QString name = systemNameForMountPoint(v.mountPoint, taken);
        taken << name;
        systems << DatabaseCreator::NewSystem{name, QDir::toNativeSeparators(v.mountPoint), owner};
    }
    return systems;
}

QString measureOnce(const QString& fileName, DiskSpaceProbe& probe, Clock& clock,
                    SmtpTransport& mail)
{
    try {
        TDMVardometer dm(fileName);
        dm.SetAllDatasetsActive(true);
        SilentEngineHost host;
        dvDirectories directories(dm, host, probe, clock, mail);
        directories.RefreshSystemTree();
        directories.LoadSnapshot();
        return {};
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
}

} // namespace

namespace DemoDatabase {

Result create(const QString& fileName, DiskSpaceProbe& probe, Clock& clock, SmtpTransport& mail)
{
    const QList<DatabaseCreator::NewSystem> systems = thisMachinesDisks();
    DatabaseCreator::create(fileName, systems);
    return Result{static_cast<int>(systems.size()), measureOnce(fileName, probe, clock, mail)};
}

} // namespace DemoDatabase
