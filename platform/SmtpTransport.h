#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
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

// What went wrong, in the client's words.
class SmtpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Delivers a message or throws SmtpError; closes its connection (with QUIT when it can)
// before returning either way.
class SmtpTransport {
public:
    virtual ~SmtpTransport() = default;
    virtual void send(const SmtpDelivery& delivery) = 0;
};

// The build's transport (libcurl's SMTP client).
std::unique_ptr<SmtpTransport> createSmtpTransport();

// Replaces what createSmtpTransport returns until the returned guard goes; for tests that
// need a failure no real server gives.
class SmtpTransportOverride {
public:
    using Factory = std::function<std::unique_ptr<SmtpTransport>()>;
    explicit SmtpTransportOverride(Factory factory);
    ~SmtpTransportOverride();
    SmtpTransportOverride(const SmtpTransportOverride&) = delete;
    SmtpTransportOverride& operator=(const SmtpTransportOverride&) = delete;

private:
    Factory m_previous;
};
