#include "export/WorkbookFile.h"

#include "export/ExportError.h"
#include "platform/NewFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

namespace WorkbookFile {
namespace {

// Any entry of that name, a symbolic link included, whether or not it leads anywhere.
bool nameTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A workbook is written in a hidden folder of its own beside its target (made for this
// program's user alone, so nobody can slip a link in under the file's name while it is
// written) and moved to its name only when complete; the folder goes with whatever is left.
class PendingFile {
public:
    explicit PendingFile(const QString& folder)
        : m_dir(QDir(folder).filePath(u".vardometer-export-XXXXXX"_s))
    {
        if (!m_dir.isValid())
            throw ExportError(u"Could not create a file in %1: %2"_s.arg(
                QDir::toNativeSeparators(folder), m_dir.errorString()));
        m_path = m_dir.filePath(u"workbook.xlsx"_s);
    }
    const QString& path() const { return m_path; }

    // Gives the file the name target; false when any entry has that name (nothing is
    // replaced, and a link there is not followed).
    bool placeAs(const QString& target)
    {
        const NewFile::Placement placed = NewFile::placeWithoutReplacing(m_path, target);
        switch (placed.outcome) {
        case NewFile::Outcome::Placed:
            return true;
        case NewFile::Outcome::NameTaken:
            return false;
        case NewFile::Outcome::Failed:
            break;
        }
        throw ExportError(
            u"Could not save %1: %2"_s.arg(QDir::toNativeSeparators(target), placed.reason));
    }

    // The writer's messages name the file it wrote, which is ours; the user knows only the
    // name they asked for.
    void write(const Writer& writer, const QString& shownName) const
    {
        try {
            writer(m_path);
        } catch (const ExportError& e) {
            QString message = e.message();
            message.replace(QDir::toNativeSeparators(m_path), shownName);
            message.replace(m_path, shownName);
            throw ExportError(message);
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

} // namespace

void saveAs(const QString& target, const Writer& write)
{
    const QString shown = QDir::toNativeSeparators(target);
    if (nameTaken(target))
        throw ExportError(u"%1 already exists; it is left as it is"_s.arg(shown));
    PendingFile pending(folderOf(target));
    pending.write(write, shown);
    if (!pending.placeAs(target))
        throw ExportError(u"%1 already exists; it is left as it is"_s.arg(shown));
}

QString saveInFolder(const QString& folder, const QString& baseName, const Writer& write)
{
    if (!QDir().mkpath(folder))
        throw ExportError(
            u"Could not create the folder %1"_s.arg(QDir::toNativeSeparators(folder)));
    PendingFile pending(folder);
    const QDir dir(folder);
    pending.write(write, QDir::toNativeSeparators(dir.filePath(baseName + u".xlsx"_s)));
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? baseName : u"%1 (%2)"_s.arg(baseName).arg(n);
        const QString target = dir.filePath(name + u".xlsx"_s);
        if (pending.placeAs(target))
            return target;
    }
}

QString baseName(const QString& title, const QDateTime& when)
{
    return title + u' ' + when.toString(u"yyyy-MM-dd HH-mm-ss"_s);
}

QString defaultFolder()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return QDir(documents).filePath(u"Vardometer"_s);
}

} // namespace WorkbookFile
