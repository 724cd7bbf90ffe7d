#include "platform/HostEndpoint.h"

using namespace Qt::Literals::StringLiterals;

QString HostEndpoint::key() const
{
    QString key = host;
    for (const int port : ports)
        key += u':' + QString::number(port);
    return key + u'/' + QString::fromLatin1(hello.toHex()) + (keepConnection ? u"+"_s : u""_s);
}
