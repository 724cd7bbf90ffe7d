#pragma once

#include <QCheckBox>

#include <functional>

class DataSource;
class FieldDataLink;

// A three-state check box bound to a yes/no field: checked, unchecked, or grey for an empty
// (Null) value. A click writes the new value into the row (from grey it checks).
//
// Its action runs on every change of its state, whether the user clicked or the box took a
// value from the row (when it is bound, when the row is reread, when another control or a
// run changes the row). That is what keeps switches outside the dataset (timers, the
// engine's alert switches) in line with the row, including after a cancel restores it.
// An action that moves or rewrites the row it is bound to is safe: the box catches up with
// the row once the action has returned, running the action again only for a state it has
// not yet acted on.
class DBCheckBox : public QCheckBox {
    Q_OBJECT
public:
    DBCheckBox(const QString& caption, DataSource* source, const QString& fieldName,
               QWidget* parent = nullptr);

    // Runs once at once when the bound row already holds a value.
    void setAction(std::function<void(Qt::CheckState)> action);

protected:
    void nextCheckState() override;

private:
    Qt::CheckState stateOfRow() const;
    void followRow(bool presentedAnew);
    void userChanged(int state);
    void runAction(Qt::CheckState state);

    FieldDataLink* m_link;
    std::function<void(Qt::CheckState)> m_action;
    bool m_following = false; // the state is being set from the row
    bool m_writing = false;
    Qt::CheckState m_actedState = Qt::PartiallyChecked; // the last state acted on without error
    bool m_inAction = false;
    bool m_rowChangedDuringAction = false;
};
