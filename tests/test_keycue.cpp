// The keyboard-cue repaint fix: inactive on this platform, and its machinery
// driven through an injected probe that says active.
#include "ui/KeyCueFixUnit.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

// Records, in order, the widgets that receive a paint event.
class PaintLog : public QObject
{
public:
    QList<QObject *> painted;
    void watch(QWidget *widget) { widget->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted << watched;
        return false;
    }
};

void sendCueChange(QWidget *window)
{
    QEvent event(TKeyCueFix::cueChangeEventType());
    QCoreApplication::sendEvent(window, &event);
}

std::unique_ptr<QWidget> shownWindow()
{
    auto window = std::make_unique<QWidget>();
    window->resize(120, 80);
    window->show();
    QCoreApplication::processEvents();
    return window;
}

int recordIndexOf(const TKeyCueFix &fix, const QWidget *window)
{
    for (int i = 0; i < fix.recordCount(); ++i)
        if (fix.record(i)->Form == window)
            return i;
    return -1;
}

} // namespace

class TestKeyCue : public QObject
{
    Q_OBJECT
private slots:
    void inactiveOnThisPlatform();
    void idlePassFollowsTheWindows();
    void twoCueChangesGiveOneRepaint();
    void noCueChangeNoRepaint();
    void repaintWalksNativeChildrenDepthFirst();
    void eventLoopRunsTheIdlePass();
};

void TestKeyCue::inactiveOnThisPlatform()
{
    QVERIFY(!TKeyCueFix::platformProbe());
    auto window = shownWindow();
    QObject owner;
    TKeyCueFix fix(&owner);
    QVERIFY(!fix.isActive());
    QVERIFY(fix.RepaintAll);
    fix.idleHandler();
    QCOMPARE(fix.recordCount(), 0);

    PaintLog log;
    log.watch(window.get());
    sendCueChange(window.get());
    fix.idleHandler();
    QVERIFY(log.painted.isEmpty());
}

void TestKeyCue::idlePassFollowsTheWindows()
{
    auto first = shownWindow();
    QObject owner;
    TKeyCueFix fix(&owner, [] { return true; });
    QVERIFY(fix.isActive());
    fix.idleHandler();
    QVERIFY(recordIndexOf(fix, first.get()) >= 0);
    const int before = fix.recordCount();

    // A window created later gets its record at the next pass, appended.
    auto second = shownWindow();
    fix.idleHandler();
    QCOMPARE(fix.recordCount(), before + 1);
    QCOMPARE(recordIndexOf(fix, second.get()), before);
    QVERIFY(fix.record(before)->Seen);
    QVERIFY(!fix.record(before)->RepaintPending);
    QVERIFY(fix.record(before)->RepaintAll);

    // Pop-ups are not windows of the program.
    QWidget popup(nullptr, Qt::Popup);
    popup.show();
    fix.idleHandler();
    QCOMPARE(recordIndexOf(fix, &popup), -1);
    popup.hide();

    // A window that is gone loses its record at the next pass, and a new
    // window is never mistaken for it.
    first.reset();
    fix.idleHandler();
    QCOMPARE(fix.recordCount(), before);
    for (int i = 0; i < fix.recordCount(); ++i)
        QVERIFY(fix.record(i)->Form);
    auto third = shownWindow();
    fix.idleHandler();
    QVERIFY(recordIndexOf(fix, third.get()) >= 0);
}

void TestKeyCue::twoCueChangesGiveOneRepaint()
{
    auto window = shownWindow();
    QObject owner;
    TKeyCueFix fix(&owner, [] { return true; });
    fix.idleHandler();
    PaintLog log;
    log.watch(window.get());

    sendCueChange(window.get());
    sendCueChange(window.get());
    QVERIFY(log.painted.isEmpty()); // never inside the event itself
    QVERIFY(fix.record(recordIndexOf(fix, window.get()))->RepaintPending);
    fix.idleHandler();
    QCOMPARE(log.painted.count(window.get()), 1);
    fix.idleHandler();
    QCOMPARE(log.painted.count(window.get()), 1);
}

void TestKeyCue::noCueChangeNoRepaint()
{
    auto quiet = shownWindow();
    auto cued = shownWindow();
    QObject owner;
    TKeyCueFix fix(&owner, [] { return true; });
    fix.idleHandler();
    PaintLog log;
    log.watch(quiet.get());
    log.watch(cued.get());
    sendCueChange(cued.get());
    fix.idleHandler();
    QCOMPARE(log.painted, QList<QObject *>({cued.get()}));
}

void TestKeyCue::repaintWalksNativeChildrenDepthFirst()
{
    auto window = shownWindow();
    auto *a = new QWidget(window.get());
    auto *a1 = new QWidget(a);
    auto *plain = new QWidget(a); // drawn by its parent's repaint
    auto *b = new QWidget(window.get());
    for (QWidget *native : {a, a1, b})
        native->setAttribute(Qt::WA_NativeWindow);
    for (QWidget *child : {a, a1, plain, b}) {
        child->setGeometry(0, 0, 20, 20);
        child->show();
    }
    QCoreApplication::processEvents();

    QObject owner;
    TKeyCueFix fix(&owner, [] { return true; });
    fix.idleHandler();
    PaintLog log;
    for (QWidget *w : {window.get(), a, a1, plain, b})
        log.watch(w);
    sendCueChange(window.get());
    fix.idleHandler();

    QList<QObject *> firsts; // the first paint of each widget, in order
    for (QObject *o : std::as_const(log.painted))
        if (!firsts.contains(o))
            firsts << o;
    QCOMPARE(firsts.mid(0, 1), QList<QObject *>({window.get()}));
    QVERIFY(firsts.indexOf(a) < firsts.indexOf(a1));
    QVERIFY(firsts.indexOf(a1) < firsts.indexOf(b));
}

void TestKeyCue::eventLoopRunsTheIdlePass()
{
    auto window = shownWindow();
    QObject owner;
    TKeyCueFix fix(&owner, [] { return true; });
    QCOMPARE(fix.recordCount(), 0);
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec(); // waits, so the loop reaches the idle pass
    QVERIFY(recordIndexOf(fix, window.get()) >= 0);
}

QTEST_MAIN(TestKeyCue)
#include "test_keycue.moc"
