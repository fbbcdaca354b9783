// The chart component: a 2-D date chart over Qt Charts with left and right
// vertical axes, each linear or logarithmic, normal or inverted. The program's
// own model keeps every point as (day, value) (PlotSeries); Qt Charts is
// handed whole series in one call, on a logarithmic axis only the positive
// points, and of a dense line only what its pixel columns can show.
#pragma once

#include "app/ChartCursor.h"
#include "app/ChartScale.h"
#include "app/HoverReadout.h"
#include "app/PlotSeries.h"
#include "app/PlotView.h"

#include <QChartView>
#include <QDateTime>
#include <QList>
#include <QPixmap>
#include <QRegion>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

class QAbstractAxis;
class QCategoryAxis;
class QMenu;
class QPrinter;
class ChartLegend;
class ChartMouse;

// The share of the chart's height the plot keeps however many lines the
// legend below it lists.
inline constexpr double MinPlotHeight = 0.6;

class PlotChart : public QChartView, public PlotView
{
    Q_OBJECT
public:
    explicit PlotChart(QWidget *parent = nullptr);
    ~PlotChart() override;

    // Ends any zoom or scroll: every axis scales to the data again (when the
    // program is next idle, or at repaintNow()), and the zoom history goes.
    void undoZoom();
    // Every zoom or scroll by the mouse first remembers the view it leaves
    // (the ranges of all three axes); zoomBack() returns to the last one
    // remembered, step by step. New scales for the data forget them all.
    void pushView();
    bool zoomBack();
    [[nodiscard]] int zoomBackSteps() const { return int(m_views.size()); }
    void setBottomLabelAngle(int degrees);
    [[nodiscard]] PlotSeries *createSeries(QObject *owner);

    // Switching keeps the series on the axis; a logarithmic axis draws only
    // the positive points of its series.
    void setAxisInverted(VertAxis axis, bool inverted);
    void setAxisLogarithmic(VertAxis axis, bool logarithmic);
    [[nodiscard]] bool axisInverted(VertAxis axis) const override;
    [[nodiscard]] bool axisLogarithmic(VertAxis axis) const override;
    [[nodiscard]] QAbstractAxis *verticalAxis(VertAxis axis) const;
    // The date axis: x values are milliseconds since the epoch (dayToMSecs).
    [[nodiscard]] QCategoryAxis *bottomAxis() const { return m_axisX; }
    // The moments at the date axis' ends.
    [[nodiscard]] QDateTime bottomMin() const;
    [[nodiscard]] QDateTime bottomMax() const;
    // The dates of the date axis' ticks, from the left.
    [[nodiscard]] QList<QDate> tickDates() const { return m_tickDates; }

    // Appends the series to the chart; a series whose colour was never set
    // gets the first palette colour no other series on it uses. Its points
    // are drawn when the program is next idle or at repaintNow(); while the
    // chart is held, its line and legend entry too (lineSeries() is null
    // until then).
    void attachSeries(PlotSeries *series);
    [[nodiscard]] int seriesCount() const { return int(m_series.size()); }
    [[nodiscard]] const QList<PlotSeries *> &series() const override { return m_series; }

    // Shows the series alone, every other hidden; when it is shown alone
    // already, shows every series again.
    void showOnly(PlotSeries *series);

    void setLegendVisible(bool visible);
    [[nodiscard]] bool legendVisible() const;
    // The legend below the plot, in rows of columns.
    [[nodiscard]] ChartLegend *legend() const { return m_legend; }

    // Every series leaves the chart and is deleted.
    void clearSeriesList();
    // Applies every pending change (axis scales, added points, Qt Charts'
    // layout) and redraws the chart at once.
    void repaintNow();

    // While held (holds nest), pending changes wait for flush() or the end of
    // the last hold instead of the next idle pass: a Load brings the chart up
    // to date now and then, not after every game.
    void hold();
    void release();
    // Applies the pending axis scales and points now.
    void flush();

    // A line without marks is handed to Qt Charts thinned to at most four
    // points per pixel column of the plot area (see ThinToColumns), which
    // draws the same picture as every point. Output finer than the screen
    // asks for more columns per pixel; 0 hands over every point. Applied with
    // the next pending changes.
    void setDrawingDetail(double columnsPerPixel);

    // PrintChartTo (ChartOutput) on this chart.
    void printTo(QPrinter &printer);

    // The x value the chart draws for a day: LocalMidnight.
    [[nodiscard]] static qint64 dayToMSecs(int day) { return LocalMidnight(day); }
    // dayToMSecs, remembered per day.
    [[nodiscard]] qint64 midnight(int day) override { return m_midnights.at(day); }
    // Whether a value on that axis is drawn (a logarithmic one draws only
    // values above zero).
    [[nodiscard]] bool drawsValue(VertAxis axis, double y) const override;

