#pragma once

#include <QDialog>

class DataGrid;
class DataSource;
class DBNavigator;
class QPushButton;

// The systems editor: the Systems table edited in place, row by row, straight into the
// shared dataset the summary grid shows. It keeps nothing of its own and saves nothing
// itself; rows are stored the way the dataset stores them, when the cursor moves or on Post.
class TSystemsForm : public QDialog {
    Q_OBJECT
public:
    explicit TSystemsForm(DataSource* SrcSystems, QWidget* parent = nullptr);

    DataGrid* GridSystems = nullptr;
    DBNavigator* NavSystems = nullptr;
    QPushButton* OKBtn = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void dropUntouchedNewRow();

    DataSource* m_source;
    bool m_placed = false;
};
