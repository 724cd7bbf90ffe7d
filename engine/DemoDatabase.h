#pragma once

#include <QString>

class Clock;
class DiskSpaceProbe;
class SmtpTransport;

// A new database holding this machine's own disks, measured once, so that a first window
// opens on real figures instead of an empty tree.
namespace DemoDatabase {

struct Result {
    int systems = 0;
    // Why the first measurement failed, or empty. The database is sound without it.
    QString measurementError;
};

// Throws VardometerError when the file cannot be created (it exists, the folder is missing).
Result create(const QString& fileName, DiskSpaceProbe& probe, Clock& clock, SmtpTransport& mail);

} // namespace DemoDatabase
