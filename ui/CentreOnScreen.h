// Placing a window in the middle of the primary screen before it is shown.
#pragma once

class QWidget;

// Moves the window so that its current size sits centred in the primary
// screen's available area. Qt then no longer centres it over its parent.
void CentreOnScreen(QWidget *window);
