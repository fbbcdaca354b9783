// The read-out under the mouse: a mark on the series point nearest to the
// pointer and a box with the series' title, the point's date and its value.
// It is painted over the chart view only: the chart, its scene and every
// image made of it stay as they are. It sees the chart through PlotView.
#pragma once

#include <QColor>
#include <QPointF>
#include <QRect>
#include <QString>

class QPainter;
class PlotView;

class HoverReadout
{
public:
    explicit HoverReadout(PlotView &view) : m_view(view) {}

    // Shows the point nearest to pos (viewport pixels) when pos lies over
    // the plot area, else nothing; true when it lies there.
    bool track(QPoint pos);
    void clear();
    [[nodiscard]] bool visible() const { return m_visible; }
    // The text shown while visible.
    [[nodiscard]] QString text() const { return m_text; }
    // Where the marked point is drawn, in viewport pixels.
    [[nodiscard]] QPointF markedAt() const { return m_at; }

    void paint(QPainter &painter) const;

private:
    // The area the read-out covers in the viewport, mark and box.
    [[nodiscard]] QRect area() const;
    [[nodiscard]] QRect boxRect() const;
    void show(QPointF at, const QColor &color, const QString &text);

    PlotView &m_view;
    bool m_visible = false;
    QPointF m_at;
    QColor m_color;
    QString m_text;
};
