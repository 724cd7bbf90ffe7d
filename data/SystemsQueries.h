#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class DbConnection;

// The small questions the engine and the command-line tool ask of the Systems and
// Credentials tables, as typed answers: no layer above this one writes SQL.
namespace SystemsQueries {

// The systems by name, as the Systems table sorts them (without regard to case).
QStringList names(const DbConnection& db);

// Every address of the Systems table as the file holds it now; empty ones are left out.
QStringList addresses(const DbConnection& db);

// Names that more than one Systems row holds, capitals and small letters alike, each once.
QStringList namesHeldTwice(const DbConnection& db);

// A logon of the Credentials table.
struct Logon {
    QString server;
    QString domain;
    QString username;
    QString password;
};

// Every logon; none for a file without the table (never upgraded).
QList<Logon> logons(const DbConnection& db);

} // namespace SystemsQueries
