#include "app/ChartMouse.h"

#include "app/ChartLegend.h"
#include "app/PlotChart.h"

#include <QChart>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QRubberBand>
#include <utility>

// A dragged rectangle smaller than this is a click, not a zoom.
static constexpr int MinZoomDrag = 4;

ChartMouse::ChartMouse(PlotChart &chart) : m_chart(chart)
{
    m_band = new QRubberBand(QRubberBand::Rectangle, chart.viewport());
    m_band->hide();
    chart.viewport()->setMouseTracking(true);
    m_menu = new QMenu(&chart);
    m_menu->setObjectName(QStringLiteral("mnuChart"));
    QAction *copy = m_menu->addAction(QStringLiteral("Copy"));
    copy->setObjectName(QStringLiteral("actCopy"));
    copy->setShortcut(QKeySequence::Copy);
    QObject::connect(copy, &QAction::triggered, &chart, &PlotChart::copyRequested);
    m_cursorAction = m_menu->addAction(QStringLiteral("Date cursor"));
    m_cursorAction->setObjectName(QStringLiteral("actDateCursor"));
    m_cursorAction->setCheckable(true);
    QObject::connect(m_cursorAction, &QAction::toggled, &chart, [this](bool on) {
        if (!on)
            m_chart.m_cursor.clear();
    });
    m_menu->addSeparator();
    QAction *back = m_menu->addAction(QStringLiteral("Zoom back"));
    back->setObjectName(QStringLiteral("actZoomBack"));
    back->setShortcut(Qt::Key_Backspace);
    QObject::connect(back, &QAction::triggered, &chart, [&chart] { chart.zoomBack(); });
    QAction *reset = m_menu->addAction(QStringLiteral("Reset zoom"));
    reset->setObjectName(QStringLiteral("actResetZoom"));
    QObject::connect(reset, &QAction::triggered, &chart, [&chart] { chart.undoZoom(); });
    QObject::connect(m_menu, &QMenu::aboutToShow, &chart, [&chart, back, reset] {
        back->setEnabled(chart.zoomBackSteps() > 0);
        reset->setEnabled(chart.zoomBackSteps() > 0 || chart.chart()->isZoomed());
    });
}

bool ChartMouse::onLegend(QPoint pos) const
{
    const ChartLegend *legend = m_chart.legend();
    return legend->isVisible() && legend->sceneBoundingRect().contains(m_chart.mapToScene(pos));
}

bool ChartMouse::cursorWanted(Qt::KeyboardModifiers modifiers) const
{
    return modifiers.testFlag(Qt::ShiftModifier) || m_cursorAction->isChecked();
}

bool ChartMouse::point(QPoint pos, Qt::KeyboardModifiers modifiers)
{
    if (m_chart.m_holdDepth > 0)
        return false;
    if (cursorWanted(modifiers)) {
        m_chart.m_readout.clear();
        return m_chart.m_cursor.track(pos);
    }
    m_chart.m_cursor.clear();
    return m_chart.m_readout.track(pos);
}

void ChartMouse::pointAgain(Qt::KeyboardModifiers modifiers)
{
    const QPoint pos = m_chart.viewport()->mapFromGlobal(QCursor::pos());
    if (!m_zooming && !m_scrolling && !m_legendPress && m_chart.viewport()->rect().contains(pos))
        point(pos, modifiers);
}

bool ChartMouse::press(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    m_chart.m_readout.clear();
    if (event->button() == Qt::LeftButton && onLegend(pos)) {
        m_legendPress = true;
        m_isolate = event->modifiers().testFlag(Qt::ControlModifier);
        m_legendClicked = nullptr;
        return false;
    }
    if (event->button() == Qt::LeftButton) {
        m_zooming = true;
        m_pressPos = pos;
        m_band->setGeometry(QRect(pos, QSize()));
        m_band->show();
    } else if (event->button() == Qt::RightButton) {
        m_scrolling = true;
        m_scrolled = false;
        m_pressPos = pos;
        m_lastScrollPos = pos;
    } else if (event->button() == Qt::BackButton) {
        m_chart.zoomBack();
    } else {
        return false;
    }
    event->accept();
    return true;
}

bool ChartMouse::move(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_zooming)
        m_band->setGeometry(QRect(m_pressPos, pos).normalized());
    if (m_scrolling) {
        const QPoint delta = pos - m_lastScrollPos;
        if (!delta.isNull() && !std::exchange(m_scrolled, true))
            m_chart.pushView(); // once a drag, before its first step
        m_chart.chart()->scroll(-delta.x(), delta.y());
        m_lastScrollPos = pos;
    }
    if (m_zooming || m_scrolling)
        return true;
    // Over the plot area the read-out or the cursor is all a move does: Qt
    // Charts' own handling there tests the pointer against the shape of
    // every line, which costs milliseconds with long lines, for hover
    // signals unused here.
    return !m_legendPress && point(pos, event->modifiers());
}

bool ChartMouse::release(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_legendPress) {
        m_legendPress = false;
        return false;
    }
    if (event->button() == Qt::LeftButton && m_zooming) {
        m_zooming = false;
        m_band->hide();
        const QRect dragged = QRect(m_pressPos, pos).normalized();
        if (m_chart.m_cursor.visible() && (pos - m_pressPos).manhattanLength() < MinZoomDrag) {
            m_chart.m_cursor.click();
        } else if (pos.x() < m_pressPos.x() && pos.y() < m_pressPos.y()) {
            m_chart.undoZoom();
        } else if (dragged.width() >= MinZoomDrag && dragged.height() >= MinZoomDrag) {
            QChart *chart = m_chart.chart();
            const QRectF inScene = m_chart.mapToScene(dragged).boundingRect();
            const QRectF inChart = chart->mapFromScene(inScene).boundingRect();
            m_chart.pushView();
            chart->setAnimationOptions(QChart::SeriesAnimations);
            chart->zoomIn(inChart.intersected(chart->plotArea()));
        }
    } else if (event->button() == Qt::RightButton && m_scrolling) {
        m_scrolling = false;
        if ((pos - m_pressPos).manhattanLength() < MinZoomDrag)
            m_menu->popup(event->globalPosition().toPoint());
    } else {
        return false;
    }
    event->accept();
    return true;
}

bool ChartMouse::doubleClick(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !onLegend(event->position().toPoint()))
        return false;
    // The double-click's first click has toggled the entry's line: that is
    // undone, and the entry's own press is not handed on to toggle it again.
    if (PlotSeries *series = m_legendClicked) {
        series->setShown(!series->shown());
        m_chart.showOnly(series);
    }
    m_legendClicked = nullptr;
    event->accept();
    return true;
}

void ChartMouse::legendClicked(PlotSeries *series)
{
    m_legendClicked = series;
    if (m_isolate)
        m_chart.showOnly(series);
    else
        series->setShown(!series->shown());
}
