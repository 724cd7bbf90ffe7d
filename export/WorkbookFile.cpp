#include "export/WorkbookFile.h"

#include "export/ExportError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

using namespace Qt::Literals::StringLiterals;

namespace WorkbookFile {
namespace {

// The hidden file a workbook is written into; removed again unless it was put in place.
class PendingFile {
public:
    explicit PendingFile(const QString& folder)
        : m_file(QDir(folder).filePath(u".vardometer-export-XXXXXX.xlsx"_s))
    {
        if (!m_file.open())
            throw ExportError(u"Could not create a file in %1: %2"_s.arg(
                QDir::toNativeSeparators(folder), m_file.errorString()));
        m_path = m_file.fileName();
        m_file.close();
        // The name stays reserved by its random part; the writer creates the file anew, so
        // it gets the permissions any new document of the user gets.
        QFile::remove(m_path);
    }
    const QString& path() const { return m_path; }

    // Gives the file the name target; false when target exists (nothing is replaced).
    bool placeAs(const QString& target)
    {
        if (QFileInfo::exists(target))
            return false;
        QFile file(m_path);
        if (file.rename(target)) {
            m_file.setAutoRemove(false);
            return true;
        }
        if (QFileInfo::exists(target))
            return false; // taken in the meantime
        throw ExportError(
            u"Could not save %1: %2"_s.arg(QDir::toNativeSeparators(target), file.errorString()));
    }

private:
    QTemporaryFile m_file;
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
    if (QFileInfo::exists(target))
        throw ExportError(u"%1 already exists; it is left as it is"_s.arg(shown));
    PendingFile pending(folderOf(target));
    write(pending.path());
    if (!pending.placeAs(target))
        throw ExportError(u"%1 already exists; it is left as it is"_s.arg(shown));
}

QString saveInFolder(const QString& folder, const QString& baseName, const Writer& write)
{
    if (!QDir().mkpath(folder))
        throw ExportError(
            u"Could not create the folder %1"_s.arg(QDir::toNativeSeparators(folder)));
    PendingFile pending(folder);
    write(pending.path());
    const QDir dir(folder);
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
