#include "ui/MakerLinks.h"

using namespace Qt::Literals::StringLiterals;

namespace MakerLinks {

QString webAddress()
{
    return QStringLiteral(VARDOMETER_WEB_ADDRESS);
}

QUrl webUrl()
{
    return QUrl(webAddress());
}

QString supportMail()
{
    return QStringLiteral(VARDOMETER_SUPPORT_MAIL);
}

QUrl supportMailUrl()
{
    return QUrl(u"mailto:"_s + supportMail());
}

} // namespace MakerLinks