    // The read-out under the mouse; never part of a saved or printed chart.
    [[nodiscard]] const HoverReadout &readout() const { return m_readout; }
    // The date cursor: shown while Shift is held over the plot, or always
    // there once "Date cursor" is checked in the right-click menu; a click
    // pins its day, Esc or another click clears the pin. Never part of a
    // saved or printed chart either; a Load hides it and clears the pin.
    [[nodiscard]] const ChartCursor &dateCursor() const { return m_cursor; }
    // The right-click menu: "Copy", "Date cursor", "Zoom back", "Reset zoom".
    [[nodiscard]] QMenu *contextMenu() const;

signals:
    // Ctrl+C, or Copy in the right-click menu: the chart's image is wanted
    // on the clipboard.
    void copyRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    friend class PlotSeries;
    friend class ChartMouse;
    // PlotView, for the read-out.
    [[nodiscard]] QWidget *surface() const override { return viewport(); }
    void overlayChanged(const QRegion &region) override;
    [[nodiscard]] QPointF toChart(QPoint pos) const override;
    [[nodiscard]] QPoint fromChart(QPointF at) const override;
    [[nodiscard]] QRectF plotArea() const override;
    [[nodiscard]] double xAt(QPointF at) const override;
    [[nodiscard]] QPointF positionOf(const PlotSeries &series, double x, double y) const override;

    // The date axis and both vertical axes, linear, the right one hidden.
    void placeAxes();
    // Gives the series its Qt line, legend entry and axes.
    void placeLine(PlotSeries *series);
    void removeLine(PlotSeries *series);
    // The series' colour, name or shown state changed.
    void legendEntryChanged(const PlotSeries *series);
    void placeOnAxis(PlotSeries *series);
    void fillLine(PlotSeries *series);
    void detach(PlotSeries *series);
    // Axis scaling and points added to attached series are applied once, when
    // the program is next idle or the chart is repainted: a Load attaching
    // many series lays the chart out once, not once per series.
    void scheduleUpdate();
    // Only the lines are filled again: the range shown or the plot area's
    // size changed, and with it what thinning keeps.
    void scheduleFill();
    void bottomRangeChanged();
    // The width in x of one pixel column of the plot area; 0 when every point
    // is to be drawn.
    [[nodiscard]] double columnWidth() const;
    void applyPendingChanges();
    // Runs Qt Charts' pending layout of axes, legend and plot area.
    void layOutChart();
    // Lays the legend out below the plot, leaving the plot at least
    // MinPlotHeight of the chart's height; true when the room it takes changed.
    bool layOutLegend();
    // The chart's margins: a little above and to the left, the legend's room below.
    void applyMargins();
    // The same, then the scene's pending updates, which draw the view.
    void layOutNow();
    void rescale();
    // Puts the date axis' ticks on calendar boundaries for the range shown
    // at the plot area's width; true when they changed.
    bool updateDateTicks();
    [[nodiscard]] int axisIndex(VertAxis axis) const { return axis == VertAxis::Left ? 0 : 1; }
    void showVerticalAxis(int i, bool shown);
    // Labels the logarithmic axis i for the range it shows.
    void updateLogLabels(int i);

    QList<PlotSeries *> m_series;
    bool m_updateQueued = false;
    bool m_rescalePending = false;
    bool m_filling = false; // the axes change because flush() sets them
    double m_detail = 1; // pixel columns per pixel
    bool m_drawn = false; // the view was drawn since repaintNow() last asked
    int m_holdDepth = 0;
    QCategoryAxis *m_axisX = nullptr;
    QList<QDate> m_tickDates;
    QAbstractAxis *m_axisY[2] = {nullptr, nullptr};
    QCategoryAxis *m_logLabels[2] = {nullptr, nullptr}; // a logarithmic axis' labels
    bool m_axisShown[2] = {true, false};
    bool m_inverted[2] = {false, false};
    bool m_logarithmic[2] = {false, false};
    MidnightCache m_midnights;
    // The ranges one view shows: the date axis', then the left and the right axis'.
    struct AxisRanges {
        std::pair<double, double> x;
        std::pair<double, double> y[2];
    };
    [[nodiscard]] AxisRanges axisRanges() const;
    std::vector<AxisRanges> m_views; // the zoom history, the last view left at the back
    std::unique_ptr<ChartMouse> m_mouse;
    ChartLegend *m_legend = nullptr; // a child of the chart
    double m_legendRoom = 0; // below the plot
    // The view as the chart last drew it whole, without the overlays: while
    // only an overlay moves, what it uncovers is copied from here instead of
    // every line under it being drawn again. Any change of the scene, of the
    // view's size or a repaint of more than the overlays asked for drops it.
    QPixmap m_drawing;
    bool m_drawingValid = false;
    QRegion m_overlayDirty;    // asked for by the overlays since the last paint
    HoverReadout m_readout{*this};
    ChartCursor m_cursor{*this};
};
