// The rules of a top-level window's frame and place, free of widgets: when a
// measured frame is the window manager's real one, and where a window fits on
// the screens.
#pragma once

#include <QList>
#include <QRect>

// The widest margin a window manager's decoration plausibly has on the left,
// right and bottom sides, and above (where the title bar is).
inline constexpr int PlausibleFrameSide = 48;
inline constexpr int PlausibleFrameTop = 96;

// Whether frame, measured around a window whose client area is client (both
// in screen coordinates), is the frame the window manager has drawn: it holds
// the client area with a plausible margin on every side. The same rectangle
// is no frame yet (and stays so without a window manager); a frame that is
// still 1 x 1 before the window manager has sized it, a negative margin or one
// wider than a decoration is not real either.
[[nodiscard]] bool IsRealFrame(const QRect &frame, const QRect &client);

// The outer bounds a window asking for frame gets on the screens whose
// available areas are given (the primary screen's first): on the area it
// overlaps most, or the first when it overlaps none; no larger than that area
// and wholly inside it, moved as little as that needs.
[[nodiscard]] QRect FitOnScreens(const QRect &frame, const QList<QRect> &areas);
