#pragma once

#include <QString>
#include <QVariant>

// Reading stored values the way the rest of the program expects: an empty (Null) value is
// its own thing, converting it is an error, and it is smaller than any number.
namespace Variant {

bool isNull(const QVariant& value);
// The name used in conversion messages: Null, Integer, Int64, Double, String, Boolean.
QString typeName(const QVariant& value);

int toInteger(const QVariant& value);
qint64 toInt64(const QVariant& value);
double toDouble(const QVariant& value);
QString toString(const QVariant& value);
bool toBoolean(const QVariant& value);

// Ordering with Null below every number: returns <0, 0 or >0. Two Nulls are equal.
int compare(const QVariant& a, const QVariant& b);
inline bool greaterThan(const QVariant& a, double b)
{
    return compare(a, QVariant(b)) > 0;
}

} // namespace Variant
