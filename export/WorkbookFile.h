#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// Putting a new workbook on disk without ever replacing a file: the workbook is written to
// a hidden file in the target folder and moved to its name only when complete, by a rename
// that refuses to overwrite anything or to follow a link. A failure leaves no file behind.
namespace WorkbookFile {

// Writes the workbook into the file it is given.
using Writer = std::function<void(const QString& fileName)>;

// Saves as target, which must not exist yet: an existing entry of that name (a file, a
// folder, a symbolic link even when it leads nowhere) is refused untouched.
void saveAs(const QString& target, const Writer& write);

// Saves in folder (created when missing) under "<baseName>.xlsx", or "<baseName> (2).xlsx"
// and so on when that name is taken. Returns the path of the saved file.
QString saveInFolder(const QString& folder, const QString& baseName, const Writer& write);

// "Free Space Summary 2007-03-11 09-30-00": the layout's title and the time of the export,
// in characters every file system accepts.
QString baseName(const QString& title, const QDateTime& when);

// Where the window saves its exports: a "Vardometer" folder in the user's documents.
QString defaultFolder();

} // namespace WorkbookFile
