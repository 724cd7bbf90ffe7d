#include "support/WidgetTestMain.h"
#include "toolkit/DataGridDelegate.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr QRect Cell(10, 0, 40, 20);

// The grids' own font.
QFont gridFont()
{
    return QFont(QStringLiteral("DejaVu Sans"), 8);
}

QImage blank()
{
    QImage image(60, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// What the delegate paints for the text in the cell, without its grid lines.
QImage painted(const QString& text, Qt::Alignment alignment)
{
    QStandardItemModel model(1, 1);
    auto* item = new QStandardItem(text);
    item->setData(QColor(Qt::white), Qt::BackgroundRole);
    item->setData(QColor(Qt::black), Qt::ForegroundRole);
    item->setData(int(alignment), Qt::TextAlignmentRole);
    model.setItem(0, 0, item);
    QImage image = blank();
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = Cell;
    option.font = gridFont();
    option.fontMetrics = QFontMetrics(option.font);
    DataGridDelegate().paint(&painter, option, model.index(0, 0));
    painter.end();
    return image.copy(Cell.adjusted(0, 0, -1, -1));
}

QImage drawn(const QString& text, Qt::Alignment alignment)
{
    QImage image = blank();
    QPainter painter(&image);
    painter.setFont(gridFont());
    painter.setPen(Qt::black);
    painter.drawText(Cell.adjusted(2, 1, -2, -1), int(alignment), text);
    painter.end();
    return image.copy(Cell.adjusted(0, 0, -1, -1));
}

} // namespace

class TestGridDelegate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tooWideEndsWithAnEllipsis_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("alignment");
        QTest::newRow("a right-aligned number") << u"12,209,128"_s << int(Qt::AlignRight);
        QTest::newRow("a left-aligned word") << u"Unterminated"_s << int(Qt::AlignLeft);
    }
    void tooWideEndsWithAnEllipsis()
    {
        QFETCH(QString, text);
        QFETCH(int, alignment);
        const Qt::Alignment align(alignment);
        // Clipped as it stands, the number would read ",209,128" or the like: a wrong figure.
        const QString elided =
            QFontMetrics(gridFont()).elidedText(text, Qt::ElideRight, Cell.width() - 4);
        QVERIFY(elided.endsWith(QChar(0x2026)));
        QCOMPARE(painted(text, align), drawn(elided, align));
    }
    void fittingTextIsDrawnWhole()
    {
        QCOMPARE(painted(u"42"_s, Qt::AlignRight), drawn(u"42"_s, Qt::AlignRight));
    }
};

VARDOMETER_WIDGET_TEST_MAIN(TestGridDelegate)

#include "test_grid_delegate.moc"
