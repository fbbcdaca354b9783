// Sizes and places of top-level windows given with their frame, as a window
// manager draws it. Qt sizes the client area, and the frame is known only once
// the window manager has framed the shown window: the window is fitted then,
// once, with the frame of the program's last framed window as the guess
// before. Without a window manager the frame is empty.
#pragma once

#include <QSize>

class QWidget;

// Gives the window the outer size, and the outer minimum size when minimum is
// not empty, each no larger than the available area of the window's screen. With centred, the outer rectangle is centred in the primary
// screen's available area; otherwise the frame's top-left corner stays where
// it is (Qt places a top-level window's frame, not its client area, where
// move() says).
void SetOuterSize(QWidget *window, QSize outer, QSize minimum = {}, bool centred = false);

// Centres the window's outer rectangle in the primary screen's available
// area; the client area keeps its size. Qt then no longer centres the window
// over its parent.
void CentreOnScreen(QWidget *window);
