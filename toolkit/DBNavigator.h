#pragma once

#include <QWidget>

#include <array>

class DataSet;
class DataSource;
class QToolButton;

// A bar of buttons that moves and edits a data source's dataset, each enabled only when its
// action makes sense for the dataset's state.
class DBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, ButtonCount };
    using Buttons = std::array<bool, ButtonCount>;

    DBNavigator(DataSource* source, Buttons visible, QWidget* parent = nullptr);

    QToolButton* button(Button b) const { return m_buttons[b]; }
    static QString objectNameOf(Button b);
    static QString hintOf(Button b);

    // Deleting asks this question first.
    bool confirmDelete = true;

private:
    void click(Button b);
    void act(DataSet& ds, Button b);
    void updateButtons();

    DataSource* m_source;
    std::array<QToolButton*, ButtonCount> m_buttons{};
};
