#include "mail/SmtpTestServer.h"
#include "platform/SmtpTransport.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

SmtpDelivery deliveryTo(const SmtpTestServer& server, const QByteArray& body)
{
    SmtpDelivery d;
    d.host = u"127.0.0.1"_s;
    d.port = server.port;
    d.envelopeFrom = u"alerts@vardometer.test"_s;
    d.envelopeRecipients = {u"ops@vardometer.test"_s};
    d.message = "From: alerts@vardometer.test\r\nSubject: dots\r\n\r\n" + body;
    return d;
}

// The message of the failure, or an empty string when the delivery went through.
QString failureOf(const SmtpDelivery& delivery)
{
    try {
        createSmtpTransport()->send(delivery);
    } catch (const SmtpError& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

class TestMailTransport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bodyArrivesExactly_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("a line of one dot does not end the data") << QByteArray(".\r\nafter\r\n");
        QTest::newRow("leading dots are neither lost nor doubled")
            << QByteArray("..two\r\n.one\r\nnone.\r\n");
        QTest::newRow("dot on the last line") << QByteArray("first\r\n.last\r\n");
    }
    void bodyArrivesExactly()
    {
        QFETCH(QByteArray, body);
        SmtpTestServer server;
        START_SMTP_SERVER(server);
        QCOMPARE(failureOf(deliveryTo(server, body)), QString());
        const QList<ReceivedMail> mails = server.messages();
        QCOMPARE(mails.size(), 1);
        QCOMPARE(mails[0].body(), body);
    }

    void authentication_data()
    {
        QTest::addColumn<QStringList>("serverOptions");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("failure"); // part of the message; empty when delivered
        QTest::newRow("right credentials are accepted")
            << QStringList{u"--require-auth"_s, u"ops:s3cret"_s} << u"s3cret"_s << QString();
        QTest::newRow("wrong credentials are reported")
            << QStringList{u"--require-auth"_s, u"ops:s3cret"_s} << u"guess"_s << u"535"_s;
        QTest::newRow("a server offering no authentication gets no message")
            << QStringList{} << u"s3cret"_s << u"offers no authentication"_s;
    }
    void authentication()
    {
        QFETCH(QStringList, serverOptions);
        QFETCH(QString, password);
        QFETCH(QString, failure);
        SmtpTestServer server;
        START_SMTP_SERVER(server, serverOptions);
        SmtpDelivery d = deliveryTo(server, "body\r\n");
        d.authenticate = true;
        d.username = u"ops"_s;
        d.password = password;

        const QString message = failureOf(d);

        const QList<ReceivedMail> mails = server.messages();
        if (failure.isEmpty()) {
            QCOMPARE(message, QString());
            QCOMPARE(mails.size(), 1);
            QVERIFY(mails[0].authenticated);
        } else {
            QVERIFY2(message.contains(failure), qPrintable(message));
            QCOMPARE(mails.size(), 0);
        }
    }

    void offeredStartTlsIsUsedAndItsCertificateChecked()
    {
        // The test certificate is self-signed, so no machine trusts it: a delivery that
        // took up STARTTLS fails on it, where one in the clear would have gone through.
        SmtpTestServer server;
        START_SMTP_SERVER(server, QStringList{u"--starttls"_s, QStringLiteral(TEST_SERVER_CERT),
                                              QStringLiteral(TEST_SERVER_KEY)});
        const QString message = failureOf(deliveryTo(server, "body\r\n"));
        QVERIFY2(message.contains(u"certificate"_s), qPrintable(message));
        QCOMPARE(server.messages().size(), 0);
    }

    void aServerThatStopsAnsweringTimesOut()
    {
        SmtpTestServer server;
        START_SMTP_SERVER(server, QStringList{u"--mute"_s});
        SmtpDelivery d = deliveryTo(server, "body\r\n");
        d.totalTimeout = std::chrono::milliseconds(500);
        const QString message = failureOf(d);
        QVERIFY2(message.contains(u"timed out"_s, Qt::CaseInsensitive) ||
                     message.contains(u"Timeout"_s, Qt::CaseInsensitive),
                 qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestMailTransport)
#include "test_mail_transport.moc"
