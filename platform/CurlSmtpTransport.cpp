#include "platform/SmtpTransport.h"

#include "platform/CurlApi.h"

#include <QSysInfo>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

struct EasyDeleter {
    const CurlApi* curl;
    void operator()(CURL* handle) const { curl->easyCleanup(handle); }
};
struct UrlDeleter {
    const CurlApi* curl;
    void operator()(CURLU* url) const { curl->urlCleanup(url); }
};
struct ListDeleter {
    const CurlApi* curl;
    void operator()(curl_slist* list) const { curl->slistFreeAll(list); }
};

// What one exchange has seen so far, filled by libcurl's callbacks.
struct Exchange {
    QByteArray message;
    qsizetype sent = 0;
    bool authenticate = false;
    bool authSent = false;
    bool refusedForMissingAuth = false;
    QByteArray lastErrorReply;
    // The recipient whose RCPT TO awaits its reply; libcurl sends one at a time.
    std::optional<QString> pendingRecipient;
    QList<RefusedRecipient> refused;
};

int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user)
{
    auto* exchange = static_cast<Exchange*>(user);
    const QByteArray text(data, static_cast<qsizetype>(size));
    if (type == CURLINFO_HEADER_OUT) {
        if (text.startsWith("AUTH "))
            exchange->authSent = true;
        if (text.toUpper().startsWith("RCPT TO:")) {
            QByteArray address = text.mid(8).trimmed();
            if (address.startsWith('<') && address.contains('>'))
                address = address.mid(1, address.indexOf('>') - 1);
            exchange->pendingRecipient = QString::fromUtf8(address);
        }
    }
    if (type == CURLINFO_HEADER_IN) {
        for (const QByteArray& line : text.split('\n')) {
            const QByteArray reply = line.trimmed();
            if (reply.startsWith('4') || reply.startsWith('5'))
                exchange->lastErrorReply = reply;
            // "250-" continues a reply; only its last line ("250 ") ends it.
            const bool final = reply.size() >= 3 && (reply.size() == 3 || reply.at(3) == ' ');
            if (final && exchange->pendingRecipient) {
                if (reply.startsWith('4') || reply.startsWith('5'))
                    exchange->refused
                        << RefusedRecipient{*exchange->pendingRecipient, QString::fromUtf8(reply)};
                exchange->pendingRecipient.reset();
            }
        }
    }
    return 0;
}

// Called once the greeting, STARTTLS and authentication are over and before MAIL FROM.
// libcurl skips authentication without a word when the server offers none; with
// authentication asked for, that must stop the delivery instead of sending the message
// unauthenticated.
int onPrerequest(void* user, char*, char*, int, int)
{
    auto* exchange = static_cast<Exchange*>(user);
    if (exchange->authenticate && !exchange->authSent) {
        exchange->refusedForMissingAuth = true;
        return CURL_PREREQFUNC_ABORT;
    }
    return CURL_PREREQFUNC_OK;
}

size_t onRead(char* buffer, size_t size, size_t count, void* user)
{
    auto* exchange = static_cast<Exchange*>(user);
    const qsizetype room = static_cast<qsizetype>(size * count);
    const qsizetype n = std::min(room, exchange->message.size() - exchange->sent);
    std::memcpy(buffer, exchange->message.constData() + exchange->sent, static_cast<size_t>(n));
    exchange->sent += n;
    return static_cast<size_t>(n);
}

// An address goes into MAIL FROM or RCPT TO as it is: a line break or angle bracket there
// would end the command early and let the rest through as commands of its own.
bool isSafeEnvelopeAddress(const QString& address)
{
    for (const QChar c : address)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == u'<' || c == u'>')
            return false;
    return true;
}

// A literal IPv6 address goes into a URL in brackets; a name or IPv4 address as it is.
QByteArray urlHost(const QString& host)
{
    if (host.contains(u':') && !host.startsWith(u'['))
        return "[" + host.toUtf8() + "]";
    return host.toUtf8();
}

// For messages: control characters shown, never sent to a terminal as they are.
QString printable(const QString& text)
{
    QString out;
    for (const QChar c : text)
        out += c.unicode() < 0x20 || c.unicode() == 0x7f ? QChar(u' ') : c;
    return out;
}

template <typename T> void set(const CurlApi& curl, CURL* handle, CURLoption option, T value)
{
    if (curl.easySetopt(handle, option, value) != CURLE_OK)
        throw SmtpError("The mail client refused a setting");
}

