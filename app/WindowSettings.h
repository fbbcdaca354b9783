// Rules for what the main window stores in and restores from the settings
// file besides the plain control values.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The window's layout size, its minimum, and the height that the default
// position is computed with.
inline constexpr QSize MainWindowLayoutSize{650, 633};
inline constexpr QSize MainWindowMinimumSize{185, 633};
inline constexpr int MainWindowDefaultHeight = 500;

// Default position on a screen of the given size: ((w - 650) div 2,
// (h - 500) div 2), div truncating towards zero.
[[nodiscard]] QPoint DefaultWindowPosition(QSize screen);

// Where a window with the stored frame should go: the stored top-left when at
// least a grabbable piece of it lies on one of the screens, otherwise moved
// onto the primary screen (as far as it fits, top-left corner first).
[[nodiscard]] QPoint PositionOnScreens(const QRect &frame, const QList<QRect> &screens,
                                       const QRect &primary);

// The settings file keeps one line per key: every line break (CR, LF, CR LF)
// of the game box becomes one blank. Blanks separate game IDs exactly as line
// breaks do, so the same game list comes back at the next start.
[[nodiscard]] QString GameTextOnOneLine(const QString &text);
