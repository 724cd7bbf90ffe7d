#pragma once

#include <QLineEdit>

class DataSource;
class FieldDataLink;

// A text box bound to one field: it shows the current row's value (empty for Null), takes
// no more characters than the column holds, and typing puts the dataset into edit mode and
// writes the text into the row as it is typed.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    DBEdit(DataSource* source, const QString& fieldName, QWidget* parent = nullptr);

    // Every character shown as "*", for passwords.
    void setPasswordMode(bool on);

private:
    void showValue();
    void userEdited(const QString& text);

    FieldDataLink* m_link;
    bool m_writing = false;
};
