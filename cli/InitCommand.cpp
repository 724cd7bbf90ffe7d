#include "cli/InitCommand.h"

#include "data/DM2.h"
#include "data/DatabaseCreator.h"
#include "data/Errors.h"
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
        std::fprintf(out, "Created %s", qPrintable(fileName));
        if (demo)
            std::fprintf(out, " with %d system(s)", static_cast<int>(systems.size()));
        std::fprintf(out, "\n");
        return 0;
    } catch (const VardometerError& e) {
        std::fprintf(err, "%s\n", e.what());
        return 2;
    }
}
