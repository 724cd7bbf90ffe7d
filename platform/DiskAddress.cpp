#include "platform/DiskAddress.h"

using namespace Qt::Literals::StringLiterals;

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isSchemeChar(QChar c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

// The scheme of "scheme://rest", or an empty string when the address is not of that form.
QString schemeOf(const QString& address)
{
    const qsizetype separator = address.indexOf(u"://"_s);
    if (separator <= 0 || !isAsciiLetter(address.front()))
        return {};
    for (qsizetype i = 1; i < separator; ++i)
        if (!isSchemeChar(address.at(i)))
            return {};
    return address.left(separator).toLower();
}

} // namespace

DiskAddressKind diskAddressKind(const QString& address)
{
    if (address.isEmpty() || address.contains(QChar(0)))
        return DiskAddressKind::Invalid;
    if (address.startsWith(u"\\\\"_s))
        return DiskAddressKind::Smb;
    const QString scheme = schemeOf(address);
    // A single letter is a drive ("C://data"), not a scheme.
    if (scheme.size() <= 1)
        return DiskAddressKind::Local;
    if (scheme == u"smb")
        return DiskAddressKind::Smb;
    if (scheme == u"sftp")
        return DiskAddressKind::Sftp;
    return DiskAddressKind::Unsupported;
}
