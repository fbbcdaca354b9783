// The date cursor over the chart: a vertical line at the day under the
// pointer and, beside it, a box listing every shown game's value that day
// (or, with a day pinned, on both days and the change between them). Like
// the read-out it is painted over the chart view only, never into an image
// of the chart, and sees the chart through PlotView.
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

class QPainter;
class QRegion;
class PlotView;

class ChartCursor
{
public:
    explicit ChartCursor(PlotView &view) : m_view(view) {}

    // Shows the cursor at the day nearest to pos (viewport pixels) when pos
    // lies over the plot area, else hides it; true when it lies there.
    bool track(QPoint pos);
    // Hides the cursor; a pinned day stays pinned.
    void clear();
    // Shows the cursor again where it was, after the chart changed under it.
    void refresh();
    // A click with the cursor shown: pins its day, or clears the pin.
    void click();
    // Clears the pin; false when no day was pinned.
    bool unpin();

    [[nodiscard]] bool visible() const { return m_visible; }
    [[nodiscard]] std::optional<int> day() const { return m_visible ? std::optional<int>(m_day) : std::nullopt; }
    [[nodiscard]] std::optional<int> pinnedDay() const { return m_pinned; }
    // The box's text while visible: a line a row, its cells apart by tabs.
    [[nodiscard]] QString text() const;

    void paint(QPainter &painter) const;

private:
    // The day whose x value lies nearest to x, kept within the date axis.
    [[nodiscard]] int dayAt(double x);
    // The x pixel (viewport) the chart draws a day at.
    [[nodiscard]] double pixelOf(int day);
    void lay();
    [[nodiscard]] QRegion area() const;

    PlotView &m_view;
    bool m_visible = false;
    QPoint m_pos;
    int m_day = 0;
    std::optional<int> m_pinned;
    // As laid out for painting, in viewport pixels.
    double m_lineX = 0;
    std::optional<double> m_pinX;
    int m_top = 0;
    int m_bottom = 0;
    std::vector<QStringList> m_rows; // the header first
    std::vector<QColor> m_colors;    // of the rows after the header
    std::vector<bool> m_rightAxis;   // of the rows after the header
    std::vector<int> m_columns;      // widths
    std::vector<std::pair<QPoint, QColor>> m_marks; // each game's point at the cursor's day
    QRect m_box;
    struct PlacedText {
        QPoint at; // the start of its baseline
        QString text;
        bool header;
    };
    std::vector<PlacedText> m_texts;
    std::vector<std::pair<QRect, QColor>> m_swatches;
    std::optional<int> m_rule; // between the left axis' games and the right's
};
