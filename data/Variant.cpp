#include "data/Variant.h"

#include "data/Errors.h"
#include "data/Rounding.h"

#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace Variant {
namespace {

bool isIntegral(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant& v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

bool isText(const QVariant& v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray;
}

// Any value as a double, or the conversion error naming the wanted type.
double numeric(const QVariant& v, const QString& wanted)
{
    if (isNull(v))
        raiseConversionError(u"Null"_s, wanted);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1.0 : 0.0; // true is all bits set, as stored booleans always were
    if (v.typeId() == QMetaType::Double)
        return *static_cast<const double*>(v.constData());
    if (isIntegral(v) || isFloating(v))
        return v.toDouble();
    if (isText(v)) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (ok)
            return d;
    }
    raiseConversionError(typeName(v), wanted);
}

} // namespace

bool isNull(const QVariant& value)
{
    return !value.isValid() || value.isNull();
}

QString typeName(const QVariant& value)
{
    if (isNull(value))
        return u"Null"_s;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return u"Boolean"_s;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
        return u"Integer"_s;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
        return u"Int64"_s;
    case QMetaType::Double:
    case QMetaType::Float:
        return u"Double"_s;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return u"String"_s;
    default:
        return QString::fromLatin1(value.typeName());
    }
}

qint64 toInt64(const QVariant& value)
{
    if (isIntegral(value) && !isNull(value))
        return value.toLongLong();
    const double d = roundHalfEven(numeric(value, u"Int64"_s));
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
        raiseIntegerOverflow();
    return static_cast<qint64>(d);
}

int toInteger(const QVariant& value)
{
    qint64 n = 0;
    if (isIntegral(value) && !isNull(value)) {
        n = value.toLongLong();
    } else {
        const double d = roundHalfEven(numeric(value, u"Integer"_s));
        if (!(d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max()))
            raiseIntegerOverflow();
        n = static_cast<qint64>(d);
    }
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        raiseIntegerOverflow();
    return static_cast<int>(n);
}

double toDouble(const QVariant& value)
{
    return numeric(value, u"Double"_s);
}

QString toString(const QVariant& value)
{
    if (isNull(value))
        raiseConversionError(u"Null"_s, u"String"_s);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? u"True"_s : u"False"_s;
    if (isFloating(value))
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

bool toBoolean(const QVariant& value)
{
    if (isNull(value))
        raiseConversionError(u"Null"_s, u"Boolean"_s);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (isText(value)) {
        const QString s = value.toString().trimmed();
        if (s.compare(u"true"_s, Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(u"false"_s, Qt::CaseInsensitive) == 0)
            return false;
    }
    return numeric(value, u"Boolean"_s) != 0.0;
}

int compare(const QVariant& a, const QVariant& b)
{
    const bool aNull = isNull(a);
    const bool bNull = isNull(b);
    if (aNull || bNull)
        return (aNull ? 0 : 1) - (bNull ? 0 : 1);
    if (isText(a) && isText(b))
        return a.toString().compare(b.toString(), Qt::CaseInsensitive);
    const double x = toDouble(a);
    const double y = toDouble(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

} // namespace Variant
