#pragma once

#include <QStyledItemDelegate>

// Paints a data cell from the model's roles only: its brush, font colour and style, and its
// own lines, so a run of equal values can leave its row lines out.
class DataGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
};
