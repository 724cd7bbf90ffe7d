#pragma once

#include <QSpinBox>

class DataSource;
class FieldDataLink;

// A spin box bound to a whole-number field: it shows the current row's value, empty for
// Null, and stepping or typing writes the new value into the row (edit mode first). The
// range is the box's; a typed value outside it is refused as the user types.
class DBSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    DBSpinEdit(DataSource* source, const QString& fieldName, int minimum, int maximum,
               QWidget* parent = nullptr);

private:
    void showValue();
    void userChanged(int value);

    FieldDataLink* m_link;
    int m_minimum;
    int m_maximum;
    bool m_following = false;
    bool m_writing = false;
};
