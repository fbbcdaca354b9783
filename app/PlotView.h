// What the chart's overlays (the read-out under the mouse, the date cursor)
// see of it: its series, the mapping between the surface's pixels, the
// chart's coordinates and the plotted dates and values, the days' x values
// and how the vertical axes run.
#pragma once

#include "app/PlotSeries.h"

#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QtGlobal>

class QRegion;
class QWidget;

class PlotView
{
public:
    [[nodiscard]] virtual const QList<PlotSeries *> &series() const = 0;
    // The widget an overlay is painted on, whose pixels are the positions below.
    [[nodiscard]] virtual QWidget *surface() const = 0;
    // The overlay's pixels in the region changed: only they are painted anew,
    // over the chart as last drawn.
    virtual void overlayChanged(const QRegion &region) = 0;
    // A pixel of the surface in the chart's coordinates, and back.
    [[nodiscard]] virtual QPointF toChart(QPoint pos) const = 0;
    [[nodiscard]] virtual QPoint fromChart(QPointF at) const = 0;
    // Where the lines are drawn, in the chart's coordinates.
    [[nodiscard]] virtual QRectF plotArea() const = 0;
    // The x value (milliseconds since the epoch) at a point of the plot area.
    [[nodiscard]] virtual double xAt(QPointF at) const = 0;
    // Where the series draws the value y at x, in the chart's coordinates.
    [[nodiscard]] virtual QPointF positionOf(const PlotSeries &series, double x, double y) const = 0;
    // The x value of a day (see LocalMidnight), remembered.
    [[nodiscard]] virtual qint64 midnight(int day) = 0;
    // Whether a value on that axis is drawn (a logarithmic one draws only
    // values above zero).
    [[nodiscard]] virtual bool drawsValue(VertAxis axis, double y) const = 0;
    [[nodiscard]] virtual bool axisInverted(VertAxis axis) const = 0;
    [[nodiscard]] virtual bool axisLogarithmic(VertAxis axis) const = 0;

protected:
    ~PlotView() = default;
};
