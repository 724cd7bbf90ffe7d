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

// One transaction around a run's writes: a single disk sync instead of one per row. It is
// committed however the run ends, so rows written before an error keep what was written.
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
