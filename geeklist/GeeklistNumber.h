// The geeklist number as the user types it: trimming and the check that keeps
// it from forming arbitrary request addresses and cache file names.
#pragma once

#include <QString>
#include <QStringView>

// The text without leading and trailing blanks and control characters
// (every character with a code up to 32).
[[nodiscard]] QString TrimBlanksAndControls(QStringView text);

// True when text is non-empty and holds only the digits 0 to 9.
[[nodiscard]] bool IsGeeklistNumber(QStringView text);
