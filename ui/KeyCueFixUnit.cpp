#include "ui/KeyCueFixUnit.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QOperatingSystemVersion>
#include <QStyle>
#include <algorithm>

TFormObj::TFormObj(QWidget *form, bool repaintAll)
    : Form(form), RepaintAll(repaintAll)
{
    form->installEventFilter(this);
}

TFormObj::~TFormObj()
{
    if (Form)
        Form->removeEventFilter(this);
}

bool TFormObj::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == TKeyCueFix::cueChangeEventType())
        RepaintPending = true;
    return false; // every event goes on to the window
}

static void repaintNativeTree(QWidget *widget)
{
    widget->repaint();
    for (QObject *child : widget->children()) {
        auto *childWidget = qobject_cast<QWidget *>(child);
        if (childWidget && !childWidget->isWindow()
            && childWidget->testAttribute(Qt::WA_NativeWindow))
            repaintNativeTree(childWidget);
    }
}

void TFormObj::repaintIfPending()
{
    if (!RepaintPending || !Form)
        return;
    RepaintPending = false;
    if (RepaintAll)
        repaintNativeTree(Form);
    else
        Form->repaint();
}

TKeyCueFix::TKeyCueFix(QObject *owner, const ActivityProbe &probe) : QObject(owner)
{
    m_active = probe ? probe() : platformProbe();
    if (!m_active)
        return;
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance()) {
        m_idleConnection = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                                   &TKeyCueFix::idleHandler);
    }
}

TKeyCueFix::~TKeyCueFix()
{
    disconnect(m_idleConnection);
}

QEvent::Type TKeyCueFix::cueChangeEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

bool TKeyCueFix::platformProbe()
{
    const QOperatingSystemVersion system = QOperatingSystemVersion::current();
    return system.type() == QOperatingSystemVersion::Windows && system.majorVersion() >= 6
        && QApplication::style()->name() == QLatin1String("windowsvista");
}

// Windows of the program in the sense of the fix: main windows and dialogs,
// not pop-ups, tool tips or menus.
static bool isProgramWindow(const QWidget *widget)
{
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

void TKeyCueFix::idleHandler()
{
    if (!m_active)
        return;
    for (const auto &record : m_records)
        record->Seen = false;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!isProgramWindow(window))
            continue;
        const auto found = std::find_if(m_records.begin(), m_records.end(),
                                        [window](const auto &r) { return r->Form == window; });
        if (found != m_records.end())
            (*found)->Seen = true;
        else
            m_records.push_back(std::make_unique<TFormObj>(window, RepaintAll));
    }
    for (auto i = m_records.size(); i-- > 0;) {
        if (m_records[i]->Seen)
            m_records[i]->repaintIfPending();
        else
            m_records.erase(m_records.begin() + std::ptrdiff_t(i));
    }
}
