#include "data/Field.h"

#include "data/DataSet.h"
#include "data/DisplayFormat.h"
#include "data/Errors.h"
#include "data/Variant.h"

#include <limits>

using namespace Qt::Literals::StringLiterals;

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return true;
    return false;
}

Field::Field(DataSet& dataSet, FieldDef def, int index)
    : m_dataSet(dataSet)
    , m_def(std::move(def))
    , m_index(index)
{
}

QVariant Field::value() const
{
    return m_dataSet.currentValue(m_index);
}

bool Field::isNull() const
{
    return Variant::isNull(value());
}

int Field::asInteger() const
{
    return Variant::toInteger(value());
}

qint64 Field::asLargeInt() const
{
    return Variant::toInt64(value());
}

double Field::asFloat() const
{
    return Variant::toDouble(value());
}

QString Field::asString() const
{
    return Variant::toString(value());
}

bool Field::asBoolean() const
{
    return Variant::toBoolean(value());
}

QString Field::displayText() const
{
    return formatDisplayText(value(), m_def.kind, m_def.displayFormat);
}

QVariant Field::normalized(const QVariant& raw) const
{
    if (Variant::isNull(raw))
        return QVariant();
    switch (m_def.kind) {
    case FieldKind::Text:
        // A value already of the column's kind is its own normal form: most are, and
        // converting each again cost a run more than reading it.
        if (raw.typeId() == QMetaType::QString)
            return raw;
        return Variant::toString(raw);
    case FieldKind::Integer: {
        const qint64 n = Variant::toInt64(raw);
        const int bits = m_def.size == 16 ? 16 : 32;
        const qint64 limit = qint64(1) << (bits - 1);
        if (n < -limit || n >= limit)
            raiseIntegerOverflow();
        return QVariant(static_cast<int>(n));
    }
    case FieldKind::Boolean:
        return Variant::toBoolean(raw);
    case FieldKind::Double:
    case FieldKind::Currency:
    case FieldKind::DateTime:
        if (raw.typeId() == QMetaType::Double)
            return raw;
        return Variant::toDouble(raw);
    }
    return raw;
}

void Field::setValue(const QVariant& value)
{
    QVariant stored = normalized(value);
    if (m_def.kind == FieldKind::Text && m_def.size > 0 && !stored.isNull() &&
        stored.toString().size() > m_def.size)
        throw DatabaseError(u"%1: the value of field '%2' is longer than %3 characters"_s.arg(
            m_dataSet.objectName(), m_def.name, QString::number(m_def.size)));
    if (m_def.singleLine && !stored.isNull() && hasControlCharacter(stored.toString()))
        throw DatabaseError(
            u"%1: the value of field '%2' cannot hold line breaks, tabs or other control "
            u"characters"_s.arg(m_dataSet.objectName(), m_def.name));
    m_dataSet.setCurrentValue(m_index, stored);
}

void Field::setAsString(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (m_def.kind != FieldKind::Text && trimmed.isEmpty()) {
        setValue(QVariant());
        return;
    }
    bool ok = false;
    switch (m_def.kind) {
    case FieldKind::Text:
        setValue(text);
        return;
    case FieldKind::Integer: {
        const qint64 n = trimmed.toLongLong(&ok);
        if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
            throw ConversionError(u"'%1' is not a valid integer value"_s.arg(text));
        setValue(n);
        return;
    }
    case FieldKind::Double:
    case FieldKind::Currency:
    case FieldKind::DateTime: {
        const double d = trimmed.toDouble(&ok);
        if (!ok)
            throw ConversionError(u"'%1' is not a valid floating point value"_s.arg(text));
        setValue(d);
        return;
    }
    case FieldKind::Boolean:
        if (trimmed.compare(u"true"_s, Qt::CaseInsensitive) == 0)
            setValue(true);
        else if (trimmed.compare(u"false"_s, Qt::CaseInsensitive) == 0)
            setValue(false);
        else
            throw ConversionError(u"'%1' is not a valid boolean value"_s.arg(text));
        return;
    }
}
