#include "data/DatabaseLocation.h"

#include "data/DM2.h"
#include "data/Errors.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace DatabaseLocation {

namespace {

const QString UserOption = u"--user"_s;
const QString DatabaseOption = u"--database"_s;

// Narrows what a path of ours allows to mode, leaving it alone when it is not ours (a folder
// an administrator prepared) or already as narrow.
void keepToOwner(const QString& path, mode_t mode)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0 || st.st_uid != ::geteuid())
        return;
    if ((st.st_mode & 07777) & ~mode)
        ::chmod(native.constData(), st.st_mode & mode);
}

} // namespace

std::optional<Choice> takeFrom(QStringList& arguments, const QStringList& optionsWithValue,
                               QString* error)
{
    Choice choice;
    int given = 0;
    QString fault;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (optionsWithValue.contains(a)) {
            rest << a;
            if (i + 1 < arguments.size())
                rest << arguments[++i];
        } else if (a == UserOption) {
            choice = Choice{Kind::PerUser, perUserFile()};
            ++given;
        } else if (a == DatabaseOption || a.startsWith(DatabaseOption + u'=')) {
            const QString file = a == DatabaseOption
                                     ? (i + 1 < arguments.size() ? arguments[++i] : QString())
                                     : a.mid(DatabaseOption.size() + 1);
            if (file.isEmpty())
                fault = u"--database needs a file"_s;
            choice = Choice{Kind::Named, file};
            ++given;
        } else {
            rest << a;
        }
    }
    // The rest goes back even when the line is wrong, so the caller can still tell which verb
    // it was meant for.
    arguments = rest;
    if (given > 1)
        fault = u"give one database: --user or --database FILE, once"_s;
    if (!fault.isEmpty()) {
        *error = fault;
        return std::nullopt;
    }
    return choice;
}

QString perUserFile()
{
    QString dataHome = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + u"/.local/share"_s;
    return QDir::cleanPath(dataHome + u"/vardometer/"_s + TDMVardometer::defaultFileName());
}

void preparePerUserFolder()
{
    const QString file = perUserFile();
    const QString folder = QFileInfo(file).path();
    const QString parent = QFileInfo(folder).path();
    if (!QDir().mkpath(parent))
        throw VardometerError(u"Cannot make the folder "_s + parent);
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        throw VardometerError(u"Cannot make the folder %1: %2"_s.arg(
            folder, QString::fromLocal8Bit(std::strerror(errno))));
    if (!QFileInfo(folder).isDir())
        throw VardometerError(
            u"Cannot make the folder %1: a file of that name is in the way"_s.arg(folder));
    keepToOwner(folder, 0700);
    keepToOwner(file, 0600);
}

QString fileOf(const Choice& choice)
{
    return choice.kind == Kind::WorkingDirectory ? TDMVardometer::defaultFileName() : choice.file;
}

} // namespace DatabaseLocation
