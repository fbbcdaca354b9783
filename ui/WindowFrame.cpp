#include "ui/WindowFrame.h"

#include "ui/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// The frame last seen around a window: the guess for the next one, so that
// only the program's first window changes size once it is framed.
QSize g_lastFrame(0, 0);

// The top-left corner that centres a rectangle of that size in the primary
// screen's available area.
QPoint CentredTopLeft(QSize size)
{
    QRect frame(QPoint(0, 0), size);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        frame.moveCenter(screen->availableGeometry().center());
    return frame.topLeft();
}

// The room of the screen the window is on: no window is made larger.
QSize AvailableSize(const QWidget *window)
{
    const QScreen *screen = window->screen();
    return screen ? screen->availableGeometry().size() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

// Watches a window until the window manager has framed it in its normal
// state, then fits it to its frame, and goes. An empty outer size leaves the
// client area as it is.
class FrameFit final : public QObject
{
public:
    FrameFit(QWidget *window, QSize outer, QSize minimum, bool centred)
        : QObject(window), m_window(window), m_outer(outer), m_minimum(minimum), m_centred(centred)
    {
        apply(g_lastFrame);
        centre(g_lastFrame);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            guessBeforeMapping();
            fitOnceFramed(); // where the platform knows the frame before it is shown
            break;
        // Not on a window state change: it still reports the frame of the
        // state left; the move or resize that follows reports the new one.
        // A window framed where it asked to be gets neither, but is activated.
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowActivate:
            fitOnceFramed();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void apply(QSize frame)
    {
        const QSize room = AvailableSize(m_window);
        if (!m_minimum.isEmpty())
            m_window->setMinimumSize(m_minimum.boundedTo(room) - frame);
        if (!m_outer.isEmpty())
            m_window->resize(m_outer.boundedTo(room) - frame);
    }

    // The first show event comes once the window is created, before it is
    // mapped: the best guess yet. (Later ones would undo the user's size where
    // no frame is ever seen.) A resize of a created window would have the
    // window manager place its client area, not its frame, where the frame
    // was to go.
    void guessBeforeMapping()
    {
        QWindow *handle = m_window->windowHandle();
        if (m_guessed || !handle)
            return;
        m_guessed = true;
        const QPoint corner = m_window->pos();
        apply(g_lastFrame);
        handle->setFramePosition(corner);
    }

    // Before the window is created, or once it is framed: in between, Qt
    // would place the client area, not the frame, where move() says.
    void centre(QSize frame)
    {
        if (m_centred)
            m_window->move(CentredTopLeft(m_window->size() + frame));
    }

    void fitOnceFramed()
    {
        // A window that starts maximized is fitted when it is first restored.
        const Qt::WindowStates notNormal
            = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
        if (!m_window->isVisible() || (m_window->windowState() & notNormal))
            return;
        // Measured too early, the frame may still be the window manager's
        // 1 x 1 one, which a fit would add to the window's size.
        const QRect outer = m_window->frameGeometry();
        const QRect client = m_window->geometry();
        if (!IsRealFrame(outer, client))
            return;
        const QSize frame = outer.size() - client.size();
        m_window->removeEventFilter(this);
        g_lastFrame = frame;
        apply(frame);
        centre(frame);
        deleteLater();
    }

    QWidget *m_window;
    QSize m_outer;
    QSize m_minimum;
    bool m_centred;
    bool m_guessed = false;
};

} // namespace

void SetOuterSize(QWidget *window, QSize outer, QSize minimum, bool centred)
{
    new FrameFit(window, outer, minimum, centred);
}

void CentreOnScreen(QWidget *window)
{
    new FrameFit(window, {}, {}, true);
}
