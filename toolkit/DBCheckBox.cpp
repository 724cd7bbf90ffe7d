#include "toolkit/DBCheckBox.h"

#include "data/Variant.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/FieldDataLink.h"

DBCheckBox::DBCheckBox(const QString& caption, DataSource* source, const QString& fieldName,
                       QWidget* parent)
    : QCheckBox(caption, parent)
    , m_link(new FieldDataLink(source, fieldName, this))
{
    setTristate(true);
    connect(m_link, &FieldDataLink::dataChanged, this, &DBCheckBox::followRow);
    connect(this, &QCheckBox::stateChanged, this, &DBCheckBox::userChanged);
    m_following = true;
    setCheckState(stateOfRow());
    m_following = false;
}

void DBCheckBox::setAction(std::function<void(Qt::CheckState)> action)
{
    m_action = std::move(action);
    // The state it shows now is the first change it acts on.
    if (checkState() != Qt::PartiallyChecked)
        runAction(checkState());
}

Qt::CheckState DBCheckBox::stateOfRow() const
{
    const QVariant v = m_link->value();
    if (Variant::isNull(v))
        return Qt::PartiallyChecked;
    try {
        return Variant::toBoolean(v) ? Qt::Checked : Qt::Unchecked;
    } catch (const std::exception&) {
        return Qt::PartiallyChecked;
    }
}

void DBCheckBox::nextCheckState()
{
    // Grey is only ever the row's empty value; a click never leads there.
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void DBCheckBox::followRow(bool presentedAnew)
{
    // While the box writes its own value the row passes through edit mode with the old one.
    if (m_writing)
        return;
    if (m_inAction) {
        m_rowChangedDuringAction = true;
        return;
    }
    // Keep following until the row stops changing under the actions it sets off.
    for (int round = 0; round < 16; ++round) {
        const Qt::CheckState wanted = stateOfRow();
        // A state whose action failed has not been acted on: the row presenting it anew
        // (after a cancel, say) is a reason to try once more; another field being typed is not.
        if (wanted == checkState() &&
            (wanted == m_actedState || wanted == Qt::PartiallyChecked || !presentedAnew))
            return;
        m_following = true;
        setCheckState(wanted);
        m_following = false;
        runAction(wanted);
        if (!m_rowChangedDuringAction)
            return;
    }
}

void DBCheckBox::userChanged(int state)
{
    if (m_following)
        return;
    const auto checked = static_cast<Qt::CheckState>(state);
    bool written = false;
    m_writing = true;
    ErrorReport::guarded([&] {
        m_link->write(checked == Qt::Checked);
        written = true;
    });
    m_writing = false;
    if (!written) {
        // The row refused the value: the box shows what the row holds.
        m_following = true;
        setCheckState(stateOfRow());
        m_following = false;
        return;
    }
    runAction(checked);
    if (m_rowChangedDuringAction)
        followRow(false);
}

void DBCheckBox::runAction(Qt::CheckState state)
{
    m_rowChangedDuringAction = false;
    if (!m_action) {
        m_actedState = state;
        return;
    }
    m_inAction = true;
    m_actedState = Qt::PartiallyChecked;
    ErrorReport::guarded([&] {
        m_action(state);
        m_actedState = state;
    });
    m_inAction = false;
}
