#include "cli/RunCommand.h"
#include "data/DM2.h"
#include "engine/AlertStamp.h"
#include "engine/Directories.h"
#include "mail/SmtpTestServer.h"
#include "platform/SmtpTransport.h"
#include "support/CapturedStream.h"
#include "support/EngineDoubles.h"
#include "support/RaisedMessage.h"
#include "support/TestDatabase.h"

#include <QSignalSpy>
#include <QTest>

#include <cstdio>

#include <memory>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime RunMoment(QDate(2007, 3, 11), QTime(9, 30));
const QString Sender = u"alerts@vardometer.test"_s;

// A database whose systems are all unreachable, so a check raises one line for each, with
// e-mail alerts pointed at the given server.
struct MailFixture {
    TestDatabase db;
    std::unique_ptr<TDMVardometer> dm;
    RecordingHost host;
    ScriptedProbe probe;
    FixedClock clock{RunMoment};
    std::unique_ptr<SmtpTransport> mail = createSmtpTransport();
    std::unique_ptr<dvDirectories> engine;

    explicit MailFixture(const QStringList& unreachableSystems = {u"FS1"_s, u"FS2"_s})
        : db(systemsNamed(unreachableSystems))
    {
        setOptions({{u"EMailAlerts"_s, true},
                    {u"EMailFrom"_s, Sender},
                    {u"EMailSubject"_s, u"Vardometer alert"_s}});
    }
    static QList<DatabaseCreator::NewSystem> systemsNamed(const QStringList& names)
    {
        QList<DatabaseCreator::NewSystem> systems;
        for (const QString& name : names)
            systems << DatabaseCreator::NewSystem{name, u"/nowhere/"_s + name, {}};
        return systems;
    }
    void setOptions(const QVariantMap& values)
    {
        for (auto it = values.begin(); it != values.end(); ++it)
            db.exec(u"UPDATE Options SET %1 = ?"_s.arg(it.key()), {it.value()});
    }
    void addAddresses(const QVariantList& addresses)
    {
        for (const QVariant& a : addresses)
            db.exec(u"INSERT INTO Alerts (EMailAddress) VALUES (?)"_s, {a});
    }
    dvDirectories& start(const Clock* useClock = nullptr)
    {
        dm = std::make_unique<TDMVardometer>(db.path());
        dm->SetAllDatasetsActive(true);
        engine =
            std::make_unique<dvDirectories>(*dm, host, probe, useClock ? *useClock : clock, *mail);
        return *engine;
    }
    QStringList mailErrors() const { return host.calls.filter(u"message Mail Error: "_s); }
};

// Reads RFC 2047 words back, for values the message had to encode.
QString decodedHeader(const QByteArray& value)
{
    if (!value.startsWith("=?"))
        return QString::fromUtf8(value);
    QByteArray utf8;
    for (const QByteArray& word : value.simplified().split(' ')) {
        const QByteArray w = word.trimmed();
        utf8 += QByteArray::fromBase64(w.mid(10, w.size() - 12));
    }
    return QString::fromUtf8(utf8);
}

// Records what the engine hands over, for settings no server can show.
class RecordingTransport : public SmtpTransport {
public:
    explicit RecordingTransport(QList<SmtpDelivery>& log)
        : m_log(log)
    {
    }
    QList<RefusedRecipient> send(const SmtpDelivery& delivery) override
    {
        m_log << delivery;
        return {};
    }

private:
    QList<SmtpDelivery>& m_log;
};

} // namespace

Q_DECLARE_METATYPE(RunKind)

