#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// One share of the loopback Samba server. A guest share lets anyone in as the guest
// account; any other admits validUser only.
struct SambaShare {
    QString name;
    QString path;
    bool guest = true;
    QString validUser;
};

struct SambaAccount {
    QString username; // a system user (TestUser) of that name must exist
    QString password;
};

// smbd on a free port of 127.0.0.1 and ::1, with a configuration, account database and
// state of its own in a temporary folder, stopped by its PID at the end. Needs root.
//
// smbd signals its whole process group when it ends; it runs in a group of its own
// (--no-process-group, started through setsid), so that signal cannot reach the test or
// the runner.
class SambaServer {
public:
    ~SambaServer() { stop(); }

    // False, with the reason in error(), when smbd could not be started. Listening follows
    // a moment later: wait for listening() (or use START_SAMBA_SERVER).
    bool start(const QList<SambaShare>& shares, const QList<SambaAccount>& accounts = {},
               QList<int> extraPorts = {});
    bool listening() const;
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    void stop();

    int port() const { return m_port; }
    QString error() const { return m_error; }
    QString log() const;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

#define START_SAMBA_SERVER(server, ...)                                                            \
    do {                                                                                           \
        QVERIFY2((server).start(__VA_ARGS__), qPrintable((server).error()));                       \
        QTRY_VERIFY_WITH_TIMEOUT((server).listening() || !(server).running(), 30000);              \
        QVERIFY2((server).listening(), qPrintable(u"smbd did not listen: "_s + (server).log()));   \
    } while (false)
