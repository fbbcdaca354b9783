// The interface font of the program's windows.
#pragma once

#include <QFont>

// base made 11 pixels high and condensed, so that every caption fits its
// fixed-size control.
[[nodiscard]] QFont InterfaceFont(QFont base);
