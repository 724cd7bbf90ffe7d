#pragma once

#include <QTimeEdit>

class DataSource;
class FieldDataLink;

// A time box bound to a date-time field, showing and editing its time of day as "hh:mm".
// Null shows as an empty box. Editing writes the time of day (with no date) into the row.
class DBTimeEdit : public QTimeEdit {
    Q_OBJECT
public:
    DBTimeEdit(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);

    // The time of day shown, as a stored date-time value (no date part).
    double shownValue() const;

private:
    void showValue();
    void userChanged(const QTime& time);

    FieldDataLink* m_link;
    bool m_following = false;
    bool m_writing = false;
};
