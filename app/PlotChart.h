// The chart component: a 2-D date chart over Qt Charts with left and right
// vertical axes, each linear or logarithmic, normal or inverted. The program's
// own model keeps every point as (day, value); Qt Charts is handed whole
// series in one call, and on a logarithmic axis only the positive points.
#pragma once

#include "service/u_Function.h"

#include <QChartView>
#include <QColor>
#include <QObject>
#include <QString>
#include <vector>

class QLineSeries;

enum class VertAxis { Left, Right };

struct ChartPoint {
    int day;  // date value: whole days since 30 December 1899
    double y;
};

[[nodiscard]] QColor ColorFromValue(ColorValue value);

// A line series owned by the main window; it lives on after Clear graph.
class PlotSeries : public QObject
{
    Q_OBJECT
public:
    explicit PlotSeries(QObject *owner);

    void setTitle(const QString &title);
    [[nodiscard]] QString title() const { return m_title; }
    void setMarksVisible(bool visible) { m_marksVisible = visible; }
    void setXDateTime(bool dateTime) { m_xDateTime = dateTime; }
    void setLineWidth(int width);
    [[nodiscard]] int lineWidth() const { return m_lineWidth; }
    void setAxis(VertAxis axis) { m_axis = axis; }
    [[nodiscard]] VertAxis axis() const { return m_axis; }

    // Inserted after every point whose day is equal or smaller; amortised
    // constant time when points arrive in date order.
    void addPoint(int day, double y);
    [[nodiscard]] int pointCount() const { return int(m_points.size()); }
    [[nodiscard]] const std::vector<ChartPoint> &points() const { return m_points; }

    void setColor(const QColor &color);
    [[nodiscard]] QColor color() const { return m_color; }
    [[nodiscard]] bool colorSet() const { return m_colorSet; }

private:
    friend class PlotChart;
    QString m_title;
    bool m_marksVisible = true;
    bool m_xDateTime = false;
    int m_lineWidth = 1;
    VertAxis m_axis = VertAxis::Left;
    std::vector<ChartPoint> m_points;
    QColor m_color;
    bool m_colorSet = false;
    QLineSeries *m_line = nullptr; // while on the chart
};

class PlotChart : public QChartView
{
    Q_OBJECT
public:
    explicit PlotChart(QWidget *parent = nullptr);

    void undoZoom();
    void setBottomLabelAngle(int degrees);
    [[nodiscard]] PlotSeries *createSeries(QObject *owner);

    void setAxisInverted(VertAxis axis, bool inverted);
    void setAxisLogarithmic(VertAxis axis, bool logarithmic);
    [[nodiscard]] bool axisInverted(VertAxis axis) const;
    [[nodiscard]] bool axisLogarithmic(VertAxis axis) const;

    // Appends the series to the chart and draws it; a series whose colour was
    // never set gets the first palette colour no other series on it uses.
    void attachSeries(PlotSeries *series);
    [[nodiscard]] int seriesCount() const { return int(m_series.size()); }
    [[nodiscard]] const QList<PlotSeries *> &series() const { return m_series; }

    void setLegendVisible(bool visible);
    [[nodiscard]] bool legendVisible() const;

    // Every series leaves the chart; the series objects live on.
    void clearSeriesList();
    void repaintNow();

    // Writes the chart as drawn at its current size on white. The extension
    // chooses the format (.png, .jpg/.jpeg; anything else a BMP). Written
    // atomically; throws PlotwiseError("Cannot create file "..." ...").
    void saveToBitmap(const QString &path);
    // One page on the default printer, no dialog; throws PlotwiseError.
    void print();

private:
    QList<PlotSeries *> m_series;
};
