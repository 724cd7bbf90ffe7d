#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A key pair written by ssh-keygen without a passphrase: path and path.pub. Empty when
// ssh-keygen failed, the reason in *error.
QString makeSshKey(const QString& path, const QString& type, QString* error);
// "type base64" of a .pub file, without its comment.
QString publicKeyOf(const QString& privateKeyPath);

// sshd on a free port of 127.0.0.1 and ::1, with a host key, configuration and
// authorized keys of its own in a temporary folder, stopped by its PID at the end. It lets
// one user in, by key only, with the SFTP subsystem. Needs root.
class SshServer {
public:
    ~SshServer() { stop(); }

    // False, with the reason in error(), when sshd could not be started; wait for
    // listening() (or use START_SSH_SERVER).
    bool start(const QString& user, const QStringList& authorizedKeys);
    bool listening() const;
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    void stop();

    int port() const { return m_port; }
    QString hostKey() const { return m_hostKey; } // "ssh-ed25519 AAAA..."
    QString error() const { return m_error; }
    QString log() const;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
    QString m_hostKey;
    QString m_error;
};

#define START_SSH_SERVER(server, ...)                                                              \
    do {                                                                                           \
        QVERIFY2((server).start(__VA_ARGS__), qPrintable((server).error()));                       \
        QTRY_VERIFY_WITH_TIMEOUT((server).listening() || !(server).running(), 30000);              \
        QVERIFY2((server).listening(), qPrintable(u"sshd did not listen: "_s + (server).log()));   \
    } while (false)
