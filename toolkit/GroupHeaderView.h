#pragma once

#include <QHeaderView>

// A horizontal header with an optional upper title line: adjacent columns that share a
// group heading show it once, across all of them; a column without one uses both lines.
class GroupHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit GroupHeaderView(QWidget* parent = nullptr);

    void setTwoLines(bool on);
    bool twoLines() const { return m_twoLines; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintCell(QPainter& painter, const QRect& rect, const QString& text,
                   Qt::Alignment alignment);

    bool m_twoLines = false;
};
