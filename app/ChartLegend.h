// The chart's legend: an entry per series (its colour and name, greyed while
// the line is hidden) in rows of columns below the plot, drawn in the chart's
// scene so that saved, printed and copied images show it as the view does.
#pragma once

#include <QFont>
#include <QGraphicsObject>
#include <QList>
#include <QPointer>

class PlotSeries;
class QGraphicsSimpleTextItem;

class ChartLegend : public QGraphicsObject
{
    Q_OBJECT
public:
    explicit ChartLegend(const QFont &font, QGraphicsItem *parent);

    // One entry per series, in this order; laid out by the next layOut().
    void setSeries(const QList<PlotSeries *> &series);
    // The series' colour, name and shown state, as they are now.
    void restyle(const PlotSeries *series);
    // Places the entries in rows of columns (see ChooseLegendGrid) centred in
    // width, in as many rows as maxHeight holds; the height they take.
    double layOut(double width, double maxHeight);
    // The height of one row of entries.
    [[nodiscard]] double rowHeight() const;

    // The texts drawn, one per entry, in the series' order.
    [[nodiscard]] QList<QGraphicsSimpleTextItem *> texts() const;

    [[nodiscard]] QRectF boundingRect() const override { return m_bounds; }
    void paint(QPainter *, const QStyleOptionGraphicsItem *, QWidget *) override {}

signals:
    // An entry was pressed with the left button.
    void clicked(PlotSeries *series);

private:
    class Entry;
    QFont m_font;
    QList<Entry *> m_entries;
    QRectF m_bounds;
};
