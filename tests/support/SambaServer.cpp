#include "support/SambaServer.h"

#include "support/ServerFixtures.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

bool SambaServer::start(const QList<SambaShare>& shares, const QList<SambaAccount>& accounts,
                        QList<int> extraPorts)
{
    if (::geteuid() != 0) {
        m_error = u"smbd needs root"_s;
        return false;
    }
    if (!m_folder.isValid()) {
        m_error = m_folder.errorString();
        return false;
    }
    const QDir here(m_folder.path());
    for (const QString& sub :
         {u"private"_s, u"lock"_s, u"state"_s, u"cache"_s, u"pid"_s, u"ncalrpc"_s, u"log"_s})
        here.mkpath(sub);
    m_port = freeLoopbackPort();
    QStringList ports{QString::number(m_port)};
    for (const int p : std::as_const(extraPorts))
        ports << QString::number(p);

    QString conf = u"[global]\n"_s
                   u"server role = standalone server\n"_s
                   u"smb ports = %1\n"_s
                   u"interfaces = 127.0.0.1 ::1\n"_s
                   u"bind interfaces only = yes\n"_s
                   u"disable netbios = yes\n"_s
                   u"map to guest = bad user\n"_s
                   u"passdb backend = tdbsam:%2/private/passdb.tdb\n"_s
                   u"private dir = %2/private\n"_s
                   u"lock directory = %2/lock\n"_s
                   u"state directory = %2/state\n"_s
                   u"cache directory = %2/cache\n"_s
                   u"pid directory = %2/pid\n"_s
                   u"ncalrpc dir = %2/ncalrpc\n"_s
                   u"log file = %2/log/smbd.log\n"_s
                   u"max log size = 0\n"_s
                   u"load printers = no\n"_s
                   u"printing = bsd\n"_s
                   u"printcap name = /dev/null\n"_s
                   u"disable spoolss = yes\n"_s
                   // No RPC daemons: they would detach from smbd, out of reach of its PID.
                   u"rpc start on demand workers = no\n"_s.arg(ports.join(u' '), m_folder.path());
    for (const SambaShare& share : shares) {
        conf += u"[%1]\npath = %2\nread only = yes\n"_s.arg(share.name, share.path);
        conf += share.guest ? u"guest ok = yes\n"_s : u"valid users = %1\n"_s.arg(share.validUser);
    }
    const QString confPath = here.filePath(u"smb.conf"_s);
    QFile file(confPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0) {
        m_error = file.errorString();
        return false;
    }
    file.close();

    for (const SambaAccount& account : accounts) {
        const QByteArray twice = (account.password + u'\n' + account.password + u'\n').toUtf8();
        m_error = runTool(u"pdbedit"_s,
                          {u"-s"_s, confPath, u"-a"_s, u"-t"_s, u"-u"_s, account.username}, twice);
        if (!m_error.isEmpty())
            return false;
    }

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(here.filePath(u"log/smbd.out"_s));
    m_process.setChildProcessModifier([] { ::setsid(); });
    m_process.start(u"smbd"_s, {u"-F"_s, u"--no-process-group"_s, u"--debug-stdout"_s, u"-d1"_s,
                                u"-s"_s, confPath});
    if (!m_process.waitForStarted(30'000)) {
        m_error = u"smbd: "_s + m_process.errorString();
        return false;
    }
    return true;
}

bool SambaServer::listening() const
{
    return running() && acceptsConnections("127.0.0.1", m_port);
}

void SambaServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate(); // SIGTERM to smbd's own PID; it ends its children
    if (!m_process.waitForFinished(20'000)) {
        m_process.kill();
        m_process.waitForFinished(10'000);
    }
}

QString SambaServer::log() const
{
    QFile out(QDir(m_folder.path()).filePath(u"log/smbd.out"_s));
    return out.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(out.readAll().right(4000))
                                         : QString();
}
