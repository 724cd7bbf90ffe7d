#include "engine/MailMessage.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using MailMessage::ServerAddress;

Q_DECLARE_METATYPE(ServerAddress)

namespace {

QList<QByteArray> linesOf(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return lines;
}

} // namespace

class TestMailMessage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void serverAddress_data()
    {
        QTest::addColumn<QString>("emailHost");
        QTest::addColumn<ServerAddress>("expected");
        QTest::newRow("host alone means port 25")
            << u"mail.example.test"_s << ServerAddress{u"mail.example.test"_s, 25};
        QTest::newRow("submission port")
            << u"mail.example.test:587"_s << ServerAddress{u"mail.example.test"_s, 587};
        QTest::newRow("blanks around are ignored")
            << u" 10.0.0.5:2525 "_s << ServerAddress{u"10.0.0.5"_s, 2525};
        QTest::newRow("bracketed IPv6 with port")
            << u"[::1]:2525"_s << ServerAddress{u"::1"_s, 2525};
        QTest::newRow("bracketed IPv6 alone") << u"[::1]"_s << ServerAddress{u"::1"_s, 25};
        QTest::newRow("bare IPv6 is all host") << u"fe80::1"_s << ServerAddress{u"fe80::1"_s, 25};
        QTest::newRow("no port after the colon is left to the client")
            << u"mail.example.test:"_s << ServerAddress{u"mail.example.test:"_s, 25};
        QTest::newRow("port out of range is left to the client")
            << u"mail.example.test:70000"_s << ServerAddress{u"mail.example.test:70000"_s, 25};
        QTest::newRow("words after the colon are left to the client")
            << u"mail.example.test:smtp"_s << ServerAddress{u"mail.example.test:smtp"_s, 25};
        QTest::newRow("empty stays empty") << QString() << ServerAddress{QString(), 25};
    }
    void serverAddress()
    {
        QFETCH(QString, emailHost);
        QFETCH(ServerAddress, expected);
        const ServerAddress parsed = MailMessage::parseServerAddress(emailHost);
        QCOMPARE(parsed.host, expected.host);
        QCOMPARE(parsed.port, expected.port);
    }

    void commaText_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain addresses joined")
            << QStringList{u"a@x.test"_s, u"b@y.test"_s} << u"a@x.test,b@y.test"_s;
        QTest::newRow("space quotes")
            << QStringList{u"Ops <o@x.test>"_s} << u"\"Ops <o@x.test>\""_s;
        QTest::newRow("comma quotes, so it stays one entry")
            << QStringList{u"a@x.test, b@y.test"_s} << u"\"a@x.test, b@y.test\""_s;
        QTest::newRow("double quote quotes and is doubled")
            << QStringList{u"\"Ops\"@x.test"_s} << u"\"\"\"Ops\"\"@x.test\""_s;
        QTest::newRow("control character quotes")
            << QStringList{u"a@x.test\tb"_s} << u"\"a@x.test\tb\""_s;
        QTest::newRow("empty list") << QStringList{} << QString();
    }
    void commaText()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, text);
        QCOMPARE(MailMessage::commaText(entries), text);
        QCOMPARE(MailMessage::splitCommaText(text), entries);
    }

    void recipients_data()
    {
        QTest::addColumn<QStringList>("column");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<QStringList>("malformed");
        QTest::newRow("table order kept")
            << QStringList{u"c@z.test"_s, u"a@x.test"_s, u"b@y.test"_s}
            << QStringList{u"c@z.test"_s, u"a@x.test"_s, u"b@y.test"_s} << QStringList{};
        QTest::newRow("display name dropped") << QStringList{u"Night Shift <night@x.test>"_s}
                                              << QStringList{u"night@x.test"_s} << QStringList{};
        QTest::newRow("blank addresses left out") << QStringList{QString(), u"a@x.test"_s, u"  "_s}
                                                  << QStringList{u"a@x.test"_s} << QStringList{};
        QTest::newRow("a row holding two addresses is one (bad) recipient")
            << QStringList{u"a@x.test, b@y.test"_s} << QStringList{u"a@x.test, b@y.test"_s}
            << QStringList{};
        QTest::newRow("a line break makes the entry malformed, the others stay")
            << QStringList{u"a@x.test\r\nRCPT TO:<spy@evil.test>"_s, u"b@y.test"_s}
            << QStringList{u"b@y.test"_s} << QStringList{u"a@x.test\r\nRCPT TO:<spy@evil.test>"_s};
        QTest::newRow("brackets around a second address")
            << QStringList{u"<a@x.test><spy@evil.test>"_s, u"a@x.test> spy@evil.test"_s}
            << QStringList{}
            << QStringList{u"<a@x.test><spy@evil.test>"_s, u"a@x.test> spy@evil.test"_s};
        QTest::newRow("text after the bracketed address")
            << QStringList{u"Ops <a@x.test> spy@evil.test"_s} << QStringList{}
            << QStringList{u"Ops <a@x.test> spy@evil.test"_s};
    }
    void recipients()
    {
        QFETCH(QStringList, column);
        QFETCH(QStringList, recipients);
        QFETCH(QStringList, malformed);
        const MailMessage::Recipients sorted = MailMessage::recipients(column);
        QCOMPARE(sorted.addresses, recipients);
        QCOMPARE(sorted.malformed, malformed);
    }

    void fromHeader_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("bare address as it is")
            << u"alerts@example.com"_s << QByteArray("alerts@example.com");
        QTest::newRow("ASCII display name as it is")
            << u"Alert Bot <alerts@example.com>"_s << QByteArray("Alert Bot <alerts@example.com>");
        QTest::newRow("non-ASCII display name encoded")
            << u"\u00c5lert B\u00f8t <alerts@example.com>"_s
            << QByteArray("=?UTF-8?B?") + u"\u00c5lert B\u00f8t"_s.toUtf8().toBase64() +
                   "?= <alerts@example.com>";
        QTest::newRow("quotes around the name are not part of it")
            << u"\"B\u00f8t\" <alerts@example.com>"_s
            << QByteArray("=?UTF-8?B?") + u"B\u00f8t"_s.toUtf8().toBase64() +
                   "?= <alerts@example.com>";
        QTest::newRow("ASCII name with a comma is quoted")
            << u"Ops, Storage <alerts@example.com>"_s
            << QByteArray("\"Ops, Storage\" <alerts@example.com>");
        QTest::newRow("a quote inside is escaped")
            << u"Ops \"Night\", Shift <alerts@example.com>"_s
            << QByteArray("\"Ops \\\"Night\\\", Shift\" <alerts@example.com>");
        QTest::newRow("an already quoted name as it is")
            << u"\"Ops, Storage\" <alerts@example.com>"_s
            << QByteArray("\"Ops, Storage\" <alerts@example.com>");
        QTest::newRow("a line break cannot start a header")
            << u"Bot <alerts@example.com>\r\nBcc: spy@evil.test"_s
            << QByteArray("Bot <alerts@example.com> Bcc: spy@evil.test");
    }
    void fromHeader()
    {
        QFETCH(QString, from);
        QFETCH(QByteArray, header);
        QCOMPARE(MailMessage::fromHeaderValue(from), header);
    }

    void sanitizedHeaderValue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("CR LF becomes a space") << u"a\r\nBcc: x"_s << u"a Bcc: x"_s;
        QTest::newRow("bare LF") << u"a\nb"_s << u"a b"_s;
        QTest::newRow("bare CR") << u"a\rb"_s << u"a b"_s;
        QTest::newRow("blank line collapses to one space") << u"a\r\n\r\nb"_s << u"a b"_s;
        QTest::newRow("tab kept") << u"a\tb"_s << u"a\tb"_s;
        QTest::newRow("other control characters dropped")
            << u"a\u0000b\u007fc\u001bd"_s << u"abcd"_s;
        QTest::newRow("non-ASCII kept for encoding") << u"\u00fcber"_s << u"\u00fcber"_s;
    }
    void sanitizedHeaderValue()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(MailMessage::sanitizedHeaderValue(value), expected);
    }

    void headerField_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("encoded");
        QTest::newRow("ASCII passes as it is") << u"Disk alert"_s << false;
        QTest::newRow("non-ASCII is encoded") << u"Plattenplatz \u00fcberall knapp"_s << true;
        QTest::newRow("long non-ASCII folds between whole characters")
            << QString(u"\u00e9\U0001F4BE"_s).repeated(60) << true;
        QTest::newRow("ASCII past the line limit is encoded and folded")
            << QString(1200, u'x') << true;
    }
    void headerField()
    {
        QFETCH(QString, value);
        QFETCH(bool, encoded);
        const QByteArray field = MailMessage::headerField("Subject", value);
        QVERIFY(field.startsWith("Subject: "));
        if (!encoded) {
            QCOMPARE(field, "Subject: " + value.toUtf8());
            return;
        }
        QString decoded;
        for (const QByteArray& line : linesOf(field)) {
            QVERIFY2(line.size() <= 76, line.constData());
            const QByteArray word = line.startsWith("Subject: ") ? line.mid(9) : line.mid(1);
            QVERIFY(word.startsWith("=?UTF-8?B?") && word.endsWith("?="));
            const QByteArray bytes = QByteArray::fromBase64(word.mid(10, word.size() - 12));
            // Each word decodes on its own: no character is split between two.
            QCOMPARE(QString::fromUtf8(bytes).toUtf8(), bytes);
            decoded += QString::fromUtf8(bytes);
        }
        QCOMPARE(decoded, value);
    }

    void dateHeader_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("UTC") << QDateTime(QDate(2026, 12, 10), QTime(4, 53, 55), Qt::UTC)
                             << QByteArray("Thu, 10 Dec 2026 04:53:55 +0000");
        QTest::newRow("half-hour offset east")
            << QDateTime(QDate(2007, 3, 11), QTime(9, 30), Qt::OffsetFromUTC, 19800)
            << QByteArray("Sun, 11 Mar 2007 09:30:00 +0530");
        QTest::newRow("offset west, single-digit day")
            << QDateTime(QDate(2024, 2, 5), QTime(23, 5, 7), Qt::OffsetFromUTC, -8 * 3600)
            << QByteArray("Mon, 5 Feb 2024 23:05:07 -0800");
        QTest::newRow("no time, no value") << QDateTime() << QByteArray();
    }
    void dateHeader()
    {
        QFETCH(QDateTime, when);
        QFETCH(QByteArray, expected);
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QByteArray value = MailMessage::dateHeaderValue(when);
        QLocale::setDefault(before);
        QCOMPARE(value, expected);
    }

    void messageId_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("domain of the sender")
            << u"alerts@example.test"_s << QByteArray("<4f2a-9c@example.test>");
        QTest::newRow("domain inside angle brackets")
            << u"Vardometer <alerts@example.test>"_s << QByteArray("<4f2a-9c@example.test>");
        QTest::newRow("no sender domain") << u""_s << QByteArray("<4f2a-9c@vardometer.invalid>");
    }
    void messageId()
    {
        QFETCH(QString, sender);
        QFETCH(QByteArray, expected);
        QCOMPARE(MailMessage::messageIdHeaderValue(u"4f2a-9c"_s, sender), expected);
    }

    void quotedPrintable_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("ASCII unchanged") << QByteArray("a : b\r\n") << QByteArray("a : b\r\n");
        QTest::newRow("UTF-8 bytes escaped")
            << QByteArray("caf\xc3\xa9\r\n") << QByteArray("caf=C3=A9\r\n");
        QTest::newRow("equals sign escaped") << QByteArray("x=y\r\n") << QByteArray("x=3Dy\r\n");
        QTest::newRow("space at a line end escaped")
            << QByteArray("a \r\nb\r\n") << QByteArray("a=20\r\nb\r\n");
        QTest::newRow("long line broken softly")
            << QByteArray(80, 'a') + "\r\n"
            << QByteArray(75, 'a') + "=\r\n" + QByteArray(5, 'a') + "\r\n";
    }
    void quotedPrintable()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(MailMessage::quotedPrintable(text), expected);
    }

    void compose_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("ASCII lines as they are")
            << QStringList{u"one"_s, u"two"_s} << QByteArray("7bit")
            << QByteArray("one\r\ntwo\r\n");
        QTest::newRow("non-ASCII line quoted-printable")
            << QStringList{u"Disk \u00e9t\u00e9"_s} << QByteArray("quoted-printable")
            << QByteArray("Disk =C3=A9t=C3=A9\r\n");
        QTest::newRow("a line break inside a line keeps it one line")
            << QStringList{u"FS1\r\nFS2"_s, u"x\ny"_s} << QByteArray("7bit")
            << QByteArray("FS1 FS2\r\nx y\r\n");
    }
    void compose()
    {
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, encoding);
        QFETCH(QByteArray, body);
        MailMessage::Content c;
        c.from = u"alerts@example.test"_s;
        c.to = QStringList{u"a@x.test"_s, u"b@y.test"_s};
        c.subject = u"Alert"_s;
        c.lines = lines;
        c.date = QDateTime(QDate(2026, 12, 10), QTime(4, 53, 55), Qt::UTC);
        c.uniqueToken = u"t1"_s;

        const QByteArray message = MailMessage::compose(c);
        const qsizetype end = message.indexOf("\r\n\r\n");
        QVERIFY(end > 0);
        QCOMPARE(message.mid(end + 4), body);
        const QList<QByteArray> headers = linesOf(message.left(end));
        QCOMPARE(headers,
                 (QList<QByteArray>{"From: alerts@example.test", "To: a@x.test, b@y.test",
                                    "Subject: Alert", "Date: Thu, 10 Dec 2026 04:53:55 +0000",
                                    "Message-ID: <t1@example.test>", "MIME-Version: 1.0",
                                    "Content-Type: text/plain; charset=UTF-8",
                                    "Content-Transfer-Encoding: " + encoding}));
    }

    void longRecipientListFolds()
    {
        MailMessage::Content c;
        for (int i = 0; i < 20; ++i)
            c.to << u"recipient%1@example.test"_s.arg(i);
        const QByteArray message = MailMessage::compose(c);
        const QByteArray headerBlock = message.left(message.indexOf("\r\n\r\n"));
        QByteArray unfolded;
        for (const QByteArray& line : linesOf(headerBlock)) {
            QVERIFY2(line.size() <= 78, line.constData());
            if (line.startsWith(' '))
                unfolded += line;
            else if (line.startsWith("To: "))
                unfolded = line;
        }
        QCOMPARE(unfolded, "To: " + c.to.join(u", "_s).toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestMailMessage)
#include "test_mail_message.moc"
