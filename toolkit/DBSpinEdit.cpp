#include "toolkit/DBSpinEdit.h"

#include "data/Variant.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/FieldDataLink.h"

using namespace Qt::Literals::StringLiterals;

DBSpinEdit::DBSpinEdit(DataSource* source, const QString& fieldName, int minimum, int maximum,
                       QWidget* parent)
    : QSpinBox(parent)
    , m_link(new FieldDataLink(source, fieldName, this))
    , m_minimum(minimum)
    , m_maximum(maximum)
{
    setRange(minimum, maximum);
    setSingleStep(1);
    connect(m_link, &FieldDataLink::dataChanged, this, &DBSpinEdit::showValue);
    connect(this, &QSpinBox::valueChanged, this, &DBSpinEdit::userChanged);
    showValue();
}

void DBSpinEdit::showValue()
{
    if (m_writing)
        return; // the row passes through edit mode with the old value while this box writes
    const QVariant v = m_link->value();
    m_following = true;
    // Null is one step below the range, shown as an empty box; it is never offered once the
    // row holds a number.
    if (Variant::isNull(v)) {
        setSpecialValueText(u" "_s);
        setMinimum(m_minimum - 1);
        setValue(m_minimum - 1);
    } else {
        setSpecialValueText(QString());
        int n = m_minimum;
        try {
            n = Variant::toInteger(v);
        } catch (const std::exception&) {
        }
        // A stored value outside the range (put there by another program) is shown as it
        // is, not silently replaced by the nearest bound; the range holds for what is typed.
        setRange(std::min(m_minimum, n), std::max(m_maximum, n));
        setValue(n);
    }
    m_following = false;
}

void DBSpinEdit::userChanged(int value)
{
    if (m_following)
        return;
    if (minimum() < m_minimum && value < m_minimum && !specialValueText().isEmpty())
        return; // still the empty value
    if (minimum() < m_minimum || maximum() > m_maximum) {
        m_following = true;
        setSpecialValueText(QString());
        setRange(m_minimum, m_maximum);
        value = this->value();
        m_following = false;
    }
    m_writing = true;
    ErrorReport::guarded([&] { m_link->write(value); });
    m_writing = false;
}