class TestMailDelivery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void threeRecipientsAndTwoLinesMakeOneMessage()
    {
        SmtpTestServer server;
        START_SMTP_SERVER(server);
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()}});
        f.addAddresses({u"ops@a.test"_s, u"Night Shift <night@b.test>"_s, u"boss@c.test"_s});
        dvDirectories& engine = f.start();

        engine.CheckSpace();

        QCOMPARE(f.mailErrors(), QStringList());
        const QList<ReceivedMail> mails = server.messages();
        QCOMPARE(mails.size(), 1);
        const ReceivedMail& mail = mails[0];
        QCOMPARE(mail.from, Sender);
        QCOMPARE(mail.to, (QStringList{u"ops@a.test"_s, u"night@b.test"_s, u"boss@c.test"_s}));
        const QString stamp = alertStamp(RunMoment);
        QCOMPARE(mail.body(), (stamp + u" : FS1 : System Not Found\r\n"_s + stamp +
                               u" : FS2 : System Not Found\r\n"_s)
                                  .toUtf8());
        QCOMPARE(mail.header("From"), Sender.toUtf8());
        QCOMPARE(mail.header("To"), QByteArray("ops@a.test, night@b.test, boss@c.test"));
        QCOMPARE(mail.header("Subject"), QByteArray("Vardometer alert"));
        QVERIFY(mail.header("Date").startsWith("Sun, 11 Mar 2007 09:30:00 "));
        QVERIFY(mail.header("Message-ID").endsWith("@vardometer.test>"));
        QCOMPARE(mail.header("Content-Type"), QByteArray("text/plain; charset=UTF-8"));
    }

    void eachDeliveryHasItsOwnMessageId()
    {
        SmtpTestServer server;
        START_SMTP_SERVER(server);
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()}});
        f.addAddresses({u"ops@a.test"_s});
        dvDirectories& engine = f.start();
        engine.CheckSpace();
        engine.CheckSpace();
        const QList<ReceivedMail> mails = server.messages();
        QCOMPARE(mails.size(), 2);
        QVERIFY(mails[0].header("Message-ID") != mails[1].header("Message-ID"));
    }

    void failureIsShownOnceAndTheRunGoesOn_data()
    {
        QTest::addColumn<QStringList>("serverOptions");
        QTest::addColumn<QString>("host"); // "%1" is the server's port
        QTest::addColumn<QVariantList>("addresses");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<QString>("expected"); // part of the client's message

        const QVariantList one{u"ops@a.test"_s};
        QTest::newRow("sender refused") << QStringList{u"--refuse-sender"_s, Sender}
                                        << u"127.0.0.1:%1"_s << one << false << u"553"_s;
        QTest::newRow("the only recipient refused")
            << QStringList{u"--refuse-recipient"_s, u"gone@b.test"_s} << u"127.0.0.1:%1"_s
            << QVariantList{u"gone@b.test"_s} << false << u"gone@b.test (550"_s;
        QTest::newRow("closed port fails at connect")
            << QStringList{u"--stopped"_s} << u"127.0.0.1:%1"_s << one << false
            << u"Couldn't connect"_s;
        QTest::newRow("unknown host")
            << QStringList{} << u"nowhere.invalid:%1"_s << one << false << u"resolve"_s;
        QTest::newRow("no host") << QStringList{} << u""_s << one << false << u"host"_s;
        QTest::newRow("no recipients")
            << QStringList{} << u"127.0.0.1:%1"_s << QVariantList{} << false << u"recipient"_s;
        QTest::newRow("wrong credentials") << QStringList{u"--require-auth"_s, u"ops:other"_s}
                                           << u"127.0.0.1:%1"_s << one << true << u"535"_s;
        QTest::newRow("authentication asked for, server offers none")
            << QStringList{} << u"127.0.0.1:%1"_s << one << true << u"offers no authentication"_s;
    }
    void failureIsShownOnceAndTheRunGoesOn()
    {
        QFETCH(QStringList, serverOptions);
        QFETCH(QString, host);
        QFETCH(QVariantList, addresses);
        QFETCH(bool, auth);
        QFETCH(QString, expected);
        const bool stopped = serverOptions.removeAll(u"--stopped"_s) > 0;
        SmtpTestServer server;
        START_SMTP_SERVER(server, serverOptions);
        if (stopped)
            server.stop();
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, host.contains(u"%1"_s) ? host.arg(server.port) : host},
                      {u"EMailAuth"_s, auth},
                      {u"EMailUsername"_s, u"ops"_s},
                      {u"EMailPassword"_s, u"s3cret"_s},
                      {u"PopupAlerts"_s, true}});
        f.addAddresses(addresses);
        dvDirectories& engine = f.start();
        f.host.calls.clear();

        engine.CheckSpace();

        const QStringList errors = f.mailErrors();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(expected), qPrintable(errors[0]));
        QCOMPARE(server.messages().size(), 0);
        // The run carries on past the delivery: the popup, then the chart.
        const qsizetype shown = f.host.calls.indexOf(errors[0]);
        const qsizetype popup = f.host.calls.indexOf(u"createPopupWindow"_s);
        QVERIFY2(shown < popup && popup < f.host.calls.indexOf(u"refreshSummaryChart"_s),
                 qPrintable(f.host.calls.join(u", "_s)));
        QCOMPARE(f.host.calls.last(), u"idle"_s);
    }

    void switchedOffMakesNoConnectionAndReadsNoAddress()
    {
        SmtpTestServer server;
        START_SMTP_SERVER(server);
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()}, {u"EMailAlerts"_s, false}});
        // Reading this address would end the run with a conversion error.
        f.addAddresses({u"ops@a.test"_s, QVariant()});
        dvDirectories& engine = f.start();
        QSignalSpy reopened(&f.dm->AQryAlerts, &DataSet::activeChanged);
        QVERIFY(reopened.isValid());

        engine.CheckSpace();

        QCOMPARE(engine.AlertCount, 2);
        QCOMPARE(reopened.count(), 0);
        QCOMPARE(server.connections(), 0);
        QCOMPARE(f.mailErrors(), QStringList());
    }

    void aNullAddressEndsTheRunBeforeAnythingIsSent()
    {
        SmtpTestServer server;
        START_SMTP_SERVER(server);
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()}, {u"PopupAlerts"_s, true}});
        f.addAddresses({u"ops@a.test"_s, QVariant(), u"boss@c.test"_s});
        dvDirectories& engine = f.start();
        f.host.calls.clear();

        const QString message = raisedMessage([&] { engine.CheckSpace(); });

        QCOMPARE(message, u"Could not convert variant of type (Null) into type (String)"_s);
        QCOMPARE(server.connections(), 0);
        QCOMPARE(f.mailErrors(), QStringList());
        QVERIFY(!f.host.calls.contains(u"createPopupWindow"_s));
        QVERIFY(!f.host.calls.contains(u"refreshSummaryChart"_s));
    }

    void authLoginReachesAServerThatRequiresIt()
    {
        SmtpTestServer server;
        START_SMTP_SERVER(server, QStringList{u"--require-auth"_s, u"ops:s3cret"_s});
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()},
                      {u"EMailAuth"_s, true},
                      {u"EMailUsername"_s, u"ops"_s},
                      {u"EMailPassword"_s, u"s3cret"_s}});
        f.addAddresses({u"ops@a.test"_s});
        dvDirectories& engine = f.start();
        engine.CheckSpace();
        QCOMPARE(f.mailErrors(), QStringList());
        const QList<ReceivedMail> mails = server.messages();
        QCOMPARE(mails.size(), 1);
        QVERIFY(mails[0].authenticated);
    }

    void subjectCannotAddAHeader_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("seen");
        QTest::newRow("CR LF") << u"Disk full\r\nBcc: spy@evil.test"_s
                               << u"Disk full Bcc: spy@evil.test"_s;
        QTest::newRow("bare LF") << u"Disk full\nBcc: spy@evil.test"_s
                                 << u"Disk full Bcc: spy@evil.test"_s;
        QTest::newRow("bare CR") << u"Disk full\rBcc: spy@evil.test"_s
                                 << u"Disk full Bcc: spy@evil.test"_s;
        QTest::newRow("blank line would start the body")
            << u"Disk full\r\n\r\nBcc: spy@evil.test"_s << u"Disk full Bcc: spy@evil.test"_s;
        QTest::newRow("non-ASCII, encoded")
            << u"Plattenplatz knapp \u00fcberall\nBcc: spy@evil.test"_s
            << u"Plattenplatz knapp \u00fcberall Bcc: spy@evil.test"_s;
    }
    void subjectCannotAddAHeader()
    {
        QFETCH(QString, subject);
        QFETCH(QString, seen);
        SmtpTestServer server;
        START_SMTP_SERVER(server);
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()}, {u"EMailSubject"_s, subject}});
        f.addAddresses({u"ops@a.test"_s});
        dvDirectories& engine = f.start();
        engine.CheckSpace();

        const QList<ReceivedMail> mails = server.messages();
        QCOMPARE(mails.size(), 1);
        QCOMPARE(mails[0].to, QStringList{u"ops@a.test"_s});
        QCOMPARE(mails[0].header("Bcc"), QByteArray());
        QCOMPARE(decodedHeader(mails[0].header("Subject")), seen);
        QVERIFY(mails[0].body().startsWith(alertStamp(RunMoment).toUtf8()));
    }

    void anAddressWithALineBreakIsRefusedNotPassedOn_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("expected");
        const QString smuggled = u"\r\nRCPT TO:<spy@evil.test>"_s;
        QTest::newRow("sender") << Sender + smuggled << u"ops@a.test"_s
                                << u"Invalid e-mail address of the sender"_s;
        QTest::newRow("the only recipient")
            << Sender << u"ops@a.test"_s + smuggled
            << u"No valid recipient address: ops@a.test RCPT TO:<spy@evil.test> (not a valid "
               u"e-mail address)"_s;
    }
    void anAddressWithALineBreakIsRefusedNotPassedOn()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, expected);
        SmtpTestServer server;
        START_SMTP_SERVER(server);
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()}, {u"EMailFrom"_s, from}});
        f.addAddresses({to});
        dvDirectories& engine = f.start();
        engine.CheckSpace();
        QCOMPARE(f.mailErrors().size(), 1);
        QVERIFY2(f.mailErrors()[0].contains(expected), qPrintable(f.mailErrors()[0]));
        QCOMPARE(server.connections(), 0);
    }

    void everyGoodRecipientGetsItAndTheOthersAreNamed()
    {
        // One address the server refuses and two rows no address can be made of, among two
        // good ones: the good ones get the message, one box names the rest.
        SmtpTestServer server;
        START_SMTP_SERVER(server, QStringList{u"--refuse-recipient"_s, u"gone@b.test"_s});
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()}, {u"PopupAlerts"_s, true}});
        f.addAddresses({u"ops@a.test"_s, u"gone@b.test"_s, u"night@b.test\nRCPT TO:<spy@x.test>"_s,
                        u"<a@x.test><spy@x.test>"_s, u"boss@c.test"_s});
        dvDirectories& engine = f.start();
        f.host.calls.clear();

        engine.CheckSpace();

        const QList<ReceivedMail> mails = server.messages();
        QCOMPARE(mails.size(), 1);
        QCOMPARE(mails[0].to, (QStringList{u"ops@a.test"_s, u"boss@c.test"_s}));
        QCOMPARE(mails[0].header("To"), QByteArray("ops@a.test, gone@b.test, boss@c.test"));
        QCOMPARE(f.mailErrors(),
                 QStringList{u"message Mail Error: The message was not delivered to "
                             u"night@b.test RCPT TO:<spy@x.test> (not a valid e-mail address), "
                             u"<a@x.test><spy@x.test> (not a valid e-mail address), "
                             u"gone@b.test (550 5.1.1 Recipient address rejected)"_s});
        QVERIFY(f.host.calls.indexOf(f.mailErrors()[0]) <
                f.host.calls.indexOf(u"createPopupWindow"_s));
    }

    void anIPv6ServerIsReached_data()
    {
        QTest::addColumn<QString>("host"); // "%1" is the server's port
        QTest::addColumn<int>("port");     // 0: any free port
        QTest::newRow("[::1]:port") << u"[::1]:%1"_s << 0;
        // The SMTP port itself, for the forms that name none; only root may listen there.
        QTest::newRow("[::1]") << u"[::1]"_s << 25;
        QTest::newRow("::1") << u"::1"_s << 25;
    }
    void anIPv6ServerIsReached()
    {
        QFETCH(QString, host);
        QFETCH(int, port);
        if (port != 0 && geteuid() != 0)
            QSKIP("listening on port 25 needs root");
        SmtpTestServer server;
        START_SMTP_SERVER(server,
                          QStringList{u"--listen"_s, u"::1"_s, u"--port"_s, QString::number(port)});
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, host.contains(u"%1"_s) ? host.arg(server.port) : host}});
        f.addAddresses({u"ops@a.test"_s});
        dvDirectories& engine = f.start();
        engine.CheckSpace();
        QCOMPARE(f.mailErrors(), QStringList());
        QCOMPARE(server.messages().size(), 1);
    }

    void aSenderNameBeyondAsciiIsEncoded()
    {
        SmtpTestServer server;
        START_SMTP_SERVER(server);
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()},
                      {u"EMailFrom"_s, u"\u00c5lert B\u00f8t <alerts@example.com>"_s}});
        f.addAddresses({u"ops@a.test"_s});
        dvDirectories& engine = f.start();
        engine.CheckSpace();
        const QList<ReceivedMail> mails = server.messages();
        QCOMPARE(mails.size(), 1);
        QCOMPARE(mails[0].from, u"alerts@example.com"_s);
        const QByteArray from = mails[0].header("From");
        QVERIFY2(from.startsWith("=?UTF-8?B?") && from.endsWith(" <alerts@example.com>"),
                 from.constData());
        QCOMPARE(decodedHeader(from.left(from.indexOf(" <"))), u"\u00c5lert B\u00f8t"_s);
        // Nothing but ASCII in the header block, so "7bit" holds for it.
        for (const char c : mails[0].headerBlock())
            QVERIFY(static_cast<unsigned char>(c) < 0x80);
    }

    void linesAcrossASecondBoundaryCarryTheirOwnStamps()
    {
        SmtpTestServer server;
        START_SMTP_SERVER(server);
        MailFixture f;
        f.setOptions({{u"EMailHost"_s, server.host()}});
        f.addAddresses({u"ops@a.test"_s});
        const QDateTime first(QDate(2007, 3, 11), QTime(9, 30, 59, 700));
        SteppingClock clock(first, 400);
        dvDirectories& engine = f.start(&clock);
        engine.ReadOptions();
        engine.AlertLines = {QString(), u"FS1 : System Not Found"_s, u"FS2 : System Not Found"_s};
        engine.AlertCount = 2;

        engine.SendEMailAlerts();

        const QList<ReceivedMail> mails = server.messages();
        QCOMPARE(mails.size(), 1);
        const QList<QByteArray> lines = mails[0].body().split('\n');
        QCOMPARE(lines.size(), 3); // two lines, each ending in CR LF
        QCOMPARE(lines[0], stampedAlertLine(first, u"FS1 : System Not Found"_s).toUtf8() + '\r');
        QCOMPARE(lines[1],
                 stampedAlertLine(first.addMSecs(400), u"FS2 : System Not Found"_s).toUtf8() +
                     '\r');
        QVERIFY(alertStamp(first) != alertStamp(first.addMSecs(400)));
    }

    void serverSettingsHandedToTheClient_data()
    {
        QTest::addColumn<QString>("emailHost");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("username");
        QTest::newRow("plain host on port 25, no login")
            << u"mail.example.test"_s << false << u"mail.example.test"_s << 25 << QString();
        QTest::newRow("submission port and login")
            << u"mail.example.test:587"_s << true << u"mail.example.test"_s << 587 << u"ops"_s;
    }
    void serverSettingsHandedToTheClient()
    {
        QFETCH(QString, emailHost);
        QFETCH(bool, auth);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, username);
        QList<SmtpDelivery> deliveries;
        MailFixture f;
        f.mail = std::make_unique<RecordingTransport>(deliveries);
        f.setOptions({{u"EMailHost"_s, emailHost},
                      {u"EMailAuth"_s, auth},
                      {u"EMailUsername"_s, u"ops"_s},
                      {u"EMailPassword"_s, u"s3cret"_s}});
        f.addAddresses({u"ops@a.test"_s});
        f.start().CheckSpace();

        QCOMPARE(deliveries.size(), 1);
        const SmtpDelivery& d = deliveries[0];
        QCOMPARE(d.host, host);
        QCOMPARE(d.port, port);
        QCOMPARE(d.authenticate, auth);
        QCOMPARE(d.username, username);
        QCOMPARE(d.connectTimeout, std::chrono::milliseconds(10'000));
        QVERIFY(d.totalTimeout > d.connectTimeout);
    }

    void cliDeliversAndReportsFailuresOnStderr_data()
    {
        QTest::addColumn<RunKind>("kind");
        QTest::addColumn<bool>("refuse");
        QTest::newRow("check delivered: only why the disk was not found on the error stream")
            << RunKind::CheckSpace << false;
        QTest::newRow("snapshot delivered too") << RunKind::Snapshot << false;
        QTest::newRow("refused: one Mail Error line, same exit status")
            << RunKind::CheckSpace << true;
    }
    void cliDeliversAndReportsFailuresOnStderr()
    {
        QFETCH(RunKind, kind);
        QFETCH(bool, refuse);
        SmtpTestServer server;
        START_SMTP_SERVER(server,
                          refuse ? QStringList{u"--refuse-sender"_s, Sender} : QStringList{});
        MailFixture f({u"Disk"_s});
        f.setOptions({{u"EMailHost"_s, server.host()}});
        f.addAddresses({u"ops@a.test"_s});

        CapturedStream out;
        CapturedStream err;
        const int status =
            runEngineCommand(kind, {f.db.path()}, out.file(), err.file(), f.clock, f.probe);
        const QString printed = out.text();
        const QString errors = err.text();

        QCOMPARE(status, 1);
        QCOMPARE(printed.count(u'\n'), 1);
        const QList<ReceivedMail> mails = server.messages();
        QCOMPARE(mails.size(), refuse ? 0 : 1);
        // The message carries the very lines the command prints.
        if (!refuse)
            QCOMPARE(mails[0].body(), QString(printed).replace(u"\n"_s, u"\r\n"_s).toUtf8());
        // After the run, why the disk was not found; nothing else unless the mail failed.
        QVERIFY2(errors.endsWith(u"\nDisk: not found\n"_s) || errors == u"Disk: not found\n"_s,
                 qPrintable(errors));
        if (refuse) {
            QVERIFY2(errors.startsWith(u"Mail Error: "_s) && errors.count(u'\n') == 2,
                     qPrintable(errors));
        } else {
            QCOMPARE(errors, u"Disk: not found\n"_s);
        }
    }
};

QTEST_GUILESS_MAIN(TestMailDelivery)
#include "test_mail_delivery.moc"
