#include "support/SshServer.h"

#include "support/ServerFixtures.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

QString makeSshKey(const QString& path, const QString& type, QString* error)
{
    QFile::remove(path);
    QFile::remove(path + u".pub"_s);
    *error = runTool(u"ssh-keygen"_s, {u"-q"_s, u"-t"_s, type, u"-N"_s, QString(), u"-C"_s,
                                       u"test"_s, u"-f"_s, path});
    return error->isEmpty() ? path : QString();
}

QString publicKeyOf(const QString& privateKeyPath)
{
    QFile file(privateKeyPath + u".pub"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList fields = QString::fromLatin1(file.readAll()).split(u' ');
    return fields.size() >= 2 ? fields[0] + u' ' + fields[1] : QString();
}

bool SshServer::start(const QString& user, const QStringList& authorizedKeys)
{
    if (::geteuid() != 0) {
        m_error = u"sshd needs root"_s;
        return false;
    }
    if (!m_folder.isValid()) {
        m_error = m_folder.errorString();
        return false;
    }
    // sshd reads the authorized keys as the user it lets in.
    QFile::setPermissions(m_folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup |
                                               QFile::ReadOther | QFile::ExeOther);
    const QDir here(m_folder.path());
    // The privilege-separation directory Debian's sshd insists on.
    QDir().mkpath(u"/run/sshd"_s);
    const QString hostKeyPath =
        makeSshKey(here.filePath(u"host_ed25519"_s), u"ed25519"_s, &m_error);
    if (hostKeyPath.isEmpty())
        return false;
    m_hostKey = publicKeyOf(hostKeyPath);

    QFile keys(here.filePath(u"authorized_keys"_s));
    if (!keys.open(QIODevice::WriteOnly) ||
        keys.write((authorizedKeys.join(u'\n') + u'\n').toLatin1()) < 0) {
        m_error = keys.errorString();
        return false;
    }
    keys.close();
    keys.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    m_port = freeLoopbackPort();
    const QString conf = u"Port %1\n"_s
                         u"ListenAddress 127.0.0.1\n"_s
                         u"ListenAddress ::1\n"_s
                         u"HostKey %2\n"_s
                         u"PidFile %3/sshd.pid\n"_s
                         u"AuthorizedKeysFile %3/authorized_keys\n"_s
                         u"StrictModes no\n"_s
                         u"UsePAM no\n"_s
                         u"PasswordAuthentication no\n"_s
                         u"KbdInteractiveAuthentication no\n"_s
                         u"AllowUsers %4\n"_s
                         u"Subsystem sftp internal-sftp\n"_s
                         u"LogLevel VERBOSE\n"_s.arg(m_port)
                             .arg(hostKeyPath, m_folder.path(), user);
    const QString confPath = here.filePath(u"sshd_config"_s);
    QFile file(confPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0) {
        m_error = file.errorString();
        return false;
    }
    file.close();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(here.filePath(u"sshd.log"_s));
    m_process.start(u"/usr/sbin/sshd"_s, {u"-D"_s, u"-e"_s, u"-f"_s, confPath});
    if (!m_process.waitForStarted(30'000)) {
        m_error = u"sshd: "_s + m_process.errorString();
        return false;
    }
    return true;
}

bool SshServer::listening() const
{
    return running() && acceptsConnections("127.0.0.1", m_port);
}

void SshServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(20'000)) {
        m_process.kill();
        m_process.waitForFinished(10'000);
    }
}

QString SshServer::log() const
{
    QFile out(QDir(m_folder.path()).filePath(u"sshd.log"_s));
    return out.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(out.readAll().right(4000))
                                         : QString();
}
