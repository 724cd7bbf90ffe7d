#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <stdexcept>

// One message handed to one SMTP server.
struct SmtpDelivery {
    QString host;
    int port = 25;
    // Sends AUTH LOGIN with these; a server that offers no authentication is then an error,
    // never a reason to send without it.
    bool authenticate = false;
    QString username;
    QString password;
    QString envelopeFrom;
    QStringList envelopeRecipients;
    QByteArray message; // header block, empty line and body, CR LF line ends, not dot-stuffed
    std::chrono::milliseconds connectTimeout{10'000};
    // The whole exchange, connection included: a server that stops answering halfway must
    // not hold the caller (and with it the window) for ever.
    std::chrono::milliseconds totalTimeout{60'000};
};

// A recipient the server would not take, with its reply ("550 5.1.1 No such user").
struct RefusedRecipient {
    QString address;
    QString reply;
    bool operator==(const RefusedRecipient&) const = default;
};

// What went wrong, in the client's words. When the server refused every recipient, they are
// listed too.
class SmtpError : public std::runtime_error {
public:
    explicit SmtpError(const std::string& what, QList<RefusedRecipient> refused = {})
        : std::runtime_error(what)
        , refused(std::move(refused))
    {
    }
    QList<RefusedRecipient> refused;
};

// Delivers a message to every recipient the server accepts and returns the ones it refused
// (empty when all were taken); throws SmtpError when nobody got it. Closes its connection
// (with QUIT when it can) before returning either way.
class SmtpTransport {
public:
    virtual ~SmtpTransport() = default;
    virtual QList<RefusedRecipient> send(const SmtpDelivery& delivery) = 0;
};

// The build's transport (libcurl's SMTP client). Whoever builds the engine hands it one of
// these; tests hand it one of their own for failures no real server gives.
std::unique_ptr<SmtpTransport> createSmtpTransport();
