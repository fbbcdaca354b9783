#include "app/WindowSettings.h"

#include <QRegularExpression>
#include <algorithm>

// The smallest piece of a window that must show on some screen for the user
// to reach it with the mouse.
static constexpr int ReachableWidth = 40;
static constexpr int ReachableHeight = 20;

QPoint DefaultWindowPosition(QSize screen)
{
    return {(screen.width() - MainWindowLayoutSize.width()) / 2,
            (screen.height() - MainWindowDefaultHeight) / 2};
}

QPoint PositionOnScreens(const QRect &frame, const QList<QRect> &screens, const QRect &primary)
{
    for (const QRect &screen : screens) {
        const QRect visible = frame.intersected(screen);
        if (visible.width() >= ReachableWidth && visible.height() >= ReachableHeight)
            return frame.topLeft();
    }
    const int left = std::max(primary.left(), std::min(frame.left(), primary.right() + 1 - frame.width()));
    const int top = std::max(primary.top(), std::min(frame.top(), primary.bottom() + 1 - frame.height()));
    return {left, top};
}

QString GameTextOnOneLine(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return QString(text).replace(lineBreak, QStringLiteral(" "));
}
