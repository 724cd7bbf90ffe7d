#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QMarginsF>
#include <QObject>
#include <QStringList>

class QChart;
class QGraphicsSimpleTextItem;

// The lines written above and below a chart: title lines, an optional subtitle line under
// them, and foot lines, each centred. The chart's margins leave room for them, plus an extra
// top margin given as a share of the chart's height. Blanks in a line are kept as typed.
class ChartFrame : public QObject {
    Q_OBJECT
public:
    explicit ChartFrame(QChart* chart);

    static QFont chartFont(bool bold = false); // 8-point "Arial"
    static inline const QColor TitleColor{0, 0, 255};

    void setTitleLines(const QStringList& lines);
    const QStringList& titleLines() const { return m_titleLines; }
    void setSubtitle(const QString& line);
    const QString& subtitle() const { return m_subtitle; }
    void setFootLines(const QStringList& lines);
    const QStringList& footLines() const { return m_footLines; }

    void setTopMarginShare(double share);

    // How the chart goes onto paper: margins in per cent of the page (left and right of its
    // width, top and bottom of its height); whether it keeps its screen proportions; and the
    // resolution, where -100 lays it out at twice its screen size before scaling it onto the
    // page, so text and lines print at half their relative size, and 0 keeps the screen's.
    struct PrintSettings {
        QMarginsF margins{5, 5, 5, 5};
        bool proportional = true;
        int resolution = 0;
    };
    PrintSettings printSettings;

private:
    void rebuild(QList<QGraphicsSimpleTextItem*>& items, const QStringList& lines,
                 const QFont& font);
    void relayout();

    QChart* m_chart;
    QStringList m_titleLines;
    QString m_subtitle;
    QStringList m_footLines;
    double m_topMarginShare = 0;
    QList<QGraphicsSimpleTextItem*> m_titleItems;
    QList<QGraphicsSimpleTextItem*> m_footItems;
};
