#include "engine/AlertLine.h"

#include "data/Variant.h"

using namespace Qt::Literals::StringLiterals;

namespace AlertLine {

QString freeSpaceText(qint64 freeMB)
{
    return u"Free Space (MB) down to "_s + QString::number(freeMB);
}

QString systemNotFoundText()
{
    return u"System Not Found"_s;
}

QString freeSpaceLine(const QString& systemName, qint64 freeMB)
{
    return systemName + u" : "_s + freeSpaceText(freeMB);
}

QString systemNotFoundLine(const QString& systemName)
{
    return systemName + u" : "_s + systemNotFoundText();
}

QString snapshotSystemNotFoundLine(const QString& systemName, const QString& ownerName)
{
    return systemName + u' ' + ownerName + u':' + systemNotFoundText();
}

QString ownerName(const QVariant& owner)
{
    return Variant::isNull(owner) ? u" "_s : Variant::toString(owner);
}

} // namespace AlertLine
