#include "toolkit/DBNavigator.h"

#include "data/DataSet.h"
#include "data/DataSource.h"
#include "toolkit/ErrorReport.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// Simple drawn glyphs in the button text colour, so the bar looks alike on every theme.
QIcon drawnIcon(DBNavigator::Button b, const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    auto triangle = [&p](bool left, qreal x) {
        QPainterPath path;
        if (left) {
            path.moveTo(x + 5, 3);
            path.lineTo(x, 8);
            path.lineTo(x + 5, 13);
        } else {
            path.moveTo(x, 3);
            path.lineTo(x + 5, 8);
            path.lineTo(x, 13);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (b) {
    case DBNavigator::First:
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle(true, 6);
        break;
    case DBNavigator::Prior:
        triangle(true, 5);
        break;
    case DBNavigator::Next:
        triangle(false, 6);
        break;
    case DBNavigator::Last:
        triangle(false, 5);
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case DBNavigator::Insert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DBNavigator::Delete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DBNavigator::Edit:
        p.drawPolygon(QPolygonF({{4, 12}, {4, 10}, {10, 4}, {12, 6}, {6, 12}}));
        break;
    case DBNavigator::Post: {
        QPen pen(colour, 2);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({{3, 8}, {7, 12}, {13, 4}}));
        break;
    }
    case DBNavigator::Cancel: {
        QPen pen(colour, 2);
        p.setPen(pen);
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    }
    case DBNavigator::ButtonCount:
        break;
    }
    return QIcon(pixmap);
}

} // namespace

QString DBNavigator::objectNameOf(Button b)
{
    static const std::array<QString, ButtonCount> names{u"First"_s, u"Prior"_s,  u"Next"_s,
                                                        u"Last"_s,  u"Insert"_s, u"Delete"_s,
                                                        u"Edit"_s,  u"Post"_s,   u"Cancel"_s};
    return names[b];
}

QString DBNavigator::hintOf(Button b)
{
    static const std::array<QString, ButtonCount> hints{
        u"First record"_s, u"Prior record"_s,  u"Next record"_s,
        u"Last record"_s,  u"Insert record"_s, u"Delete record"_s,
        u"Edit record"_s,  u"Post edit"_s,     u"Cancel edit"_s};
    return hints[b];
}

DBNavigator::DBNavigator(DataSource* source, Buttons visible, QWidget* parent)
    : QWidget(parent)
    , m_source(source)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QColor colour = palette().color(QPalette::ButtonText);
    for (int i = 0; i < ButtonCount; ++i) {
        const auto b = static_cast<Button>(i);
        auto* button = new QToolButton(this);
        button->setObjectName(objectNameOf(b));
        button->setToolTip(hintOf(b));
        button->setIcon(drawnIcon(b, colour));
        button->setAutoRaise(false);
        // The buttons never take the focus, so pressing one does not count as leaving a grid.
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setVisible(visible[static_cast<size_t>(i)]);
        connect(button, &QToolButton::clicked, this, [this, b] { click(b); });
        layout->addWidget(button);
        m_buttons[static_cast<size_t>(i)] = button;
    }
    if (source) {
        connect(source, &DataSource::cursorMoved, this, &DBNavigator::updateButtons);
        connect(source, &DataSource::stateChanged, this, &DBNavigator::updateButtons);
        connect(source, &DataSource::layoutChanged, this, &DBNavigator::updateButtons);
        connect(source, &DataSource::activeChanged, this, &DBNavigator::updateButtons);
        connect(source, &DataSource::rowChanged, this, &DBNavigator::updateButtons);
    }
    updateButtons();
}

void DBNavigator::click(Button b)
{
    DataSet* ds = m_source ? m_source->dataSet() : nullptr;
    if (!ds || !ds->isActive())
        return;
    // A row the dataset refuses to store stays in edit mode; the user hears why.
    ErrorReport::guarded([&] { act(*ds, b); });
    updateButtons();
}

void DBNavigator::act(DataSet& ds, Button b)
{
    switch (b) {
    case First:
        ds.first();
        break;
    case Prior:
        ds.prior();
        break;
    case Next:
        ds.next();
        break;
    case Last:
        ds.last();
        break;
    case Insert:
        ds.append();
        break;
    case Delete: {
        // The question waits for the user while timers go on: a run may move the cursor or
        // reread the table meanwhile. What goes is the row that was asked about, or nothing.
        const std::optional<qint64> asked = ds.currentKey();
        if (confirmDelete && QMessageBox::question(window(), QString(), u"Delete record?"_s,
                                                   QMessageBox::Ok | QMessageBox::Cancel,
                                                   QMessageBox::Cancel) != QMessageBox::Ok)
            break;
        if (!asked) {
            if (ds.isActive() && ds.state() == DataSetState::Insert)
                ds.deleteRecord(); // a new row: cancelled
            break;
        }
        if (ds.isActive() && ds.moveToKey(*asked))
            ds.deleteRecord();
        break;
    }
    case Edit:
        ds.edit();
        break;
    case Post:
        ds.post();
        break;
    case Cancel:
        ds.cancel();
        break;
    case ButtonCount:
        break;
    }
}

void DBNavigator::updateButtons()
{
    DataSet* ds = m_source ? m_source->dataSet() : nullptr;
    const bool active = ds && ds->isActive();
    const bool editing =
        active && (ds->state() == DataSetState::Edit || ds->state() == DataSetState::Insert);
    const bool empty = !active || ds->isEmpty();
    const bool atStart = !active || ds->bof();
    const bool atEnd = !active || ds->eof();
    m_buttons[First]->setEnabled(active && !atStart);
    m_buttons[Prior]->setEnabled(active && !atStart);
    m_buttons[Next]->setEnabled(active && !atEnd);
    m_buttons[Last]->setEnabled(active && !atEnd);
    m_buttons[Insert]->setEnabled(active);
    m_buttons[Delete]->setEnabled(active && !empty);
    m_buttons[Edit]->setEnabled(active && !editing);
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Cancel]->setEnabled(editing);
}
