#pragma once

#include <QProcess>
#include <QString>

// Another process holding a database file locked (tests/support/hold_lock.cpp) until this
// object goes away. The test program names the helper's path as HOLD_LOCK_PATH.
class LockHolder {
public:
    // Exclusively: nobody else may even read the file.
    bool lock(const QString& path)
    {
        m_process.start(QStringLiteral(HOLD_LOCK_PATH), {path});
        if (!m_process.waitForStarted())
            return false;
        QByteArray out;
        while (!out.contains("locked") && m_process.waitForReadyRead(60'000))
            out += m_process.readAllStandardOutput();
        return out.contains("locked");
    }
    // The helper rolls its transaction back and closes the file.
    void release()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(60'000))
            m_process.kill();
    }
    ~LockHolder() { release(); }

private:
    QProcess m_process;
};
