#include "data/DM2.h"
#include "engine/AlertStamp.h"
#include "engine/Clock.h"
#include "engine/Directories.h"
#include "engine/EngineHost.h"
#include "engine/MailMessage.h"
#include "platform/SmtpTransport.h"

#include <QUuid>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

// Every address of the Alerts table in the query's order. A Null address raises the
// conversion error here, before anything is sent, and ends the run.
QStringList alertAddresses(DataSet& query)
{
    query.close();
    query.open();
    QStringList addresses;
    for (query.first(); !query.eof(); query.next())
        addresses << query.fieldByName(u"EMailAddress"_s).asString();
    query.close();
    return addresses;
}

} // namespace

void dvDirectories::SendEMailAlerts()
{
    if (!EMailAlerts || AlertCount == 0)
        return;

    const MailMessage::ServerAddress server = MailMessage::parseServerAddress(EMailHost);
    SmtpDelivery delivery;
    delivery.host = server.host;
    delivery.port = server.port;
    delivery.authenticate = EMailAuth;
    if (EMailAuth) {
        delivery.username = EMailUsername;
        delivery.password = EMailPassword;
    }

    const QStringList addresses = alertAddresses(m_dm.AQryAlerts);
    const MailMessage::Recipients recipients = MailMessage::recipients(addresses);
    MailMessage::Content content;
    content.from = EMailFrom;
    content.subject = EMailSubject;
    content.to = recipients.addresses;
    // Each line takes the time anew, so a delivery that runs across a second shows it.
    for (int i = 1; i <= AlertCount; ++i)
        content.lines << stampedAlertLine(m_clock.now(), alertLine(i));
    content.date = m_clock.now();
    content.uniqueToken = QUuid::createUuid().toString(QUuid::WithoutBraces);

    delivery.envelopeFrom = MailMessage::mailboxAddress(EMailFrom);
    delivery.envelopeRecipients = content.to;
    delivery.message = MailMessage::compose(content);

    // A malformed row of the table is skipped, not a reason to alert nobody.
    QList<MailMessage::UndeliveredRecipient> undelivered;
    for (const QString& entry : recipients.malformed)
        undelivered << MailMessage::UndeliveredRecipient{entry, u"not a valid e-mail address"_s};
    auto addRefused = [&undelivered](const QList<RefusedRecipient>& refused) {
        for (const RefusedRecipient& r : refused)
            undelivered << MailMessage::UndeliveredRecipient{r.address, r.reply};
    };

    // A failed delivery is the user's to see, not the run's to end: the popup and the rest of
    // the run still follow. The box is shown once the connection is gone, because a run
    // started by a timer may deliver again while it is open. The transport gives up after
    // 10 seconds without a connection and 60 seconds for the whole exchange.
    std::optional<QString> failure;
    if (content.to.isEmpty() && !undelivered.isEmpty()) {
        failure = u"No valid recipient address: "_s + MailMessage::undeliveredText(undelivered);
    } else {
        // Why the message reached nobody; none when it went out, perhaps not to everyone.
        std::optional<QString> notSent;
        try {
            addRefused(m_mail.send(delivery));
        } catch (const SmtpError& e) {
            addRefused(e.refused);
            notSent = QString::fromUtf8(e.what());
        } catch (const std::exception& e) {
            notSent = QString::fromUtf8(e.what());
        }
        // Whoever the message did not reach is named, whatever else went wrong.
        if (notSent && !undelivered.isEmpty())
            failure =
                *notSent + u"; not delivered to "_s + MailMessage::undeliveredText(undelivered);
        else if (notSent)
            failure = notSent;
        else if (!undelivered.isEmpty())
            failure =
                u"The message was not delivered to "_s + MailMessage::undeliveredText(undelivered);
    }
    if (failure)
        m_host.showMessage(u"Mail Error: "_s + *failure);
}
