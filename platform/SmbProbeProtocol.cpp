#include "platform/SmbProbeProtocol.h"

#include "platform/ProbeFailure.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace {

// JSON numbers are doubles; byte counts of large volumes need all 63 bits.
QString bytesText(qint64 bytes)
{
    return QString::number(bytes);
}

std::optional<qint64> bytesValue(const QJsonValue& value)
{
    bool ok = false;
    const qint64 bytes = value.toString().toLongLong(&ok);
    return ok ? std::optional<qint64>(bytes) : std::nullopt;
}

} // namespace

QByteArray encodeSmbProbeRequest(const SmbProbeRequest& request)
{
    QJsonObject o;
    o.insert(u"server"_s, request.server);
    o.insert(u"shareUrl"_s, request.shareUrl);
    o.insert(u"folderUrl"_s, request.folderUrl);
    o.insert(u"guest"_s, request.logon.guest);
    o.insert(u"domain"_s, request.logon.domain);
    o.insert(u"username"_s, request.logon.username);
    o.insert(u"password"_s, request.logon.password);
    o.insert(u"timeoutMs"_s, request.timeoutMs);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<SmbProbeRequest> decodeSmbProbeRequest(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    SmbProbeRequest request;
    request.server = o.value(u"server"_s).toString();
    request.shareUrl = o.value(u"shareUrl"_s).toString();
    request.folderUrl = o.value(u"folderUrl"_s).toString();
    request.logon.guest = o.value(u"guest"_s).toBool(true);
    request.logon.domain = o.value(u"domain"_s).toString();
    request.logon.username = o.value(u"username"_s).toString();
    request.logon.password = o.value(u"password"_s).toString();
    request.timeoutMs = o.value(u"timeoutMs"_s).toInt(10'000);
    if (request.shareUrl.isEmpty() || request.timeoutMs <= 0)
        return std::nullopt;
    return request;
}

QByteArray encodeProbeOutcome(const ProbeOutcome& outcome)
{
    QJsonObject o;
    if (outcome.space) {
        o.insert(u"free"_s, bytesText(outcome.space->freeBytesAvailable));
        o.insert(u"total"_s, bytesText(outcome.space->totalBytes));
    } else {
        o.insert(u"failure"_s, outcome.failure);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

ProbeOutcome decodeProbeOutcome(const QByteArray& data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return ProbeOutcome::failed(ProbeFailure::SmbWorkerFailed);
    const QJsonObject o = document.object();
    if (o.contains(u"failure"_s)) {
        const QString failure = o.value(u"failure"_s).toString();
        return ProbeOutcome::failed(failure.isEmpty() ? QString(ProbeFailure::SmbWorkerFailed)
                                                      : failure);
    }
    const std::optional<qint64> free = bytesValue(o.value(u"free"_s));
    const std::optional<qint64> total = bytesValue(o.value(u"total"_s));
    if (!free || !total)
        return ProbeOutcome::failed(ProbeFailure::SmbWorkerFailed);
    return ProbeOutcome::measured(DiskSpace{*free, *total});
}
