// The chart's mouse: dragging a rectangle with the left button towards the
// lower right zooms into it (animated); dragging towards the upper left undoes
// the zoom; dragging with the right button scrolls, and a right click without
// a drag opens the menu. The back button returns to the view before the last
// zoom or scroll. A click on a legend entry hides or shows its line; a
// Ctrl+click or a double-click shows only that line, or all of them again.
// Between drags, the read-out follows the pointer, or with Shift held (or
// "Date cursor" checked in the menu) the date cursor, where a click pins the
// day or clears the pin.
#pragma once

#include <QPoint>
#include <Qt>
#include <QPointer>

class PlotChart;
class PlotSeries;
class QAction;
class QMenu;
class QMouseEvent;
class QRubberBand;

class ChartMouse
{
public:
    // The zoom band and the menu become children of the chart.
    explicit ChartMouse(PlotChart &chart);

    // Each is true when it took the event; the chart view's own handling
    // gets it otherwise.
    bool press(QMouseEvent *event);
    bool move(QMouseEvent *event);
    bool release(QMouseEvent *event);
    bool doubleClick(QMouseEvent *event);
    // A legend entry was clicked (by the press or release just handed to
    // the view).
    void legendClicked(PlotSeries *series);

    // The right-click menu: "Copy", "Date cursor", "Zoom back", "Reset zoom".
    [[nodiscard]] QMenu *menu() const { return m_menu; }
    // Shift went down or up: the read-out or the date cursor, whichever
    // the keys now ask for, at the pointer, as a move there would show.
    void pointAgain(Qt::KeyboardModifiers modifiers);

private:
    [[nodiscard]] bool onLegend(QPoint pos) const;
    [[nodiscard]] bool cursorWanted(Qt::KeyboardModifiers modifiers) const;
    // The read-out or the date cursor at pos; true when pos lies over the plot.
    bool point(QPoint pos, Qt::KeyboardModifiers modifiers);

    PlotChart &m_chart;
    QRubberBand *m_band = nullptr;
    QPoint m_pressPos;
    QPoint m_lastScrollPos;
    bool m_zooming = false;
    bool m_scrolling = false;
    bool m_scrolled = false; // the right-button drag has scrolled
    bool m_legendPress = false; // a press on the legend goes to its entries
    bool m_isolate = false; // ... with Ctrl held
    QPointer<PlotSeries> m_legendClicked; // the entry the last press on the legend clicked
    QMenu *m_menu = nullptr;
    QAction *m_cursorAction = nullptr; // "Date cursor", checked: shown without Shift
};
