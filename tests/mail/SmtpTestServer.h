#pragma once

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// One message as the loopback server stored it.
struct ReceivedMail {
    QString from;
    QStringList to;
    bool authenticated = false;
    QByteArray data; // as received after DATA, dot-stuffing undone

    QByteArray headerBlock() const { return data.left(data.indexOf("\r\n\r\n") + 2); }
    QByteArray body() const { return data.mid(data.indexOf("\r\n\r\n") + 4); }
    // Header lines with folded continuations joined back, as a reader sees them.
    QList<QByteArray> headers() const
    {
        QList<QByteArray> lines;
        for (const QByteArray& line : headerBlock().split('\n')) {
            QByteArray l = line;
            if (l.endsWith('\r'))
                l.chop(1);
            if (l.isEmpty())
                continue;
            if ((l.startsWith(' ') || l.startsWith('\t')) && !lines.isEmpty())
                lines.last() += l;
            else
                lines << l;
        }
        return lines;
    }
    QByteArray header(const QByteArray& name) const
    {
        for (const QByteArray& h : headers())
            if (h.toLower().startsWith(name.toLower() + ':'))
                return h.mid(name.size() + 1).trimmed();
        return {};
    }
};

// The Python SMTP server on a free loopback port, for one test; stopped when it goes.
class SmtpTestServer {
public:
    ~SmtpTestServer() { stop(); }

    // Use through START_SMTP_SERVER, which ends the test when the server does not come up.
    void start(const QStringList& options = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(u"/usr/bin/python3"_s,
                        QStringList{QStringLiteral(SMTP_SERVER_SCRIPT), u"--port"_s, u"0"_s,
                                    u"--dir"_s, m_folder.path()} +
                            options);
        QVERIFY2(m_process.waitForStarted(), qPrintable(m_process.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_process.canReadLine() || m_process.state() == QProcess::NotRunning, 20000);
        bool ok = false;
        port = m_process.readLine().trimmed().toInt(&ok);
        QVERIFY2(ok && port > 0, "the SMTP test server did not start");
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    QString host() const { return u"127.0.0.1:%1"_s.arg(port); }

    int connections() const
    {
        QFile log(m_folder.filePath(u"connections.log"_s));
        if (!log.open(QIODevice::ReadOnly))
            return 0;
        return static_cast<int>(log.readAll().count('\n'));
    }

    QList<ReceivedMail> messages() const
    {
        QList<ReceivedMail> mails;
        for (int n = 1;; ++n) {
            QFile envelope(m_folder.filePath(u"%1.json"_s.arg(n)));
            QFile data(m_folder.filePath(u"%1.eml"_s.arg(n)));
            if (!envelope.open(QIODevice::ReadOnly) || !data.open(QIODevice::ReadOnly))
                return mails;
            const QJsonObject o = QJsonDocument::fromJson(envelope.readAll()).object();
            ReceivedMail mail;
            mail.from = o.value(u"mail_from"_s).toString();
            for (const QJsonValue& v : o.value(u"rcpt_tos"_s).toArray())
                mail.to << v.toString();
            mail.authenticated = o.value(u"authenticated"_s).toBool();
            mail.data = data.readAll();
            mails << mail;
        }
    }

    int port = 0;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
};

#define START_SMTP_SERVER(server, ...)                                                             \
    do {                                                                                           \
        (server).start(__VA_ARGS__);                                                               \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)
