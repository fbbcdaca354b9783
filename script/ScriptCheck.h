// The script checker: tests every field of every line and reports each fault
// as a log line "3) Node not valid <xyz>"; "Script OK" when there is none.
#pragma once

#include <QString>
#include <QStringList>

// Log lines for the script text (lines cut as SplitLines does) against the
// node list. All tests of a line are made, in field order.
[[nodiscard]] QStringList CheckScript(const QString &scriptText, const QStringList &nodes);
