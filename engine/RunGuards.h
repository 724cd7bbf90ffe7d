#pragma once

#include "engine/EngineHost.h"

#include "data/DbConnection.h"

// The hourglass for as long as the guard lives, whichever way the work ends.
class BusyGuard {
public:
    explicit BusyGuard(EngineHost& host)
        : m_host(host)
    {
        m_host.setBusy(true);
    }
    ~BusyGuard() { m_host.setBusy(false); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    EngineHost& m_host;
};

// One transaction around a run's writes: a single disk sync instead of one per row, and a
// writer from the start, so a second program's run waits for this one instead of failing.
// It is committed however the run ends, so rows written before an error keep what was
// written.
class RunTransaction {
public:
    explicit RunTransaction(DbConnection& connection)
        : m_connection(connection)
    {
        m_connection.beginTransaction();
    }
    ~RunTransaction()
    {
        if (m_open) {
            try {
                m_connection.commit();
            } catch (...) {
                // The error that ended the run is the one reported.
            }
        }
    }
    void commit()
    {
        m_open = false;
        m_connection.commit();
    }
    RunTransaction(const RunTransaction&) = delete;
    RunTransaction& operator=(const RunTransaction&) = delete;

private:
    DbConnection& m_connection;
    bool m_open = true;
};

// One system's writes in a run, all or nothing: when its measurement or one of its rows fails
// the savepoint undoes what was written for it, and the systems before it keep theirs.
class SystemSavepoint {
public:
    explicit SystemSavepoint(DbConnection& connection)
        : m_connection(connection)
    {
        m_connection.savepoint(Name);
    }
    ~SystemSavepoint()
    {
        if (m_open) {
            try {
                m_connection.rollbackToSavepoint(Name);
            } catch (...) {
                // The error that ended the run is the one reported.
            }
        }
    }
    void release()
    {
        m_open = false;
        m_connection.releaseSavepoint(Name);
    }
    SystemSavepoint(const SystemSavepoint&) = delete;
    SystemSavepoint& operator=(const SystemSavepoint&) = delete;

private:
    static inline const QString Name = QStringLiteral("OneSystem");
    DbConnection& m_connection;
    bool m_open = true;
};
