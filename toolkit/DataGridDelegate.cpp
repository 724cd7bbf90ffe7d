#include "toolkit/DataGridDelegate.h"

#include "toolkit/DataGrid.h"
#include "toolkit/DataGridModel.h"

#include <QLineEdit>
#include <QPainter>

void DataGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // The colour rules decide every cell's colours, the selected one included; the current
    // cell is marked by a focus frame instead.
    const bool focused = opt.state & QStyle::State_HasFocus;
    opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    painter->save();
    painter->fillRect(opt.rect, index.data(Qt::BackgroundRole).value<QColor>());
    opt.backgroundBrush = Qt::NoBrush;
    const QColor text = index.data(Qt::ForegroundRole).value<QColor>();
    opt.palette.setColor(QPalette::Text, text);
    opt.palette.setColor(QPalette::HighlightedText, text);
    QRect textRect = opt.rect.adjusted(2, 1, -2, -1);
    painter->setFont(opt.font);
    painter->setPen(text);
    const int flags = static_cast<int>(opt.displayAlignment) | Qt::TextWordWrap;
    // Long text wraps within the cell; what still does not fit ends with an ellipsis. A single
    // word wider than the cell does not wrap: drawn as it is, a right-aligned number would
    // lose its leading digits and show a wrong figure.
    const QRect needed = opt.fontMetrics.boundingRect(textRect, flags, opt.text);
    if (needed.height() <= textRect.height() && needed.width() <= textRect.width())
        painter->drawText(textRect, flags, opt.text);
    else
        painter->drawText(textRect, static_cast<int>(opt.displayAlignment),
                          opt.fontMetrics.elidedText(opt.text, Qt::ElideRight, textRect.width()));

    const auto* grid = qobject_cast<const DataGrid*>(opt.widget);
    const QColor line = opt.palette.color(QPalette::Mid);
    painter->setPen(line);
    if (!grid || grid->columnLines())
        painter->drawLine(opt.rect.topRight(), opt.rect.bottomRight());
    if ((!grid || grid->rowLines()) && !index.data(GridRole::MergeWithNext).toBool())
        painter->drawLine(opt.rect.bottomLeft(), opt.rect.bottomRight());
    if (focused) {
        QPen pen(text, 1, Qt::DotLine);
        painter->setPen(pen);
        painter->drawRect(opt.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QWidget* DataGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        const int maxLength = index.data(GridRole::MaxLength).toInt();
        if (maxLength > 0)
            line->setMaxLength(maxLength);
        line->setObjectName(QStringLiteral("InplaceEditor"));
        if (index.data(GridRole::Masked).toBool()) {
            line->setEchoMode(QLineEdit::Password);
            line->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
        }
    }
    return editor;
}
