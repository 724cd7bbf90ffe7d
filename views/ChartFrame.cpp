#include "views/ChartFrame.h"

#include <QBrush>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int BaseMargin = 6;

} // namespace

ChartFrame::ChartFrame(QChart* chart)
    : QObject(chart)
    , m_chart(chart)
{
    // The chart's own single title cannot keep leading blanks or several lines.
    m_chart->setTitle(QString());
    connect(m_chart, &QChart::geometryChanged, this, &ChartFrame::relayout);
    relayout();
}

QFont ChartFrame::chartFont(bool bold)
{
    QFont font(u"Arial"_s, 8);
    font.setBold(bold);
    // Never a font whose glyphs would be boxes: fontconfig gives Arial's metric twin.
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void ChartFrame::setTitleLines(const QStringList& lines)
{
    m_titleLines = lines;
    relayout();
}

void ChartFrame::setSubtitle(const QString& line)
{
    m_subtitle = line;
    relayout();
}

void ChartFrame::setFootLines(const QStringList& lines)
{
    m_footLines = lines;
    relayout();
}

void ChartFrame::setTopMarginShare(double share)
{
    m_topMarginShare = share;
    relayout();
}

void ChartFrame::rebuild(QList<QGraphicsSimpleTextItem*>& items, const QStringList& lines,
                         const QFont& font)
{
    // The chart owns the items; lines no longer wanted leave theirs hidden for reuse.
    while (items.size() < lines.size()) {
        auto* item = new QGraphicsSimpleTextItem(m_chart);
        item->setZValue(10);
        item->setBrush(TitleColor);
        item->setPen(Qt::NoPen);
        items << item;
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        items[i]->setVisible(i < lines.size());
        items[i]->setFont(font);
        items[i]->setText(i < lines.size() ? lines[i] : QString());
    }
}

void ChartFrame::relayout()
{
    QStringList heading = m_titleLines;
    const bool withSubtitle = !m_subtitle.isEmpty();
    if (withSubtitle)
        heading << m_subtitle;
    rebuild(m_titleItems, heading, chartFont(true));
    if (withSubtitle)
        m_titleItems[heading.size() - 1]->setFont(chartFont(false));
    rebuild(m_footItems, m_footLines, chartFont(false));

    const QRectF area = m_chart->rect();
    const double lineHeight = QFontMetricsF(chartFont(true)).lineSpacing();
    double y = BaseMargin;
    for (QGraphicsSimpleTextItem* item : m_titleItems.first(heading.size())) {
        item->setPos(area.center().x() - item->boundingRect().width() / 2, y);
        y += lineHeight;
    }
    const double top = y + m_topMarginShare * area.height();
    const QList<QGraphicsSimpleTextItem*> foot = m_footItems.first(m_footLines.size());
    const double footHeight = lineHeight * static_cast<double>(foot.size());
    double footY = area.bottom() - BaseMargin - footHeight;
    for (QGraphicsSimpleTextItem* item : foot) {
        item->setPos(area.center().x() - item->boundingRect().width() / 2, footY);
        footY += lineHeight;
    }
    const QMargins margins(BaseMargin, static_cast<int>(std::ceil(top)), BaseMargin + 4,
                           BaseMargin + static_cast<int>(std::ceil(footHeight)));
    if (m_chart->margins() != margins)
        m_chart->setMargins(margins);
}
