// Keyboard-cue repaint fix: when the system changes the keyboard cues of a
// window's controls (the underlined access letters shown while Alt is held),
// themed controls do not redraw themselves. TKeyCueFix watches every window of
// the program for the cue-change event and repaints the window once the
// program is idle again.
//
// The fix is active only where the platform probe says so (system major
// version 6 or higher with visual styles on); elsewhere the component creates
// no records and hooks nothing. The cue change arrives here as a custom event
// of cueChangeEventType().
#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

// One record per window of the program: hooks the window's events through an
// event filter that lets every event pass on and notes a cue change.
class TFormObj : public QObject
{
    Q_OBJECT
public:
    TFormObj(QWidget *form, bool repaintAll);
    ~TFormObj() override;

    // The window the record belongs to; null once that window is gone, so a
    // new window that reuses its memory never matches this record.
    const QPointer<QWidget> Form;
    bool Seen = true;
    bool RepaintPending = false;
    const bool RepaintAll;

    // Repaints the window when a cue change is pending: the window itself,
    // then, with RepaintAll, every native child window under it, depth first
    // in each parent's child order (other controls are drawn by their parent).
    void repaintIfPending();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

class TKeyCueFix : public QObject
{
    Q_OBJECT
public:
    using ActivityProbe = std::function<bool()>;

    // The probe is asked once, here. Without one the platform is asked.
    explicit TKeyCueFix(QObject *owner, const ActivityProbe &probe = {});
    ~TKeyCueFix() override;

    // The event type that stands for the system's cue-change message.
    [[nodiscard]] static QEvent::Type cueChangeEventType();
    // System major version at least 6 and visual styles active.
    [[nodiscard]] static bool platformProbe();

    bool RepaintAll = true;

    [[nodiscard]] bool isActive() const { return m_active; }
    [[nodiscard]] int recordCount() const { return int(m_records.size()); }
    [[nodiscard]] TFormObj *record(int index) const { return m_records.at(index).get(); }

    // The idle pass, run whenever the event loop is about to wait: brings the
    // records in line with the program's windows and repaints the windows that
    // had a cue change since the previous pass.
    void idleHandler();

private:
    bool m_active = false;
    std::vector<std::unique_ptr<TFormObj>> m_records;
    QMetaObject::Connection m_idleConnection;
};
