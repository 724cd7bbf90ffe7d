#include "toolkit/GroupHeaderView.h"

#include "toolkit/DataGridModel.h"

#include <QPainter>

GroupHeaderView::GroupHeaderView(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void GroupHeaderView::setTwoLines(bool on)
{
    m_twoLines = on;
    updateGeometry();
    viewport()->update();
}

QSize GroupHeaderView::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    const int line = fontMetrics().height() + 6;
    size.setHeight(m_twoLines ? 2 * line : line);
    return size;
}

void GroupHeaderView::paintCell(QPainter& painter, const QRect& rect, const QString& text,
                                Qt::Alignment alignment)
{
    painter.fillRect(rect, palette().button());
    painter.setPen(palette().mid().color());
    painter.drawLine(rect.topRight(), rect.bottomRight());
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.setPen(palette().light().color());
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(palette().windowText().color());
    // A title wraps when its cell has room for more lines; otherwise it is shortened.
    const QRect inner = rect.adjusted(3, 1, -4, -1);
    const int flags = static_cast<int>(alignment) | Qt::TextWordWrap;
    if (painter.fontMetrics().boundingRect(inner, flags, text).height() <= inner.height())
        painter.drawText(inner, flags, text);
    else
        painter.drawText(inner, static_cast<int>(alignment),
                         painter.fontMetrics().elidedText(text, Qt::ElideRight, inner.width()));
}

void GroupHeaderView::paintEvent(QPaintEvent*)
{
    QAbstractItemModel* m = model();
    if (!m)
        return;
    QPainter painter(viewport());
    painter.setFont(font());
    const int height = viewport()->height();
    const int half = height / 2;
    const int count = m->columnCount();
    for (int section = 0; section < count;) {
        const QString group =
            m_twoLines ? m->headerData(section, Qt::Horizontal, GridRole::GroupHeading).toString()
                       : QString();
        // The run of adjacent columns sharing this heading.
        int last = section;
        while (!group.isEmpty() && last + 1 < count &&
               m->headerData(last + 1, Qt::Horizontal, GridRole::GroupHeading).toString() == group)
            ++last;
        for (int s = section; s <= last; ++s) {
            if (isSectionHidden(s))
                continue;
            const int x = sectionViewportPosition(s);
            const QRect cell(x, group.isEmpty() ? 0 : half, sectionSize(s),
                             group.isEmpty() ? height : height - half);
            const auto alignment =
                m->headerData(s, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
            paintCell(painter, cell, m->headerData(s, Qt::Horizontal).toString(), alignment);
        }
        if (!group.isEmpty()) {
            const int left = sectionViewportPosition(section);
            const int right = sectionViewportPosition(last) + sectionSize(last);
            const auto alignment =
                m->headerData(section, Qt::Horizontal, GridRole::GroupHeadingAlignment)
                    .value<Qt::Alignment>();
            paintCell(painter, QRect(left, 0, right - left, half), group, alignment);
        }
        section = last + 1;
    }
    // The space right of the last column.
    const int end = count > 0 ? sectionViewportPosition(count - 1) + sectionSize(count - 1) : 0;
    if (end < viewport()->width())
        painter.fillRect(QRect(end, 0, viewport()->width() - end, height), palette().button());
}
