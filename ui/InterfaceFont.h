// The fonts of the program's windows: the interface font of the controls and
// the monospaced font of text that is edited in columns.
#pragma once

#include <QFont>

// base made 11 pixels high and condensed, so that every caption fits its
// fixed-size control.
[[nodiscard]] QFont InterfaceFont(QFont base);

// wanted where it is drawn monospaced on this machine; otherwise the system's
// fixed font at wanted's size and stretch. A family name may resolve to a
// proportional face (or to one whose fixed-pitch flag is wrong), so the test
// is what the user sees: equal advances of narrow and wide letters.
[[nodiscard]] QFont MonospacedFont(const QFont &wanted);
