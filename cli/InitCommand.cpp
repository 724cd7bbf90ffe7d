#include "cli/InitCommand.h"

#include "cli/OutputText.h"

#include "data/DM2.h"
#include "data/DatabaseCreator.h"
#include "data/Errors.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/EngineHost.h"
#include "platform/DispatchingDiskSpaceProbe.h"
#include "platform/LocalVolumes.h"
#include "platform/SmtpTransport.h"

#include <QDir>

#include <memory>

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

QList<DatabaseCreator::NewSystem> demoSystems()
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

// A demo should open on real figures: measure every disk once and keep it in the history.
// The database is sound without it, so a failure here is only a warning.
void takeFirstSnapshot(const QString& fileName, FILE* err)
{
    try {
        TDMVardometer dm(fileName);
        dm.SetAllDatasetsActive(true);
        SilentEngineHost host;
        SystemClock clock;
        const std::unique_ptr<DiskSpaceProbe> probe = createDiskSpaceProbe();
        const std::unique_ptr<SmtpTransport> mail = createSmtpTransport();
        dvDirectories directories(dm, host, *probe, clock, *mail);
        directories.RefreshSystemTree();
        directories.LoadSnapshot();
    } catch (const std::exception& e) {
        printLine(err, u"The first measurement of the demo systems failed: "_s +
                           QString::fromLocal8Bit(e.what()));
    }
}

} // namespace

int runInitCommand(const QStringList& arguments, FILE* out, FILE* err)
{
    bool demo = false;
    QString fileName;
    for (const QString& a : arguments) {
        if (a == u"--demo") {
            demo = true;
        } else if (a.startsWith(u'-') || !fileName.isEmpty()) {
            std::fprintf(err, "usage: vardometer-cli init [--demo] [FILE]\n");
            return 2;
        } else {
            fileName = a;
        }
    }
    if (fileName.isEmpty())
        fileName = TDMVardometer::defaultFileName();

    try {
        const auto systems = demo ? demoSystems() : QList<DatabaseCreator::NewSystem>{};
        DatabaseCreator::create(fileName, systems);
        if (demo)
            takeFirstSnapshot(fileName, err);
        QString done = u"Created "_s + fileName;
        if (demo)
            done += u" with %1 system(s)"_s.arg(systems.size());
        printLine(out, done);
        return 0;
    } catch (const VardometerError& e) {
        printLine(err, e.message());
        return 2;
    }
}
