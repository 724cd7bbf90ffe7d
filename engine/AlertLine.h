#pragma once

#include <QString>
#include <QVariant>

// The wording of alert lines. Every line starts with the system's name, so a reader of the
// popup or the e-mail can tell the systems apart; the wording itself is what users and their
// mail filters have always seen, so it is kept to the character.
namespace AlertLine {

// "Free Space (MB) down to 10000": the megabytes in decimal, without separators.
QString freeSpaceText(qint64 freeMB);
// "System Not Found"
QString systemNotFoundText();

// "FS1 : Free Space (MB) down to 10000", raised by either run.
QString freeSpaceLine(const QString& systemName, qint64 freeMB);
// "FS1 : System Not Found", raised by the Check Space run for an unreachable address.
QString systemNotFoundLine(const QString& systemName);
// "FS1 Alice:System Not Found", raised by the snapshot run for an unreachable address.
// ownerName is the row's OwnerName (see ownerName below): a system without an owner gives
// two spaces after its name.
QString snapshotSystemNotFoundLine(const QString& systemName, const QString& ownerName);

// OwnerName for a Systems row's Owner: the Owner itself, or a single space when it is empty
// (Null). An empty string is a value, not an empty column, and is kept as it is.
QString ownerName(const QVariant& owner);

} // namespace AlertLine
