#include "toolkit/DBEdit.h"

#include "data/Field.h"
#include "data/Variant.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/FieldDataLink.h"

using namespace Qt::Literals::StringLiterals;

DBEdit::DBEdit(DataSource* source, const QString& fieldName, QWidget* parent)
    : QLineEdit(parent)
    , m_link(new FieldDataLink(source, fieldName, this))
{
    connect(m_link, &FieldDataLink::dataChanged, this, &DBEdit::showValue);
    connect(this, &QLineEdit::textEdited, this, &DBEdit::userEdited);
    showValue();
}

void DBEdit::setPasswordMode(bool on)
{
    setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal);
    // The style's own mask character varies; a password box shows asterisks.
    setStyleSheet(on ? u"lineedit-password-character: 42"_s : QString());
}

void DBEdit::showValue()
{
    if (m_writing)
        return;
    Field* f = m_link->field();
    setMaxLength(f && f->kind() == FieldKind::Text && f->size() > 0 ? f->size() : 32767);
    const QVariant v = m_link->value();
    const QString text = Variant::isNull(v) ? QString() : f->displayText();
    if (text != this->text())
        setText(text);
}

void DBEdit::userEdited(const QString& text)
{
    m_writing = true;
    ErrorReport::guarded([&] { m_link->writeText(text); });
    m_writing = false;
}
