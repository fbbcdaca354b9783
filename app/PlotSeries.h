// A line of the chart as the program keeps it: every point as (day, value),
// its title, colour, width, axis and whether it is shown, and the look its
// Qt Charts line and legend entry take from them while it is on a chart.
#pragma once

#include "plot/SeriesBuilder.h"
#include "service/u_Function.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <vector>

class QLineSeries;
class PlotChart;

enum class VertAxis { Left, Right };

[[nodiscard]] QColor ColorFromValue(ColorValue value);

// A line series, a child of the main window; Clear graph deletes the series
// on the chart.
class PlotSeries : public QObject
{
    Q_OBJECT
public:
    explicit PlotSeries(QObject *owner);
    ~PlotSeries() override;

    void setTitle(const QString &title);
    [[nodiscard]] QString title() const { return m_title; }
    void setMarksVisible(bool visible) { m_marksVisible = visible; }
    void setXDateTime(bool dateTime) { m_xDateTime = dateTime; }
    void setLineWidth(int width);
    [[nodiscard]] int lineWidth() const { return m_lineWidth; }
    // Takes effect on the chart at once when the series is attached.
    void setAxis(VertAxis axis);
    [[nodiscard]] VertAxis axis() const { return m_axis; }

    // Inserted after every point whose day is equal or smaller; amortised
    // constant time when points arrive in date order. On an attached series
    // the chart catches up once, when the program is next idle.
    void addPoint(int day, double y);
    // Replaces the points with a whole line in one call, sorted by day once;
    // points of the same day keep their order, as addPoint would keep it.
    void setPoints(std::vector<SeriesPoint> points);
    [[nodiscard]] int pointCount() const { return int(m_points.size()); }
    [[nodiscard]] const std::vector<SeriesPoint> &points() const { return m_points; }

    void setColor(const QColor &color);
    // The colour set, or the palette colour the chart gave it when attached.
    [[nodiscard]] QColor color() const { return m_color; }
    [[nodiscard]] bool colorSet() const { return m_colorSet; }

    // A hidden series stays on the chart (its legend entry greyed, its points
    // in the CSV and its line in Info) but is not drawn.
    void setShown(bool shown);
    [[nodiscard]] bool shown() const { return m_shown; }

    // The Qt series drawing it while it is on a chart, else null (and
    // until a held chart is brought up to date).
    [[nodiscard]] QLineSeries *lineSeries() const { return m_line; }

private:
    friend class PlotChart;
    void applyStyle();

    QString m_title;
    bool m_marksVisible = true;
    bool m_xDateTime = false;
    int m_lineWidth = 1;
    VertAxis m_axis = VertAxis::Left;
    std::vector<SeriesPoint> m_points;
    QColor m_color;
    bool m_colorSet = false;
    bool m_shown = true;
    PlotChart *m_chart = nullptr;  // while on the chart
    QLineSeries *m_line = nullptr; // while on the chart; owned by the chart
};

// The colour a series without one of its own gets among the others: the
// first palette colour used by the fewest of them, an unused one while there
// is one.
[[nodiscard]] QColor UnusedPaletteColor(const QList<PlotSeries *> &others, const PlotSeries *series);
