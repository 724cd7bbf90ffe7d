#pragma once

#include <QList>
#include <QString>

// Writes a new database file: every table, the indexes and the one Options row. Only the
// command-line tool calls this; the program itself never creates tables.
namespace DatabaseCreator {

struct NewSystem {
    QString name;
    QString address;
    QString owner;
};

// Fails, leaving an existing file untouched, when fileName already exists. The new file is
// readable and writable by its owner only, since it will hold an SMTP password.
void create(const QString& fileName, const QList<NewSystem>& systems = {});

} // namespace DatabaseCreator
