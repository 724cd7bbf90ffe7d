#include "support/PrivateNetwork.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString lastError(const QString& what)
{
    return what + u": "_s + QString::fromLocal8Bit(std::strerror(errno));
}

bool bringLoopbackUp()
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(s, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ::ioctl(s, SIOCSIFFLAGS, &request) == 0;
    ::close(s);
    return up;
}

// The machine's name service switch with hosts looked up in files and DNS only, so that no
// other module (multicast DNS, the machine's own name) answers in a test's place.
QByteArray nameServiceSwitch()
{
    QFile current(u"/etc/nsswitch.conf"_s);
    QByteArray text = current.open(QIODevice::ReadOnly) ? current.readAll() : QByteArray();
    QList<QByteArray> lines = text.split('\n');
    lines.removeIf([](const QByteArray& line) { return line.trimmed().startsWith("hosts:"); });
    lines.append("hosts: files dns");
    return lines.join('\n') + '\n';
}

// The reply to a question: its header with the answer bit and "no such name", and the
// question itself; whatever followed (an EDNS record) left out.
QByteArray noSuchName(const QByteArray& question)
{
    if (question.size() < 12)
        return {};
    qsizetype end = 12;
    while (end < question.size() && question[end] != 0)
        end += 1 + static_cast<unsigned char>(question[end]);
    end += 1 + 4; // the root label, type and class
    if (end > question.size())
        return {};
    QByteArray reply = question.left(end);
    reply[2] = char(0x80 | (question[2] & 0x79)); // an answer; opcode and RD kept
    reply[3] = char(0x80 | 3);                    // recursion available; NXDOMAIN
    reply[6] = reply[7] = reply[8] = reply[9] = reply[10] = reply[11] = 0;
    return reply;
}

} // namespace

PrivateNetwork::PrivateNetwork(Dns dns)
    : m_dns(dns)
{
    if (!enter())
        return;
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        m_error = lastError(u"pipe"_s);
        return;
    }
    m_stub = std::thread([this] { serve(); });
}

PrivateNetwork::~PrivateNetwork()
{
    if (m_stub.joinable()) {
        const char stop = 'x';
        while (::write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {
        }
        m_stub.join();
    }
    for (const int fd : {m_socket, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

bool PrivateNetwork::enter()
{
    if (::geteuid() != 0) {
        m_error = u"a private network needs root"_s;
        return false;
    }
    if (!m_files.isValid()) {
        m_error = u"no temporary folder"_s;
        return false;
    }
    // Nothing from the environment or the machine's name (a search domain) may change which
    // questions are asked.
    for (const char* variable : {"LOCALDOMAIN", "RES_OPTIONS", "HOSTALIASES"})
        ::unsetenv(variable);
    if (::unshare(CLONE_NEWNET | CLONE_NEWNS | CLONE_NEWUTS) != 0) {
        m_error = lastError(u"unshare"_s);
        return false;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        m_error = lastError(u"mount --make-rprivate /"_s);
        return false;
    }
    const char name[] = "vardometer-test";
    if (::sethostname(name, sizeof name - 1) != 0) {
        m_error = lastError(u"sethostname"_s);
        return false;
    }
    // Caching daemons and resolver services answer over sockets of their own, in the
    // machine's network: hidden here.
    for (const char* daemon :
         {"/run/nscd", "/var/run/nscd", "/run/systemd/resolve", "/run/avahi-daemon"}) {
        if (QFileInfo(QString::fromLatin1(daemon)).isDir() &&
            ::mount("none", daemon, "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
            m_error = lastError(u"tmpfs over "_s + QString::fromLatin1(daemon));
            return false;
        }
    }
    if (!bringLoopbackUp()) {
        m_error = lastError(u"lo up"_s);
        return false;
    }
    const QDir files(m_files.path());
    const QList<std::pair<QString, QByteArray>> replaced{
        {u"/etc/resolv.conf"_s, "nameserver 127.0.0.1\noptions timeout:3 attempts:1\n"},
        {u"/etc/hosts"_s, "127.0.0.1 localhost\n::1 localhost\n"},
        {u"/etc/nsswitch.conf"_s, nameServiceSwitch()},
    };
    for (const auto& [target, text] : replaced) {
        const QString copy = files.filePath(QFileInfo(target).fileName());
        QFile file(copy);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
            m_error = copy + u": "_s + file.errorString();
            return false;
        }
        file.close();
        // A private network made before on this thread left its files mounted here.
        while (::umount2(QFile::encodeName(target).constData(), MNT_DETACH) == 0) {
        }
        // Mounted over the file a link such as /etc/resolv.conf leads to; never created,
        // since a file made here would be made on the machine's own disk.
        if (!QFile::exists(target)) {
            m_error = target + u" is missing"_s;
            return false;
        }
        if (::mount(QFile::encodeName(copy).constData(), QFile::encodeName(target).constData(),
                    nullptr, MS_BIND, nullptr) != 0) {
            m_error = lastError(u"bind mount over "_s + target);
            return false;
        }
    }
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_socket < 0 ||
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        m_error = lastError(u"DNS stub on 127.0.0.1:53"_s);
        return false;
    }
    return true;
}

void PrivateNetwork::serve()
{
    for (;;) {
        pollfd watched[2] = {{m_wake[0], POLLIN, 0}, {m_socket, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 && errno != EINTR)
            return;
        if (watched[0].revents)
            return;
        if (!(watched[1].revents & POLLIN))
            continue;
        QByteArray question(1500, '\0');
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(m_socket, question.data(), size_t(question.size()), 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0)
            continue;
        ++m_questions;
        if (m_dns == Dns::Silent)
            continue;
        question.truncate(n);
        const QByteArray reply = noSuchName(question);
        if (!reply.isEmpty())
            ::sendto(m_socket, reply.constData(), size_t(reply.size()), 0,
                     reinterpret_cast<sockaddr*>(&from), fromLength);
    }
}
