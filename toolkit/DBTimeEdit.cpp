#include "toolkit/DBTimeEdit.h"

#include "data/DateTimeValue.h"
#include "data/Variant.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/FieldDataLink.h"

using namespace Qt::Literals::StringLiterals;

DBTimeEdit::DBTimeEdit(DataSource* source, const QString& fieldName, QWidget* parent)
    : QTimeEdit(parent)
    , m_link(new FieldDataLink(source, fieldName, this))
{
    setDisplayFormat(u"HH:mm"_s);
    setTimeRange(QTime(0, 0), QTime(23, 59, 59, 999));
    connect(m_link, &FieldDataLink::dataChanged, this, &DBTimeEdit::showValue);
    connect(this, &QTimeEdit::timeChanged, this, &DBTimeEdit::userChanged);
    showValue();
}

double DBTimeEdit::shownValue() const
{
    return DateTimeValue::fromTime(time());
}

void DBTimeEdit::showValue()
{
    if (m_writing)
        return; // the row passes through edit mode with the old value while this box writes
    const QVariant v = m_link->value();
    m_following = true;
    // An empty value shows as an empty box at midnight; midnight itself shows as "00:00".
    if (Variant::isNull(v)) {
        setSpecialValueText(u" "_s);
        setTime(QTime(0, 0));
    } else {
        setSpecialValueText(QString());
        QTime shown(0, 0);
        try {
            shown = DateTimeValue::toTime(Variant::toDouble(v));
        } catch (const std::exception&) {
        }
        setTime(shown);
    }
    m_following = false;
}

void DBTimeEdit::userChanged(const QTime& time)
{
    if (m_following)
        return;
    setSpecialValueText(QString());
    m_writing = true;
    ErrorReport::guarded([&] { m_link->write(DateTimeValue::fromTime(time)); });
    m_writing = false;
}
