#include "ui/CentreOnScreen.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

void CentreOnScreen(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame(QPoint(0, 0), window->size());
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