class CurlSmtpTransport final : public SmtpTransport {
public:
    QList<RefusedRecipient> send(const SmtpDelivery& delivery) override
    {
        if (!isSafeEnvelopeAddress(delivery.envelopeFrom))
            throw SmtpError("Invalid e-mail address of the sender: " +
                            printable(delivery.envelopeFrom).toStdString());
        // A malformed recipient cannot go on the wire; the others still get the message.
        QList<RefusedRecipient> skipped;
        QStringList recipientsToSend;
        for (const QString& to : delivery.envelopeRecipients) {
            if (isSafeEnvelopeAddress(to))
                recipientsToSend << to;
            else
                skipped << RefusedRecipient{to, u"not a valid e-mail address"_s};
        }
        if (recipientsToSend.isEmpty())
            throw SmtpError(skipped.isEmpty() ? "No recipient addresses"
                                              : "No valid recipient addresses",
                            skipped);

        QString whyNoCurl;
        const CurlApi* curl = curlApi(&whyNoCurl);
        if (!curl)
            throw SmtpError("The mail library could not be loaded: " + whyNoCurl.toStdString());

        std::unique_ptr<CURLU, UrlDeleter> url(curl->url(), UrlDeleter{curl});
        if (!url)
            throw SmtpError("Out of memory");
        // The URL's path is the name the greeting sends: this machine's, as servers expect.
        const QByteArray greetingName = QUrl::toPercentEncoding(
            QSysInfo::machineHostName().isEmpty() ? u"localhost"_s : QSysInfo::machineHostName());
        const QByteArray host = urlHost(delivery.host);
        const QByteArray port = QByteArray::number(delivery.port);
        for (const auto& [part, value] :
             {std::pair{CURLUPART_SCHEME, QByteArray("smtp")}, std::pair{CURLUPART_HOST, host},
              std::pair{CURLUPART_PORT, port}, std::pair{CURLUPART_PATH, "/" + greetingName}}) {
            const CURLUcode code = curl->urlSet(url.get(), part, value.constData(), 0);
            if (code != CURLUE_OK)
                throw SmtpError(std::string(curl->urlStrerror(code)) + ": \"" + host.toStdString() +
                                "\"");
        }

        Exchange exchange;
        exchange.message = delivery.message;
        exchange.authenticate = delivery.authenticate;
        const QByteArray from = delivery.envelopeFrom.toUtf8();
        const QByteArray username = delivery.username.toUtf8();
        const QByteArray password = delivery.password.toUtf8();
        std::unique_ptr<curl_slist, ListDeleter> recipients(nullptr, ListDeleter{curl});
        for (const QString& to : recipientsToSend) {
            // Appending keeps the list's head, except for the first entry.
            curl_slist* head = curl->slistAppend(recipients.get(), to.toUtf8().constData());
            if (!head)
                throw SmtpError("Out of memory");
            if (!recipients)
                recipients.reset(head);
        }
        char errorText[CURL_ERROR_SIZE] = {};

        // Declared after everything it points to: its cleanup still closes the connection
        // (QUIT) and calls back into the exchange while doing so.
        std::unique_ptr<CURL, EasyDeleter> handle(curl->easyInit(), EasyDeleter{curl});
        if (!handle)
            throw SmtpError("Out of memory");
        CURL* h = handle.get();
        set(*curl, h, CURLOPT_CURLU, url.get());
        set(*curl, h, CURLOPT_ERRORBUFFER, errorText);
        set(*curl, h, CURLOPT_NOSIGNAL, 1L);
        set(*curl, h, CURLOPT_CONNECTTIMEOUT_MS,
            static_cast<long>(delivery.connectTimeout.count()));
        set(*curl, h, CURLOPT_TIMEOUT_MS, static_cast<long>(delivery.totalTimeout.count()));
        set(*curl, h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
        set(*curl, h, CURLOPT_MAIL_FROM, from.constData());
        set(*curl, h, CURLOPT_MAIL_RCPT, recipients.get());
        // Without this one refused recipient stops the delivery to all the others.
        set(*curl, h, CURLOPT_MAIL_RCPT_ALLLOWFAILS, 1L);
        set(*curl, h, CURLOPT_UPLOAD, 1L);
        set(*curl, h, CURLOPT_READFUNCTION, &onRead);
        set(*curl, h, CURLOPT_READDATA, &exchange);
        set(*curl, h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(exchange.message.size()));
        set(*curl, h, CURLOPT_VERBOSE, 1L); // feeds onDebug only; nothing is printed
        set(*curl, h, CURLOPT_DEBUGFUNCTION, &onDebug);
        set(*curl, h, CURLOPT_DEBUGDATA, &exchange);
        set(*curl, h, CURLOPT_PREREQFUNCTION, &onPrerequest);
        set(*curl, h, CURLOPT_PREREQDATA, &exchange);
        if (delivery.authenticate) {
            set(*curl, h, CURLOPT_USERNAME, username.constData());
            set(*curl, h, CURLOPT_PASSWORD, password.constData());
            set(*curl, h, CURLOPT_LOGIN_OPTIONS, "AUTH=LOGIN");
        }

        const CURLcode result = curl->easyPerform(h);
        const QList<RefusedRecipient> refused = skipped + exchange.refused;
        if (result == CURLE_OK)
            return refused;
        if (exchange.refusedForMissingAuth)
            throw SmtpError("The server offers no authentication; the message was not sent");
        if (!exchange.refused.isEmpty() && exchange.refused.size() == recipientsToSend.size())
            throw SmtpError("The server refused every recipient", refused);
        std::string text = errorText[0] ? errorText : curl->easyStrerror(result);
        if (!exchange.lastErrorReply.isEmpty())
            text += " (" + exchange.lastErrorReply.toStdString() + ")";
        throw SmtpError(text);
    }
};

} // namespace

std::unique_ptr<SmtpTransport> createSmtpTransport()
{
    return std::make_unique<CurlSmtpTransport>();
}
